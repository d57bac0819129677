#pragma once
#include "encoder/PsychoModel.h"

namespace brannoc {

// Per band figures of one channel that bit allocation and quantization share.
struct BandEstimates {
    double form[39];     // sum of sqrt|x| over the band's lines
    double largest[39];  // largest magnitude
    double pe[39];
    double pe2[39];
    double lines[39];   // counted active lines
    double active[39];  // active line estimate n of the band
    double level[39];   // L = 0.5 log2(energy)
    int entries = 0;
    bool isShort = false;
    double totalPe = 0, totalPe2 = 0, totalLines = 0;
};

// Decides how many bits a granule may use: in constant bit rate from the frame's mean, the state of
// the reservoir and a bit-demand curve over the perceptual entropy; in VBR from a target derived from
// the quality. When the thresholds would need more, they are raised until the entropy fits.
class RateControl {
public:
    void Configure(int rate, float lowpassHz, int bitratePerChannel, bool vbr, int quality);

    double VbrValue() const { return vbrValue_; }
    int BitratePerChannel() const { return bitratePerChannel_; }

    void Estimate(const ChannelAnalysis& a, const BandLayout& layout, int bands, BandEstimates& est) const;
    // Entropy figures from the current thresholds (after Estimate on the same lines).
    static void Entropy(const ChannelAnalysis& a, BandEstimates& est);

    // Constant bit rate: desired bits of a granule (fill and room in bits, mean per granule).
    double DesiredCbr(double fill, double room, double meanGranule, double pe, bool shortBlocks);
    void LearnUsed(int usedBits) { lastUsed_ = usedBits; }
    double CorrectionFactor() const { return correction_; }

    // VBR: desired bits of a granule from its complexity.
    double DesiredVbr(const BandEstimates* est, const ChannelAnalysis* a, int channels, double cap) const;

    // Raises the thresholds of bands below the lowpass until the estimated entropy reaches desired.
    // midOfSide: the first channel when a is the side channel of a mid/side granule.
    void Adapt(ChannelAnalysis& a, const BandLayout& layout, int bands, double desired, BandEstimates& est,
               const ChannelAnalysis* midOfSide = nullptr) const;

private:
    double MinSnr(bool shortBlock, int band) const;

    int rate_ = 44100;
    int bitratePerChannel_ = 64000;
    bool vbr_ = false;
    double vbrValue_ = 0;
    double peLow_ = 0, peHigh_ = 0;
    double lastDesired_ = 0;
    int lastUsed_ = 0;
    double correction_ = 1.0;
    double minSnrLong_[22] = {};
    double minSnrShort_[13] = {};
};

}  // namespace brannoc
