#include "audio/outputs/PacketLayout.h"

#include <cstdio>

namespace kelvar {

std::string PacketLayoutError(int PacketCount, int PacketMs) {
    char text[96];
    if (PacketCount < MinDevicePackets || PacketCount > MaxDevicePackets) {
        std::snprintf(text, sizeof(text), "Allowed packet count is %d - %d ", MinDevicePackets, MaxDevicePackets);
        return text;
    }
    if (PacketMs < MinDevicePacketMs || PacketMs > MaxDevicePacketMs) {
        std::snprintf(text, sizeof(text), "Allowed packet duration is %d ms - %d ms", MinDevicePacketMs,
                      MaxDevicePacketMs);
        return text;
    }
    return {};
}

}  // namespace kelvar
