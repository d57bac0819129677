#include "platform/dbus/SessionBus.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include "foundation/Logger.h"
#include "foundation/ThreadName.h"

namespace kelvar::platform {

struct TSessionBusAccess {
    static int OnSignal(sd_bus_message* Message, void* UserData, sd_bus_error*) {
        const char* member = sd_bus_message_get_member(Message);
        if (!member) return 0;
        TBusSignal signal;
        signal.Name = member;
        // Signals of another shape are not ours to read.
        if (sd_bus_message_read(Message, "ux", &signal.Code, &signal.Value) < 0) return 0;
        static_cast<TSessionBus*>(UserData)->Deliver(signal, sd_bus_message_get_sender(Message));
        return 0;
    }
};

namespace {
std::string ErrorText(const char* What, int Code) {
    char buffer[256];
    // The GNU form: answers a text that may or may not live in the buffer.
    const char* text = strerror_r(-Code, buffer, sizeof(buffer));
    return std::string(What) + ": " + text;
}
// A session bus run by this user admits only this user's connections, which is what lets a
// signal through whose sender has left before it could be asked who it was.
bool BusOwnedByThisUser(sd_bus* Bus) {
    sd_bus_creds* creds = nullptr;
    if (sd_bus_get_owner_creds(Bus, SD_BUS_CREDS_EUID, &creds) < 0) return false;
    uid_t uid = 0;
    const bool own = sd_bus_creds_get_euid(creds, &uid) >= 0 && uid == geteuid();
    sd_bus_creds_unref(creds);
    return own;
}
}  // namespace

std::unique_ptr<TSessionBus> TSessionBus::Open(std::string& Error) {
    std::unique_ptr<TSessionBus> self(new TSessionBus());
    int r = sd_bus_open_user(&self->FBus);
    if (r < 0) {
        self->FBus = nullptr;
        Error = ErrorText("No session bus", r);
        return nullptr;
    }
    const std::string match =
        std::string("type='signal',interface='") + BusInterface + "',path='" + BusObjectPath + "'";
    r = sd_bus_add_match(self->FBus, &self->FSlot, match.c_str(), &TSessionBusAccess::OnSignal, self.get());
    if (r < 0) {
        Error = ErrorText("Cannot listen on the session bus", r);
        return nullptr;
    }
    self->FOwnUsersBus = BusOwnedByThisUser(self->FBus);
    self->FWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (self->FWakeFd < 0) {
        Error = ErrorText("Cannot create an event", -errno);
        return nullptr;
    }
    self->FThread = std::thread([raw = self.get()] {
        SetCurrentThreadName("kelvar-bus");
        raw->Run();
    });
    return self;
}

TSessionBus::~TSessionBus() {
    FStop = true;
    if (FThread.joinable()) {
        WakeThread();
        FThread.join();
    }
    if (FSlot) sd_bus_slot_unref(FSlot);
    if (FBus) {
        // What is still queued goes out as long as the daemon takes it without waiting.
        sd_bus_flush_close_unref(FBus);
    }
    if (FWakeFd >= 0) close(FWakeFd);
}

bool TSessionBus::Emit(const TBusSignal& Signal, std::string& Error) {
    int r;
    {
        std::lock_guard<std::mutex> lock(FLock);
        r = sd_bus_emit_signal(FBus, BusObjectPath, BusInterface, Signal.Name.c_str(), "ux", Signal.Code,
                               static_cast<int64_t>(Signal.Value));
    }
    if (r < 0) {
        Error = ErrorText("Cannot send on the session bus", r);
        return false;
    }
    // The bus thread writes what did not fit into the socket at once.
    WakeThread();
    return true;
}

void TSessionBus::SetHandler(THandler Handler) {
    std::lock_guard<std::mutex> lock(FHandlerLock);
    FHandler = std::move(Handler);
}

std::string TSessionBus::UniqueName() {
    std::lock_guard<std::mutex> lock(FLock);
    const char* name = nullptr;
    if (sd_bus_get_unique_name(FBus, &name) < 0 || !name) return {};
    return name;
}

void TSessionBus::WakeThread() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(FWakeFd, &one, sizeof(one));
}

TSessionBus::TSender TSessionBus::Identify(const char* Sender) {
    if (!Sender) return FOwnUsersBus ? TSender::ThisUser : TSender::Unknown;
    sd_bus_creds* creds = nullptr;
    if (sd_bus_get_name_creds(FBus, Sender, SD_BUS_CREDS_EUID, &creds) < 0) {
        // Senders such as dbus-send leave right after sending, so their name is gone by now.
        return FOwnUsersBus ? TSender::ThisUser : TSender::Unknown;
    }
    uid_t uid = 0;
    const bool known = sd_bus_creds_get_euid(creds, &uid) >= 0;
    sd_bus_creds_unref(creds);
    if (!known) return FOwnUsersBus ? TSender::ThisUser : TSender::Unknown;
    return uid == geteuid() ? TSender::ThisUser : TSender::OtherUser;
}

void TSessionBus::Deliver(const TBusSignal& Signal, const char* Sender) {
    switch (Identify(Sender)) {
        case TSender::ThisUser: break;
        case TSender::OtherUser:
            LogMessage("Remote command " + Signal.Name + " " + std::to_string(Signal.Code) + " from " +
                           (Sender ? Sender : "?") + " refused: it was sent by another user",
                       "Remote", LogKind::Warning);
            return;
        case TSender::Unknown:
            LogMessage("Remote command " + Signal.Name + " " + std::to_string(Signal.Code) + " from " +
                           (Sender ? Sender : "?") +
                           " refused: its sender could not be identified on a bus not run by this user",
                       "Remote", LogKind::Warning);
            return;
    }
    THandler handler;
    {
        std::lock_guard<std::mutex> lock(FHandlerLock);
        handler = FHandler;
    }
    if (!handler) return;
    try {
        handler(Signal);
    } catch (...) {
        // Nothing may cross back into the bus library.
    }
}

void TSessionBus::Run() {
    while (!FStop) {
        int fd;
        int events;
        uint64_t timeout = UINT64_MAX;
        {
            std::lock_guard<std::mutex> lock(FLock);
            int r;
            do {
                r = sd_bus_process(FBus, nullptr);
            } while (r > 0 && !FStop);
            if (r < 0) break;  // the connection is gone: nothing more will arrive
            fd = sd_bus_get_fd(FBus);
            events = sd_bus_get_events(FBus);
            sd_bus_get_timeout(FBus, &timeout);
        }
        int wait = -1;
        if (timeout != UINT64_MAX) {
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            const uint64_t now =
                static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
            wait = timeout <= now ? 0 : static_cast<int>(std::min<uint64_t>((timeout - now + 999) / 1000, 60000));
        }
        pollfd fds[2] = {{fd, static_cast<short>(events < 0 ? POLLIN : events), 0}, {FWakeFd, POLLIN, 0}};
        if (poll(fds, 2, wait) < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = read(FWakeFd, &count, sizeof(count));
        }
    }
}

}  // namespace kelvar::platform
