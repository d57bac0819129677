#include "foundation/MainThread.h"

#include <atomic>

#include "foundation/Logger.h"

namespace kelvar {

namespace {
std::mutex gDispatcherLock;
IMainThreadDispatcherPtr gDispatcher;

// Signals the waiter of RunOnMainThread when the posted call is gone, run or dropped.
struct TCompletion {
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    bool Ran = false;
};

struct TCompletionGuard {
    std::shared_ptr<TCompletion> State;
    explicit TCompletionGuard(std::shared_ptr<TCompletion> state) : State(std::move(state)) {}
    TCompletionGuard(const TCompletionGuard&) = delete;
    TCompletionGuard& operator=(const TCompletionGuard&) = delete;
    ~TCompletionGuard() {
        std::lock_guard<std::mutex> lock(State->Lock);
        State->Finished = true;
        State->Done.notify_all();
    }
};

void RunCaught(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        LogMessage(std::string("Error in main-thread call (") + e.what() + ")", "CORE", LogKind::Exception);
    } catch (...) {
        LogMessage("Error in main-thread call (unknown exception)", "CORE", LogKind::Exception);
    }
}
}  // namespace

IMainThreadDispatcherPtr GetMainThreadDispatcher() {
    std::lock_guard<std::mutex> lock(gDispatcherLock);
    return gDispatcher;
}

void SetMainThreadDispatcher(IMainThreadDispatcherPtr dispatcher) {
    std::lock_guard<std::mutex> lock(gDispatcherLock);
    gDispatcher = std::move(dispatcher);
}

bool PostToMainThread(std::function<void()> call) {
    auto dispatcher = GetMainThreadDispatcher();
    return dispatcher && dispatcher->Post(std::move(call));
}

bool RunOnMainThread(const std::function<void()>& call) {
    auto dispatcher = GetMainThreadDispatcher();
    if (!dispatcher) return false;
    if (dispatcher->IsMainThread()) {
        RunCaught(call);
        return true;
    }
    auto state = std::make_shared<TCompletion>();
    {
        auto guard = std::make_shared<TCompletionGuard>(state);
        bool posted = dispatcher->Post([guard, state, &call] {
            RunCaught(call);
            std::lock_guard<std::mutex> lock(state->Lock);
            state->Ran = true;
        });
        if (!posted) return false;
    }
    std::unique_lock<std::mutex> lock(state->Lock);
    state->Done.wait(lock, [&] { return state->Finished; });
    return state->Ran;
}

TPlainMainLoop::TPlainMainLoop() : FMainThread(std::this_thread::get_id()) {}

TPlainMainLoop::~TPlainMainLoop() { Close(); }

bool TPlainMainLoop::Post(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(FLock);
    if (FClosed) return false;
    FCalls.push_back(std::move(call));
    FWake.notify_one();
    return true;
}

bool TPlainMainLoop::IsMainThread() const { return std::this_thread::get_id() == FMainThread; }

int TPlainMainLoop::ProcessPending() {
    std::deque<std::function<void()>> calls;
    {
        std::lock_guard<std::mutex> lock(FLock);
        calls.swap(FCalls);
    }
    int count = 0;
    while (!calls.empty()) {
        auto call = std::move(calls.front());
        calls.pop_front();
        RunCaught(call);
        ++count;
    }
    return count;
}

void TPlainMainLoop::Run() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(FLock);
            FWake.wait(lock, [&] { return FQuit || !FCalls.empty(); });
            if (FQuit) {
                FQuit = false;
                return;
            }
        }
        ProcessPending();
    }
}

void TPlainMainLoop::Quit() {
    std::lock_guard<std::mutex> lock(FLock);
    FQuit = true;
    FWake.notify_all();
}

void TPlainMainLoop::Close() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(FLock);
        FClosed = true;
        dropped.swap(FCalls);
        FQuit = true;
        FWake.notify_all();
    }
    // Dropping the calls outside the lock releases anyone waiting for them.
}

}  // namespace kelvar
