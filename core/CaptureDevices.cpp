#include "core/CaptureDevices.h"

#include "audio/live/AMixer.h"
#include "audio/outputs/DirectKS_API.h"
#include "platform/alsa/AlsaPcm.h"

namespace kelvar {

const char* const PrimaryCaptureName = "Primary Sound Capture Driver";

TCaptureDeviceList ListSharedCaptureDevices() {
    TCaptureDeviceList list;
    list.Names.push_back(PrimaryCaptureName);
    list.IDs.push_back("");
    // "default" is the primary device, listed first already.
    platform::ListPcmHints(true, list.Names, list.IDs);
    return list;
}

TCaptureDeviceList ListDirectCaptureDevices() {
    TCaptureDeviceList list;
    ListKSCaptureDevices(list.Names, list.IDs);
    return list;
}

std::vector<std::string> MixerDeviceNames() {
    std::vector<std::string> names;
    TAudioMixer mixer;
    for (int i = 0; i < mixer.DeviceCount(); ++i) {
        mixer.SetMixerId(i);
        names.push_back(mixer.MixerId() == i ? mixer.ProductName() : std::string());
    }
    return names;
}

std::vector<std::string> MixerSourceLines(int Device, int Destination) {
    std::vector<std::string> names;
    TAudioMixer mixer;
    if (Device < 0 || Device >= mixer.DeviceCount()) return names;
    mixer.SetMixerId(Device);
    if (mixer.MixerId() != Device) return names;
    const TMixerDestination* dest = mixer.Destinations().GetDestination(Destination);
    if (!dest) return names;
    for (int i = 0; i < dest->Connections.Count(); ++i) {
        // The names the mixer layer gives are at most 64 characters.
        names.push_back(dest->Connections.GetConnection(i)->Line.Name.substr(0, 64));
    }
    return names;
}

}  // namespace kelvar
