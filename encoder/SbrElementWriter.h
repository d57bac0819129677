#pragma once

#include "encoder/BitBuffer.h"
#include "encoder/SbrHeaderControl.h"
#include "encoder/SbrHuffmanTables.h"
#include "encoder/SbrSinusoids.h"
#include "encoder/SbrTimeGrid.h"

#include <cstdint>

namespace brannoc {

// The tables a channel codes with; noise frequency deltas use the 3.0 dB envelope frequency tables.
struct SbrHuffmanSet {
    SbrHuffmanTable levelFreq, levelTime, balanceFreq, balanceTime;
    SbrHuffmanTable noiseLevelFreq, noiseLevelTime, noiseBalanceFreq, noiseBalanceTime;
    int amplitudeResolution = 1;
};

// The standard's tables for an amplitude resolution (1 = 3.0 dB, 0 = 1.5 dB steps).
SbrHuffmanSet SbrStandardHuffmanSet(int amplitudeResolution);

// Everything one channel writes for a frame; values are already delta coded.
struct SbrChannelFrame {
    SbrGridControl grid;
    int fixfixResolution = 1;
    SbrFrameInfo info;
    int bandsLow = 0, bandsHigh = 0, noiseBands = 1;
    int envelopeFlags[5] = {};
    int noiseFlags[2] = {};
    int envelope[5][48] = {};
    int noise[2][5] = {};
    int invfMode = 0;
    int channelValue = 2;
    int perChannelMode = 2;
    const SbrSinusoidState* sinusoids = nullptr;
};

struct SbrElementBits {
    int header = 0;
    int payload = 0;
    int protectedBits = 0;
};

// Writes one single channel element (header only when the state says so); a null buffer counts.
SbrElementBits SbrWriteSingle(BitBuffer* out, const SbrHeader& header, const SbrHeaderState& state,
                              const SbrChannelFrame& channel, const SbrHuffmanSet& tables);

// Writes one channel pair element; coupled: the right channel carries balances and left's grid.
SbrElementBits SbrWritePair(BitBuffer* out, const SbrHeader& header, const SbrHeaderState& state,
                            const SbrChannelFrame& left, const SbrChannelFrame& right, bool coupled,
                            const SbrHuffmanSet& tables);

}  // namespace brannoc
