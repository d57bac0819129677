#pragma once
#include "encoder/GranuleRecord.h"
#include "encoder/HuffmanCoding.h"
#include "encoder/IntensityStereo.h"
#include "encoder/Mp3Tables.h"
#include "encoder/PsychoModel.h"
#include "encoder/RateControl.h"

namespace brannoc {

// Turns one channel's spectrum and adapted thresholds into Layer III data: a step per scalefactor band
// estimated from its allowed noise, scalefactors with their scale, preflag and subblock gains, the
// quantized values, the scalefactor compression and the Huffman coding, then raises the global gain
// until the channel fits its budget.
class Quantizer {
public:
    Quantizer(int rate, int refinementLevel);

    // Codes the channel into gc; part2_3_length ends at most at budget (when any value can fit).
    // intensity: the right channel of a frame coded with intensity stereo (leftIx: the left channel's
    // values of the granule), else null.
    void CodeChannel(const ChannelAnalysis& a, const BandLayout& layout, const BandEstimates& est, int budget,
                     GranuleChannel& gc, const IntensityInfo* intensity = nullptr, const int* leftIx = nullptr);

    // Quantizes at step exponent (quarter steps) of every line of [start, end); false when a value
    // exceeds the largest codable magnitude.
    static bool QuantizeRange(const float* xr34, int start, int end, int exponent, int* ix);
    static double Distortion(const float* lines, const float* xr34, int start, int end, int exponent);

private:
    struct Plan {
        int steps[39];  // wanted step exponent per entry, or kMarkNotCoded
        int entries;
    };
    void InitialSteps(const ChannelAnalysis& a, const BandLayout& layout, const BandEstimates& est, Plan& plan) const;
    bool Scalefactors(const Plan& plan, bool isShort, int scale, bool allowPreflag, GranuleChannel& gc,
                      int& gain) const;
    void PlacePositions(const BandLayout& layout, bool isShort, const IntensityInfo& info, const int* leftIx,
                        GranuleChannel& gc) const;
    // Returns the change of the global gain (quarter steps).
    int Refine(const ChannelAnalysis& a, const BandLayout& layout, const Plan& plan, GranuleChannel& gc,
               int gain) const;
    void ChooseCompress(GranuleChannel& gc, bool isShort, bool intensity) const;
    int Amplification(const GranuleChannel& gc, bool isShort, int entry) const;
    bool QuantizeAll(const BandLayout& layout, bool isShort, const GranuleChannel& gcIn, int gain,
                     GranuleChannel& gc) const;
    int CountBits(GranuleChannel& gc, bool isShort, bool intensity);

    int rate_;
    MpegVersion version_;
    int refinement_;
    HuffmanCoding huffman_;
    float xr34_[576];
    const float* lines_ = nullptr;
};

}  // namespace brannoc
