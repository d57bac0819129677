#pragma once

#include <vector>

namespace brannoc {

struct SbrPatch {
    int sourceStart = 0, sourceEnd = 0, targetStart = 0, width = 0;
};

// Tonality of the input and of the patched source, and from them the inverse-filtering mode and
// the noise floor of one SBR channel.
struct SbrTonalityEstimator {
    float rows[2][64] = {};  // previous frame, current frame
    float rowEnergy[2] = {};
    int k2 = 64;
    int sbrRate = 44100;
    std::vector<SbrPatch> patches;
    int patchMap[64] = {};
    // Noise floor
    float offsetFactor = 4.0f;
    int noiseCount = 1;
    int noiseBorders[6] = {};
    float levelFactor[5] = {1, 1, 1, 1, 1};
    float history[4][5] = {};  // oldest first
    bool historyValid = false;
    // Inverse filtering
    int detectStart = 0, detectEnd = 0;
    float invfHistory[3][4] = {};  // mean input, mean patched, top-5 input, top-5 patched; oldest first
    bool invfValid = false;
    int previousPatchedRegion = 0, previousInputRegion = 0;
    int mode = 0;
    bool carriedTransient = false;
    int perChannelMode = 2;
};

// Patches from the master table and the first SBR band kx; false for more than six patches.
bool SbrBuildPatches(SbrTonalityEstimator& t, const int* master, int masterCount, int kx);

// levels: the five per-band noise level settings in 3 dB steps; offset in 3 dB steps.
bool SbrTonalityCreate(SbrTonalityEstimator& t, int sbrRate, const int* master, int masterCount, const int* low,
                       int lowCount, int noiseBandsPerOctave, const int* levels, int noiseOffset, int perChannelMode);

// Moves the rows and measures the tonality of every QMF band below k2 over the frame's 18 slots.
void SbrTonalityQuotas(SbrTonalityEstimator& t, const float* re, const float* im, int slots);

// q = 6 - log2(noise ratio) per noise band; the inverse-filtering mode goes to mode.
// transientEnd: a transient in this frame reaching the last border is carried to the next one.
void SbrTonalityFrame(SbrTonalityEstimator& t, bool transient, bool transientReachesEnd, float* q);

}  // namespace brannoc
