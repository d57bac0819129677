// The live-input decoder over a capture PCM of the test's own: a file PCM whose input file
// holds a known ramp stands in for the microphone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>

#include "DeckTestUtil.h"
#include "audio/LiveInputKit.h"
#include "audio/OutputTestKit.h"
#include "audio/live/AMixer.h"
#include "audio/mix/Channel_imp.h"
#include "audio/outputs/DirectKS_API.h"
#include "media/DecoderFactory.h"
#include "media/Decoder_LINEIN.h"
#include "media/Player_imp.h"

namespace kelvar {
namespace {

using testkit::TAlsaInputConf;
using testkit::WaitUntil;

TEST(LiveSourceAddress, ParsesParameters) {
    auto p = ParseLiveSourceAddress("mic://?&driver=KS&sounddevice=Line%20In&packets=8&packettime=20");
    EXPECT_EQ(p["driver"], "KS");
    EXPECT_EQ(p["sounddevice"], "Line In");
    EXPECT_EQ(p["packets"], "8");
    EXPECT_EQ(p["packettime"], "20");
    p = ParseLiveSourceAddress("LINEIN://x&DeviceID=2&volctrl=1&volctrl=3&duration=&flag&a=b=c");
    EXPECT_EQ(p["deviceid"], "2");
    EXPECT_EQ(p["volctrl"], "3");        // the last one wins
    EXPECT_EQ(p.count("duration"), 0u);  // empty counts as absent
    EXPECT_EQ(p.count("flag"), 0u);
    EXPECT_EQ(p["a"], "b=c");  // split at the first "="
}

TEST(LineInDecoder, AcceptsTheThreePrefixesInAnyCase) {
    TDecoder_LineIn d;
    for (const char* name : {"MIC://", "mic://?&x=1", "LineIn://", "record://a"})
        EXPECT_TRUE(d.CanDecode(name, 0)) << name;
    for (const char* name : {"mic:/x", "http://mic://", "/x/a.wav"}) EXPECT_FALSE(d.CanDecode(name, 0)) << name;
    EXPECT_TRUE(std::dynamic_pointer_cast<TDecoder_LineIn>(CreateDecoder("RECORD://?&driver=DS")));
}

TEST(LineInDecoder, BeforeOpen) {
    TDecoder_LineIn d;
    EXPECT_TRUE(d.IsEOF());
    EXPECT_FALSE(d.IsSeekable());
    try {
        d.Decode([](const void*, int32_t, const TWaveFormat&) {}, nullptr);
        FAIL() << "no exception";
    } catch (const EMediaError& e) {
        EXPECT_STREQ(e.what(), "LineIn Decoder not yet open!");
    }
}

TEST(LineInDecoder, AppliesDriverDevicePacketsAndDuration) {
    TAlsaInputConf conf(testkit::MakeRamp(4410));
    struct Case {
        const char* Name;
        int Driver, Packets, PacketTime;
        int32_t Duration;
    } cases[] = {
        {"mic://?&driver=KS&sounddevice=kelvar_in&packets=8&packettime=10", 1, 8, 10, 0},
        {"mic://?&driver=ks&sounddevice=kelvar_in", 0, 5, 10, 0},
        {"LINEIN://?&sounddevice=kelvar_in&packets=x&duration=0:1:30", 0, 5, 10, 90000},
        {"RECORD://?&sounddevice=kelvar%5Fin&duration=90", 0, 5, 10, 90000},
        {"mic://?&sounddevice=kelvar_in&duration=2500&packettime=20", 0, 5, 20, 2500},
        // Beyond what the description's field holds: reported as its largest value.
        {"mic://?&sounddevice=kelvar_in&duration=1200:0:0", 0, 5, 10, INT32_MAX},
        {"mic://?&sounddevice=kelvar_in&duration=-5", 0, 5, 10, 0},  // no limit
    };
    for (const auto& c : cases) {
        TDecoder_LineIn d;
        ASSERT_TRUE(d.Open(c.Name)) << c.Name;
        const TRecorder_Combo& r = *d.GetRecorder();
        EXPECT_EQ(r.FDriverType, c.Driver) << c.Name;
        EXPECT_EQ(r.FSoundDevice, "kelvar_in");
        EXPECT_EQ(r.FPackets, c.Packets) << c.Name;
        EXPECT_EQ(r.FPacketTime, c.PacketTime) << c.Name;
        EXPECT_EQ(d.GetInfo()->Duration, c.Duration) << c.Name;
        EXPECT_EQ(d.GetInfo()->Size, -1);
        EXPECT_EQ(d.GetInfo()->Bitrate, 1411);
        EXPECT_FALSE(d.IsEOF());
        d.Close();
        EXPECT_TRUE(d.IsEOF());
        EXPECT_EQ(d.GetRecorder(), nullptr);
    }
}

TEST(LineInDecoder, DeviceThatCannotOpenFailsTheLoad) {
    TAlsaInputConf conf(testkit::MakeRamp(100));
    TDecoder_LineIn d;
    EXPECT_FALSE(d.Open("mic://?&sounddevice=no_such_device"));
    EXPECT_EQ(d.GetRecorder(), nullptr);
    EXPECT_TRUE(d.IsEOF());
}

// Decodes until the end, as a deck's worker would; answers the samples.
std::vector<int16_t> DecodeToEnd(TDecoder_LineIn& d, int& Blocks) {
    std::vector<int16_t> out;
    Blocks = 0;
    EXPECT_TRUE(WaitUntil([&] {
        d.Decode(
            [&](const void* Buffer, int32_t Bytes, const TWaveFormat& Format) {
                EXPECT_TRUE(SameFormat(Format, DefaultAudioFormat));
                const auto* s = static_cast<const int16_t*>(Buffer);
                out.insert(out.end(), s, s + Bytes / 2);
                ++Blocks;
            },
            nullptr);
        return d.IsEOF();
    }));
    return out;
}

TEST(LineInDecoder, DeliversTheCaptureUntilTheDuration) {
    const auto ramp = testkit::MakeRamp(44100 * 2);
    TAlsaInputConf conf(ramp);
    TDecoder_LineIn d;
    ASSERT_TRUE(d.Open("mic://?&sounddevice=kelvar_in&duration=0.5"));
    int blocks = 0;
    const auto got = DecodeToEnd(d, blocks);
    // Ten blocks of 50 ms; the first is the recorder's five fresh slots (silence).
    EXPECT_EQ(blocks, 10);
    ASSERT_EQ(got.size(), 44100u);
    EXPECT_EQ(testkit::Peak(got.data(), 4410), 0);
    EXPECT_TRUE(std::equal(got.begin() + 4410, got.end(), ramp.begin()));
}

TEST(LineInDecoder, SeekDropsWhatWasBuffered) {
    TAlsaInputConf conf(testkit::MakeRamp(44100 * 2));
    TDecoder_LineIn d;
    ASSERT_TRUE(d.Open("mic://?&sounddevice=kelvar_in"));
    TRecorder& r = *d.GetRecorder()->GetRecorder();
    ASSERT_TRUE(WaitUntil([&] { return r.GetRunState() == 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    d.GetRecorder()->Stop();
    ASSERT_TRUE(WaitUntil([&] { return r.GetRunState() == 0; }));
    EXPECT_EQ(d.Seek(10000), 0);
    int calls = 0;
    d.Decode([&](const void*, int32_t, const TWaveFormat&) { ++calls; }, nullptr);
    EXPECT_EQ(calls, 0);
}

TEST(LineInDecoder, ABacklogKeepsOnlyTheNewestHalfSecond) {
    TAlsaInputConf conf(testkit::MakeRamp(44100 * 4));
    TDecoder_LineIn d;
    ASSERT_TRUE(d.Open("mic://?&sounddevice=kelvar_in"));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    int blocks = 0;
    for (int i = 0; i < 30; ++i) d.Decode([&](const void*, int32_t, const TWaveFormat&) { ++blocks; }, nullptr);
    EXPECT_LE(blocks, 10);
}

class LineInDeck : public ::testing::Test {
protected:
    void TearDown() override {
        SetKSDriverFactory(nullptr);
        platform::SetMixerBackendFactory(nullptr);
    }
};

TEST_F(LineInDeck, EndsCleanlyWhenTheCaptureThreadEnds) {
    TAlsaInputConf conf(testkit::MakeRamp(44100));
    SetKSDriverFactory([] { return std::make_shared<testkit::TFailingKSDriver>(12); });
    TDecoder_LineIn d;
    ASSERT_TRUE(d.Open("mic://?&driver=KS&sounddevice=kelvar_in"));
    int blocks = 0;
    const auto got = DecodeToEnd(d, blocks);
    EXPECT_TRUE(d.GetRecorder()->HasEnded());
    // At most the twelve packets read before the refusal, nothing invented after them.
    EXPECT_LE(got.size(), 12u * 1764 / 2);
    EXPECT_GT(got.size(), 0u);
}

TEST_F(LineInDeck, CaptureReachesTheDecksChannel) {
    TAlsaInputConf conf(testkit::MakeTone(44100, 440, 12000));
    TDecoder_LineIn d;
    ASSERT_TRUE(d.Open("mic://?&sounddevice=kelvar_in&duration=0.4"));
    TChannel_player channel;
    int blocks = 0;
    ASSERT_TRUE(WaitUntil([&] {
        d.Decode([&](const void* Buffer, int32_t Bytes,
                     const TWaveFormat&) { channel.GetInput()->Push(const_cast<void*>(Buffer), Bytes, 0), ++blocks; },
                 nullptr);
        return d.IsEOF();
    }));
    EXPECT_GT(blocks, 0);
    channel.GetInput()->EndOfStream();
    std::vector<int16_t> pulled(44100);
    int total = 0;
    TStreamTime time = 0;
    for (int i = 0; i < 200 && total < static_cast<int>(pulled.size() * 2); ++i) {
        const int n = channel.GetOutput()->Pull(reinterpret_cast<uint8_t*>(pulled.data()) + total,
                                                static_cast<int>(pulled.size() * 2) - total, time);
        if (n <= 0) break;
        total += n;
    }
    // 400 ms were captured: 50 ms of the recorder's fresh slots (silence the channel's gap
    // killer may cut), then the tone.
    EXPECT_GE(total, 4 * 44100 * 3 / 10);
    EXPECT_LE(total, 4 * 44100 * 4 / 10);
    EXPECT_NEAR(testkit::Peak(pulled.data(), static_cast<size_t>(total / 2)), 12000, 1200);
}

TEST_F(LineInDeck, ADeckPlaysTheLiveInputToItsDuration) {
    TAlsaInputConf conf(testkit::MakeTone(44100 * 2, 440, 12000));
    TPlayer player;
    ASSERT_TRUE(player.Load("LINEIN://?&sounddevice=kelvar_in&packettime=20&duration=0.6"));
    EXPECT_FALSE(player.IsSeekable());
    player.Play();
    int64_t frames = 0;
    int peak = 0;
    ASSERT_TRUE(test::PullUntil(
        player.Channel->GetOutput(), [&] { return player.IsFinished(); },
        [&](const int16_t* Samples, int Count, TStreamTime) {
            frames += Count / 2;
            peak = std::max(peak, test::Peak(Samples, static_cast<size_t>(Count)));
        }));
    // 600 ms captured; the first 100 ms (the recorder's five fresh slots of 20 ms) are silence
    // that the gap killer may cut.
    EXPECT_GE(frames, 44100 * 45 / 100);
    EXPECT_LE(frames, 44100 * 6 / 10);
    EXPECT_NEAR(peak, 12000, 1200);
    player.Unload();
}

TEST_F(LineInDeck, ADeckEndsWhenItsCaptureThreadEnds) {
    TAlsaInputConf conf(testkit::MakeTone(44100, 440, 12000));
    SetKSDriverFactory([] { return std::make_shared<testkit::TFailingKSDriver>(20); });
    TPlayer player;
    ASSERT_TRUE(player.Load("mic://?&driver=KS&sounddevice=kelvar_in"));
    player.Play();
    int64_t frames = 0;
    ASSERT_TRUE(test::PullUntil(
        player.Channel->GetOutput(), [&] { return player.IsFinished(); },
        [&](const int16_t*, int Count, TStreamTime) { frames += Count / 2; }));
    EXPECT_LE(frames, 20 * 441);
    player.Unload();
}

TEST_F(LineInDeck, SelectsTheMixerLineForRecording) {
    auto model = std::make_shared<platform::TMemoryMixerModel>();
    platform::TMemoryMixerModel::TDevice device;
    device.Destinations.resize(2);
    device.Destinations[1].Info.LineId = 0x10000;
    device.Destinations[1].Info.Channels = 2;
    platform::TMemoryMixerModel::TControl list;
    list.Info = {11,
                 platform::MIXERCONTROL_CONTROLTYPE_MUX,
                 platform::MIXERCONTROL_CONTROLF_UNIFORM | platform::MIXERCONTROL_CONTROLF_MULTIPLE,
                 2,
                 0,
                 1,
                 "Source"};
    list.Values = {1, 0};
    list.Items = {{0x10001, "Mic"}, {0x10002, "Line"}};
    device.Destinations[1].Controls = {list};
    device.Sources.resize(2);
    for (uint32_t i = 0; i < 2; ++i) {
        platform::TMemoryMixerModel::TLine line;
        line.Info.LineId = 0x10001 + i;
        line.Info.Channels = 2;
        platform::TMemoryMixerModel::TControl volume;
        volume.Info = {20 + i, platform::MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0, 0, 65535, "Volume"};
        volume.Values = {1000, 2000};
        line.Controls = {volume};
        device.Sources[1].push_back(line);
    }
    model->Devices = {device, device};
    platform::SetMixerBackendFactory([model] { return platform::CreateMemoryMixerBackend(model); });
    TAlsaInputConf conf(testkit::MakeRamp(4410));
    {
        TDecoder_LineIn d;
        ASSERT_TRUE(d.Open("mic://?&sounddevice=kelvar_in&volctrl=1&deviceID=1"));
    }
    auto& dev = model->Devices[1];
    EXPECT_EQ(platform::TMemoryMixerModel::FindControl(dev, 11)->Values, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(platform::TMemoryMixerModel::FindControl(dev, 21)->Values, (std::vector<int32_t>{1000, 2000}));
    EXPECT_EQ(platform::TMemoryMixerModel::FindControl(model->Devices[0], 11)->Values, (std::vector<int32_t>{1, 0}));
    // A line that is no number or does not exist changes nothing; capture goes on.
    for (const char* name : {"mic://?&sounddevice=kelvar_in&volctrl=abc", "mic://?&sounddevice=kelvar_in&volctrl=7"}) {
        TDecoder_LineIn d;
        EXPECT_TRUE(d.Open(name)) << name;
    }
    EXPECT_EQ(platform::TMemoryMixerModel::FindControl(model->Devices[0], 11)->Writes, 0);
}

}  // namespace
}  // namespace kelvar
