#include "core/MessageAPI.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/CoreTestKit.h"
#include "foundation/MainThread.h"
#include "platform/dbus/TestBusDaemon.h"

namespace kelvar {
namespace {

TEST(MessageAPI, DispatchCarriesOutTheCommands) {
    std::vector<std::string> calls;
    TKelvarAPIHandlers h;
    h.Exit = [&] { calls.push_back("exit"); };
    h.Show = [&](bool v) { calls.push_back(v ? "show" : "hide"); };
    h.SetNotifySongChange = [&](bool on) { calls.push_back(on ? "notify on" : "notify off"); };
    h.Play = [&] { calls.push_back("play"); };
    h.Stop = [&] { calls.push_back("stop"); };
    h.Pause = [&] { calls.push_back("pause"); };
    h.Next = [&](bool fade) { calls.push_back(fade ? "next fade" : "next cut"); };
    const struct {
        uint32_t Code;
        int64_t Value;
        const char* Call;  // null: ignored
    } cases[] = {
        {100, 0, "exit"},        {101, 1, "show"},       {101, 0, "hide"},      {102, 1, "notify on"},
        {102, 256, "notify on"}, {102, 0, "notify off"}, {103, 5, nullptr},     {1001, 0, "play"},
        {1002, 0, "stop"},       {1003, 0, "pause"},     {1004, 0, "next cut"}, {1004, 7, "next fade"},
        {999, 1, nullptr},
    };
    for (const auto& c : cases) {
        calls.clear();
        DispatchKelvarAPI(c.Code, c.Value, h);
        if (c.Call) {
            EXPECT_EQ(calls, std::vector<std::string>{c.Call}) << c.Code << " " << c.Value;
        } else {
            EXPECT_TRUE(calls.empty()) << c.Code;
        }
    }
    DispatchKelvarAPI(1001, 0, TKelvarAPIHandlers{});  // no handlers: nothing happens
}

struct MessageAPIBus : ::testing::Test {
    std::shared_ptr<TPlainMainLoop> Loop = std::make_shared<TPlainMainLoop>();
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    void SetUp() override {
        SetMainThreadDispatcher(Loop);
        SetCoreLogger(Log);
    }
    void TearDown() override {
        SetKelvarAPIReceiver(nullptr);
        SetShowKelvarReceiver(nullptr);
        CloseMessageBus();
        Loop->ProcessPending();
        SetCoreLogger(nullptr);
        SetMainThreadDispatcher(nullptr);
    }
    template <class F>
    bool PumpUntil(F Done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!Done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            Loop->ProcessPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
};

TEST_F(MessageAPIBus, SignalsReachTheReceiversOnTheMainThread) {
    test::TTestBusDaemon daemon;
    ASSERT_TRUE(daemon.Running());
    std::vector<std::pair<uint32_t, int64_t>> api;
    std::vector<uint32_t> shows;
    bool onMain = true;
    SetKelvarAPIReceiver([&](uint32_t code, int64_t value) {
        onMain = onMain && Loop->IsMainThread();
        api.emplace_back(code, value);
    });
    SetShowKelvarReceiver([&](uint32_t param) { shows.push_back(param); });
    EXPECT_TRUE(BroadcastSongChange(-1));
    EXPECT_TRUE(BroadcastSongChange(4711));
    EXPECT_TRUE(BroadcastShowKelvar(1234));
    ASSERT_TRUE(PumpUntil([&] { return api.size() >= 2 && !shows.empty(); }));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(api[0], std::make_pair(KelvarAPI::SongChange, int64_t{-1}));
    EXPECT_EQ(api[1], std::make_pair(KelvarAPI::SongChange, int64_t{4711}));
    EXPECT_EQ(shows, std::vector<uint32_t>{1234});
}

TEST_F(MessageAPIBus, WithoutASessionBusItLogsOnceAndRunsOn) {
    const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string saved = old ? old : "";
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kelvar-bus", 1);
    EXPECT_FALSE(BroadcastSongChange(1));
    EXPECT_FALSE(BroadcastSongChange(2));
    SetKelvarAPIReceiver([](uint32_t, int64_t) {});
    EXPECT_EQ(Log->Count("Remote-control messages are off"), 1);
    if (old) {
        setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
    } else {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

}  // namespace
}  // namespace kelvar
