#include "core/HeartBeat.h"

#include <cxxabi.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <typeinfo>

#include "foundation/Logger.h"
#include "foundation/MainThread.h"
#include "foundation/MiscFunc.h"
#include "foundation/ThreadName.h"

namespace kelvar {

uint32_t TickCount() { return static_cast<uint32_t>(MsSinceStart()); }

struct THeartBeat::TState {
    TTickClock Clock;
    THeartBeat* Owner = nullptr;  // null once the heartbeat object is gone

    mutable std::mutex Lock;  // the entry list and the due list
    std::vector<TEntry> Entries;
    std::vector<TEntry> Due;

    std::mutex ThreadLock;  // suspension, termination and the pending main-thread call
    std::condition_variable Wake;
    bool Suspended = true;
    bool Terminated = false;
    bool CallPending = false;
    std::condition_variable CallDone;

    std::atomic<int64_t> Calls{0};

    // Failures of the callbacks by (object, code, exception type), for the log's rate limit.
    struct TFailure {
        uint32_t LoggedAt = 0;
        int64_t Repeats = 0;
    };
    std::mutex FailureLock;
    std::map<std::tuple<const void*, int, std::string>, TFailure> Failures;
};

namespace {
// Marks the pending main-thread call done when the posted call is gone: run, or dropped by a
// loop that closed.
struct TCallGuard {
    TCallGuard(std::shared_ptr<void> keep, std::mutex* lock, bool* pending, std::condition_variable* done)
        : Keep(std::move(keep)), Lock(lock), Pending(pending), Done(done) {}
    TCallGuard(const TCallGuard&) = delete;
    TCallGuard& operator=(const TCallGuard&) = delete;
    std::shared_ptr<void> Keep;
    std::mutex* Lock;
    bool* Pending;
    std::condition_variable* Done;
    ~TCallGuard() {
        std::lock_guard<std::mutex> guard(*Lock);
        *Pending = false;
        Done->notify_all();
    }
};
std::string TypeName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

constexpr uint32_t FailureLogIntervalMs = 60000;

}  // namespace

void THeartBeat::ReportFailure(TState& State, const TEntry& Entry, const std::string& Kind, const std::string& What) {
    // The first failure of a task and kind is logged at once; repeats are counted and logged
    // at most once a minute, so a task failing on every pass cannot flood the log.
    const uint32_t now = State.Clock();
    std::string line;
    {
        std::lock_guard<std::mutex> lock(State.FailureLock);
        auto [it, first] = State.Failures.try_emplace({Entry.Object, Entry.Code, Kind});
        TState::TFailure& failure = it->second;
        if (first) {
            failure.LoggedAt = now;
            line = "Heartbeat task " + std::to_string(Entry.Code) + " failed (" + Kind + "): " + What;
        } else {
            ++failure.Repeats;
            if (now - failure.LoggedAt < FailureLogIntervalMs) return;
            line = "Heartbeat task " + std::to_string(Entry.Code) + " failed " + std::to_string(failure.Repeats) +
                   " more times (" + Kind + "), last: " + What;
            failure.LoggedAt = now;
            failure.Repeats = 0;
        }
    }
    LogMessage(line, "CORE", LogKind::Exception);
}

THeartBeat::THeartBeat(TTickClock Clock, bool OwnThread) : FState(std::make_shared<TState>()), FOwnThread(OwnThread) {
    FState->Clock = Clock ? std::move(Clock) : TTickClock(TickCount);
    FState->Owner = this;
}

THeartBeat::~THeartBeat() {
    Clear();
    Stop();
    std::lock_guard<std::mutex> lock(FState->Lock);
    FState->Owner = nullptr;
    FState->Due.clear();
}

void THeartBeat::Add(int32_t Interval, const void* Object, int Code, THeartBeatEvent Method) {
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        FState->Entries.push_back(TEntry{Interval, FState->Clock(), Object, Code, std::move(Method)});
    }
    std::lock_guard<std::mutex> lock(FState->ThreadLock);
    if (FState->Terminated || !FState->Suspended) return;
    FState->Suspended = false;
    if (!FOwnThread) return;
    if (!FThread.joinable()) {
        FThread = std::thread(ThreadBody, FState);
    } else {
        FState->Wake.notify_all();
    }
}

void THeartBeat::Remove(const void* Object, int Code) {
    bool empty;
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        auto same = [&](const TEntry& e) { return e.Object == Object && e.Code == Code; };
        // Also from a pass under way, so a removed callback never runs afterwards.
        if (auto it = std::find_if(FState->Due.begin(), FState->Due.end(), same); it != FState->Due.end()) {
            FState->Due.erase(it);
        }
        if (auto it = std::find_if(FState->Entries.begin(), FState->Entries.end(), same); it != FState->Entries.end()) {
            FState->Entries.erase(it);
        }
        empty = FState->Entries.empty();
    }
    if (empty) {
        std::lock_guard<std::mutex> lock(FState->ThreadLock);
        FState->Suspended = true;
    }
}

void THeartBeat::Suspend() {
    std::lock_guard<std::mutex> lock(FState->ThreadLock);
    if (!FState->Terminated) FState->Suspended = true;
}

void THeartBeat::Resume() {
    bool any;
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        any = !FState->Entries.empty();
    }
    std::lock_guard<std::mutex> lock(FState->ThreadLock);
    if (FState->Terminated || !FState->Suspended || !any) return;
    FState->Suspended = false;
    if (!FOwnThread) return;
    if (!FThread.joinable()) {
        FThread = std::thread(ThreadBody, FState);
    } else {
        FState->Wake.notify_all();
    }
}

