#pragma once
// Timer of the control set. Both modes run on Qt's timers on the main thread: the thread mode's
// ticks would be handed to the main thread anyway, and no owner here runs it unsynchronised.
#include <QTimer>
#include <cstdint>
#include <functional>

namespace kelvar {

enum class TKcTimerType { ttThread, ttSystem };
enum class TKcThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TKcTimer {
public:
    TKcTimer();
    TKcTimer(const TKcTimer&) = delete;
    TKcTimer& operator=(const TKcTimer&) = delete;
    ~TKcTimer();

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    std::uint32_t Interval() const { return FInterval; }
    void SetInterval(std::uint32_t Value);
    bool SyncEvent() const { return FSyncEvent; }
    void SetSyncEvent(bool Value) { FSyncEvent = Value; }
    TKcTimerType TimerType() const { return FTimerType; }
    void SetTimerType(TKcTimerType Value);
    TKcThreadPriority Priority() const { return FPriority; }
    void SetPriority(TKcThreadPriority Value);

    std::function<void(TKcTimer&)> OnTimer;

    // (Re)starts the mechanism with the current interval; nothing runs for interval 0 or no handler.
    void UpdateTimer();
    // One tick: fires OnTimer while enabled. Tests drive ticks through it.
    void Timer();
    // Whether the underlying mechanism is ticking.
    bool Running() const { return FTimer.isActive(); }

private:
    void Stop();
    QTimer FTimer;
    bool FEnabled = true;
    std::uint32_t FInterval = 1000;
    bool FSyncEvent = true;
    TKcTimerType FTimerType = TKcTimerType::ttThread;
    TKcThreadPriority FPriority = TKcThreadPriority::tpNormal;
};

}  // namespace kelvar
