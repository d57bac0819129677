#include "platform/cdio/CDEvents.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/Logger.h"
#include "foundation/MainThread.h"
#include "foundation/ThreadName.h"

namespace kelvar {

TCDEvents::TCDEvents(TResolveLetter resolve) : FResolve(std::move(resolve)) {}

TCDEvents::~TCDEvents() {
    FAlive->store(false);
    Stop();
}

bool TCDEvents::Start() {
    if (FThread.joinable()) return true;
    udev* context = udev_new();
    if (context == nullptr) return false;
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (monitor == nullptr || udev_monitor_filter_add_match_subsystem_devtype(monitor, "block", "disk") < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor != nullptr) udev_monitor_unref(monitor);
        udev_unref(context);
        LogMessage("CD media events are not available", "CD", LogKind::Notice);
        return false;
    }
    FStopFd = eventfd(0, EFD_CLOEXEC);
    if (FStopFd < 0) {
        udev_monitor_unref(monitor);
        udev_unref(context);
        return false;
    }
    FUdev = context;
    FThread = std::thread([this, monitor] { Run(monitor); });
    return true;
}

void TCDEvents::Stop() {
    if (FThread.joinable()) {
        const uint64_t one = 1;
        if (write(FStopFd, &one, sizeof(one)) < 0)
            LogMessage("CD media events: stop signal failed", "CD", LogKind::Warning);
        FThread.join();
    }
    if (FStopFd >= 0) close(FStopFd);
    FStopFd = -1;
    if (FUdev != nullptr) udev_unref(static_cast<udev*>(FUdev));
    FUdev = nullptr;
}

void TCDEvents::Run(void* handle) {
    SetCurrentThreadName("kelvar-cdevents");
    auto* monitor = static_cast<udev_monitor*>(handle);
    pollfd fds[2] = {{udev_monitor_get_fd(monitor), POLLIN, 0}, {FStopFd, POLLIN, 0}};
    while (true) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) break;
        if ((fds[0].revents & POLLIN) == 0) continue;
        udev_device* device = udev_monitor_receive_device(monitor);
        if (device == nullptr) continue;
        const char* action = udev_device_get_action(device);
        const char* cdrom = udev_device_get_property_value(device, "ID_CDROM");
        const char* node = udev_device_get_devnode(device);
        if (action != nullptr && std::strcmp(action, "change") == 0 && cdrom != nullptr &&
            std::strcmp(cdrom, "1") == 0 && node != nullptr) {
            const char* media = udev_device_get_property_value(device, "ID_CDROM_MEDIA");
            const bool present = media != nullptr && std::strcmp(media, "1") == 0;
            std::string devNode = node;
            std::shared_ptr<std::atomic<bool>> alive = FAlive;
            PostToMainThread([this, alive, devNode, present] {
                if (alive->load()) DeviceChange(devNode, present);
            });
        }
        udev_device_unref(device);
    }
    udev_monitor_unref(monitor);
}

void TCDEvents::DeviceChange(const std::string& devNode, bool mediaPresent) {
    const char letter = FResolve ? FResolve(devNode) : 0;
    if (letter == 0) return;
    const TDriveEvent& handler = mediaPresent ? OnArrival : OnRemoval;
    if (handler) handler(*this, letter);
}

}  // namespace kelvar
