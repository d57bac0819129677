#include "encoder/IntensityStereo.h"

#include "encoder/Mp3Tables.h"

#include <algorithm>
#include <cmath>

namespace brannoc {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kErrorFactor = 0.0019952623149688794;  // 10^-2.7

struct Band {
    int start, end;
};

Band Lines(const BandLayout& layout, bool isShort, int b, int w) {
    if (!isShort) return {layout.edges[b], layout.edges[b + 1]};
    const int width = layout.edges[b + 1] - layout.edges[b];
    const int start = 3 * layout.edges[b] + w * width;
    return {start, start + width};
}
}  // namespace

void IntensityStereo::Configure(int rate) {
    mpeg1_ = VersionOfRate(rate) == MpegVersion::Mpeg1;
    firstBand_ = rate <= 24000 ? 9 : 7;
    Reset();
}

void IntensityStereo::Reset() { std::fill(previous_, previous_ + 39, mpeg1_ ? 3 : 0); }

void IntensityStereo::Weights(int k, double& wl, double& wr) const {
    if (mpeg1_) {
        wl = std::sin(kPi * k / 12.0);
        wr = std::cos(kPi * k / 12.0);
        return;
    }
    // MPEG-2 positions with intensity_scale 0: one side attenuated by 2^(-|k|/4), unit energy.
    const double a = std::pow(2.0, -std::abs(k) / 4.0);
    const double l = k < 0 ? a : 1.0, r = k > 0 ? a : 1.0;
    const double n = std::sqrt(l * l + r * r);
    wl = l / n;
    wr = r / n;
}

int IntensityStereo::FieldValue(int k) const {
    if (mpeg1_) return k;
    return k >= 0 ? 2 * k : 2 * -k - 1;
}

void IntensityStereo::Decide(const ChannelAnalysis& left, const ChannelAnalysis& right, const BandLayout& layout,
                             bool isShort, IntensityInfo& info) {
    info.active = false;
    const int windows = isShort ? 3 : 1;
    const int top = layout.lowpassBand;
    const int lowestK = mpeg1_ ? 0 : -3, highestK = mpeg1_ ? 6 : 3, reach = mpeg1_ ? 1 : 4;
    for (int w = 0; w < windows; ++w) {
        double error[22] = {}, wl[22] = {}, wr[22] = {};
        for (int b = firstBand_; b < top; ++b) {
            const int e = isShort ? b * 3 + w : b;
            const Band band = Lines(layout, isShort, b, w);
            double h = 0;
            for (int i = band.start; i < band.end; ++i) h += static_cast<double>(left.lines[i]) * right.lines[i];
            h *= 2;
            const double el = left.energy[e], er = right.energy[e];
            int best = previous_[e];
            double bestError = 1e300;
            for (int k = std::max(lowestK, previous_[e] - reach); k <= std::min(highestK, previous_[e] + reach); ++k) {
                double a, c;
                Weights(k, a, c);
                const double err = c * c * el + a * a * er - a * c * h;
                if (err < bestError) {
                    bestError = err;
                    best = k;
                }
            }
            previous_[e] = best;
            Weights(best, wl[b], wr[b]);
            error[b] = bestError;
            info.position[e] = FieldValue(best);
        }
        auto allows = [&](int b, double err, double a, double c) {
            const int e = isShort ? b * 3 + w : b;
            const double el = left.energy[e], er = right.energy[e];
            const double tl = left.threshold[e], tr = right.threshold[e];
            if (err * a * kErrorFactor > tr || err * c * kErrorFactor > tl) return false;
            if ((el > tl && er == 0) || (er > tr && el == 0)) return false;
            return true;
        };
        int start = top;
        for (int b = top - 1; b >= firstBand_; --b) {
            if (!allows(b, error[b], wl[b], wr[b])) break;
            start = b;
        }
        // The last band carries no field of its own: decoders take the direction of the band below,
        // so intensity never starts there alone, and it follows that band.
        const int last = isShort ? kShortBands - 1 : kLongBands - 1;
        if (start >= last) start = top;
        if (start < top && top > last) {
            const int e = isShort ? last * 3 + w : last;
            info.position[e] = info.position[isShort ? (last - 1) * 3 + w : last - 1];
        }
        info.start[w] = start < top ? start : (isShort ? kShortBands : kLongBands);
        if (start < top) info.active = true;
    }
}

void IntensityStereo::Apply(const ChannelAnalysis& left, const ChannelAnalysis& right, const BandLayout& layout,
                            bool isShort, const IntensityInfo& info, ChannelAnalysis& codedLeft,
                            ChannelAnalysis& codedRight) const {
    const int windows = isShort ? 3 : 1;
    for (int w = 0; w < windows; ++w) {
        for (int b = info.start[w]; b < layout.lowpassBand; ++b) {
            const int e = isShort ? b * 3 + w : b;
            // Decode the stored field back into the direction it stands for.
            int k = info.position[e];
            if (!mpeg1_) k = (k & 1) ? -(k + 1) / 2 : k / 2;
            double wl, wr;
            Weights(k, wl, wr);
            const double o = mpeg1_ ? 2 * wl * wr + 1 : std::max(wl * wl, wr * wr);
            const float g = static_cast<float>(std::sqrt(o));
            const Band band = Lines(layout, isShort, b, w);
            double h = 0;
            for (int i = band.start; i < band.end; ++i) {
                h += static_cast<double>(left.lines[i]) * right.lines[i];
                codedLeft.lines[i] = g * static_cast<float>(wl * left.lines[i] + wr * right.lines[i]);
                codedRight.lines[i] = 0;
            }
            const double el = left.energy[e], er = right.energy[e];
            const double t = o * (wl * wl * el + wr * wr * er + wl * wr * 2 * h);
            const double ratio = std::max(el / left.threshold[e], er / right.threshold[e]);
            codedLeft.energy[e] = t;
            codedLeft.threshold[e] = ratio > 0 ? t / ratio : 1.0;
            codedRight.energy[e] = 0;
        }
    }
}

}  // namespace brannoc
