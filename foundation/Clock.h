#pragma once
// The time the engine reads: steady milliseconds since start (MsSinceStart) and the wall clock
// (the heartbeat's time). Tests install a clock of their own to drive time-outs and schedules
// without waiting.
#include <chrono>
#include <cstdint>

namespace kelvar {

class IClock {
public:
    virtual ~IClock() = default;
    // Steady milliseconds since the process started.
    virtual int64_t MsSinceStart() const = 0;
    virtual std::chrono::system_clock::time_point Now() const = 0;
};

// The clock in use: the system's until SetClock installs another. Reading it takes no lock, so
// real-time threads may.
const IClock& GetClock();
// Installs a clock that outlives its use; nullptr goes back to the system's.
void SetClock(const IClock* clock);

// The installed clock's wall time.
inline std::chrono::system_clock::time_point ClockNow() { return GetClock().Now(); }

}  // namespace kelvar
