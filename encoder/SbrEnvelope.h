#pragma once

#include "encoder/SbrTimeGrid.h"

namespace brannoc {

// Quantised data of one channel and frame: up to 5 envelopes of up to 48 bands and up to 2 noise
// envelopes of up to 5 noise bands.
struct SbrQuantised {
    int levels[5][48] = {};
    int noise[2][5] = {};
};

// Band borders by resolution: 0 low, 1 high.
struct SbrEnvelopeBands {
    const int* table[2] = {nullptr, nullptr};
    int count[2] = {0, 0};
};

// Balance index: offset + sign x nearest magnitude (0 counts as negative); error receives the distance.
int SbrQuantiseBalance(float value, int amplitudeResolution, float& error);

// energies: 64 floats per QMF slot from the first slot of the frame being coded (24 slots at
// least, as borders reach 3 time slots into the next frame). With second set the levels of the
// pair and the balances are written and largestBalanceError receives the frame's largest error.
void SbrQuantiseEnvelope(const float* energies, const float* second, const SbrFrameInfo& info,
                         const SbrEnvelopeBands& bands, int amplitudeResolution, SbrQuantised& levels,
                         SbrQuantised* balances, float* largestBalanceError);

// The mean energy per QMF sample and band that a level stands for.
double SbrDequantiseLevel(int level, int amplitudeResolution);

// Noise floor levels from q = 6 - log2(noise ratio): ceil(q) within 0..30.
int SbrQuantiseNoise(float q);
// Coupled noise floor: level and balance index of a pair of q values.
void SbrQuantiseNoisePair(float q1, float q2, int& level, int& balance);

}  // namespace brannoc

namespace brannoc {

enum class SbrStereoChoice {
    kLeftRight,             // the grids differ
    kLeftRightNoTimeDelta,  // coupling would cost too much precision: first envelopes frequency coded
    kCompareBits,           // both codings are counted and the cheaper taken
};

// The checks of the per-frame stereo choice that come before counting bits.
SbrStereoChoice SbrStereoPrecheck(const SbrFrameInfo& left, const SbrFrameInfo& right, float largestBalanceError,
                                  int amplitudeResolution, const SbrQuantised& leftLevels,
                                  const SbrQuantised& rightLevels, int bandsLow, int bandsHigh);

}  // namespace brannoc
