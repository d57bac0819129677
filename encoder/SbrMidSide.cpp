#include "encoder/SbrMidSide.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace brannoc {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct WeightingRow {
    int rate;
    float b0, b1, b2, a1, a2, a3, a4;
};

constexpr WeightingRow kWeighting[] = {
    {48000, 0.013666028f, -0.031308174f, 0.042385217f, -3.5172982f, 4.8522668f, -3.0940864f, 0.76914817f},
    {44100, 0.014476057f, -0.02987564f, 0.04067276f, -3.4547217f, 4.7239532f, -3.0068376f, 0.75155282f},
    {32000, 0.019443147f, -0.020179385f, 0.03566388f, -3.1251173f, 4.0943308f, -2.5959373f, 0.6750204f},
};

}  // namespace

std::unique_ptr<SbrMidSideAnalyser> SbrMidSideAnalyser::Create(int sbrRate, int frameLength, int overlap) {
    if (frameLength != 1152 || overlap != 576) return nullptr;
    const WeightingRow* row = nullptr;
    for (const WeightingRow& r : kWeighting)
        if (r.rate == sbrRate) row = &r;
    if (row == nullptr) return nullptr;
    std::unique_ptr<SbrMidSideAnalyser> a(new SbrMidSideAnalyser());
    a->rate_ = sbrRate;
    const float b[5] = {row->b0, row->b1, row->b2, row->b1, row->b0};
    const float aa[5] = {1.0f, row->a1, row->a2, row->a3, row->a4};
    std::copy(b, b + 5, a->b_);
    std::copy(aa, aa + 5, a->a_);
    const double d = -std::tan(20.0 / sbrRate * kPi / 2.0);
    a->dcCoefficient_ = -(1.0 + d) / (1.0 - d);
    const double t = -std::tan(0.19 * 2.0 * frameLength / sbrRate * kPi / 2.0);
    a->smoothF_ = -(1.0 + t) / (1.0 - t);
    a->smoothG_ = (a->smoothF_ + 1.0) / 2.0;
    a->peakDecay_ = std::exp(-static_cast<double>(frameLength) / (4.0 * sbrRate));
    return a;
}

double SbrMidSideAnalyser::Energy(float* history, Weighting& w) const {
    double sum = 0.0, xPrev = 0.0, yPrev = 0.0;
    for (int n = 0; n < frame_; ++n) {
        // DC blocker, restarted every frame.
        const double x = history[n];
        const double dc = x - xPrev - dcCoefficient_ * yPrev;
        xPrev = x;
        yPrev = dc;
        // Weighting filter, whose state runs on.
        double y = b_[0] * dc;
        for (int i = 0; i < 4; ++i) y += b_[i + 1] * w.x[i] - a_[i + 1] * w.y[i];
        std::memmove(w.x + 1, w.x, sizeof(double) * 3);
        std::memmove(w.y + 1, w.y, sizeof(double) * 3);
        w.x[0] = dc;
        w.y[0] = y;
        sum += y * y;
    }
    return sum / frame_ / 4.0;
}

int SbrMidSideAnalyser::Analyse(const float* mid, const float* side) {
    std::memmove(midHistory_, midHistory_ + frame_, sizeof(float) * static_cast<size_t>(overlap_));
    std::memmove(sideHistory_, sideHistory_ + frame_, sizeof(float) * static_cast<size_t>(overlap_));
    std::memcpy(midHistory_ + overlap_, mid, sizeof(float) * static_cast<size_t>(frame_));
    std::memcpy(sideHistory_ + overlap_, side, sizeof(float) * static_cast<size_t>(frame_));
    const double em = Energy(midHistory_, midWeighting_);
    double es = Energy(sideHistory_, sideWeighting_);

    const bool silentSide = es < 0.3 && previousSide_ < 0.3 && em > 2.0 && previousMid_ > 2.0;
    previousMid_ = em;
    previousSide_ = es;
    if (es < 100.0) es = 0.0;
    peak_ = std::max(peak_ * peakDecay_, em);

    const double ratio = es / (es + em + 3.2768);
    const double relative = es / (peak_ + 3.2768);
    if (previousRatio_ - smoothOut_ > 0.005 && ratio - smoothOut_ > 0.005) smoothIn_ = smoothOut_ = previousRatio_;
    const double h = (smoothIn_ + previousRatio_) * smoothG_ - smoothF_ * smoothOut_;
    const int candidate = h <= 0.017 ? 1 : h <= 0.16 ? 2 : 3;
    const double limit = class_ >= 2 ? 0.0016 : 0.0026;
    if ((ratio < 0.01 && previousRatio_ < 0.01) || (relative < limit && previousRelative_ < limit)) {
        class_ = 1;
        smoothIn_ = smoothOut_ = 0.0;
    } else {
        class_ = candidate;
        smoothOut_ = h;
        smoothIn_ = previousRatio_;
    }
    if (silentSide) class_ = 0;
    previousRatio_ = ratio;
    previousRelative_ = relative;
    return class_;
}

}  // namespace brannoc
