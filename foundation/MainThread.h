#pragma once
// The main-thread dispatcher: other threads (heartbeats, delayed-query workers, loader threads)
// hand work to the main thread through it. The GUI plugs in Qt's event loop; service mode and
// tests use TPlainMainLoop, which a test can pump by hand.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kelvar {

class IMainThreadDispatcher {
public:
    virtual ~IMainThreadDispatcher() = default;
    // Queues a call to run on the main thread. Answers false when the loop is closed.
    virtual bool Post(std::function<void()> call) = 0;
    virtual bool IsMainThread() const = 0;
    // On the main thread: runs the calls queued so far (not those they queue in turn); answers
    // how many ran. Code that waits on the main thread for another thread pumps the loop with it.
    virtual int ProcessPending() = 0;
};

using IMainThreadDispatcherPtr = std::shared_ptr<IMainThreadDispatcher>;

// The process's dispatcher; start-up sets it before any thread that posts is started.
IMainThreadDispatcherPtr GetMainThreadDispatcher();
void SetMainThreadDispatcher(IMainThreadDispatcherPtr dispatcher);

// Posts to the process's dispatcher; false when there is none or it is closed.
bool PostToMainThread(std::function<void()> call);

// Runs a call on the main thread and waits for it: at once when called on the main thread,
// otherwise posted and awaited. Answers false (the call not run) when there is no dispatcher
// or it closes before running the call. Exceptions of the call are caught and logged.
bool RunOnMainThread(const std::function<void()>& call);

// A plain loop: the thread that creates it is the main thread.
class TPlainMainLoop : public IMainThreadDispatcher, public std::enable_shared_from_this<TPlainMainLoop> {
public:
    TPlainMainLoop();
    ~TPlainMainLoop() override;

    bool Post(std::function<void()> call) override;
    bool IsMainThread() const override;

    int ProcessPending() override;
    // Runs calls until Quit; waits while there are none.
    void Run();
    // Ends Run (from any thread).
    void Quit();
    // Refuses further posts and drops what is queued, so that waiters are released.
    void Close();

private:
    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FCalls;
    std::thread::id FMainThread;
    bool FQuit = false;
    bool FClosed = false;
};

}  // namespace kelvar
