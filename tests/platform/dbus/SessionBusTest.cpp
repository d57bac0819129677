#include "platform/dbus/SessionBus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <vector>

#include <systemd/sd-bus.h>

#include "platform/dbus/TestBusDaemon.h"

using kelvar::platform::TBusSignal;
using kelvar::platform::TSessionBus;

namespace {

struct TReceived {
    std::mutex Lock;
    std::condition_variable Arrived;
    std::vector<TBusSignal> Signals;

    bool WaitFor(size_t count) {
        std::unique_lock<std::mutex> lock(Lock);
        return Arrived.wait_for(lock, std::chrono::seconds(20), [&] { return Signals.size() >= count; });
    }
};

TEST(SessionBus, SignalReachesOtherConnectionsAndItself) {
    kelvar::test::TTestBusDaemon daemon;
    ASSERT_TRUE(daemon.Running());
    std::string error;
    auto sender = TSessionBus::Open(error);
    ASSERT_TRUE(sender) << error;
    auto receiver = TSessionBus::Open(error);
    ASSERT_TRUE(receiver) << error;

    TReceived other, own;
    auto collect = [](TReceived& into) {
        return [&into](const TBusSignal& s) {
            std::lock_guard<std::mutex> lock(into.Lock);
            into.Signals.push_back(s);
            into.Arrived.notify_all();
        };
    };
    receiver->SetHandler(collect(other));
    sender->SetHandler(collect(own));

    ASSERT_TRUE(sender->Emit({"KelvarAPI", 103, -1}, error)) << error;
    ASSERT_TRUE(sender->Emit({"KelvarAPI", 103, int64_t{1} << 40}, error)) << error;
    ASSERT_TRUE(other.WaitFor(2));
    EXPECT_EQ(other.Signals[0].Name, "KelvarAPI");
    EXPECT_EQ(other.Signals[0].Code, 103u);
    EXPECT_EQ(other.Signals[0].Value, -1);
    EXPECT_EQ(other.Signals[1].Value, int64_t{1} << 40);
    EXPECT_TRUE(own.WaitFor(2));
}

// As dbus-send does: connect, send one signal, leave at once. By the time the receiver asks
// the bus who sent it, the sender's name no longer exists.
void SendAndLeave(int64_t Value) {
    sd_bus* bus = nullptr;
    ASSERT_GE(sd_bus_open_user(&bus), 0);
    ASSERT_GE(sd_bus_emit_signal(bus, kelvar::platform::BusObjectPath, kelvar::platform::BusInterface, "KelvarAPI",
                                 "ux", 103u, Value),
              0);
    sd_bus_flush_close_unref(bus);
}

TEST(SessionBus, SignalFromASenderThatLeftAtOnceIsDelivered) {
    kelvar::test::TTestBusDaemon daemon;
    ASSERT_TRUE(daemon.Running());
    std::string error;
    auto receiver = TSessionBus::Open(error);
    ASSERT_TRUE(receiver) << error;
    TReceived got;
    receiver->SetHandler([&got](const TBusSignal& s) {
        std::lock_guard<std::mutex> lock(got.Lock);
        got.Signals.push_back(s);
        got.Arrived.notify_all();
    });
    // The receiver's match must be in place before anything is sent.
    ASSERT_FALSE(receiver->UniqueName().empty());
    constexpr int Senders = 10;
    for (int i = 0; i < Senders; ++i) SendAndLeave(i);
    ASSERT_TRUE(got.WaitFor(Senders)) << got.Signals.size() << " of " << Senders << " arrived";
    for (int i = 0; i < Senders; ++i) EXPECT_EQ(got.Signals[i].Value, i);
}

TEST(SessionBus, WithoutABusOpenFailsWithAReason) {
    const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string saved = old ? old : "";
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kelvar-test-bus", 1);
    std::string error;
    auto bus = TSessionBus::Open(error);
    EXPECT_FALSE(bus);
    EXPECT_FALSE(error.empty());
    if (old) {
        setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
    } else {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

}  // namespace
