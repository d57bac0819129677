// The output thread's open checks, control protocol and error score, through the silent output.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "OutputTestKit.h"
#include "audio/outputs/OutputSilent.h"

namespace kelvar {
namespace {

using testkit::WaitUntil;

TWaveFormatExtensible DeviceFormat(uint16_t Channels) {
    TWaveFormatExtensible f;
    f.Format = MakePcmFormat(44100, Channels, 16);
    f.ValidBitsPerSample = 16;
    return f;
}

TEST(OutputOpen, PacketSettingsAreCheckedBeforeTheDevice) {
    struct Case {
        int Packets, Ms;
        bool Ok;
        const char* Text;
    };
    const Case cases[] = {
        {2, 10, false, "Allowed packet count is 3 - 20 "},
        {21, 10, false, "Allowed packet count is 3 - 20 "},
        {10, 4, false, "Allowed packet duration is 5 ms - 50 ms"},
        {10, 51, false, "Allowed packet duration is 5 ms - 50 ms"},
        {3, 5, true, ""},
        {20, 50, true, ""},
    };
    for (const auto& c : cases) {
        TOutput_Silence out;
        EXPECT_EQ(out.Open("", DeviceFormat(2), c.Ms, c.Packets), c.Ok) << c.Packets << " x " << c.Ms;
        int32_t code = 0;
        std::string text;
        out.GetLastError(code, text);
        EXPECT_EQ(code, c.Ok ? S_OK : E_INVALIDARG);
        EXPECT_EQ(text, c.Text);
        out.Shutdown();
    }
}

TEST(OutputOpen, PacketBytesAreWholeFrames) {
    TOutput_Silence four;
    ASSERT_TRUE(four.Open("", DeviceFormat(4), 10, 10));
    EXPECT_EQ(four.GetPacketBytes(), 3528);
    EXPECT_EQ(four.GetTotalBytes(), 35280);
    TOutput_Silence stereo;
    ASSERT_TRUE(stereo.Open("", DeviceFormat(2), 7, 3));
    EXPECT_EQ(stereo.GetPacketBytes(), 1232);
}

// Bytes the silent output may have pulled Ms after its run: what is due plus one packet.
int64_t MostDue(const TOutput_Silence& Out, double RealMs) {
    const double virtualMs = RealMs * Out.GetClockRate();
    return MsToBytes(DefaultAudioFormat, static_cast<int64_t>(virtualMs) + 1) + Out.GetPacketBytes();
}

TEST(SilentOutput, PullsFollowItsClockAndRestartAfterPause) {
    std::atomic<int64_t> pulled{0};
    TOutput_Silence out;
    out.SetClockRate(20);  // a second of audio in 50 ms
    out.SetOnGetData([&](void*, int Length) {
        pulled += Length;
        return Length;
    });
    ASSERT_TRUE(out.Open("", DeviceFormat(2), 10, 10));

    auto start = std::chrono::steady_clock::now();
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return out.GetDelivered() >= 176400; }));
    // Read before the clock, so the bound holds whatever the thread does meanwhile.
    int64_t delivered = out.GetDelivered();
    double realMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LE(delivered, MostDue(out, realMs));

    // A long pause must not be followed by a burst that catches up on it.
    out.Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // two seconds of its clock
    const int64_t beforeRun = pulled;
    start = std::chrono::steady_clock::now();
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return pulled > beforeRun; }));
    delivered = pulled - beforeRun;
    realMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LE(delivered, MostDue(out, realMs));

    out.Stop();
    out.Shutdown();
    EXPECT_TRUE(out.HasEnded());
    EXPECT_EQ(out.GetUnderruns(), 0);
}

TEST(SilentOutput, ShortDeliveriesCountAsUnderruns) {
    TOutput_Silence out;
    out.SetClockRate(50);
    out.SetOnGetData([](void*, int Length) { return Length / 2; });
    ASSERT_TRUE(out.Open("", DeviceFormat(2), 10, 3));
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return out.GetUnderruns() >= 5; }));
    out.Shutdown();
}

TEST(OutputErrorScore, ElevenFailuresInARowEndTheThread) {
    std::atomic<int> calls{0};
    TOutput_Silence out;
    out.SetClockRate(50);
    out.SetOnGetData([&](void*, int) -> int {
        ++calls;
        throw std::runtime_error("source failed");
    });
    ASSERT_TRUE(out.Open("", DeviceFormat(2), 5, 3));
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return out.HasEnded(); }));
    EXPECT_EQ(calls, 11);
    int32_t code = 0;
    std::string text;
    out.GetLastError(code, text);
    EXPECT_EQ(code, E_FAIL);
    EXPECT_EQ(text, "source failed");
}

// Each failure adds 10 and each clean pass takes 1 off, so one failure in every eleven pulls
// keeps the score from growing.
TEST(OutputErrorScore, OccasionalFailuresNeverEndTheThread) {
    std::atomic<int> calls{0};
    TOutput_Silence out;
    out.SetClockRate(50);
    out.SetOnGetData([&](void*, int Length) -> int {
        if (++calls % 11 == 0) throw std::runtime_error("one pull in eleven fails");
        return Length;
    });
    ASSERT_TRUE(out.Open("", DeviceFormat(2), 5, 3));
    out.Run();
    ASSERT_TRUE(WaitUntil([&] { return calls >= 300; }));
    EXPECT_FALSE(out.HasEnded());
    out.Shutdown();
}

TEST(SilentOutput, StoppedOutputPullsNothingAndShutsDownPromptly) {
    std::atomic<int> calls{0};
    TOutput_Silence out;
    out.SetOnGetData([&](void*, int Length) {
        ++calls;
        return Length;
    });
    ASSERT_TRUE(out.Open("", DeviceFormat(2), 10, 10));
    out.SetVolume(10);
    out.Reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(calls, 0);
    out.Shutdown();
    EXPECT_TRUE(out.HasEnded());
}

}  // namespace
}  // namespace kelvar
