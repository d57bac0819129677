#include "encoder/StereoWidthControl.h"

#include <algorithm>
#include <cmath>

namespace brannoc {

namespace {
constexpr double kMaxWidth = 15.0;
}

StereoWidthControl::StereoWidthControl(int rate, int bitrate)
    : bitsPerGranule_(static_cast<double>(bitrate) * 576 / rate / 2),
      attack_(22050.0 / rate * 6000.0 / bitrate),
      release_(22050.0 / rate * 3000.0 / bitrate),
      strength_(1.152e10 / (static_cast<double>(bitrate) * bitrate)) {}

void StereoWidthControl::Apply(float* pairs) {
    // Undo the last mix on the energies measured for the previous granule.
    const double c = mix_;
    const double d = (1 - c * c) * em_;
    const double e = (1 - c) * tr_ + (1 + c) * tl_ - d;
    const double f = (1 + c) * tr_ + (1 - c) * tl_ - d;
    const double r = (e == 0 || f == 0) ? 30.0 : std::fabs(10 * std::log10(std::fabs(e / f)));
    const double v = std::fabs(10 * std::log10((tl_ + tr_ + 1) / (previousTotal_ + 1)));
    smoothedRatio_ = k_ * 10 * std::log10((es_ + 1) / (em_ + 1)) + (1 - k_) * smoothedRatio_;
    const double h = smoothedRatio_;

    double m = h <= 0 ? 1.0 : (h > 15 ? 0.0 : (15 - h) / 15);
    if (r > 30)
        m = 0;
    else if (r > 10)
        m *= (30 - r) / 20;
    const double q = bitsPerGranule_ > 0 ? pe_ / bitsPerGranule_ * 150 : 0;
    const double load = q > 30 ? ((q - 30) / 90) * ((q - 30) / 90) : 0.0;
    m = std::min(kMaxWidth, m * std::min(100.0, load) * strength_);
    if (std::fabs(m - width_) < 2 && m != 0) m = width_;

    const double o = (width_ + 6) / (r + 10) * std::max(1.0, 0.2 * v);
    const double up = std::max(3.0, r - previousRatio_);
    const double down = std::max(3.0, previousRatio_ - r);
    const double a = std::min(std::min(up * up * o * 0.11111111, 50 * k_) * release_, 0.8 * width_);
    const double b = std::min(down * down * o * 0.11111111, 50 * k_) * attack_ + width_;
    width_ = fixedWidth_ > 0 ? fixedWidth_ : std::max(std::min(m, b), width_ - a);

    mix_ = std::pow(10.0, -width_ * 0.5 * 0.05);
    const float p = static_cast<float>((1 + mix_) / 2), n = static_cast<float>((1 - mix_) / 2);
    for (int i = 0; i < 576; ++i) {
        const float l = pairs[2 * i], rr = pairs[2 * i + 1];
        pairs[2 * i] = p * l + n * rr;
        pairs[2 * i + 1] = n * l + p * rr;
    }
    previousRatio_ = r;
    previousTotal_ = tl_ + tr_;
}

void StereoWidthControl::Learn(double left, double right, double mid, double side, double pe0, double pe1) {
    tl_ = left;
    tr_ = right;
    em_ = mid;
    es_ = side;
    pe_ = k_ * (pe0 + pe1) / 2 + (1 - k_) * pe_;
    if (k_ > 0.1) k_ -= 0.1;
}

}  // namespace brannoc
