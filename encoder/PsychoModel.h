#pragma once

namespace brannoc {

// Band layout of one block kind at the core rate.
struct BandLayout {
    int count = 0;       // 22 long bands, 13 short bands per window
    int edges[23] = {};  // start lines (short: lines of one window)
    int lowpassLine = 576;
    int lowpassBand = 22;  // bands that start below the lowpass line
};

// What the analysis of one granule and channel hands to stereo coding, bit allocation and quantization.
// Short blocks keep three entries per band (band * 3 + window).
struct ChannelAnalysis {
    int blockType = 0;
    float lines[576];
    double energy[39];
    double threshold[39];
    double totalEnergy = 0;
    double msEnergy[2][39];  // mid and side, second channel only
    double msTotal[2] = {0, 0};
};

// Energy and allowed noise per scalefactor band: a fixed signal-to-mask offset with a cap, spreading
// between neighbouring bands on the Bark scale, the threshold of hearing and a limit on how fast the
// threshold may rise from one block to the next.
class PsychoModel {
public:
    void Configure(int rate, float lowpassHz);
    void Reset();

    const BandLayout& Long() const { return long_; }
    const BandLayout& Short() const { return short_; }

    // Fills energy and threshold of a channel whose lines and block type are set.
    void Analyse(int channel, ChannelAnalysis& a);
    // Mid and side energies of the pair (stored in the second channel's record).
    void MidSideEnergies(const ChannelAnalysis& left, ChannelAnalysis& right) const;

private:
    struct Kind {
        double up[22], down[22], ath[22];
        double cap;
    };
    void SetupKind(const BandLayout& layout, int lines, double cap, Kind& kind);
    void Spread(const Kind& kind, int n, double* thr) const;

    int rate_ = 44100;
    BandLayout long_, short_;
    Kind longKind_{}, shortKind_{};
    double lastLong_[2][22];
    double lastShort_[2][13];
};

}  // namespace brannoc
