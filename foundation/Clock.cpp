#include "foundation/Clock.h"

#include <atomic>

#include "foundation/MiscFunc.h"

namespace kelvar {

namespace {

using SteadyClock = std::chrono::steady_clock;

SteadyClock::time_point StartTime() {
    static const SteadyClock::time_point start = SteadyClock::now();
    return start;
}

// Takes the start time while the program initialises, before any component runs.
const SteadyClock::time_point gStartAtInit = StartTime();

class TSystemClock : public IClock {
public:
    int64_t MsSinceStart() const override { return MsBetween(SteadyClock::now(), StartTime()); }
    std::chrono::system_clock::time_point Now() const override { return std::chrono::system_clock::now(); }
};

const TSystemClock gSystemClock;
std::atomic<const IClock*> gClock{nullptr};

}  // namespace

const IClock& GetClock() {
    const IClock* clock = gClock.load(std::memory_order_acquire);
    return clock ? *clock : gSystemClock;
}

void SetClock(const IClock* clock) { gClock.store(clock, std::memory_order_release); }

}  // namespace kelvar
