#pragma once
// A thread object that runs one HTTP request and reports it through two events: OnResult on the
// thread, OnResultSync on the main thread. It is created suspended; the owner sets it up, calls
// Resume, and calls Stop (or lets it go) when it no longer wants the answer. Nothing it started
// outlives it: Stop and the destructor abort the request and wait for the thread.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/web/HttpClient.h"

namespace kelvar {

class TWebThread;

// (Sender, StatusCode, ResultText)
using TWebResultEvent = std::function<void(TWebThread& sender, int statusCode, const std::string& resultText)>;

class TWebThread {
public:
    explicit TWebThread(std::string url);
    // Stops the thread; must not run on the thread itself (from OnResult).
    virtual ~TWebThread();
    TWebThread(const TWebThread&) = delete;
    TWebThread& operator=(const TWebThread&) = delete;

    // Starts the request once; later calls do nothing.
    void Resume();
    // Clears both events, ends the request and waits for the thread. A main-thread call the
    // thread is waiting for is dropped, so Stop may run on the main thread. No event runs after
    // it returns.
    void Stop();
    // Ends the running request, which then reports its failure.
    void Abort();

    const std::string URL;
    THttpTimeouts Timeouts;

    // Set before Resume.
    void SetOnResult(TWebResultEvent event);
    void SetOnResultSync(TWebResultEvent event);

    int GetStatusCode() const { return FStatusCode; }
    bool GetDone() const { return FDone; }
    bool GetTerminated() const { return FTerminated; }
    // Main-thread calls in progress.
    int GetPendingCalls() const { return FPendingCalls; }
    // The thread has returned (or was never started and is stopped).
    bool IsFinished() const { return FFinished; }

protected:
    // Runs the request on client; answers the result text of a completed request. Raises on failure.
    virtual std::string Perform(THttpClient& client) = 0;
    // Closes what the request wrote into, before the events fire; called on every road.
    virtual void ReleaseDestination() {}

private:
    void Execute();
    void FireResults(const std::string& resultText);
    void CallOnMainThread(const TWebResultEvent& event, const std::string& resultText);

    std::mutex FLock;
    std::condition_variable FChanged;
    TWebResultEvent FOnResult;
    TWebResultEvent FOnResultSync;
    THttpClient* FClient = nullptr;  // while Execute runs, under FLock
    // The main-thread call the thread waits for: run, dropped by Stop, or dropped by the loop.
    struct TSyncCall;
    std::shared_ptr<TSyncCall> FSyncCall;

    std::thread FThread;
    bool FStarted = false;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FDone{false};
    std::atomic<bool> FFinished{false};
    std::atomic<int> FStatusCode{0};
    std::atomic<int> FPendingCalls{0};
};

}  // namespace kelvar
