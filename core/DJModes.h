#pragma once
// The automation's DJ modes: Auto DJ plays the rotation, Queue plays only what is queued,
// Manual starts nothing by itself.
#include <cstdint>

namespace kelvar::DJModes {
constexpr uint8_t AutoDJ = 0;
constexpr uint8_t Queue = 1;
constexpr uint8_t Manual = 2;
}  // namespace kelvar::DJModes
