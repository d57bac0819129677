// The capture threads and their front end, against ALSA PCMs of the test's own: a file PCM
// with an input file stands in for a microphone.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>

#include "LiveInputKit.h"
#include "OutputTestKit.h"
#include "audio/graph/AudioErrors.h"
#include "audio/live/RecorderDS.h"
#include "audio/live/Recorder_combo.h"
#include "audio/outputs/DirectKS_API.h"

namespace kelvar {
namespace {

using testkit::TAlsaInputConf;
using testkit::WaitUntil;

// Collects every packet a front end delivers.
struct TCollector {
    std::mutex Lock;
    std::vector<int16_t> Samples;
    std::vector<uint32_t> Sizes;
    void operator()(const void* Buffer, uint32_t Bytes) {
        std::lock_guard<std::mutex> guard(Lock);
        const auto* s = static_cast<const int16_t*>(Buffer);
        Samples.insert(Samples.end(), s, s + Bytes / 2);
        Sizes.push_back(Bytes);
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(Lock);
        return Samples.size();
    }
};

TEST(Recorder, PacketArithmetic) {
    struct Case {
        TWaveFormat Format;
        int Ms;
        uint32_t Packet;
    } cases[] = {
        {DefaultAudioFormat, 10, 1764},
        {MakePcmFormat(22050, 1, 8), 10, 220},
        {MakePcmFormat(44100, 2, 16), 5, 880},  // 882 rounded down to whole frames
        {MakePcmFormat(48000, 1, 16), 50, 4800},
    };
    for (const auto& c : cases) {
        TRecorder_DS r;
        r.SetupPackets(c.Format, 4, c.Ms);
        EXPECT_EQ(r.GetPacketBytes(), c.Packet) << c.Format.SamplesPerSec << " " << c.Ms;
        EXPECT_EQ(r.GetBufferBytes(), c.Packet * 4);
    }
}

TEST(RecorderCombo, RefusesPacketSettingsOutOfRange) {
    struct Case {
        int Packets, Ms;
        const char* Text;
    } cases[] = {
        {2, 10, "Allowed packet count is 3 - 20 "},
        {21, 10, "Allowed packet count is 3 - 20 "},
        {5, 4, "Allowed packet duration is 5 ms - 50 ms"},
        {5, 51, "Allowed packet duration is 5 ms - 50 ms"},
    };
    for (const auto& c : cases) {
        TRecorder_Combo combo;
        combo.FPackets = c.Packets;
        combo.FPacketTime = c.Ms;
        EXPECT_FALSE(combo.Open(DefaultAudioFormat));
        int32_t code = 0;
        std::string text;
        combo.GetLastError(code, text);
        EXPECT_EQ(code, E_INVALIDARG);
        EXPECT_EQ(text, c.Text);
    }
}

TEST(RecorderCombo, ErrorsWithoutThreadAndBadDriver) {
    TRecorder_Combo combo;
    int32_t code = 1;
    std::string text;
    combo.GetLastError(code, text);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "Recorder not created");
    combo.Run();  // no thread: nothing happens
    combo.Stop();
    combo.FDriverType = 2;
    try {
        combo.Open(DefaultAudioFormat);
        FAIL() << "no exception";
    } catch (const EAudioError& e) {
        EXPECT_STREQ(e.what(), "Invalid recording driver specified");
    }
}

// Opens Device through the front end, runs it until Want samples came, and answers them.
std::vector<int16_t> Capture(TRecorder_Combo& Combo, TCollector& Sink, size_t Want) {
    Combo.OnData = [&](const void* Buffer, uint32_t Bytes) { Sink(Buffer, Bytes); };
    EXPECT_TRUE(Combo.Open(DefaultAudioFormat));
    Combo.Run();
    EXPECT_TRUE(WaitUntil([&] { return Sink.Count() >= Want; }));
    Combo.Close();
    std::lock_guard<std::mutex> guard(Sink.Lock);
    return Sink.Samples;
}

TEST(RecorderCombo, CapturesTheInputFileAfterOneBufferOfSlots) {
    const auto input = testkit::MakeRamp(44100 / 5 * 2);  // 200 ms
    TAlsaInputConf conf(input);
    TRecorder_Combo combo;
    combo.FSoundDevice = "kelvar_in";
    TCollector sink;
    const size_t slots = 5 * 1764 / 2;
    const auto got = Capture(combo, sink, slots + input.size());
    ASSERT_GE(got.size(), slots + input.size());
    // The first run hands out every slot of the fresh ring (silence), then the live packets.
    EXPECT_EQ(testkit::Peak(got.data(), slots), 0);
    EXPECT_TRUE(std::equal(input.begin(), input.end(), got.begin() + static_cast<std::ptrdiff_t>(slots)));
    for (uint32_t size : sink.Sizes) EXPECT_EQ(size, 1764u);
    int32_t code = 1;
    std::string text;
    combo.GetLastError(code, text);
    EXPECT_EQ(code, 0) << text;
}

TEST(RecorderCombo, UnknownDeviceFallsBackToTheDefault) {
    const auto input = testkit::MakeRamp(4410 * 2);
    TAlsaInputConf conf(input, testkit::TDefaultPcm::SameAsInput);
    TRecorder_Combo combo;
    combo.FSoundDevice = "  no_such_capture_device ";
    combo.FPackets = 3;
    TCollector sink;
    const size_t slots = 3 * 1764 / 2;
    const auto got = Capture(combo, sink, slots + input.size());
    ASSERT_GE(got.size(), slots + input.size());
    EXPECT_TRUE(std::equal(input.begin(), input.end(), got.begin() + static_cast<std::ptrdiff_t>(slots)));
}

TEST(RecorderCombo, DeviceThatCannotOpenFailsWithItsText) {
    TAlsaInputConf conf(testkit::MakeRamp(100));  // "default" cannot be opened either
    TRecorder_Combo combo;
    combo.FSoundDevice = "no_such_capture_device";
    EXPECT_FALSE(combo.Open(DefaultAudioFormat));
    int32_t code = 0;
    std::string text;
    combo.GetLastError(code, text);
    EXPECT_EQ(code, E_FAIL);
    EXPECT_EQ(text, "Unable to create DirectSoundCapture object");
}

TEST(RecorderCombo, StopHoldsPacketsBackUntilTheNextRun) {
    TAlsaInputConf conf(testkit::MakeRamp(44100 * 2));
    TRecorder_Combo combo;
    combo.FSoundDevice = "kelvar_in";
    TCollector sink;
    combo.OnData = [&](const void* Buffer, uint32_t Bytes) { sink(Buffer, Bytes); };
    ASSERT_TRUE(combo.Open(DefaultAudioFormat));
    EXPECT_EQ(combo.GetRecorder()->GetRunState(), 0);
    combo.Run();
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() > 0; }));
    EXPECT_TRUE(WaitUntil([&] { return combo.GetRecorder()->GetRunState() == 3; }));
    combo.Stop();
    ASSERT_TRUE(WaitUntil([&] { return combo.GetRecorder()->GetRunState() == 0; }));
    const size_t stopped = sink.Count();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sink.Count(), stopped);
    combo.Run();
    EXPECT_TRUE(WaitUntil([&] { return sink.Count() > stopped + 5 * 1764 / 2; }));
}

