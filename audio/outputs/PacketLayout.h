#pragma once
// The packet ring limits that output and capture devices share.
#include <string>

namespace kelvar {

constexpr int MinDevicePackets = 3;
constexpr int MaxDevicePackets = 20;
constexpr int MinDevicePacketMs = 5;
constexpr int MaxDevicePacketMs = 50;

// The error text for a packet count or duration outside the limits; empty when both are allowed.
std::string PacketLayoutError(int PacketCount, int PacketMs);

}  // namespace kelvar
