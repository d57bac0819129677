#pragma once
#include "encoder/PsychoModel.h"

namespace brannoc {

// Chooses per frame between left/right and mid/side coding from the band energies and thresholds,
// with hysteresis, and converts the granule when mid/side wins.
class StereoDecision {
public:
    void Reset() { lastMs_ = false; }

    // Decides on the first granule of a frame; later granules of the frame follow it.
    bool Decide(const ChannelAnalysis& left, const ChannelAnalysis& right, const BandLayout& layout, bool isShort);
    static void Apply(ChannelAnalysis& left, ChannelAnalysis& right, const BandLayout& layout);

    bool Last() const { return lastMs_; }

private:
    bool lastMs_ = false;
};

}  // namespace brannoc
