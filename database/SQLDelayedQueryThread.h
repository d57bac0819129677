#pragma once
// The worker of a delayed-query queue: it runs the queued statements one after the other on a
// connection of its own and delivers their callbacks, on its own thread or through the main thread.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "database/SQLPool.h"

namespace kelvar {

// One queued statement or query.
struct TQueryData {
    int Id = 0;
    std::string SQL;
    TVariantArray Params;
    bool Synchronize = false;
    bool IsExec = false;
    bool ReadOnly = true;
    std::shared_ptr<IExecCallback> ExecCallback;
    std::shared_ptr<IQueryCallback> QueryCallback;
    bool HasCallback() const { return ExecCallback || QueryCallback; }
};

// A callback handed to the main thread; whoever claims it first (the main loop or a waiter
// on the main thread) runs it, and a cancelled one never runs.
struct TSyncCall;

// Held by shared_ptr: the running thread holds it too, so that it can outlive its queue when
// the queue goes while the worker still waits for the main thread.
class TSQLDelayedQueryThread : public std::enable_shared_from_this<TSQLDelayedQueryThread> {
public:
    // How long the queue's end waits for queued statements to run.
    static constexpr std::chrono::milliseconds DrainTime{5000};
    // Pause between attempts while the database is unreachable: first, then at most.
    static constexpr std::chrono::milliseconds RetryFirst{200};
    static constexpr std::chrono::milliseconds RetryMax{3000};

    TSQLDelayedQueryThread() = default;
    ~TSQLDelayedQueryThread();
    TSQLDelayedQueryThread(const TSQLDelayedQueryThread&) = delete;
    TSQLDelayedQueryThread& operator=(const TSQLDelayedQueryThread&) = delete;

    // Appends an item, gives it the next number and wakes (first: starts) the worker.
    int Add(std::unique_ptr<TQueryData> item);
    bool Cancel(int id);
    void Clear();
    bool WaitForAll();
    // Drops queued queries, lets queued statements run for DrainTime at most, logs what is
    // left, then stops the worker. Called from the queue's own callback, the worker finishes
    // the queue by itself afterwards and ends.
    void Shutdown();

    // Callbacks currently handed to the main thread.
    int SyncCount() const;

private:
    void Execute();
    void Process(TQueryData& item);
    // Runs the item, again while the database is unreachable; false when it gave up because
    // the worker is stopping.
    bool RunItem(TQueryData& item, std::exception_ptr& error);
    void Deliver(TQueryData& item, const std::exception_ptr& error);
    void DeliverOnMainThread(TQueryData& item, const std::exception_ptr& error);
    ISQLConnectionPtr OwnConnection();
    void PumpMainThread();
    bool Idle() const { return FQueue.empty() && !FBusy; }

    mutable std::mutex FLock;
    std::condition_variable FWake;     // the worker: new items, termination
    std::condition_variable FChanged;  // waiters: idle, ended, a callback for the main thread
    std::deque<std::unique_ptr<TQueryData>> FQueue;
    int FNextId = 0;
    bool FStarted = false;
    bool FTerminated = false;
    bool FDraining = false;
    bool FBusy = false;
    bool FEnded = false;
    bool FWaitingForDatabase = false;
    std::chrono::steady_clock::time_point FDrainDeadline;
    int FSyncCount = 0;
    std::shared_ptr<TSyncCall> FPendingSync;
    std::thread FThread;

    // Worker-only state: its connection and the outcome of the last item.
    ISQLConnectionPtr FOwnConnection;
    int FRowsAffected = 0;
    IDatasetPtr FResultSet;
};

}  // namespace kelvar
