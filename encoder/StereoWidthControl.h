#pragma once

namespace brannoc {

// At low bitrates narrows the stereo image before analysis, as far as the side signal's share, the
// level balance and the coding load call for, with limited attack and release.
class StereoWidthControl {
public:
    StereoWidthControl(int rate, int bitrate);

    // Mixes the granule's 576 channel pairs in place (stride 2).
    void Apply(float* pairs);
    // What the analysis found for the granule: channel totals, mid and side totals, entropies.
    void Learn(double left, double right, double mid, double side, double pe0, double pe1);

    double Width() const { return width_; }
    double Mix() const { return mix_; }

private:
    double bitsPerGranule_;
    double fixedWidth_ = 0;
    double width_ = 1.5;
    double mix_ = 0;
    double attack_, release_;
    double tl_ = 0, tr_ = 0, em_ = 0, es_ = 0;
    double smoothedRatio_ = 0;
    double previousRatio_ = 0, previousTotal_ = 0;
    double pe_ = 0;
    double k_ = 1.0;
    double strength_;
};

}  // namespace brannoc