void THeartBeat::Clear() {
    std::lock_guard<std::mutex> lock(FState->Lock);
    FState->Due.clear();
    FState->Entries.clear();
}

void THeartBeat::Stop() {
    bool runPending = false;
    bool leave = false;
    {
        std::lock_guard<std::mutex> lock(FState->ThreadLock);
        FState->Terminated = true;
        FState->Suspended = false;
        FState->Wake.notify_all();
        if (FState->CallPending) {
            auto dispatcher = GetMainThreadDispatcher();
            if (dispatcher && dispatcher->IsMainThread()) {
                runPending = true;
            } else {
                leave = true;
            }
        }
    }
    if (runPending) {
        // The thread waits for this very call: run it here, so that it can return.
        DoRunDue(*FState);
        std::lock_guard<std::mutex> lock(FState->ThreadLock);
        FState->CallPending = false;
        FState->CallDone.notify_all();
    }
    if (!FThread.joinable()) return;
    if (leave) {
        // The thread holds the shared state and ends once the main thread has run its call.
        FThread.detach();
    } else {
        FThread.join();
    }
}

int32_t THeartBeat::CheckDue() { return DoCheckDue(*FState); }

void THeartBeat::RunDue() { DoRunDue(*FState); }

int THeartBeat::Count() const {
    std::lock_guard<std::mutex> lock(FState->Lock);
    return static_cast<int>(FState->Entries.size());
}

bool THeartBeat::IsSuspended() const {
    std::lock_guard<std::mutex> lock(FState->ThreadLock);
    return FState->Suspended;
}

int64_t THeartBeat::MainThreadCalls() const { return FState->Calls.load(); }

int32_t THeartBeat::DoCheckDue(TState& State) {
    int32_t sleep = 500;
    {
        std::lock_guard<std::mutex> lock(State.Lock);
        State.Due.clear();
        const uint32_t now = State.Clock();
        for (auto& entry : State.Entries) {
            // 32-bit signed difference: the counter's wrap does no harm.
            const int32_t remaining = entry.Interval - static_cast<int32_t>(now - entry.LastTick);
            if (remaining > 0) {
                sleep = std::min(sleep, remaining);
            } else {
                // The next interval counts from now + 10, so a late pass does not pile runs up.
                entry.LastTick = now + 10;
                State.Due.push_back(entry);
                sleep = std::min(sleep, entry.Interval);
            }
        }
    }
    return std::max<int32_t>(sleep, 50);
}

void THeartBeat::DoRunDue(TState& State) {
    for (;;) {
        TEntry entry;
        THeartBeat* owner;
        {
            std::lock_guard<std::mutex> lock(State.Lock);
            if (State.Due.empty() || !State.Owner) break;
            entry = std::move(State.Due.front());
            State.Due.erase(State.Due.begin());
            owner = State.Owner;
        }
        if (!entry.Method) continue;
        try {
            entry.Method(*owner);
        } catch (const std::exception& e) {
            // A failing callback keeps its registration and runs again after its interval.
            ReportFailure(State, entry, TypeName(typeid(e)), e.what());
        } catch (...) {
            ReportFailure(State, entry, "unknown exception", "no message");
        }
    }
    std::lock_guard<std::mutex> lock(State.Lock);
    State.Due.clear();
}

void THeartBeat::HandToMainThread(const std::shared_ptr<TState>& State) {
    State->Calls.fetch_add(1);
    auto guard = std::make_shared<TCallGuard>(State, &State->ThreadLock, &State->CallPending, &State->CallDone);
    std::weak_ptr<TState> weak = State;
    PostToMainThread([guard, weak] {
        auto state = weak.lock();
        if (!state) return;
        bool held;
        {
            std::lock_guard<std::mutex> lock(state->ThreadLock);
            held = state->Suspended && !state->Terminated;
        }
        if (held) {
            // Suspended after the pass was handed over: its callbacks wait for the next pass.
            std::lock_guard<std::mutex> lock(state->Lock);
            state->Due.clear();
            return;
        }
        DoRunDue(*state);
    });
    guard.reset();  // a refused post has dropped its copy: the call counts as done
    std::unique_lock<std::mutex> lock(State->ThreadLock);
    State->CallDone.wait(lock, [&] { return !State->CallPending; });
}

void THeartBeat::ThreadBody(std::shared_ptr<TState> State) {
    SetCurrentThreadName("kelvar-heartbeat");
    // One step below normal.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, tid);
    if (errno == 0) setpriority(PRIO_PROCESS, tid, nice + 1);

    int32_t sleep = 500;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(State->ThreadLock);
            State->Wake.wait(lock, [&] { return State->Terminated || !State->Suspended; });
            if (State->Terminated) break;
        }
        try {
            sleep = DoCheckDue(*State);
            bool due;
            {
                std::lock_guard<std::mutex> lock(State->Lock);
                due = !State->Due.empty();
            }
            bool hand = false;
            if (due) {
                std::lock_guard<std::mutex> lock(State->ThreadLock);
                if (!State->Terminated) {
                    State->CallPending = true;
                    hand = true;
                }
            }
            if (hand) HandToMainThread(State);
        } catch (...) {
            // A failed pass ends quietly; the next one follows.
        }
        std::unique_lock<std::mutex> lock(State->ThreadLock);
        if (State->Terminated) break;
        if (sleep >= 0) State->Wake.wait_for(lock, std::chrono::milliseconds(sleep), [&] { return State->Terminated; });
    }
}

}  // namespace kelvar
