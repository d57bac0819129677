#pragma once
// The mix flags of a channel (a player's or the voice's) as the windows show and switch them.
#include <cstdint>

namespace kelvar::ChannelMix {

constexpr uint8_t Playing = 1;  // the mixer pulls the channel
constexpr uint8_t OnAir = 2;
constexpr uint8_t Preview = 4;

}  // namespace kelvar::ChannelMix
