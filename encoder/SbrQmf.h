#pragma once

namespace brannoc {

// 64-band complex analysis bank of one SBR channel; the delay line persists across frames.
struct SbrQmfBank {
    static constexpr int kBands = 64;
    static constexpr int kLine = 640;
    static constexpr int kTaps = 5;
    int slots = 18;                 // QMF slots per frame: frame length / 64
    float line[kLine] = {};         // oldest first
    float window[128][kTaps] = {};  // polyphase order by sample age: window[j][n] = c[j + 128 n]
};

// frameLength must be a multiple of 64 and at least 64.
bool SbrQmfInit(SbrQmfBank& bank, int frameLength);

// Consumes slots x 64 samples; writes slots x 64 real and imaginary values. The scale is the one the
// decoder's analysis bank has: a sine of amplitude A in the middle of a band gives |X| of about 45.2 A.
void SbrQmfAnalyse(SbrQmfBank& bank, const float* input, float* re, float* im);

// energies[slot * bands + band] = re^2 + im^2.
void SbrQmfEnergies(float* energies, const float* re, const float* im, int bands, int slots);

}  // namespace brannoc
