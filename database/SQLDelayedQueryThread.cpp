#include "database/SQLDelayedQueryThread.h"

#include <algorithm>

#include "database/SQLPool_DataLink.h"
#include "foundation/Logger.h"
#include "foundation/MainThread.h"
#include "foundation/ThreadName.h"

namespace kelvar {

namespace {
const char* const LogSource = "DATABASE";

std::string Describe(const std::exception_ptr& error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
    return {};
}

// A statement's or error's text on one log line, shortened.
std::string Shorten(const std::string& text) {
    std::string s;
    for (char c : text) {
        bool blank = c == '\r' || c == '\n' || c == '\t' || c == ' ';
        if (blank && (s.empty() || s.back() == ' ')) continue;
        s += blank ? ' ' : c;
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (s.size() > 300) s = s.substr(0, 300) + "...";
    return s;
}
}  // namespace

struct TSyncCall {
    enum TState { Pending, Running, Done, Cancelled };
    std::mutex Lock;
    std::condition_variable Changed;
    TState State = Pending;
    std::function<void()> Call;

    // Runs the call when nobody has claimed it yet.
    static void Run(const std::shared_ptr<TSyncCall>& self) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> lock(self->Lock);
            if (self->State != Pending) return;
            self->State = Running;
            call = std::move(self->Call);
        }
        try {
            call();
        } catch (const std::exception& e) {
            LogMessage("Delayed query callback failed (" + Shorten(e.what()) + ")", LogSource, LogKind::Exception);
        } catch (...) {
            LogMessage("Delayed query callback failed (unknown exception)", LogSource, LogKind::Exception);
        }
        Finish(self, Done);
    }

    // Cancels a call nobody has claimed; true when it won't run.
    static bool Cancel(const std::shared_ptr<TSyncCall>& self) {
        std::lock_guard<std::mutex> lock(self->Lock);
        if (self->State != Pending) return self->State == Cancelled;
        self->State = Cancelled;
        self->Call = nullptr;
        self->Changed.notify_all();
        return true;
    }

    static bool IsRunning(const std::shared_ptr<TSyncCall>& self) {
        std::lock_guard<std::mutex> lock(self->Lock);
        return self->State == Running;
    }

    static void Finish(const std::shared_ptr<TSyncCall>& self, TState state) {
        std::lock_guard<std::mutex> lock(self->Lock);
        self->State = state;
        self->Changed.notify_all();
    }
};

namespace {
// Travels with the posted call: when the loop drops the call unrun, the worker stops waiting.
struct TSyncDropGuard {
    std::shared_ptr<TSyncCall> Call;
    ~TSyncDropGuard() {
        if (Call) TSyncCall::Cancel(Call);
    }
};
}  // namespace

TSQLDelayedQueryThread::~TSQLDelayedQueryThread() {
    if (FThread.joinable()) FThread.detach();
}

int TSQLDelayedQueryThread::Add(std::unique_ptr<TQueryData> item) {
    std::unique_lock<std::mutex> lock(FLock);
    item->Id = ++FNextId;
    int id = item->Id;
    FQueue.push_back(std::move(item));
    if (!FStarted) {
        FStarted = true;
        // The thread holds the state too, so that it may end after its queue.
        std::shared_ptr<TSQLDelayedQueryThread> self = shared_from_this();
        FThread = std::thread([self] { self->Execute(); });
    }
    FWake.notify_one();
    return id;
}

bool TSQLDelayedQueryThread::Cancel(int id) {
    std::lock_guard<std::mutex> lock(FLock);
    auto it = std::find_if(FQueue.begin(), FQueue.end(), [id](const auto& item) { return item->Id == id; });
    if (it == FQueue.end()) return false;
    FQueue.erase(it);
    FChanged.notify_all();
    return true;
}

void TSQLDelayedQueryThread::Clear() {
    std::lock_guard<std::mutex> lock(FLock);
    FQueue.clear();
    FChanged.notify_all();
}

int TSQLDelayedQueryThread::SyncCount() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FSyncCount;
}

void TSQLDelayedQueryThread::PumpMainThread() {
    if (auto dispatcher = GetMainThreadDispatcher()) dispatcher->ProcessPending();
}

bool TSQLDelayedQueryThread::WaitForAll() {
    const bool onMain = IsDatabaseMainThread();
    for (;;) {
        std::shared_ptr<TSyncCall> pending;
        {
            std::lock_guard<std::mutex> lock(FLock);
            if (Idle()) return true;
            if (FWaitingForDatabase) return false;
            if (onMain && FPendingSync && TSyncCall::IsRunning(FPendingSync)) {
                // Called from this queue's own callback, which runs here: its statement has run,
                // but the item ends only when we return, and nothing behind it can run before.
                if (FQueue.empty()) return true;
                LogMessage("Delayed queries: waiting for the queue from its own callback; " +
                               std::to_string(FQueue.size()) + " item(s) still queued",
                           LogSource, LogKind::Warning);
                return false;
            }
            if (onMain) pending = FPendingSync;
        }
        if (onMain) {
            // Our own callback may be waiting for the main thread, which is right here.
            if (pending) TSyncCall::Run(pending);
            PumpMainThread();
        }
        std::unique_lock<std::mutex> lock(FLock);
        FChanged.wait_for(lock, std::chrono::milliseconds(onMain ? 10 : 100), [&] {
            return Idle() || FWaitingForDatabase || (onMain && FPendingSync && FPendingSync != pending);
        });
    }
}

