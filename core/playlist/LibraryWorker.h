#pragma once
// The thread of a maintenance tool that walks the library: it runs the tool's walk and hands what
// the walk reports to the main thread through the dispatcher. Nothing posted reaches the
// callbacks once the worker is destroyed; the destructor cancels the walk and waits for the
// thread to leave, so a walk never outlives its owner.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

#include "foundation/MainThread.h"
#include "foundation/ThreadName.h"

namespace kelvar {

template <class TCallbacks>
class TLibraryWorker {
public:
    explicit TLibraryWorker(TCallbacks Callbacks) : FShared(std::make_shared<TShared>(std::move(Callbacks))) {}
    ~TLibraryWorker() {
        Cancel();
        if (FThread.joinable()) FThread.join();
        FShared->Gone = true;
    }
    TLibraryWorker(const TLibraryWorker&) = delete;
    TLibraryWorker& operator=(const TLibraryWorker&) = delete;

    // Runs Walk on a thread called Name; once only.
    void Start(const char* Name, std::function<void()> Walk) {
        if (FThread.joinable()) return;
        FThread = std::thread([Name, walk = std::move(Walk)] {
            SetCurrentThreadName(Name);
            walk();
        });
    }
    // Any thread: the walk is asked to stop after the row it is on.
    void Cancel() { FCancelled = true; }
    bool Cancelled() const { return FCancelled; }
    // The walk's thread: Call runs on the main thread with the callbacks, unless the worker is
    // gone by then.
    void Post(std::function<void(const TCallbacks&)> Call) {
        PostToMainThread([shared = FShared, call = std::move(Call)] {
            if (!shared->Gone) call(shared->Callbacks);
        });
    }

private:
    // What the posted calls share with the owner; Gone is read and written on the main thread only.
    struct TShared {
        explicit TShared(TCallbacks Callbacks) : Callbacks(std::move(Callbacks)) {}
        TCallbacks Callbacks;
        bool Gone = false;
    };

    std::shared_ptr<TShared> FShared;
    std::atomic<bool> FCancelled{false};
    std::thread FThread;
};

}  // namespace kelvar
