#pragma once

#include <memory>

namespace brannoc {

// Rates how much side signal a stereo input coded as mid carries: class 0 (none) to 3 (wide).
class SbrMidSideAnalyser {
public:
    // Only 32000, 44100 and 48000 Hz have a weighting filter; other rates give null.
    static std::unique_ptr<SbrMidSideAnalyser> Create(int sbrRate, int frameLength = 1152, int overlap = 576);

    // One frame of mid and side samples; returns the class.
    int Analyse(const float* mid, const float* side);
    int Class() const { return class_; }

private:
    struct Weighting {
        double x[4] = {}, y[4] = {};
    };
    double Energy(float* history, Weighting& w) const;

    int rate_ = 44100;
    int frame_ = 1152, overlap_ = 576;
    float b_[5] = {}, a_[5] = {};
    double dcCoefficient_ = 0.0;
    double smoothF_ = 0.0, smoothG_ = 0.0;
    double peakDecay_ = 1.0;
    float midHistory_[1152 + 576] = {};
    float sideHistory_[1152 + 576] = {};
    Weighting midWeighting_, sideWeighting_;
    int class_ = 0;
    double previousMid_ = 0.0, previousSide_ = 0.0;
    double previousRatio_ = 0.0, previousRelative_ = 0.0;
    double peak_ = 0.0;
    double smoothIn_ = 0.0, smoothOut_ = 0.0;
};

}  // namespace brannoc
