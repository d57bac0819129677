#pragma once

#include "encoder/BitBuffer.h"

namespace brannoc {

// One frame's SBR data on its way from the SBR encoder to the frame writer, and the crossover the
// host may move between frames.
struct SbrSideData {
    int headerBits = 0;     // header bits written this frame (0 = none)
    int protectedBits = 0;  // leading bits the frame writer's CRC covers (0 = no CRC)
    int payloadBits = 0;
    BitBuffer bits{4096};
    float crossoverHz = 0.0f;
    bool adaptation = false;
    int channels = 1;
    float requestedCrossoverHz = 0.0f;

    bool HasData() const { return headerBits + payloadBits > 0; }
    void Clear() {
        bits.Clear();
        headerBits = protectedBits = payloadBits = 0;
    }
};

}  // namespace brannoc
