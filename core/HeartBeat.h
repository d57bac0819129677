#pragma once
// The timer of periodic work: a background thread keeps registered callbacks with their own
// intervals, finds those that are due and runs them on the main thread, waiting until they ran.
// Nothing a callback does runs on the heartbeat's own thread.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kelvar {

class THeartBeat;
using THeartBeatEvent = std::function<void(THeartBeat& Sender)>;
// The 32-bit millisecond tick counter the intervals are measured on (it may wrap).
using TTickClock = std::function<uint32_t()>;

// MsSinceStart truncated to 32 bits.
uint32_t TickCount();

class THeartBeat {
public:
    // Created suspended: the thread starts with the first Add. Without OwnThread no thread
    // ever runs and passes are driven by hand (CheckDue, RunDue).
    explicit THeartBeat(TTickClock Clock = TickCount, bool OwnThread = true);
    ~THeartBeat();
    THeartBeat(const THeartBeat&) = delete;
    THeartBeat& operator=(const THeartBeat&) = delete;

    // A callback is known by its owner object and a code of the owner's choosing, so that it
    // can be removed again. The first call comes one interval after Add.
    void Add(int32_t Interval, const void* Object, int Code, THeartBeatEvent Method);
    // Removes the first registration of (Object, Code), also from a pass under way. The last
    // one gone suspends the thread.
    void Remove(const void* Object, int Code);
    // Removes every registration; the thread keeps running.
    void Clear();
    // Holds the heartbeat: no pass runs until Resume (start-up holds it while the first-run
    // imports run on the main thread). A pass already handed to the main thread does nothing.
    void Suspend();
    // Lets a held heartbeat run again when it has registrations.
    void Resume();
    // Ends the heartbeat. On the main thread a pass waiting for it is run at once; elsewhere a
    // pending pass is left to finish on its own and the thread ends after it.
    void Stop();

    // One pass: finds the due callbacks and answers how long to sleep (50..500 ms). Used by the
    // thread; tests drive it by hand with a clock of their own.
    int32_t CheckDue();
    // Runs the callbacks CheckDue found due, in registration order (main thread).
    void RunDue();

    int Count() const;
    bool IsSuspended() const;
    // Passes that handed callbacks to the main thread (for tests).
    int64_t MainThreadCalls() const;

private:
    struct TEntry {
        int32_t Interval = 0;
        uint32_t LastTick = 0;
        const void* Object = nullptr;
        int Code = 0;
        THeartBeatEvent Method;
    };
    // State shared with the thread and with calls posted to the main thread, so that either may
    // outlive the heartbeat object when Stop runs off the main thread.
    struct TState;

    static void ThreadBody(std::shared_ptr<TState> State);
    static int32_t DoCheckDue(TState& State);
    static void DoRunDue(TState& State);
    static void HandToMainThread(const std::shared_ptr<TState>& State);
    // Logs a callback's exception: once per callback and kind, then at most once a minute.
    static void ReportFailure(TState& State, const TEntry& Entry, const std::string& Kind, const std::string& What);

    std::shared_ptr<TState> FState;
    std::thread FThread;
    bool FOwnThread = true;
};

}  // namespace kelvar