TEST(RecorderCombo, AnExceptionInTheDataHandlerEndsTheThread) {
    TAlsaInputConf conf(testkit::MakeRamp(4410));
    TRecorder_Combo combo;
    combo.FSoundDevice = "kelvar_in";
    std::atomic<int> calls{0};
    combo.OnData = [&](const void*, uint32_t) {
        ++calls;
        throw EAudioError("handler failed");
    };
    ASSERT_TRUE(combo.Open(DefaultAudioFormat));
    combo.Run();
    ASSERT_TRUE(WaitUntil([&] { return combo.HasEnded(); }));
    EXPECT_EQ(calls.load(), 1);
    int32_t code = 0;
    std::string text;
    combo.GetLastError(code, text);
    EXPECT_EQ(text, "handler failed");
}

class KSCapture : public ::testing::Test {
protected:
    void TearDown() override { SetKSDriverFactory(nullptr); }
};

TEST_F(KSCapture, CapturesThroughTheDirectDriver) {
    const auto input = testkit::MakeRamp(44100 / 10 * 2);
    TAlsaInputConf conf(input);
    TRecorder_Combo combo;
    combo.FDriverType = RecordDriver::KernelStreaming;
    combo.FSoundDevice = "kelvar_in";
    // The file PCM reads at most its own (small) buffer per read: packets of 10 ms fit.
    combo.FPackets = 4;
    combo.FPacketTime = 10;
    TCollector sink;
    const auto got = Capture(combo, sink, input.size());
    ASSERT_GE(got.size(), input.size());
    // No slots first: each packet comes back filled from the device.
    const auto diff = std::mismatch(input.begin(), input.end(), got.begin());
    EXPECT_EQ(diff.first, input.end()) << "at " << (diff.first - input.begin()) << ": " << *diff.second;
    for (uint32_t size : sink.Sizes) EXPECT_EQ(size, 1764u);
}

