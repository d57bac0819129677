// The built-in direct-hardware driver's pins over ALSA's null PCM and a capture file PCM.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "LiveInputKit.h"
#include "audio/outputs/EventSet.h"
#include "audio/outputs/KSDriver.h"

namespace kelvar {
namespace {

constexpr int Packets = 3;
constexpr uint32_t PacketBytes = 1764;  // 10 ms

struct TPinFixture {
    explicit TPinFixture(bool Capture, const char* Path) : Driver(CreateAlsaKSDriver()), Events(Packets) {
        TWaveFormatExtensible format{};
        format.Format = DefaultAudioFormat;
        format.ValidBitsPerSample = 16;
        format.ChannelMask = 3;
        const int32_t rc =
            Capture ? Driver->FilterCapture_Create(Filter, Path) : Driver->FilterRender_Create(Filter, Path);
        if (rc == 0) {
            if (Capture)
                Driver->FilterCapture_CreatePin(Filter, format, Pin);
            else
                Driver->FilterRender_CreatePin(Filter, format, Pin);
        }
        for (int i = 0; i < Packets; ++i) {
            Headers[i].FrameExtent = PacketBytes;
            Headers[i].Data = Data[i].data();
            Overlapped[i] = {&Events, i};
        }
    }
    ~TPinFixture() {
        if (Pin) Driver->Pin_ClosePin(Pin);
        if (Filter) Driver->Filter_Destroy(Filter);
    }
    int32_t Queue(bool Capture, int Index) {
        return Capture ? Driver->Pin_ReadData(Pin, Headers[Index], Overlapped[Index])
                       : Driver->Pin_WriteData(Pin, Headers[Index], Overlapped[Index]);
    }

    IKSDriverPtr Driver;
    TKSHandle Filter = 0;
    TKSHandle Pin = 0;
    TEventSet Events;
    std::array<TKSStreamHeader, Packets> Headers{};
    std::array<TKSOverlapped, Packets> Overlapped{};
    std::array<std::array<uint8_t, PacketBytes>, Packets> Data{};
};

// A stop completes and signals every request the pin holds, so each header can be queued
// again at once and comes back from the next run exactly once.
TEST(KSDriverPin, StopCompletesEveryQueuedRequest) {
    const auto input = testkit::MakeRamp(44100 * 2);
    testkit::TAlsaInputConf conf(input);
    for (const bool capture : {true, false}) {
        SCOPED_TRACE(capture ? "capture" : "render");
        TPinFixture pin(capture, capture ? "kelvar_in" : "null");
        ASSERT_NE(pin.Pin, 0u);
        for (int i = 0; i < Packets; ++i) {
            pin.Headers[i].DataUsed = capture ? 123 : PacketBytes;
            ASSERT_EQ(pin.Queue(capture, i), 0);
        }
        // Stopped: nothing has been taken yet; the stop hands every request back.
        ASSERT_EQ(pin.Driver->Pin_SetState(pin.Pin, KSState::Stop), 0);
        for (int i = 0; i < Packets; ++i) {
            EXPECT_TRUE(pin.Events.IsSet(i)) << i;
            if (capture) {
                EXPECT_EQ(pin.Headers[i].DataUsed, 0u) << i;
            }
        }
        pin.Events.ResetAll();

        for (int i = 0; i < Packets; ++i) {
            pin.Headers[i].DataUsed = capture ? 0 : PacketBytes;
            ASSERT_EQ(pin.Queue(capture, i), 0);
        }
        ASSERT_EQ(pin.Driver->Pin_SetState(pin.Pin, KSState::Run), 0);
        std::array<int, Packets> seen{};
        for (int n = 0; n < Packets; ++n) {
            const int event = pin.Events.Wait(10000);
            ASSERT_GE(event, 0);
            ++seen[static_cast<size_t>(event)];
        }
        ASSERT_EQ(pin.Driver->Pin_SetState(pin.Pin, KSState::Stop), 0);
        EXPECT_EQ(seen, (std::array<int, Packets>{1, 1, 1}));
        if (capture) {
            // Filled in queue order from the start of the input.
            for (int i = 0; i < Packets; ++i) {
                ASSERT_EQ(pin.Headers[i].DataUsed, PacketBytes) << i;
                EXPECT_EQ(std::memcmp(pin.Headers[i].Data, input.data() + i * PacketBytes / 2, PacketBytes), 0) << i;
            }
        }
    }
}

}  // namespace
}  // namespace kelvar
