// Background queues over a real embedded database: order, callbacks and the threads they run
// on, cancelling, waiting, failures, and the end of a queue with statements still queued.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <thread>

#include "PoolTestSupport.h"
#include "database/SQLPool_imp.h"

namespace kelvar {
namespace {

using pooltest::TPoolFixture;

// Records what an exec callback hears, and on which thread.
struct TExecRecorder : IExecCallback {
    std::function<void(int)> Hook;  // runs first in OnResult
    std::mutex Lock;
    std::vector<std::string> Events;
    std::vector<std::thread::id> Threads;
    void OnResult(int id, int rows) override {
        if (Hook) Hook(id);
        std::lock_guard<std::mutex> l(Lock);
        Events.push_back("ok " + std::to_string(id) + " " + std::to_string(rows));
        Threads.push_back(std::this_thread::get_id());
    }
    void OnError(int id, const std::exception&) override {
        std::lock_guard<std::mutex> l(Lock);
        Events.push_back("error " + std::to_string(id));
        Threads.push_back(std::this_thread::get_id());
    }
};

// A gate a worker's callback waits at until the test opens it.
struct TGate {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Entered = false, Open = false;
    void Pass() {
        std::unique_lock<std::mutex> l(Lock);
        Entered = true;
        Changed.notify_all();
        Changed.wait(l, [&] { return Open; });
    }
    void WaitEntered() {
        std::unique_lock<std::mutex> l(Lock);
        Changed.wait(l, [&] { return Entered; });
    }
    void Release() {
        std::lock_guard<std::mutex> l(Lock);
        Open = true;
        Changed.notify_all();
    }
};

class DelayedQueryTest : public TPoolFixture {
protected:
    static std::string InsertHistory() {
        return "INSERT INTO historylist (ID, info) VALUES (GEN_ID(GEN_historylist_ID, 1), :info)";
    }
    static std::vector<std::string> History() {
        std::vector<std::string> rows;
        IDatasetPtr ds = PoolQuery("SELECT info FROM historylist ORDER BY ID");
        for (; !ds->Eof(); ds->Next()) rows.push_back(ds->GetFieldValue("INFO").AsString());
        return rows;
    }
};

TEST_F(DelayedQueryTest, RunsStatementsInOrderWithNumbersFromOne) {
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    auto rec = std::make_shared<TExecRecorder>();
    EXPECT_EQ(q->ExecSQL(InsertHistory(), {"a"}, nullptr, false), 1);
    EXPECT_EQ(q->ExecSQL(InsertHistory(), {"b"}, nullptr, false), 2);
    EXPECT_EQ(q->ExecSQL("UPDATE historylist SET songID = 7", {}, rec, true), 3);
    EXPECT_TRUE(q->WaitForAll());
    EXPECT_EQ(History(), (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(rec->Events, (std::vector<std::string>{"ok 3 2"})) << ::testing::PrintToString(Log->Lines());
    // A synchronised callback runs on the main thread.
    EXPECT_EQ(rec->Threads[0], std::this_thread::get_id());
    EXPECT_EQ(PoolNewDelayedQuery()->ExecSQL(InsertHistory(), {"c"}, nullptr, false), 1);
}

TEST_F(DelayedQueryTest, CallbacksWithoutSynchronizeRunOnTheWorker) {
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    auto rec = std::make_shared<TExecRecorder>();
    q->ExecSQL(InsertHistory(), {"x"}, rec, false);
    std::atomic<bool> gotResult{false};
    std::thread::id resultThread;
    auto cb = std::make_shared<TQueryCallBack>(
        [&](int id, const IDatasetPtr& ds) {
            EXPECT_EQ(id, 2);
            EXPECT_EQ(ds->GetFieldValue("INFO").AsString(), "x");
            resultThread = std::this_thread::get_id();
            gotResult = true;
        },
        nullptr);
    q->Query("SELECT info FROM historylist", {}, true, cb, false);
    EXPECT_TRUE(q->WaitForAll());
    EXPECT_TRUE(gotResult);
    EXPECT_NE(resultThread, std::this_thread::get_id());
    ASSERT_EQ(rec->Threads.size(), 1u);
    EXPECT_NE(rec->Threads[0], std::this_thread::get_id());
}

TEST_F(DelayedQueryTest, SynchronisedResultsArriveOnlyThroughTheMainLoop) {
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    PoolExecSQL(InsertHistory(), {"row"});
    IDatasetPtr received;
    auto cb = std::make_shared<TQueryCallBack>([&](int, const IDatasetPtr& ds) { received = ds; }, nullptr);
    q->Query("SELECT info FROM historylist", {}, true, cb, true);
    // Not delivered until the main thread runs its pending calls.
    while (!received) {
        Loop->ProcessPending();
        std::this_thread::yield();
    }
    EXPECT_TRUE(q->WaitForAll());
    // The result holds a connection of its own and stays readable here.
    EXPECT_EQ(received->GetFieldValue("INFO").AsString(), "row");
    EXPECT_NE(received->GetConnection(), PoolGetConnection());
}

TEST_F(DelayedQueryTest, FailuresGoToOnErrorAndTheNextItemStillRuns) {
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    auto rec = std::make_shared<TExecRecorder>();
    q->ExecSQL("UPDATE nosuchtable SET a = 1", {}, rec, true);
    q->ExecSQL(InsertHistory(), {"after"}, rec, true);
    // Without a callback a failure is logged, not dropped silently.
    q->ExecSQL("INSERT INTO nosuchtable VALUES (1)", {}, nullptr, false);
    q->ExecSQL(InsertHistory(), {"last"}, nullptr, false);
    EXPECT_TRUE(q->WaitForAll());
    EXPECT_EQ(rec->Events, (std::vector<std::string>{"error 1", "ok 2 1"}));
    EXPECT_EQ(History(), (std::vector<std::string>{"after", "last"}));
    EXPECT_EQ(Log->Count("Delayed statement 3 failed"), 1) << ::testing::PrintToString(Log->Lines());
}

// An operator's edit holds the row the statement changes: the statement waits for the edit's
// commit and then runs, and both changes are kept.
TEST_F(DelayedQueryTest, AStatementWaitsForAConcurrentEditAndBothChangesStay) {
    PoolExecSQL(InsertHistory(), {"played"});
    ISQLConnectionPtr editor = GetCurrentSQLPool()->NewConnection();
    editor->StartTransaction();
    editor->ExecSQL("UPDATE historylist SET info = 'edited'", {});
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    auto rec = std::make_shared<TExecRecorder>();
    q->ExecSQL("UPDATE historylist SET songID = 5", {}, rec, false);
    // Commit only once the worker's statement waits for the editor's row lock (the monitoring
    // tables show it running; the concatenation keeps this query from finding itself).
    bool waiting = false;
    for (int i = 0; i < 3000 && !waiting; ++i) {
        // A new connection each time: the monitoring tables are a snapshot per transaction.
        IDatasetPtr ds = GetCurrentSQLPool()->NewConnection()->Query(
            "SELECT COUNT(*) AS N FROM MON$STATEMENTS WHERE MON$STATE = 1 AND MON$SQL_TEXT CONTAINING ('SET songID' || "
            "' = 5')",
            {}, true);
        waiting = ds->GetFieldValue("N").AsInteger() > 0;
        if (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(waiting);
    editor->Commit();
    EXPECT_TRUE(q->WaitForAll());
    EXPECT_EQ(rec->Events, (std::vector<std::string>{"ok 1 1"})) << ::testing::PrintToString(Log->Lines());
    IDatasetPtr row = PoolQuery("SELECT info, songID FROM historylist");
    EXPECT_EQ(row->GetFieldValue("INFO").AsString(), "edited");
    EXPECT_EQ(row->GetFieldValue("SONGID").AsInteger(), 5);
}

TEST_F(DelayedQueryTest, AThrowingCallbackIsLoggedAndTheQueueGoesOn) {
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    auto thrower = std::make_shared<TExecRecorder>();
    thrower->Hook = [](int) { throw std::runtime_error("callback broke"); };
    q->ExecSQL(InsertHistory(), {"1"}, thrower, false);
    q->ExecSQL(InsertHistory(), {"2"}, thrower, true);
    q->ExecSQL(InsertHistory(), {"3"}, nullptr, false);
    EXPECT_TRUE(q->WaitForAll());
    EXPECT_EQ(History(), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Log->Count("callback broke"), 2) << ::testing::PrintToString(Log->Lines());
}

TEST_F(DelayedQueryTest, CancelTakesOnlyQueuedItems) {
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    TGate gate;
    auto blocker = std::make_shared<TExecRecorder>();
    blocker->Hook = [&](int) { gate.Pass(); };
    EXPECT_EQ(q->ExecSQL(InsertHistory(), {"1"}, blocker, false), 1);
    gate.WaitEntered();
    q->ExecSQL(InsertHistory(), {"2"}, nullptr, false);
    q->ExecSQL(InsertHistory(), {"3"}, nullptr, false);
    EXPECT_FALSE(q->Cancel(1));  // running
    EXPECT_TRUE(q->Cancel(2));
    EXPECT_FALSE(q->Cancel(2));
    EXPECT_FALSE(q->Cancel(99));
    gate.Release();
    EXPECT_TRUE(q->WaitForAll());
    EXPECT_EQ(History(), (std::vector<std::string>{"1", "3"}));

    q->Clear();  // nothing queued: harmless
    gate.Open = false;
    gate.Entered = false;
    q->ExecSQL(InsertHistory(), {"4"}, blocker, false);
    gate.WaitEntered();
    q->ExecSQL(InsertHistory(), {"5"}, nullptr, false);
    q->Clear();
    gate.Release();
    EXPECT_TRUE(q->WaitForAll());
    EXPECT_EQ(History(), (std::vector<std::string>{"1", "3", "4"}));
}

TEST_F(DelayedQueryTest, WaitForAllWaitsForTheRunningItem) {
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    TGate gate;
    std::atomic<bool> finished{false};
    auto slow = std::make_shared<TExecRecorder>();
    slow->Hook = [&](int) {
        gate.Pass();
        finished = true;
    };
    q->ExecSQL("DELETE FROM queuelist WHERE ID = :ID", {1}, slow, false);
    gate.WaitEntered();
    // The queue is empty now, but the item still runs.
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        gate.Release();
    });
    EXPECT_TRUE(q->WaitForAll());
    EXPECT_TRUE(finished);
    opener.join();
}

TEST_F(DelayedQueryTest, WaitForAllFromTheQueuesOwnCallbackDoesNotHang) {
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    std::vector<int> answers;  // 1 true, 0 false
    auto rec = std::make_shared<TExecRecorder>();
    rec->Hook = [&](int) { answers.push_back(q->WaitForAll() ? 1 : 0); };
    q->ExecSQL(InsertHistory(), {"1"}, rec, true);
    EXPECT_TRUE(q->WaitForAll());
    // With an item behind the callback's own, that item can't run before the callback returns.
    TGate gate;
    auto blocker = std::make_shared<TExecRecorder>();
    blocker->Hook = [&](int) { gate.Pass(); };
    q->ExecSQL(InsertHistory(), {"2"}, blocker, false);
    gate.WaitEntered();
    q->ExecSQL(InsertHistory(), {"3"}, rec, true);
    q->ExecSQL(InsertHistory(), {"4"}, nullptr, false);
    gate.Release();
    EXPECT_TRUE(q->WaitForAll());
    EXPECT_EQ(answers, (std::vector<int>{1, 0}));
    EXPECT_EQ(History(), (std::vector<std::string>{"1", "2", "3", "4"}));
}

TEST_F(DelayedQueryTest, TheEndOfAQueueRunsItsQueuedStatements) {
    auto rec = std::make_shared<TExecRecorder>();
    std::atomic<bool> queryAnswered{false};
    {
        IDelayedQueryPtr q = PoolNewDelayedQuery();
        for (int i = 0; i < 40; ++i) q->ExecSQL(InsertHistory(), {std::to_string(i)}, nullptr, false);
        q->Query("SELECT * FROM historylist", {}, true,
                 std::make_shared<TQueryCallBack>([&](int, const IDatasetPtr&) { queryAnswered = true; }, nullptr),
                 true);
        q->ExecSQL(InsertHistory(), {"last"}, rec, true);
    }
    Loop->ProcessPending();
    std::vector<std::string> rows = History();
    ASSERT_EQ(rows.size(), 41u);
    EXPECT_EQ(rows.back(), "last");
    // The owner is gone: no callbacks any more, and the pending search was dropped.
    EXPECT_TRUE(rec->Events.empty());
    EXPECT_FALSE(queryAnswered);
    EXPECT_EQ(Log->Count("not run at shutdown"), 0);
}

TEST_F(DelayedQueryTest, AQueueReleasedInItsOwnCallbackDoesNotBlockNorLoseItsStatements) {
    // Statements behind the callback still run: the worker finishes them by itself.
    auto waitForRows = [](size_t n) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (History().size() < n && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    auto rec = std::make_shared<TExecRecorder>();
    std::atomic<bool> released{false};
    rec->Hook = [&](int) {
        q.reset();
        released = true;
    };
    TGate gate;
    auto blocker = std::make_shared<TExecRecorder>();
    blocker->Hook = [&](int) { gate.Pass(); };
    q->ExecSQL(InsertHistory(), {"0"}, blocker, false);
    gate.WaitEntered();
    q->ExecSQL(InsertHistory(), {"1"}, rec, true);
    q->ExecSQL(InsertHistory(), {"1b"}, nullptr, false);
    gate.Release();
    while (!released) Loop->ProcessPending();
    waitForRows(3);
    // And from a callback on the worker itself.
    IDelayedQueryPtr q2 = PoolNewDelayedQuery();
    auto rec2 = std::make_shared<TExecRecorder>();
    std::atomic<bool> released2{false};
    rec2->Hook = [&](int) {
        q2.reset();
        released2 = true;
    };
    TGate gate2;
    blocker->Hook = [&](int) { gate2.Pass(); };
    q2->ExecSQL(InsertHistory(), {"1c"}, blocker, false);
    gate2.WaitEntered();
    q2->ExecSQL(InsertHistory(), {"2"}, rec2, false);
    q2->ExecSQL(InsertHistory(), {"2b"}, nullptr, false);
    gate2.Release();
    while (!released2) std::this_thread::yield();
    waitForRows(6);
    EXPECT_EQ(History(), (std::vector<std::string>{"0", "1", "1b", "1c", "2", "2b"}));
    EXPECT_EQ(Log->Count("not run at shutdown"), 0);
}

TEST_F(DelayedQueryTest, AQueueWhoseCallbackWaitsForTheMainThreadGoesWithoutBlocking) {
    // A main loop that tells when something was posted to it.
    struct TCountingLoop : TPlainMainLoop {
        std::atomic<int> Posted{0};
        bool Post(std::function<void()> call) override {
            bool posted = TPlainMainLoop::Post(std::move(call));
            ++Posted;
            return posted;
        }
    };
    auto loop = std::make_shared<TCountingLoop>();
    SetMainThreadDispatcher(loop);
    auto rec = std::make_shared<TExecRecorder>();
    {
        IDelayedQueryPtr q = PoolNewDelayedQuery();
        q->ExecSQL(InsertHistory(), {"1"}, rec, true);
        q->ExecSQL(InsertHistory(), {"2"}, nullptr, false);
        // The worker now waits for the main thread, which is here and runs nothing.
        while (loop->Posted == 0) std::this_thread::yield();
    }
    EXPECT_EQ(History(), (std::vector<std::string>{"1", "2"}));
    // The owner is gone: the posted callback is not delivered any more.
    loop->ProcessPending();
    EXPECT_TRUE(rec->Events.empty());
    EXPECT_EQ(Log->Count("not run at shutdown"), 0);
    SetMainThreadDispatcher(Loop);
}

// Waiting on the main thread pumps whatever dispatcher the process has, not only the plain loop:
// a worker's callback that needs the main thread gets it while the main thread waits.
TEST_F(DelayedQueryTest, WaitingOnTheMainThreadPumpsAnyDispatcher) {
    struct TFakeDispatcher : IMainThreadDispatcher {
        std::thread::id Main = std::this_thread::get_id();
        std::mutex Lock;
        std::deque<std::function<void()>> Calls;
        bool Post(std::function<void()> call) override {
            std::lock_guard<std::mutex> l(Lock);
            Calls.push_back(std::move(call));
            return true;
        }
        bool IsMainThread() const override { return std::this_thread::get_id() == Main; }
        int ProcessPending() override {
            std::deque<std::function<void()>> taken;
            {
                std::lock_guard<std::mutex> l(Lock);
                taken.swap(Calls);
            }
            for (auto& call : taken) call();
            return static_cast<int>(taken.size());
        }
    };
    auto fake = std::make_shared<TFakeDispatcher>();
    SetMainThreadDispatcher(fake);
    auto rec = std::make_shared<TExecRecorder>();
    std::atomic<bool> ranOnMain{false};
    rec->Hook = [&](int) { RunOnMainThread([&] { ranOnMain = fake->IsMainThread(); }); };
    {
        IDelayedQueryPtr q = PoolNewDelayedQuery();
        q->ExecSQL(InsertHistory(), {"1"}, rec, false);
        EXPECT_TRUE(q->WaitForAll());
    }
    EXPECT_TRUE(ranOnMain);
    EXPECT_EQ(History(), (std::vector<std::string>{"1"}));
    SetMainThreadDispatcher(Loop);
}

TEST_F(DelayedQueryTest, QueuesOfSeveralThreadsKeepTheirOwnOrder) {
    IDelayedQueryPtr a = PoolNewDelayedQuery(), b = PoolNewDelayedQuery();
    std::thread producer([&] {
        for (int i = 0; i < 20; ++i) b->ExecSQL(InsertHistory(), {"b" + std::to_string(i)}, nullptr, false);
    });
    for (int i = 0; i < 20; ++i) a->ExecSQL(InsertHistory(), {"a" + std::to_string(i)}, nullptr, false);
    producer.join();
    EXPECT_TRUE(a->WaitForAll());
    EXPECT_TRUE(b->WaitForAll());
    std::vector<std::string> rows = History();
    ASSERT_EQ(rows.size(), 40u);
    int nextA = 0, nextB = 0;
    for (const std::string& r : rows) {
        if (r[0] == 'a')
            EXPECT_EQ(r, "a" + std::to_string(nextA++));
        else
            EXPECT_EQ(r, "b" + std::to_string(nextB++));
    }
}

}  // namespace
}  // namespace kelvar
