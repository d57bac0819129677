#include "core/MessageAPI.h"

#include <memory>
#include <mutex>
#include <string>

#include "foundation/Logger.h"
#include "foundation/MainThread.h"
#include "platform/dbus/SessionBus.h"

namespace kelvar {

namespace {

struct TBusState {
    std::mutex Lock;
    std::shared_ptr<platform::TSessionBus> Bus;
    bool Failed = false;  // no bus to join: logged once, not tried again until closed
    bool SendLogged = false;
    std::function<void(uint32_t, int64_t)> APIReceiver;
    std::function<void(uint32_t)> ShowReceiver;
};

TBusState& State() {
    static TBusState state;
    return state;
}

void OnBusSignal(const platform::TBusSignal& Signal) {
    // On the bus thread: the receivers run on the main thread.
    const std::string name = Signal.Name;
    const uint32_t code = Signal.Code;
    const int64_t value = Signal.Value;
    PostToMainThread([name, code, value] {
        std::function<void(uint32_t, int64_t)> api;
        std::function<void(uint32_t)> show;
        {
            std::lock_guard<std::mutex> lock(State().Lock);
            api = State().APIReceiver;
            show = State().ShowReceiver;
        }
        if (name == KelvarAPIMessage && api) api(code, value);
        if (name == ShowKelvarMessage && show) show(code);
    });
}

// The bus, joined on first use; called with the state's lock held.
std::shared_ptr<platform::TSessionBus> Bus() {
    auto& state = State();
    if (state.Bus || state.Failed) return state.Bus;
    std::string error;
    state.Bus = platform::TSessionBus::Open(error);
    if (!state.Bus) {
        state.Failed = true;
        LogMessage("Remote-control messages are off (" + error + ")", "CORE", LogKind::Warning);
        return nullptr;
    }
    state.Bus->SetHandler(OnBusSignal);
    return state.Bus;
}

bool Emit(const char* Name, uint32_t Code, int64_t Value) {
    std::shared_ptr<platform::TSessionBus> bus;
    {
        std::lock_guard<std::mutex> lock(State().Lock);
        bus = Bus();
    }
    if (!bus) return false;
    std::string error;
    if (bus->Emit({Name, Code, Value}, error)) return true;
    std::lock_guard<std::mutex> lock(State().Lock);
    if (!State().SendLogged) {
        State().SendLogged = true;
        LogMessage("Remote-control message not sent (" + error + ")", "CORE", LogKind::Warning);
    }
    return false;
}

}  // namespace

void DispatchKelvarAPI(uint32_t Code, int64_t Value, const TKelvarAPIHandlers& Handlers) {
    switch (Code) {
        case KelvarAPI::Exit:
            if (Handlers.Exit) Handlers.Exit();
            break;
        case KelvarAPI::Show:
            if (Handlers.Show) Handlers.Show(Value != 0);
            break;
        case KelvarAPI::NotifySongChange:
            // Any non-zero value switches it on (256 included).
            if (Handlers.SetNotifySongChange) Handlers.SetNotifySongChange(Value != 0);
            break;
        case KelvarAPI::Play:
            if (Handlers.Play) Handlers.Play();
            break;
        case KelvarAPI::Stop:
            if (Handlers.Stop) Handlers.Stop();
            break;
        case KelvarAPI::Pause:
            if (Handlers.Pause) Handlers.Pause();
            break;
        case KelvarAPI::Next:
            if (Handlers.Next) Handlers.Next(Value != 0);
            break;
        default: break;
    }
}

bool BroadcastSongChange(int64_t SongID) { return Emit(KelvarAPIMessage, KelvarAPI::SongChange, SongID); }

bool BroadcastShowKelvar(uint32_t Param) { return Emit(ShowKelvarMessage, Param, 0); }

void SetKelvarAPIReceiver(std::function<void(uint32_t Code, int64_t Value)> Receiver) {
    std::lock_guard<std::mutex> lock(State().Lock);
    State().APIReceiver = std::move(Receiver);
    if (State().APIReceiver) Bus();
}

void SetShowKelvarReceiver(std::function<void(uint32_t Param)> Receiver) {
    std::lock_guard<std::mutex> lock(State().Lock);
    State().ShowReceiver = std::move(Receiver);
    if (State().ShowReceiver) Bus();
}

void CloseMessageBus() {
    std::shared_ptr<platform::TSessionBus> bus;
    {
        std::lock_guard<std::mutex> lock(State().Lock);
        bus.swap(State().Bus);
        State().Failed = false;
        State().SendLogged = false;
    }
    // Ends the bus thread outside the lock: its handler takes the lock.
}

}  // namespace kelvar