void TSQLDelayedQueryThread::Shutdown() {
    std::unique_lock<std::mutex> lock(FLock);
    // A pending search query is of no use to anyone now; statements still are.
    FQueue.erase(std::remove_if(FQueue.begin(), FQueue.end(), [](const auto& item) { return !item->IsExec; }),
                 FQueue.end());
    FDraining = true;
    FDrainDeadline = std::chrono::steady_clock::now() + DrainTime;
    bool callbackRunningHere = false;
    if (FPendingSync) {
        // The owner is going: its callback is not delivered any more, unless it already runs.
        TSyncCall::Cancel(FPendingSync);
        callbackRunningHere = TSyncCall::IsRunning(FPendingSync) && IsDatabaseMainThread();
    }
    if (!FStarted) return;
    FWake.notify_all();

    if (std::this_thread::get_id() == FThread.get_id() || callbackRunningHere) {
        // Called from one of this queue's own callbacks, which the worker waits for: it runs
        // what is still queued by itself afterwards, then ends.
        FThread.detach();
        return;
    }
    if (!FChanged.wait_for(lock, DrainTime, [&] { return Idle(); }))
        LogMessage("Delayed statements did not finish in time at shutdown", LogSource, LogKind::Error);
    for (const auto& item : FQueue)
        LogMessage(
            "Delayed statement " + std::to_string(item->Id) + " not run at shutdown (" + Shorten(item->SQL) + ")",
            LogSource, LogKind::Error);
    FQueue.clear();
    FTerminated = true;
    FWake.notify_all();
    if (!FChanged.wait_for(lock, DrainTime, [&] { return FEnded; })) {
        LogMessage("Delayed query worker still busy at shutdown; left to end by itself", LogSource, LogKind::Error);
        FThread.detach();
        return;
    }
    lock.unlock();
    FThread.join();
}

void TSQLDelayedQueryThread::Execute() {
    SetCurrentThreadName("kelvar-sqldelay");
    for (;;) {
        std::unique_ptr<TQueryData> item;
        {
            std::unique_lock<std::mutex> lock(FLock);
            FBusy = false;
            FChanged.notify_all();
            FWake.wait(lock, [&] { return FTerminated || FDraining || !FQueue.empty(); });
            // At the queue's end the worker stops once nothing is left.
            if (FTerminated || FQueue.empty()) break;
            item = std::move(FQueue.front());
            FQueue.pop_front();
            FBusy = true;
        }
        if (SQLDriverType.load() == dtSQLite) {
            if (!RunOnMainThread([&] { Process(*item); })) Process(*item);
        } else {
            Process(*item);
        }
    }
    // The connection and the last result go on this thread, before anyone waits for its end.
    FResultSet.reset();
    FOwnConnection.reset();
    std::lock_guard<std::mutex> lock(FLock);
    FBusy = false;
    FEnded = true;
    FChanged.notify_all();
}

void TSQLDelayedQueryThread::Process(TQueryData& item) {
    // Nothing of one item may stop the items behind it.
    try {
        std::exception_ptr error;
        if (!RunItem(item, error)) {
            LogMessage("Delayed statement " + std::to_string(item.Id) + " not run at shutdown (" + Shorten(item.SQL) +
                           "): " + Shorten(Describe(error)),
                       LogSource, LogKind::Error);
            return;
        }
        Deliver(item, error);
    } catch (const std::exception& e) {
        LogMessage("Delayed query " + std::to_string(item.Id) + " failed (" + Shorten(e.what()) + ")", LogSource,
                   LogKind::Exception);
    } catch (...) {
        LogMessage("Delayed query " + std::to_string(item.Id) + " failed (unknown exception)", LogSource,
                   LogKind::Exception);
    }
}

ISQLConnectionPtr TSQLDelayedQueryThread::OwnConnection() {
    if (!FOwnConnection) {
        ISQLPoolPtr pool = GetCurrentSQLPool();
        if (!pool) throw ESQLPoolError("No SQL pool specified");
        FOwnConnection = pool->NewConnection();
    }
    return FOwnConnection;
}

