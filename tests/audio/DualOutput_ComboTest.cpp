// The output pair: preview styles, device formats, open failures and its configuration.
#include <gtest/gtest.h>

#include "OutputTestKit.h"
#include "audio/graph/AudioErrors.h"
#include "audio/graph/Pins_imp.h"
#include "audio/mix/DualOutput_Combo.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/MixUtils.h"

namespace kelvar {
namespace {

using testkit::TAlsaCaptureConf;
using testkit::WaitUntil;

// A source pin over a tone that it hands out once.
std::shared_ptr<TPinSource> FeedSource(std::shared_ptr<testkit::TToneFeed> Feed) {
    return std::make_shared<TPinSource>(
        [Feed](void* Buffer, int Length, TStreamTime&) { return (*Feed)(Buffer, Length); },
        [] { return DefaultAudioFormat; }, nullptr);
}

// Plays Main (and Preview) through a pair on the capture PCM; answers the captured samples.
std::vector<int16_t> PlayPair(TAlsaCaptureConf& Conf, TDualOutput_Combo& Pair, const std::vector<int16_t>& Main,
                              const std::vector<int16_t>& Preview) {
    auto mainFeed = std::make_shared<testkit::TToneFeed>(Main);
    auto previewFeed = std::make_shared<testkit::TToneFeed>(Preview);
    Pair.SetMainSource(FeedSource(mainFeed));
    Pair.SetPreviewSource(FeedSource(previewFeed));
    Pair.SetSettings([&] {
        auto settings = Pair.GetSettings();
        settings.OutputType1 = OutputType::DirectSound;
        settings.SoundDevice1 = "kelvar_capture";
        return settings;
    }());
    EXPECT_TRUE(Pair.Open(DefaultAudioFormat));
    Pair.Play();
    EXPECT_TRUE(WaitUntil([&] { return mainFeed->Done(); }));
    // The source is dry: a few more packets of silence, then everything has gone through.
    const int after = Pair.GetMainOutput()->GetUnderruns();
    EXPECT_TRUE(WaitUntil([&] { return Pair.GetMainOutput()->GetUnderruns() > after + 8; }));
    Pair.Close();
    return Conf.ReadCapture();
}

TEST(DualOutput, StyleNoneSendsTheOnAirMixUnchanged) {
    TAlsaCaptureConf conf;
    TDualOutput_Combo pair;
    const auto tone = testkit::MakeTone(4410, 440, 12000);
    const auto captured = PlayPair(conf, pair, tone, {});
    EXPECT_EQ(pair.GetDeviceFormat().Format.Channels, 2);
    ASSERT_GE(captured.size(), tone.size());
    EXPECT_TRUE(std::equal(tone.begin(), tone.end(), captured.begin()));
}

TEST(DualOutput, SplitStylePutsMonoOnAirLeftAndPreviewRight) {
    TAlsaCaptureConf conf;
    TDualOutput_Combo pair;
    pair.SetSettings([&] {
        auto settings = pair.GetSettings();
        settings.PreviewStyle = PreviewStyle::Split;
        settings.Mono = true;  // switched off by the style
        return settings;
    }());
    const auto onAir = testkit::MakeTone(4410, 440, 10000, true, false);
    const auto preview = testkit::MakeTone(4410, 660, 20000, false, true);
    const auto captured = PlayPair(conf, pair, onAir, preview);
    EXPECT_FALSE(pair.GetSettings().Mono);
    ASSERT_GE(captured.size(), onAir.size());
    for (size_t f = 0; f < onAir.size() / 2; f += 37) {
        EXPECT_EQ(captured[2 * f], static_cast<int16_t>(onAir[2 * f] * 0.9)) << f;
        EXPECT_EQ(captured[2 * f + 1], static_cast<int16_t>(preview[2 * f + 1] * 0.9)) << f;
    }
    auto doc = TConfigDoc_XML::Create("");
    pair.SaveConfig(*doc);
    EXPECT_FALSE(doc->ReadBool("Mono", true));
}

TEST(DualOutput, FourChannelStyleDoublesEachBlock) {
    TAlsaCaptureConf conf;
    TDualOutput_Combo pair;
    pair.SetSettings([&] {
        auto settings = pair.GetSettings();
        settings.PreviewStyle = PreviewStyle::FourChannels;
        return settings;
    }());
    const auto onAir = testkit::MakeTone(4410, 440, 10000);
    const auto preview = testkit::MakeTone(4410, 660, 5000);
    const auto captured = PlayPair(conf, pair, onAir, preview);
    const auto format = pair.GetDeviceFormat();
    EXPECT_EQ(format.Format.Channels, 4);
    EXPECT_EQ(format.Format.FormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(format.Format.BlockAlign, 8);
    EXPECT_EQ(format.Format.ExtraSize, 22);
    EXPECT_EQ(format.ChannelMask, 0x33u);
    ASSERT_GE(captured.size(), onAir.size() * 2);
    for (size_t f = 0; f < onAir.size() / 2; f += 29) {
        EXPECT_EQ(captured[4 * f], onAir[2 * f]);
        EXPECT_EQ(captured[4 * f + 1], onAir[2 * f + 1]);
        EXPECT_EQ(captured[4 * f + 2], preview[2 * f]);
        EXPECT_EQ(captured[4 * f + 3], preview[2 * f + 1]);
    }
}

TEST(DualOutput, MonoFoldsToOneChannel) {
    TAlsaCaptureConf conf;
    TDualOutput_Combo pair;
    pair.SetSettings([&] {
        auto settings = pair.GetSettings();
        settings.Mono = true;
        return settings;
    }());
    const auto tone = testkit::MakeTone(4410, 440, 10000);
    const auto captured = PlayPair(conf, pair, tone, {});
    EXPECT_EQ(pair.GetDeviceFormat().Format.Channels, 1);
    EXPECT_EQ(pair.GetDeviceFormat().ChannelMask, 4u);
    ASSERT_GE(captured.size(), tone.size() / 2);
    for (size_t f = 0; f < tone.size() / 2; f += 31)
        EXPECT_EQ(captured[f], Clip16(static_cast<int>(tone[2 * f] * 1.8)));
}

TEST(DualOutput, FailingSecondDeviceLeavesNothingRunning) {
    std::atomic<int> pulls{0};
    TDualOutput_Combo pair;
    pair.SetMainSource(std::make_shared<TPinSource>(
        [&](void*, int Length, TStreamTime&) {
            ++pulls;
            return Length;
        },
        [] { return DefaultAudioFormat; }, nullptr));
    pair.SetSettings([&] {
        auto settings = pair.GetSettings();
        settings.OutputType1 = OutputType::Silent;
        settings.OutputType2 = OutputType::DirectSound;
        settings.SoundDevice2 = "no_such_kelvar_pcm";
        settings.PreviewStyle = PreviewStyle::SecondDevice;
        return settings;
    }());
    EXPECT_FALSE(pair.Open(DefaultAudioFormat));
    int32_t code = 0;
    std::string text;
    pair.GetLastError(code, text);
    EXPECT_NE(code, 0);
    EXPECT_EQ(text, "[Preview] Unable to create DirectSound object");
    EXPECT_FALSE(pair.IsActive());
    EXPECT_EQ(pair.GetMainOutput(), nullptr);

    // Both devices silent: the pair opens, plays and closes.
    pair.SetSettings([&] {
        auto settings = pair.GetSettings();
        settings.OutputType2 = OutputType::Silent;
        settings.SilentClockRate = 20;
        return settings;
    }());
    ASSERT_TRUE(pair.Open(DefaultAudioFormat));
    ASSERT_NE(pair.GetPreviewOutput(), nullptr);
    pair.Play();
    ASSERT_TRUE(WaitUntil([&] { return pulls > 10; }));
    pair.Close();
    EXPECT_EQ(pair.GetMainOutput(), nullptr);
    const int after = pulls;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(pulls, after);
}

TEST(DualOutput, OpenErrors) {
    TDualOutput_Combo pair;
    try {
        pair.Open(MakePcmFormat(48000, 2, 16));
        FAIL() << "48 kHz must be refused";
    } catch (const EAudioError& e) {
        EXPECT_STREQ(e.what(), "Can currently only handle 44.1kHz, 16bit, Stereo");
    }
    pair.SetSettings([&] {
        auto settings = pair.GetSettings();
        settings.OutputType1 = 7;
        return settings;
    }());
    EXPECT_FALSE(pair.Open(DefaultAudioFormat));
    int32_t code = 0;
    std::string text;
    pair.GetLastError(code, text);
    EXPECT_EQ(text, "[Main] Unknown output type 7");
    pair.SetSettings([&] {
        auto settings = pair.GetSettings();
        settings.OutputType1 = OutputType::Silent;
        settings.Packets = 2;
        return settings;
    }());
    EXPECT_FALSE(pair.Open(DefaultAudioFormat));
    pair.GetLastError(code, text);
    EXPECT_EQ(text, "[Main] Allowed packet count is 3 - 20 ");
}

TEST(DualOutput, ConfigurationIsReadOnlyWhileClosedAndNotLive) {
    auto doc = TConfigDoc_XML::Create("");
    TDualOutput_Combo pair;
    auto fresh = TConfigDoc_XML::Create("");
    pair.SaveConfig(*fresh);
    EXPECT_EQ(fresh->ReadInteger("OutputType1", -1), 1);
    EXPECT_EQ(fresh->ReadInteger("Packets", -1), 10);
    EXPECT_EQ(fresh->ReadString("DeviceName1", ""), "Primary Sound Driver");

    doc->WriteInteger("OutputType1", 0);
    doc->WriteInteger("PreviewStyle", 3);
    doc->WriteInteger("OutputType2", 0);
    doc->WriteInteger("Volume1", 300);
    doc->WriteInteger("Volume2", -5);
    doc->WriteInteger("PacketTime", 20);
    doc->SetLiveApply(true);
    pair.LoadConfig(*doc);
    EXPECT_EQ(pair.GetSettings().OutputType1, OutputType::DirectSound);
    doc->SetLiveApply(false);
    pair.LoadConfig(*doc);
    EXPECT_EQ(pair.GetSettings().OutputType1, OutputType::Silent);
    EXPECT_EQ(pair.GetSettings().PreviewStyle, PreviewStyle::SecondDevice);
    EXPECT_EQ(pair.GetMainVolume(), 255);
    EXPECT_EQ(pair.GetPreviewVolume(), 0);
    EXPECT_EQ(pair.GetSettings().PacketTime, 20);

    ASSERT_TRUE(pair.Open(DefaultAudioFormat));
    doc->WriteInteger("PacketTime", 30);
    pair.LoadConfig(*doc);
    EXPECT_EQ(pair.GetSettings().PacketTime, 20);
    EXPECT_EQ(pair.GetPreviewOutput()->GetVolume(), 0);
    pair.SetMainVolume(100);
    EXPECT_EQ(pair.GetMainOutput()->GetVolume(), 100);
    pair.Close();
}

}  // namespace
}  // namespace kelvar
