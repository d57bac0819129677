// The ALSA output thread, against PCMs of the test's own: a file PCM captures what was played.
#include <gtest/gtest.h>

#include <cmath>

#include "OutputTestKit.h"
#include "audio/outputs/OutputDS.h"

namespace kelvar {
namespace {

using testkit::TAlsaCaptureConf;
using testkit::TToneFeed;
using testkit::WaitUntil;

TWaveFormatExtensible StereoDevice() {
    TWaveFormatExtensible f;
    f.Format = DefaultAudioFormat;
    f.ValidBitsPerSample = 16;
    f.ChannelMask = 3;
    return f;
}

TEST(DSVolume, AttenuationInHundredthsOfADecibel) {
    EXPECT_EQ(DSVolumeAttenuation(255, false), 0);
    EXPECT_EQ(DSVolumeAttenuation(128, false), -599);
    EXPECT_EQ(DSVolumeAttenuation(0, false), -10000);
    EXPECT_EQ(DSVolumeAttenuation(255, true), -10000);
    EXPECT_EQ(AttenuationToFactor(0), 1.0);
    EXPECT_EQ(AttenuationToFactor(-10000), 0.0);
    EXPECT_NEAR(AttenuationToFactor(-599), 128.0 / 255.0, 0.001);
}

// Plays Tone through the capture PCM at the given volume and answers what was captured.
std::vector<int16_t> PlayAndCapture(TAlsaCaptureConf& Conf, const std::vector<int16_t>& Tone, uint8_t Volume, bool Mute,
                                    int Step = 0) {
    TToneFeed feed(Tone);
    TOutput_DS out;
    out.SetOnGetData(
        [&](void* Buffer, int Length) { return feed(Buffer, Step > 0 ? std::min(Step, Length) : Length); });
    EXPECT_TRUE(out.Open("kelvar_capture", StereoDevice(), 10, 4));
    out.SetVolume(Volume);
    out.SetMute(Mute);
    out.Run();
    EXPECT_TRUE(WaitUntil([&] { return feed.Done(); }));
    // A few packets of silence behind the tone, so the tone has surely gone through.
    const int after = out.GetUnderruns();
    EXPECT_TRUE(WaitUntil([&] { return out.GetUnderruns() > after + 8; }));
    out.Stop();
    out.Shutdown();
    int32_t code = 0;
    std::string text;
    out.GetLastError(code, text);
    EXPECT_EQ(code, S_OK) << text;
    return Conf.ReadCapture();
}

TEST(DSOutput, FilePcmCapturesTheToneBitExactAtFullVolume) {
    TAlsaCaptureConf conf;
    const auto tone = testkit::MakeTone(4410, 440, 12000);
    const auto captured = PlayAndCapture(conf, tone, 255, false);
    ASSERT_GE(captured.size(), tone.size());
    EXPECT_TRUE(std::equal(tone.begin(), tone.end(), captured.begin()));
    // Underruns after the tone are played as silence.
    EXPECT_EQ(testkit::Peak(captured.data(), captured.size(), tone.size()), 0);
}

TEST(DSOutput, VolumeAndMuteScaleTheSamples) {
    const auto tone = testkit::MakeTone(4410, 440, 20000);
    {
        TAlsaCaptureConf conf;
        const auto captured = PlayAndCapture(conf, tone, 128, false);
        ASSERT_GE(captured.size(), tone.size());
        const double factor = AttenuationToFactor(-599);
        for (size_t i = 0; i < tone.size(); i += 97) EXPECT_EQ(captured[i], std::lround(tone[i] * factor)) << i;
    }
    {
        TAlsaCaptureConf conf;
        const auto captured = PlayAndCapture(conf, tone, 255, true);
        ASSERT_GE(captured.size(), tone.size());
        EXPECT_EQ(testkit::Peak(captured.data(), tone.size()), 0);
    }
}

TEST(DSOutput, ShortDeliveriesArePaddedWithSilence) {
    TAlsaCaptureConf conf;
    const auto tone = testkit::MakeTone(2205, 440, 10000);
    // 10 ms packets are 1764 bytes; the source gives 882 bytes per pull.
    const auto captured = PlayAndCapture(conf, tone, 255, false, 882);
    ASSERT_GE(captured.size(), tone.size() * 2);
    for (size_t packet = 0; packet < tone.size() / 441; ++packet) {
        const int16_t* p = captured.data() + packet * 882;
        EXPECT_TRUE(std::equal(p, p + 441, tone.begin() + static_cast<long>(packet * 441))) << packet;
        EXPECT_EQ(testkit::Peak(p + 441, 441), 0) << packet;
    }
}

TEST(DSOutput, DeviceTextNamesThePcm) {
    EXPECT_EQ(AlsaDeviceName(""), "default");
    EXPECT_EQ(AlsaDeviceName("  "), "default");
    EXPECT_EQ(AlsaDeviceName("{DEF00000-9C6D-47ED-AAF1-4DDA8F2B5C03}"), "default");
    EXPECT_EQ(AlsaDeviceName(" plughw:1,0 "), "plughw:1,0");
    EXPECT_EQ(AlsaDeviceName("{not-a-guid}"), "{not-a-guid}");
}

TEST(DSOutput, UnknownDeviceFailsTheOpen) {
    TOutput_DS out;
    EXPECT_FALSE(out.Open("no_such_kelvar_pcm", StereoDevice(), 10, 10));
    int32_t code = 0;
    std::string text;
    out.GetLastError(code, text);
    EXPECT_NE(code, S_OK);
    EXPECT_EQ(text, "Unable to create DirectSound object");
}

TEST(DSOutput, NullPcmRunsPausesResetsAndStops) {
    std::atomic<int> calls{0};
    TOutput_DS out;
    out.SetOnGetData([&](void*, int Length) {
        ++calls;
        return Length;
    });
    ASSERT_TRUE(out.Open("null", StereoDevice(), 10, 5));
    // Pause from stopped fills every packet but plays nothing.
    out.Pause();
    ASSERT_TRUE(WaitUntil([&] { return out.GetState() == OutputState::Paused; }));
    EXPECT_GE(calls, 5);
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return out.GetState() == OutputState::Running && calls > 20; }));
    out.Reset();
    const int before = calls;
    // The reset refills the whole device queue before it shows Running again.
    EXPECT_TRUE(WaitUntil([&] { return calls > before + 10 && out.GetState() == OutputState::Running; }));
    out.Stop();
    ASSERT_TRUE(WaitUntil([&] { return out.GetState() == OutputState::Stopped; }));
    out.Shutdown();
    EXPECT_EQ(out.GetUnderruns(), 0);
}

}  // namespace
}  // namespace kelvar
