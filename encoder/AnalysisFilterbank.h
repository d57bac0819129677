#pragma once

namespace brannoc {

// The polyphase analysis filterbank and the Layer III MDCT for one channel: 576 new samples become
// 576 spectral lines of the block type given.
class AnalysisFilterbank {
public:
    AnalysisFilterbank();
    void Reset();

    // Runs the filterbank over 576 new samples (read with the given stride).
    void FilterGranule(const float* pcm, int stride);

    // Long blocks (0, 1, 3): lines in frequency order with aliasing reduction. Short blocks (2): the
    // standard order, band by band with the three windows of a band one after the other.
    void Transform(int blockType, const int* shortEdges, float* lines) const;

private:
    float history_[512 + 576];
    float subband_[32][36];  // previous 18 slots, then the current 18
};

}  // namespace brannoc