bool TSQLDelayedQueryThread::RunItem(TQueryData& item, std::exception_ptr& error) {
    std::chrono::milliseconds pause = RetryFirst;
    bool reported = false;
    for (;;) {
        error = nullptr;
        try {
            if (item.IsExec) {
                FRowsAffected = OwnConnection()->ExecSQL(item.SQL, item.Params);
            } else if (!item.QueryCallback) {
                FResultSet = OwnConnection()->Query(item.SQL, item.Params, item.ReadOnly);
            } else {
                // The result is handed to another thread: it gets a connection of its own.
                ISQLPoolPtr pool = GetCurrentSQLPool();
                if (!pool) throw ESQLPoolError("No SQL pool specified");
                FResultSet = pool->NewConnection()->Query(item.SQL, item.Params, item.ReadOnly);
            }
            if (reported)
                LogMessage("Database reachable again; delayed statement " + std::to_string(item.Id) + " has run",
                           LogSource, LogKind::Notice);
            std::lock_guard<std::mutex> lock(FLock);
            FWaitingForDatabase = false;
            return true;
        } catch (const std::exception& e) {
            error = std::current_exception();
            FResultSet.reset();
            FRowsAffected = 0;
            if (!IsLostConnectionError(e)) {
                std::lock_guard<std::mutex> lock(FLock);
                FWaitingForDatabase = false;
                return true;
            }
            // The database went away: the item stays first in line until it comes back, on a
            // fresh connection.
            FOwnConnection.reset();
            if (!reported)
                LogMessage("Database unreachable; delayed statement " + std::to_string(item.Id) + " waits for it (" +
                               Shorten(e.what()) + ")",
                           LogSource, LogKind::Error);
            reported = true;
        }
        std::unique_lock<std::mutex> lock(FLock);
        FWaitingForDatabase = true;
        FChanged.notify_all();
        // At the queue's end the item is still worth its attempts, until the time is up.
        std::chrono::steady_clock::duration wait = pause;
        if (FDraining) {
            auto left = FDrainDeadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) return false;
            wait = std::min(wait, left);
        }
        if (FWake.wait_for(lock, wait, [&] { return FTerminated; })) return false;
        pause = std::min(pause * 2, std::chrono::duration_cast<std::chrono::milliseconds>(RetryMax));
    }
}

void TSQLDelayedQueryThread::Deliver(TQueryData& item, const std::exception_ptr& error) {
    bool skip;
    {
        std::lock_guard<std::mutex> lock(FLock);
        skip = FTerminated || FDraining;
    }
    if (!item.HasCallback() || skip) {
        // Nobody hears of this failure otherwise.
        if (error)
            LogMessage("Delayed statement " + std::to_string(item.Id) + " failed (" + Shorten(Describe(error)) +
                           "): " + Shorten(item.SQL),
                       LogSource, LogKind::Error);
        return;
    }
    if (item.Synchronize) {
        DeliverOnMainThread(item, error);
        return;
    }
    try {
        if (error) std::rethrow_exception(error);
        if (item.IsExec)
            item.ExecCallback->OnResult(item.Id, FRowsAffected);
        else
            item.QueryCallback->OnResult(item.Id, FResultSet);
    } catch (const std::exception& e) {
        if (!error) throw;  // a failing callback: logged by Process
        if (item.IsExec)
            item.ExecCallback->OnError(item.Id, e);
        else
            item.QueryCallback->OnError(item.Id, e);
    }
}

void TSQLDelayedQueryThread::DeliverOnMainThread(TQueryData& item, const std::exception_ptr& error) {
    auto call = std::make_shared<TSyncCall>();
    // The worker waits below until the call has run or was dropped, so the references hold.
    call->Call = [this, &item, error] {
        try {
            if (error) std::rethrow_exception(error);
            if (item.IsExec)
                item.ExecCallback->OnResult(item.Id, FRowsAffected);
            else
                item.QueryCallback->OnResult(item.Id, FResultSet);
        } catch (const std::exception& e) {
            if (!error) throw;
            if (item.IsExec)
                item.ExecCallback->OnError(item.Id, e);
            else
                item.QueryCallback->OnError(item.Id, e);
        }
    };
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FTerminated || FDraining) {
            // The queue is going: its owner hears nothing more.
            if (error)
                LogMessage("Delayed statement " + std::to_string(item.Id) + " failed (" + Shorten(Describe(error)) +
                               "): " + Shorten(item.SQL),
                           LogSource, LogKind::Error);
            return;
        }
        FPendingSync = call;
        ++FSyncCount;
        FChanged.notify_all();
    }
    auto guard = std::make_shared<TSyncDropGuard>();
    guard->Call = call;
    bool posted = PostToMainThread([call, guard] { TSyncCall::Run(call); });
    guard.reset();
    if (!posted) {
        TSyncCall::Cancel(call);
        LogMessage("Delayed query " + std::to_string(item.Id) + ": no main thread to deliver its result to", LogSource,
                   LogKind::Error);
    }
    {
        std::unique_lock<std::mutex> lock(call->Lock);
        call->Changed.wait(lock, [&] { return call->State == TSyncCall::Done || call->State == TSyncCall::Cancelled; });
        if (call->State == TSyncCall::Cancelled && posted && error)
            LogMessage("Delayed statement " + std::to_string(item.Id) + " failed (" + Shorten(Describe(error)) +
                           "): " + Shorten(item.SQL),
                       LogSource, LogKind::Error);
    }
    std::lock_guard<std::mutex> lock(FLock);
    FPendingSync.reset();
    --FSyncCount;
    FChanged.notify_all();
}

}  // namespace kelvar
