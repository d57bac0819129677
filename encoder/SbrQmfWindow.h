#pragma once

namespace brannoc {

// The 640 coefficients c[0..639] of the standard's SBR QMF window, as published (c[0] = 0; the
// blocks 128..255 and 384..511 carry the folding sign of the modulation).
extern const float kSbrQmfWindow[640];

}  // namespace brannoc
