#pragma once
// The binding to the direct-hardware driver: loaded once for the process on first need, and
// the device lists for the configuration window and the capture thread.
#include <functional>
#include <string>
#include <vector>

#include "audio/outputs/KSDriver.h"

namespace kelvar {

// Makes the driver; answers none when no driver can be had.
using TKSDriverFactory = std::function<IKSDriverPtr()>;

// Loads the driver once; answers whether it is usable. A later call after success answers
// true at once.
bool LoadDirectKS();
// The loaded driver, or none.
IKSDriverPtr GetKSDriver();
// Replaces how the driver is made (the built-in ALSA hw driver by default; none restores it)
// and forgets a loaded driver, so that the next LoadDirectKS makes a new one.
void SetKSDriverFactory(TKSDriverFactory Factory);

// Both lists are cleared, then filled in the same order. Raise EAudioError "Unable to load KS
// Driver", "Unable to create Filter Enumeration" or "Unable to Enumerate filters".
void ListKSRenderDevices(std::vector<std::string>& Names, std::vector<std::string>& Paths);
void ListKSCaptureDevices(std::vector<std::string>& Names, std::vector<std::string>& Paths);

}  // namespace kelvar
