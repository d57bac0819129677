#pragma once

#include "encoder/BitBuffer.h"

namespace brannoc {

struct SbrSinusoidItem {
    int startBand = 0;
    int bands = 1;     // 1..4
    int segments = 1;  // A: half-frames covered
    int first = 0;     // B: 0 first half, 1 second half
    int flag = 0;      // 1: 5-bit values
    int width[4] = {4, 4, 4, 4};
    int scale[4] = {};
    int values[4][18] = {};
    double energy = 0.0;
};

// A few strong isolated tonal components per frame, coded directly and taken out of the envelope.
struct SbrSinusoidState {
    bool enabled = false;
    int budget = 0;
    float p[64] = {}, q[64] = {};
    int count = 0;
    SbrSinusoidItem items[4];
    int previousCount = 0;
    SbrSinusoidItem previous[4];
};

// Budget from the bitrate per channel: 350 bits from 24000, 230 from 16001, none at 16000 and below.
void SbrSinusoidCreate(SbrSinusoidState& state, int bitratePerChannel);

// re, im: 18 QMF slots of 64 bands; energies (same layout) of the coded bands are scaled down.
void SbrSinusoidFrame(SbrSinusoidState& state, const float* re, const float* im, float* energies);

// The frame's components in their syntax; a null buffer only counts.
int SbrWriteSinusoids(BitBuffer* out, const SbrSinusoidState& state);

// Bits the components cost: 4 + per component 11 + per band (slots x width + 6).
int SbrSinusoidCost(const SbrSinusoidItem* items, int count);

}  // namespace brannoc
