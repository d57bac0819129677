#include "media/WorkerThread.h"
#include "foundation/ThreadName.h"

#include <chrono>

namespace kelvar {

TWorkerThread::TWorkerThread(TCallback Callback, void* Owner)
    : FEvent(std::make_shared<TSyncEvent>(true, false)), FCallback(std::move(Callback)), FOwner(Owner) {}

TWorkerThread::~TWorkerThread() {
    Stop();
    Join();
}

void* TWorkerThread::GetOwner() {
    std::lock_guard<std::mutex> guard(FLock);
    return FOwner;
}

void TWorkerThread::Wake() {
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (!FThread.joinable() && !FTerminated) FThread = std::thread([this] { Execute(); });
    }
    FEvent->SetEvent();
}

bool TWorkerThread::Stop() {
    bool busy;
    {
        std::lock_guard<std::mutex> guard(FLock);
        FCallback = nullptr;
        FOwner = nullptr;
        FTerminated = true;
        busy = FBusy.load() != 0;
    }
    FEvent->SetEvent();
    if (busy) return false;
    Join();
    return true;
}

void TWorkerThread::Join() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (!FThread.joinable() || FThread.get_id() == std::this_thread::get_id()) return;
        thread = std::move(FThread);
    }
    thread.join();
}

void TWorkerThread::Execute() {
    SetCurrentThreadName("kelvar-deck");
    while (!FTerminated) {
        // Decode in steps at most every millisecond so a deck never monopolises a processor.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (FTerminated) break;
        if (!FEvent->WaitFor(-1) || FTerminated) continue;
        TCallback callback;
        {
            // The callback is taken together with the busy count, so Stop either sees the
            // step running or knows it will not run.
            std::lock_guard<std::mutex> guard(FLock);
            if (FTerminated || !FCallback) continue;
            callback = FCallback;
            ++FBusy;
        }
        try {
            callback(*this);
        } catch (...) {
            // The step handles its own failures; nothing may leave the thread.
        }
        --FBusy;
    }
    FEnded = true;
}

}  // namespace kelvar
