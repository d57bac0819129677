#pragma once
// What the voice dialogs list from the sound system: the recording devices of both drivers and
// the sound cards' mixer lines. No sound card gives empty lists (the shared driver still lists
// its primary device), not an error.
#include <string>
#include <vector>

namespace kelvar {

struct TCaptureDeviceList {
    std::vector<std::string> Names;
    std::vector<std::string> IDs;
};

// The name the shared driver's primary device (empty ID) is listed by.
extern const char* const PrimaryCaptureName;

// The shared PCMs: the primary capture driver (empty ID) first, then ALSA's capture device
// hints, their PCM names as IDs. Raises std::runtime_error with ALSA's text when the hints
// cannot be read.
TCaptureDeviceList ListSharedCaptureDevices();
// The direct hardware devices ("hw:CARD=x,DEV=n").
TCaptureDeviceList ListDirectCaptureDevices();

// Product names of every mixer device (sound card), in device order.
std::vector<std::string> MixerDeviceNames();
// Names of the source lines of a destination (0 playback, 1 recording) of mixer device Device;
// empty when the device or the destination is missing.
std::vector<std::string> MixerSourceLines(int Device, int Destination);

}  // namespace kelvar
