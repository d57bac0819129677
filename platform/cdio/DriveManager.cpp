#include "platform/cdio/DriveManager.h"

#include <cctype>

#include "foundation/Errors.h"
#include "foundation/Logger.h"
#include "platform/cdio/AKRIP_API.h"
#include "platform/cdio/CDEvents.h"

namespace kelvar {

namespace {

char UpperLetter(char letter) { return static_cast<char>(std::toupper(static_cast<unsigned char>(letter))); }

}  // namespace

TCDInfo::TCDInfo(const platform::TCDDevice& device, int index) : FDevice(device), FIndex(index) {}

TCDInfo::~TCDInfo() {
    if (FHandle != nullptr) platform::CloseCDHandle(FHandle);
}

platform::TCDHandle TCDInfo::GetHandle() {
    std::lock_guard<std::mutex> guard(FLock);
    if (FHandle == nullptr) {
        FHandle = platform::GetCDHandle(FDevice);
        if (FHandle == nullptr) throw EMediaError("AKRip: Unable to obtain CD handle");
    }
    ++FUsers;
    return FHandle;
}

void TCDInfo::ReleaseHandle() {
    std::lock_guard<std::mutex> guard(FLock);
    if (FHandle == nullptr) {
        FUsers = 0;
        return;
    }
    if (--FUsers > 0) return;
    FUsers = 0;
    const platform::TCDHandle handle = FHandle;
    FHandle = nullptr;
    if (!platform::CloseCDHandle(handle)) throw EMediaError("AKRip: Unable to close CD handle");
}

bool TCDInfo::HasHandle() {
    std::lock_guard<std::mutex> guard(FLock);
    return FHandle != nullptr;
}

int TCDInfo::GetUserCount() {
    std::lock_guard<std::mutex> guard(FLock);
    return FUsers;
}

TDriveManager::TDriveManager() {
    Scan();
    FEvents = std::make_unique<TCDEvents>([this](const std::string& devNode) { return LetterOfDevice(devNode); });
    FEvents->OnArrival = [this](TCDEvents&, char letter) { DoArrival(letter); };
    FEvents->OnRemoval = [this](TCDEvents&, char letter) { DoRemoval(letter); };
    FEvents->Start();
}

TDriveManager::~TDriveManager() { FEvents.reset(); }

void TDriveManager::TakeDeviceList() {
    if (FDevicesTaken) return;
    FDevices = platform::GetCDList();
    FDevicesTaken = true;
}

void TDriveManager::Scan() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    TakeDeviceList();
    for (const platform::TCDDevice& device : FDevices) {
        auto drive = std::make_unique<TLogicalDrive>();
        drive->Letter = static_cast<char>('A' + device.DriveNumber);
        drive->Device = device.Path;
        drive->MediaPresent = platform::ProbeMedia(device.Path, drive->SerialNumber);
        FDrives.push_back(std::move(drive));
    }
}

TLogicalDrive* TDriveManager::FindDrive(char letter) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    for (auto& drive : FDrives) {
        if (drive->Letter == UpperLetter(letter)) return drive.get();
    }
    return nullptr;
}

TLogicalDrive& TDriveManager::AddDrive(char letter, const std::string& device) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    TakeDeviceList();
    letter = UpperLetter(letter);
    if (letter < 'A' || letter > 'Z') throw EMediaError(std::string("No drive letter: ") + letter);
    const int number = letter - 'A';
    platform::TCDDevice entry;
    entry.DriveNumber = number;
    entry.Path = device;
    entry.Identity = device;
    bool replaced = false;
    for (auto& known : FDevices) {
        if (known.DriveNumber == number) {
            known = entry;
            replaced = true;
        }
    }
    if (!replaced) FDevices.push_back(entry);

    TLogicalDrive* drive = FindDrive(letter);
    if (drive == nullptr) {
        FDrives.push_back(std::make_unique<TLogicalDrive>());
        drive = FDrives.back().get();
    }
    *drive = TLogicalDrive();
    drive->Letter = letter;
    drive->Device = device;
    drive->MediaPresent = platform::ProbeMedia(device, drive->SerialNumber);
    return *drive;
}

size_t TDriveManager::DriveCount() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FDrives.size();
}

std::unique_ptr<TCDRipper> TDriveManager::CreateRipper(char letter) {
    ICDInfoPtr info;
    {
        std::lock_guard<std::recursive_mutex> guard(FLock);
        TakeDeviceList();
        TLogicalDrive* drive = FindDrive(letter);
        if (drive == nullptr) throw EMediaError("AKRip: Unable to map CD Drive letter to CD Number");
        if (!drive->CDInfo) {
            if (FDevices.empty()) throw EMediaError("AKRip: Unable to map CD Drive letter to CD Number");
            size_t index = 0;
            for (size_t i = 0; i < FDevices.size(); ++i) {
                if (FDevices[i].DriveNumber + 'A' == drive->Letter) {
                    index = i;
                    break;
                }
            }
            drive->CDInfo = std::make_shared<TCDInfo>(FDevices[index], static_cast<int>(index));
        }
        info = drive->CDInfo;
    }
    return std::make_unique<TCDRipper>(info);
}

char TDriveManager::LetterOfDevice(const std::string& devNode) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    for (auto& drive : FDrives) {
        if (drive->Device == devNode) return drive->Letter;
    }
    return 0;
}

void TDriveManager::DoArrival(char letter) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    TLogicalDrive* drive = FindDrive(letter);
    if (drive == nullptr) return;
    uint32_t serial = 0;
    platform::ProbeMedia(drive->Device, serial);
    drive->MediaPresent = true;
    drive->SerialNumber = serial;
}

void TDriveManager::DoRemoval(char letter) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    TLogicalDrive* drive = FindDrive(letter);
    if (drive == nullptr) return;
    drive->MediaPresent = false;
    drive->SerialNumber = 0;
}

TDriveManager& GetDriveManager() {
    static TDriveManager manager;
    return manager;
}

}  // namespace kelvar
