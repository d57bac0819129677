#include "gui/voice/VoiceDevices.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "foundation/Logger.h"

namespace kelvar {

namespace {

std::function<TCaptureDeviceList()>& Lister(int Driver) {
    static std::function<TCaptureDeviceList()> shared;
    static std::function<TCaptureDeviceList()> direct;
    return Driver == CaptureDriver::KernelStreaming ? direct : shared;
}

}  // namespace

void SetCaptureDeviceLister(int Driver, std::function<TCaptureDeviceList()> Function) {
    Lister(Driver) = std::move(Function);
}

TCaptureDeviceList ListCaptureDevices(int Driver) {
    const bool direct = Driver == CaptureDriver::KernelStreaming;
    try {
        if (Lister(Driver)) return Lister(Driver)();
        return direct ? ListDirectCaptureDevices() : ListSharedCaptureDevices();
    } catch (const std::exception& e) {
        LogMessage(std::string("Recording devices could not be listed (") + e.what() + ")", "GUI", LogKind::Error);
    }
    TCaptureDeviceList fallback;
    if (!direct) {
        fallback.Names.push_back(PrimaryCaptureName);
        fallback.IDs.push_back("");
    }
    return fallback;
}

int LastMicrophoneLine(const std::vector<std::string>& Names) {
    int found = -1;
    for (size_t i = 0; i < Names.size(); ++i) {
        std::string head = Names[i].substr(0, 3);
        for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (head == "MIC") found = static_cast<int>(i);
    }
    return found;
}

// ---- TCaptureDeviceChooser

TCaptureDeviceChooser::TCaptureDeviceChooser(QComboBox* DriverType, QComboBox* Device)
    : FDriverType(DriverType), FDevice(Device) {}

bool TCaptureDeviceChooser::IsKernelStreaming() const {
    return FDriverType->currentIndex() == CaptureDriver::KernelStreaming;
}

void TCaptureDeviceChooser::SetDriverType(int Driver) {
    const QSignalBlocker quiet(FDriverType);
    FDriverType->setCurrentIndex(Driver == CaptureDriver::KernelStreaming ? 1 : 0);
}

const TCaptureDeviceList& TCaptureDeviceChooser::List(int Driver) {
    const int i = Driver == CaptureDriver::KernelStreaming ? 1 : 0;
    if (!FListed[i]) {
        FLists[i] = ListCaptureDevices(i == 1 ? CaptureDriver::KernelStreaming : CaptureDriver::DirectSound);
        FListed[i] = true;
    }
    return FLists[i];
}

int TCaptureDeviceChooser::FindDevice(int Driver, const std::string& Id, const std::string& Name) {
    const TCaptureDeviceList& list = List(Driver);
    auto id = std::find(list.IDs.begin(), list.IDs.end(), Id);
    if (id != list.IDs.end()) return static_cast<int>(id - list.IDs.begin());
    auto name = std::find(list.Names.begin(), list.Names.end(), Name);
    if (name != list.Names.end()) return static_cast<int>(name - list.Names.begin());
    return -1;
}

void TCaptureDeviceChooser::FillDevices() {
    const int driver = IsKernelStreaming() ? CaptureDriver::KernelStreaming : CaptureDriver::DirectSound;
    const TCaptureDeviceList& list = List(driver);
    const QSignalBlocker quiet(FDevice);
    FDevice->clear();
    for (const std::string& name : list.Names) FDevice->addItem(QString::fromStdString(name));
    const int found = FindDevice(driver, PreselectID, PreselectName);
    if (list.Names.empty()) return;
    const int index = std::max(found, 0);
    FDevice->setCurrentIndex(index);
    PreselectID = list.IDs[static_cast<size_t>(index)];
    PreselectName = list.Names[static_cast<size_t>(index)];
}

int TCaptureDeviceChooser::DeviceIndex() const { return FDevice->currentIndex(); }

int TCaptureDeviceChooser::DeviceCount() const { return FDevice->count(); }

std::string TCaptureDeviceChooser::GetDeviceID() const {
    const int i = FDevice->currentIndex();
    const TCaptureDeviceList& list = FLists[IsKernelStreaming() ? 1 : 0];
    if (i < 0 || i >= static_cast<int>(list.IDs.size())) return {};
    return list.IDs[static_cast<size_t>(i)];
}

std::string TCaptureDeviceChooser::GetDeviceName() const {
    const int i = FDevice->currentIndex();
    const TCaptureDeviceList& list = FLists[IsKernelStreaming() ? 1 : 0];
    if (i < 0 || i >= static_cast<int>(list.Names.size())) return {};
    return list.Names[static_cast<size_t>(i)];
}

int TCaptureDeviceChooser::GetMixerDeviceID() const {
    const int id = IsKernelStreaming() ? FDevice->currentIndex() : FDevice->currentIndex() - 1;
    return id < 0 ? -1 : id;
}

}  // namespace kelvar
