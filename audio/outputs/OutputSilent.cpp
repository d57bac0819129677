#include "audio/outputs/OutputSilent.h"

#include <algorithm>
#include <chrono>

#include "foundation/Logger.h"

namespace kelvar {

TOutput_Silence::TOutput_Silence() { FName = "SilentOutput"; }

TOutput_Silence::~TOutput_Silence() { Shutdown(); }

void TOutput_Silence::SetClockRate(double Rate) { FClockRate = Rate > 0 ? Rate : 1.0; }

int64_t TOutput_Silence::ClockUs() const {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    return static_cast<int64_t>(static_cast<double>(us) * FClockRate);
}

bool TOutput_Silence::DoOpen(const std::string&, const TWaveFormatExtensible& Format, int, int) {
    FFormat = Format;
    FPacket.assign(static_cast<size_t>(FPacketBytes), 0);
    FStartTime = -1;
    FDelivered = 0;
    FState = OutputState::Stopped;
    FErrorScore = 0;
    FEvents = std::make_unique<TEventSet>(ControlEvents);
    StartThread();
    return true;
}

void TOutput_Silence::Execute() {
    while (Pass()) {}
}

bool TOutput_Silence::Pass() {
    // Real microseconds to wait for events: a packet due now waits for nothing.
    int64_t waitUs = 1000000;
    try {
        if (FState == OutputState::Running && FStartTime >= 0) {
            const int64_t elapsedMs = (ClockUs() - FStartTime) / 1000;
            const int64_t due = MsToBytes(FFormat.Format, elapsedMs);
            if (elapsedMs < 0 || due < 0 || FDelivered < 0) {
                FStartTime = ClockUs();
                FDelivered = 0;
            }
            if (due - FDelivered < FPacketBytes) {
                const int64_t sleepMs = std::min(20, FPacketMs / 2);
                waitUs = static_cast<int64_t>(static_cast<double>(sleepMs * 1000) / FClockRate);
            } else {
                // Also after a pull that raised: the packet is still due, and it is tried again.
                waitUs = 0;
                const int n = GetData(FPacket.data(), FPacketBytes);
                FDelivered += std::max(n, 0);
                FDeliveredTotal += std::max(n, 0);
                if (n < FPacketBytes) ++FUnderruns;
            }
        }
        CountCleanPass();
    } catch (const std::exception& e) {
        if (CountException(e.what())) return false;
    } catch (...) {
        if (CountException("unknown exception")) return false;
    }
    const int event = FEvents->WaitUs(waitUs);
    switch (event) {
        case TEventSet::Timeout:
        case EvVolume:
        case EvReset: return true;
        case EvTerminate: return false;
        case EvStop:
            FState = OutputState::Stopped;
            FStartTime = -1;
            FDelivered = 0;
            return true;
        case EvPause:
            FState = OutputState::Paused;
            FStartTime = -1;
            FDelivered = 0;
            return true;
        case EvRun:
            FState = OutputState::Running;
            FStartTime = ClockUs();
            FDelivered = 0;
            FDeliveredTotal = 0;
            return true;
        case TEventSet::Failed: SetError(E_FAIL, "SilentOutput: Wait failed"); return false;
        default: SetError(E_FAIL, "SilentOutput: Event index unexpected!"); return false;
    }
}

}  // namespace kelvar
