#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/MainThread.h"

namespace kelvar {
namespace {

struct MainThreadTest : ::testing::Test {
    std::shared_ptr<TPlainMainLoop> loop = std::make_shared<TPlainMainLoop>();
    void SetUp() override { SetMainThreadDispatcher(loop); }
    void TearDown() override { SetMainThreadDispatcher(nullptr); }
};

TEST_F(MainThreadTest, PostedCallsRunWhenPumpedInOrder) {
    std::vector<int> order;
    std::thread worker([&] {
        EXPECT_TRUE(PostToMainThread([&] { order.push_back(1); }));
        EXPECT_TRUE(PostToMainThread([&] { order.push_back(2); }));
    });
    worker.join();
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(loop->ProcessPending(), 2);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST_F(MainThreadTest, RunOnMainThreadWaitsForTheCall) {
    std::atomic<bool> ran{false};
    std::thread::id ranOn;
    std::thread worker([&] {
        EXPECT_TRUE(RunOnMainThread([&] { ranOn = std::this_thread::get_id(); }));
        ran = true;
        loop->Quit();
    });
    loop->Run();
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(MainThreadTest, RunOnMainThreadRunsAtOnceOnTheMainThread) {
    int calls = 0;
    EXPECT_TRUE(RunOnMainThread([&] { ++calls; }));
    EXPECT_EQ(calls, 1);
}

TEST_F(MainThreadTest, ClosingReleasesWaitersAndRefusesPosts) {
    // Whether the worker's call was queued before the close or refused after it, the worker
    // comes back with "not run" instead of waiting for ever.
    std::atomic<int> result{-1};
    std::thread worker([&] { result = RunOnMainThread([] {}) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    loop->Close();
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(PostToMainThread([] {}));
}

TEST_F(MainThreadTest, AnExceptionInACallDoesNotEscape) {
    int after = 0;
    loop->Post([] { throw std::runtime_error("boom"); });
    loop->Post([&] { ++after; });
    EXPECT_EQ(loop->ProcessPending(), 2);
    EXPECT_EQ(after, 1);
}

}  // namespace
}  // namespace kelvar
