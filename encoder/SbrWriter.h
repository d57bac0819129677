#pragma once

#include "encoder/BitBuffer.h"
#include "encoder/SbrTimeGrid.h"

namespace brannoc {

// The SBR header fields in the order they are written.
struct SbrHeader {
    int leading = 0;
    int amplitudeResolution = 1;
    int startIndex = 5;
    int stopIndex = 9;
    int crossoverBand = 0;
    int headerFlag = 0;
    int extension1 = 0;
    int extension2 = 0;
    int midSideClass = 0;
    int frequencyScale = 2;
    int alterScale = 1;
    int noiseBands = 2;
    int limiterBands = 2;
    int limiterGains = 2;
    int interpolation = 1;
    int smoothing = 0;
    int dualRate = 1;
    int mode3 = 0;
};

// Each writer returns its bit count; a null buffer only counts.
int SbrWriteHeader(BitBuffer* out, const SbrHeader& header, bool singleChannel);
int SbrWriteGrid(BitBuffer* out, const SbrGridControl& control, int fixfixResolution);

// Leading bits of the SBR data that the frame CRC protects; 0 without CRC.
int SbrProtectedBits(bool crc, bool pair, bool withHeader);

}  // namespace brannoc
