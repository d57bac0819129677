#pragma once
// The device-less output: pulls the mix at real-time speed against a monotonic clock and
// discards it. Its clock can run faster than real time (tests, benchmarks), so a minute of
// playout renders in a second.
#include <cstdint>
#include <vector>

#include "audio/outputs/Output_imp.h"

namespace kelvar {

class TOutput_Silence : public TOutput {
public:
    TOutput_Silence();
    ~TOutput_Silence() override;

    // Clock-rate factor: 1 is real time, 60 plays a minute per second. Set before Open.
    void SetClockRate(double Rate);
    double GetClockRate() const { return FClockRate; }
    // Bytes pulled since the last run (clears with stop, pause and run).
    int64_t GetDelivered() const { return FDeliveredTotal; }

protected:
    bool DoOpen(const std::string& Device, const TWaveFormatExtensible& Format, int PacketMs, int PacketCount) override;
    void Execute() override;

private:
    // Microseconds of the output's own clock (scaled by the clock rate).
    int64_t ClockUs() const;
    // One pass of the loop; answers false when the loop ends.
    bool Pass();

    TWaveFormatExtensible FFormat{};
    std::vector<uint8_t> FPacket;
    int FState = OutputState::Stopped;
    int64_t FStartTime = -1;  // clock microseconds at run; -1: not running
    int64_t FDelivered = 0;
    std::atomic<int64_t> FDeliveredTotal{0};
    double FClockRate = 1.0;
};

}  // namespace kelvar
