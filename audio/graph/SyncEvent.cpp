#include "audio/graph/SyncEvent.h"

#include <chrono>

namespace kelvar {

TSyncEvent::TSyncEvent(bool ManualReset, bool InitialState) : FManualReset(ManualReset), FSignaled(InitialState) {}

void TSyncEvent::SetEvent() {
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FSignaled = true;
    }
    if (FManualReset)
        FCond.notify_all();
    else
        FCond.notify_one();
}

void TSyncEvent::ResetEvent() {
    std::lock_guard<std::mutex> guard(FMutex);
    FSignaled = false;
}

bool TSyncEvent::IsSet() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FSignaled;
}

bool TSyncEvent::WaitFor(int TimeoutMs) {
    std::unique_lock<std::mutex> guard(FMutex);
    if (TimeoutMs < 0)
        FCond.wait(guard, [this] { return FSignaled; });
    else if (!FCond.wait_for(guard, std::chrono::milliseconds(TimeoutMs), [this] { return FSignaled; }))
        return false;
    if (!FManualReset) FSignaled = false;
    return true;
}

}  // namespace kelvar
