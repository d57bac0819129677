#pragma once
#include "encoder/PsychoModel.h"

namespace brannoc {

// Where the right channel of a granule is replaced by intensity positions, and which.
struct IntensityInfo {
    bool active = false;
    int start[3] = {22, 22, 22};  // first intensity band per window (long blocks: start[0])
    int position[39] = {};        // per band (short: band * 3 + window), as the scalefactor field holds it
};

// Intensity stereo: from which band on the right channel is carried by the left one and a direction
// per band, chosen to keep the error of that approximation below both channels' thresholds.
class IntensityStereo {
public:
    void Configure(int rate);
    void Reset();

    // left and right hold the granule's own L/R lines, energies and thresholds; the result says where
    // intensity starts. The frame's first granule decides whether the frame uses it at all.
    void Decide(const ChannelAnalysis& left, const ChannelAnalysis& right, const BandLayout& layout, bool isShort,
                IntensityInfo& info);
    // Replaces the coded pair's lines, energies and thresholds from the start bands on.
    void Apply(const ChannelAnalysis& left, const ChannelAnalysis& right, const BandLayout& layout, bool isShort,
               const IntensityInfo& info, ChannelAnalysis& codedLeft, ChannelAnalysis& codedRight) const;

    // The field value that tells a decoder not to use intensity in a band (MPEG-1).
    static constexpr int kIllegalMpeg1 = 7;

private:
    void Weights(int signedPosition, double& wl, double& wr) const;
    int FieldValue(int signedPosition) const;

    bool mpeg1_ = true;
    int firstBand_ = 7;
    int previous_[39];  // last signed position per band
};

}  // namespace brannoc
