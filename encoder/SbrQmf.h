#pragma once

#include <vector>

namespace brannoc {

// 64-band complex analysis bank of one SBR channel; the delay line persists across frames.
struct SbrQmfBank {
    static constexpr int kBands = 64;
    static constexpr int kLine = 640;
    static constexpr int kTaps = 5;
    int slots = 18;                 // QMF slots per frame: frame length / 64
    float line[kLine] = {};         // oldest first
    float window[128][kTaps] = {};  // polyphase order: window[k][n] = c[k + 1 + 128 n]
};

// The prototype window c[0..640] (c[0] = c[640] = 0), signs of the odd 128-blocks already folded in.
const std::vector<double>& SbrQmfWindow();

// frameLength must be a multiple of 64 and at least 64.
bool SbrQmfInit(SbrQmfBank& bank, int frameLength);

// Consumes slots x 64 samples; writes slots x 64 real and imaginary values.
void SbrQmfAnalyse(SbrQmfBank& bank, const float* input, float* re, float* im);

// energies[slot * bands + band] = re^2 + im^2.
void SbrQmfEnergies(float* energies, const float* re, const float* im, int bands, int slots);

}  // namespace brannoc
