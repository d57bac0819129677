#pragma once

namespace brannoc {

// Chooses the block type of each granule from the energy of a high-passed look-ahead signal: an
// attack makes the coded granule a start block and the next one short; a stop block ends the run.
class TransientDetector {
public:
    void Reset();

    // Analyses 576 look-ahead samples (given stride) and returns the block type of the granule that
    // is coded now.
    int Analyse(const float* samples, int stride);

    // Two channels share one block type; both detectors take the combined value.
    static int Combine(int a, int b);
    void SetCodedType(int type) { coded_ = type; }
    int Tentative() const { return tentative_; }
    void SetTentative(int type) { tentative_ = type; }

private:
    float prevIn_ = 0, prevOut_ = 0;
    double prevE1_ = 0, prevE2_ = 0;
    bool hold_ = false;
    int coded_ = 0;
    int tentative_ = 0;
};

}  // namespace brannoc
