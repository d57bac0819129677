#pragma once
// The CD drives of the system under drive letters, one shared device handle per drive, and
// their media state kept current by media events.
//
// Drive letters on Linux: the scan gives the CD drives libcdio lists (/dev/sr0, /dev/sr1, ...)
// the letters D, E, ... in that order. AddDrive maps a letter to any device node or disc image
// (.cue, .toc, .nrg) instead. A CD track is then named "<letter>:/TrackNN.cda" (or with "\").
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cdio/akrip32.h"

namespace kelvar {

class TCDEvents;
class TCDRipper;

class ICDInfo {
public:
    virtual ~ICDInfo() = default;
    // The device handle, opened by the first user; raises "AKRip: Unable to obtain CD handle".
    virtual platform::TCDHandle GetHandle() = 0;
    // The last user closes it; raises "AKRip: Unable to close CD handle".
    virtual void ReleaseHandle() = 0;
    // Serialises reads through the shared handle, which the library doesn't guard.
    virtual std::mutex& GetReadLock() = 0;
};

using ICDInfoPtr = std::shared_ptr<ICDInfo>;

class TCDInfo : public ICDInfo {
public:
    TCDInfo(const platform::TCDDevice& device, int index);
    ~TCDInfo() override;

    platform::TCDHandle GetHandle() override;
    void ReleaseHandle() override;
    std::mutex& GetReadLock() override { return FReadLock; }

    const platform::TCDDevice& GetDevice() const { return FDevice; }
    int GetIndex() const { return FIndex; }
    bool HasHandle();
    int GetUserCount();

private:
    platform::TCDDevice FDevice;
    int FIndex;
    std::mutex FLock;
    platform::TCDHandle FHandle = nullptr;
    int FUsers = 0;
    std::mutex FReadLock;
};

constexpr int DRIVE_CDROM = 5;

struct TLogicalDrive {
    char Letter = 0;
    uint32_t SerialNumber = 0;  // 0 without media
    bool MediaPresent = false;
    int DriveType = DRIVE_CDROM;
    std::string Device;
    ICDInfoPtr CDInfo;  // created on first use
};

class TDriveManager {
public:
    // Scans the CD drives and starts listening for media events.
    TDriveManager();
    ~TDriveManager();
    TDriveManager(const TDriveManager&) = delete;
    TDriveManager& operator=(const TDriveManager&) = delete;

    // Case-insensitive; nullptr when the letter is no CD drive.
    TLogicalDrive* FindDrive(char letter);
    // A ripper on the drive; raises "AKRip: Unable to map CD Drive letter to CD Number" for a
    // letter that is no CD drive, and the ripper's own errors.
    std::unique_ptr<TCDRipper> CreateRipper(char letter);
    // Maps Letter to a device node or disc image, replacing what it named before.
    TLogicalDrive& AddDrive(char letter, const std::string& device);
    size_t DriveCount();

    TCDEvents& GetEvents() { return *FEvents; }

private:
    void Scan();
    void TakeDeviceList();
    char LetterOfDevice(const std::string& devNode);
    void DoArrival(char letter);
    void DoRemoval(char letter);

    std::recursive_mutex FLock;
    std::vector<std::unique_ptr<TLogicalDrive>> FDrives;
    std::vector<platform::TCDDevice> FDevices;
    bool FDevicesTaken = false;
    std::unique_ptr<TCDEvents> FEvents;
};

// The process's drive manager, created on first call.
TDriveManager& GetDriveManager();

}  // namespace kelvar
