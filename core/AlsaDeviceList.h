#pragma once
// The playback devices the output settings offer: shared ALSA PCMs for the shared-device driver
// and hardware devices for the direct driver. No sound card gives empty lists, not an error.
#include <functional>
#include <string>
#include <vector>

namespace kelvar {

struct TOutputDeviceList {
    std::vector<std::string> Names;
    std::vector<std::string> IDs;
};

// The shared PCMs: the primary driver (empty ID) first, then ALSA's playback device hints.
// Raises std::runtime_error with the ALSA error text when the hints cannot be read.
TOutputDeviceList ListSharedOutputDevices();
// The direct hardware devices ("hw:CARD=x,DEV=n").
TOutputDeviceList ListDirectOutputDevices();

// Tests: replace the listing of one driver (1 shared, 2 direct); an empty function restores it.
void SetOutputDeviceLister(int OutputType, std::function<TOutputDeviceList()> Lister);
// The list of the driver through the replaceable listing.
TOutputDeviceList ListOutputDevices(int OutputType);

}  // namespace kelvar
