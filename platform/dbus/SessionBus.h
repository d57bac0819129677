#pragma once
// The desktop session's message bus (D-Bus, through sd-bus): broadcast signals that any program
// of the same user can send and receive. Sending never waits for a receiver; received signals
// reach a handler on the bus's own thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct sd_bus;
struct sd_bus_slot;

namespace kelvar::platform {

// Every signal of the remote-control interface carries a code and a value.
struct TBusSignal {
    std::string Name;
    uint32_t Code = 0;
    int64_t Value = 0;
};

constexpr const char* BusObjectPath = "/org/kelvar/Remote";
constexpr const char* BusInterface = "org.kelvar.Remote";

class TSessionBus {
public:
    using THandler = std::function<void(const TBusSignal& Signal)>;

    // Null with the reason in Error when there is no session bus to join.
    static std::unique_ptr<TSessionBus> Open(std::string& Error);
    ~TSessionBus();
    TSessionBus(const TSessionBus&) = delete;
    TSessionBus& operator=(const TSessionBus&) = delete;

    // Queues the signal and returns at once; false with the reason when it cannot be queued.
    bool Emit(const TBusSignal& Signal, std::string& Error);
    // Called on the bus thread for each signal of the interface sent by a program of this user
    // (this process's own signals included). A sender that has already left counts as this
    // user's when the bus daemon runs as this user; refused signals are logged.
    void SetHandler(THandler Handler);
    // The bus's unique name of this connection.
    std::string UniqueName();

private:
    TSessionBus() = default;
    friend struct TSessionBusAccess;
    void Deliver(const TBusSignal& Signal, const char* Sender);
    enum class TSender { ThisUser, OtherUser, Unknown };
    TSender Identify(const char* Sender);
    void Run();
    void WakeThread();

    std::mutex FLock;  // every call into the bus connection
    sd_bus* FBus = nullptr;
    sd_bus_slot* FSlot = nullptr;
    int FWakeFd = -1;
    bool FOwnUsersBus = false;  // the bus daemon runs as this user
    std::atomic<bool> FStop{false};
    std::mutex FHandlerLock;
    THandler FHandler;
    std::thread FThread;
};

}  // namespace kelvar::platform
