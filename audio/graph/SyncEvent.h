#pragma once
// A waitable event in the manner of the threads of the engine: a producer waits on it, another
// thread sets it. Auto-reset by default (a successful wait clears it); manual-reset on request.
#include <condition_variable>
#include <mutex>

namespace kelvar {

class TSyncEvent {
public:
    explicit TSyncEvent(bool ManualReset = false, bool InitialState = false);
    TSyncEvent(const TSyncEvent&) = delete;
    TSyncEvent& operator=(const TSyncEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    bool IsSet() const;
    // Waits until set or TimeoutMs passed (negative: no limit). Answers true when it was set;
    // an auto-reset event is cleared by the wait that saw it.
    bool WaitFor(int TimeoutMs);

private:
    mutable std::mutex FMutex;
    std::condition_variable FCond;
    const bool FManualReset;
    bool FSignaled;
};

}  // namespace kelvar
