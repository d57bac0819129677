#pragma once
// What the voice dialogs offer: the recording devices of both drivers, the sound cards' mixer
// lines, and the choice of one recording device that both dialogs share. No sound card gives
// empty lists (the shared driver still lists its primary device), not an error.
#include <functional>
#include <string>
#include <vector>

#include "core/CaptureDevices.h"
#include "core/VoiceAccess.h"

class QComboBox;

namespace kelvar {

// Tests: replace the listing of one driver (CaptureDriver::DirectSound or KernelStreaming); an
// empty function restores it.
void SetCaptureDeviceLister(int Driver, std::function<TCaptureDeviceList()> Lister);
// The driver's list through the replaceable listing; a failure is logged and gives what could
// be listed (the primary device of the shared driver).
TCaptureDeviceList ListCaptureDevices(int Driver);

// The last line whose name begins with "MIC" in any case; -1 when none.
int LastMicrophoneLine(const std::vector<std::string>& Names);

// The driver and device lists of a recording device: each driver's devices are listed once, the
// first time that driver is shown.
class TCaptureDeviceChooser {
public:
    TCaptureDeviceChooser(QComboBox* DriverType, QComboBox* Device);

    bool IsKernelStreaming() const;
    void SetDriverType(int Driver);
    // Lists the selected driver's devices and selects the preselected one (by ID, else by
    // name, else the first); the preselection then follows what was selected.
    void FillDevices();
    // Index of Id in the driver's IDs, else of Name in its names; -1 when neither is there.
    int FindDevice(int Driver, const std::string& Id, const std::string& Name);
    // Of the selected device; empty when nothing is selected.
    std::string GetDeviceID() const;
    std::string GetDeviceName() const;
    int DeviceIndex() const;
    int DeviceCount() const;
    // The sound card of the selected device: its index, less the primary device for the shared
    // driver; -1 when that is negative.
    int GetMixerDeviceID() const;

    std::string PreselectID;
    std::string PreselectName;

private:
    const TCaptureDeviceList& List(int Driver);

    QComboBox* FDriverType;
    QComboBox* FDevice;
    TCaptureDeviceList FLists[2];
    bool FListed[2] = {false, false};
};

}  // namespace kelvar
