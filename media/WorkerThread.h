#pragma once
// A deck's decoding thread: it sleeps on a manual-reset event that the channel's push-pull
// bridge sets while it has room, and runs its callback (one decode step) each time it wakes.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "audio/graph/SyncEvent.h"

namespace kelvar {

class TWorkerThread {
public:
    // Gets the thread it runs on, so that the owner can tell a detached worker from its own.
    using TCallback = std::function<void(TWorkerThread& Sender)>;

    // The thread starts at the first Wake.
    TWorkerThread(TCallback Callback, void* Owner);
    // Joins the thread (after Stop when it was not stopped).
    ~TWorkerThread();
    TWorkerThread(const TWorkerThread&) = delete;
    TWorkerThread& operator=(const TWorkerThread&) = delete;

    std::shared_ptr<TSyncEvent> GetEvent() const { return FEvent; }
    void Wake();
    // Clears the callback and the owner and asks the thread to end. When the callback is
    // running (it may be waiting for a lock the caller holds) this answers false at once and
    // the thread ends by itself later: Join it once the caller has let go of its locks.
    // Otherwise the thread is waited for and this answers true.
    bool Stop();
    // Waits for the thread to end (after Stop).
    void Join();
    bool HasEnded() const { return FEnded.load(); }
    int GetBusy() const { return FBusy.load(); }
    void* GetOwner();

private:
    void Execute();

    std::shared_ptr<TSyncEvent> FEvent;
    std::mutex FLock;  // guards the callback, the owner and the thread start
    TCallback FCallback;
    void* FOwner;
    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FEnded{false};
    std::atomic<int> FBusy{0};
};

}  // namespace kelvar