// A stop hands back every header the pin holds; runs right after stops queue each header
// once, and capture goes on in stretches of the input (the packet cut short by a stop comes
// back with the whole frames it holds).
TEST_F(KSCapture, BackToBackStopsAndRunsKeepCapturing) {
    TAlsaInputConf conf(testkit::MakeRamp(44100 * 2 * 4));
    TRecorder_Combo combo;
    combo.FDriverType = RecordDriver::KernelStreaming;
    combo.FSoundDevice = "kelvar_in";
    combo.FPackets = 4;
    TCollector sink;
    combo.OnData = [&](const void* Buffer, uint32_t Bytes) { sink(Buffer, Bytes); };
    ASSERT_TRUE(combo.Open(DefaultAudioFormat));
    combo.Run();
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() > 0; }));
    for (int i = 0; i < 20; ++i) {
        combo.Stop();
        combo.Run();
    }
    const size_t before = sink.Count();
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() > before + 8 * 1764 / 2; }));
    EXPECT_FALSE(combo.HasEnded());
    combo.Close();
    int32_t code = 1;
    std::string text;
    combo.GetLastError(code, text);
    EXPECT_EQ(code, 0) << text;
    std::lock_guard<std::mutex> guard(sink.Lock);
    size_t offset = 0;
    for (uint32_t size : sink.Sizes) {
        ASSERT_LE(size, 1764u);
        ASSERT_EQ(size % 4, 0u);
        for (size_t k = offset + 1; k < offset + size / 2; ++k) {
            if (sink.Samples[k - 1] != 32000) {
                ASSERT_EQ(sink.Samples[k], sink.Samples[k - 1] + 1) << k;
            }
        }
        offset += size / 2;
    }
}

TEST_F(KSCapture, MissingDeviceFailsWithTheDriversText) {
    TAlsaInputConf conf(testkit::MakeRamp(100));
    TRecorder_Combo combo;
    combo.FDriverType = RecordDriver::KernelStreaming;
    combo.FSoundDevice = "hw:CARD=None,DEV=0";
    EXPECT_FALSE(combo.Open(DefaultAudioFormat));
    int32_t code = 0;
    std::string text;
    combo.GetLastError(code, text);
    EXPECT_EQ(code, static_cast<int32_t>(0x80040294));
    EXPECT_EQ(text, "Unable to create KS pin on filter");
}

TEST_F(KSCapture, ThreadEndsAtTheFirstRefusedPacket) {
    TAlsaInputConf conf(testkit::MakeRamp(44100));
    SetKSDriverFactory([] { return std::make_shared<testkit::TFailingKSDriver>(6); });
    TRecorder_Combo combo;
    combo.FDriverType = RecordDriver::KernelStreaming;
    combo.FSoundDevice = "kelvar_in";
    TCollector sink;
    combo.OnData = [&](const void* Buffer, uint32_t Bytes) { sink(Buffer, Bytes); };
    ASSERT_TRUE(combo.Open(DefaultAudioFormat));
    combo.Run();
    ASSERT_TRUE(WaitUntil([&] { return combo.HasEnded(); }));
    int32_t code = 0;
    std::string text;
    combo.GetLastError(code, text);
    EXPECT_EQ(text, "Unable to write packet to KS pin");
    // The five queued at the run, then one more resubmitted before the refusal.
    EXPECT_LE(sink.Sizes.size(), 6u);
}

}  // namespace
}  // namespace kelvar
