#include "core/HeartBeat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/CoreTestKit.h"
#include "foundation/Logger.h"
#include "foundation/MainThread.h"

namespace kelvar {
namespace {

// A tick counter the test moves by hand.
struct TFakeClock {
    uint32_t Now = 1000;
    TTickClock Clock() {
        return [this] { return Now; };
    }
};

struct HeartBeatPass : ::testing::Test {
    TFakeClock Time;
    std::vector<std::string> Runs;
    THeartBeat Beat{Time.Clock(), false};

    THeartBeatEvent Record(const std::string& name) {
        return [this, name](THeartBeat&) { Runs.push_back(name); };
    }
    // One pass and the main thread's run of what it found due; answers the sleep.
    int32_t Pass() {
        const int32_t sleep = Beat.CheckDue();
        Beat.RunDue();
        return sleep;
    }
};

TEST_F(HeartBeatPass, HundredMsTickRunsEvery150Ms) {
    Beat.Add(100, this, 1, Record("tick"));
    Time.Now += 99;
    EXPECT_EQ(Pass(), 50);  // 1 ms left, but never sooner than 50
    EXPECT_TRUE(Runs.empty());
    Time.Now += 1;
    EXPECT_EQ(Pass(), 100);
    EXPECT_EQ(Runs.size(), 1u);
    // 100 ms later it is still 10 ms short: the next interval counts from due + 10.
    Time.Now += 100;
    EXPECT_EQ(Pass(), 50);
    EXPECT_EQ(Runs.size(), 1u);
    Time.Now += 50;
    Pass();
    EXPECT_EQ(Runs.size(), 2u);
}

TEST_F(HeartBeatPass, SleepIsBoundedBetween50And500) {
    struct TCase {
        std::vector<int32_t> Intervals;
        int32_t Sleep;
    };
    const TCase cases[] = {{{10}, 50}, {{100, 4000, 30000}, 100}, {{30000}, 500}};
    for (const auto& c : cases) {
        THeartBeat beat(Time.Clock(), false);
        for (size_t i = 0; i < c.Intervals.size(); ++i)
            beat.Add(c.Intervals[i], this, static_cast<int>(i), Record("x"));
        EXPECT_EQ(beat.CheckDue(), c.Sleep);
        beat.Clear();
    }
}

TEST_F(HeartBeatPass, CounterWrapDoesNoHarm) {
    Time.Now = 0xFFFFFFF0u;
    Beat.Add(100, this, 1, Record("tick"));
    Time.Now += 99;  // wrapped past zero
    Pass();
    EXPECT_TRUE(Runs.empty());
    Time.Now += 1;
    Pass();
    EXPECT_EQ(Runs.size(), 1u);
}

TEST_F(HeartBeatPass, RaisingCallbackDoesNotStopOthersAndRunsAgain) {
    int failures = 0;
    Beat.Add(100, this, 1, [&](THeartBeat&) {
        ++failures;
        throw std::runtime_error("boom");
    });
    Beat.Add(100, this, 2, Record("second"));
    Time.Now += 100;
    Pass();
    Time.Now += 150;
    Pass();
    EXPECT_EQ(failures, 2);
    EXPECT_EQ(Runs.size(), 2u);
}

TEST_F(HeartBeatPass, AFailingCallbackIsLoggedOncePerKindThenOnceAMinute) {
    auto log = std::make_shared<coretest::TMemoryLogger>();
    SetCoreLogger(log);
    int runs = 0;
    Beat.Add(100, this, 7, [&](THeartBeat&) {
        ++runs;
        if (runs == 5) throw std::logic_error("other kind");
        throw std::runtime_error("database gone");
    });
    for (int i = 0; i < 20; ++i) {  // 3 s of passes
        Time.Now += 150;
        Pass();
    }
    EXPECT_EQ(runs, 20);
    EXPECT_EQ(log->Count("Heartbeat task 7 failed (std::runtime_error): database gone", "CORE"), 1);
    EXPECT_EQ(log->Count("Heartbeat task 7 failed (std::logic_error): other kind"), 1);
    EXPECT_EQ(log->Entries().size(), 2u);
    // A minute on, the repeats are counted in one line.
    Time.Now += 60000;
    Pass();
    EXPECT_EQ(log->Count("Heartbeat task 7 failed 19 more times (std::runtime_error), last: database gone"), 1);
    SetCoreLogger(nullptr);
}

TEST_F(HeartBeatPass, RemoveDuringAPassKeepsTheRemovedCallbackFromRunning) {
    Beat.Add(100, this, 1, [&](THeartBeat& sender) {
        Runs.push_back("first");
        sender.Remove(this, 2);
    });
    Beat.Add(100, this, 2, Record("second"));
    Time.Now += 100;
    Pass();
    EXPECT_EQ(Runs, std::vector<std::string>{"first"});
    EXPECT_EQ(Beat.Count(), 1);
}

TEST_F(HeartBeatPass, RemoveOfLastSuspendsAndClearDoesNot) {
    Beat.Add(100, this, 1, Record("a"));
    EXPECT_FALSE(Beat.IsSuspended());
    Beat.Remove(this, 7);  // not registered: nothing happens
    EXPECT_EQ(Beat.Count(), 1);
    Beat.Remove(this, 1);
    EXPECT_TRUE(Beat.IsSuspended());
    Beat.Add(100, this, 1, Record("a"));
    EXPECT_FALSE(Beat.IsSuspended());
    Beat.Clear();
    EXPECT_FALSE(Beat.IsSuspended());
    Time.Now += 1000;
    Pass();
    EXPECT_TRUE(Runs.empty());
}

// The threaded road: callbacks run on the main thread, which the test pumps.
struct HeartBeatThread : ::testing::Test {
    std::shared_ptr<TPlainMainLoop> Loop = std::make_shared<TPlainMainLoop>();
    void SetUp() override { SetMainThreadDispatcher(Loop); }
    void TearDown() override {
        Loop->Close();
        SetMainThreadDispatcher(nullptr);
    }
    // Pumps the main loop until Done holds (bounded generously).
    template <class F>
    bool PumpUntil(F Done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!Done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            Loop->ProcessPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
};

TEST_F(HeartBeatThread, CallbacksRunOnTheMainThread) {
    THeartBeat beat;
    int runs = 0;
    bool onMain = true;
    beat.Add(10, this, 1, [&](THeartBeat& sender) {
        onMain = onMain && Loop->IsMainThread() && &sender == &beat;
        ++runs;
    });
    ASSERT_TRUE(PumpUntil([&] { return runs >= 3; }));
    EXPECT_TRUE(onMain);
    beat.Stop();
}

TEST_F(HeartBeatThread, StopOnTheMainThreadRunsTheWaitingPass) {
    auto beat = std::make_unique<THeartBeat>();
    int runs = 0;
    beat->Add(10, this, 1, [&](THeartBeat&) { ++runs; });
    // Wait, without pumping, until the thread has handed a pass over and waits for it.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (beat->MainThreadCalls() == 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(beat->MainThreadCalls(), 1);
    beat->Stop();  // must not hang
    EXPECT_EQ(runs, 1);
    beat.reset();
    Loop->ProcessPending();  // the stale posted call finds nothing to run
    EXPECT_EQ(runs, 1);
}

TEST_F(HeartBeatThread, StopOffTheMainThreadLeavesThePassToTheLoop) {
    auto beat = std::make_unique<THeartBeat>();
    beat->Add(10, this, 1, [](THeartBeat&) {});
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (beat->MainThreadCalls() == 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::thread other([&] { beat.reset(); });
    other.join();  // returns although the pass still waits for the main thread
    Loop->ProcessPending();
}

TEST_F(HeartBeatThread, SuspendHoldsEvenAPassAlreadyHandedOverUntilResume) {
    THeartBeat beat;
    int runs = 0;
    beat.Add(10, this, 1, [&](THeartBeat&) { ++runs; });
    // A pass waits for the main thread, which is busy (not pumping) when start-up suspends.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (beat.MainThreadCalls() == 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(beat.MainThreadCalls(), 1);
    beat.Suspend();
    EXPECT_TRUE(beat.IsSuspended());
    for (int i = 0; i < 20; ++i) {
        Loop->ProcessPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(runs, 0);
    beat.Resume();
    EXPECT_FALSE(beat.IsSuspended());
    ASSERT_TRUE(PumpUntil([&] { return runs >= 2; }));
    beat.Stop();
}

}  // namespace
}  // namespace kelvar
