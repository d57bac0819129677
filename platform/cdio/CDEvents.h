#pragma once
// Media arrival and removal of CD drives. A udev monitor thread hears the kernel's "change"
// events of CD devices and hands each to the main thread, where OnArrival or OnRemoval fires
// with the drive's letter.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace kelvar {

class TCDEvents {
public:
    using TDriveEvent = std::function<void(TCDEvents& sender, char driveLetter)>;
    // The letter of a device node; 0 when it is no known CD drive.
    using TResolveLetter = std::function<char(const std::string& devNode)>;

    explicit TCDEvents(TResolveLetter resolve);
    ~TCDEvents();
    TCDEvents(const TCDEvents&) = delete;
    TCDEvents& operator=(const TCDEvents&) = delete;

    // Starts listening; false (and nothing heard) where udev can't be reached.
    bool Start();
    void Stop();

    // A device-change notice for a CD device, on the main thread: media now present or gone.
    void DeviceChange(const std::string& devNode, bool mediaPresent);

    TDriveEvent OnArrival;
    TDriveEvent OnRemoval;

private:
    void Run(void* monitor);

    TResolveLetter FResolve;
    std::thread FThread;
    int FStopFd = -1;
    void* FUdev = nullptr;
    // Calls already posted to the main thread look here before touching the object.
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace kelvar
