#include "encoder/PsychoModel.h"

#include "encoder/Mp3Tables.h"

#include <algorithm>
#include <cmath>

namespace brannoc {

namespace {
constexpr double kSignalToMask = 0.0012589254117941673;  // 10^-2.9
constexpr double kNotCoded = 1e20;

double Bark(double f) {
    const double a = std::atan(f / 7500.0);
    return 13.0 * std::atan(0.00076 * f) + 3.5 * a * a;
}

const double kAthDb[25] = {15, 10, 7, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 5, 10, 20, 30};

double AthAt(double bark) {
    int i = static_cast<int>(bark);
    i = std::clamp(i, 0, 24);
    return kAthDb[i];
}
}  // namespace

void PsychoModel::SetupKind(const BandLayout& layout, int lines, double cap, Kind& kind) {
    kind.cap = cap;
    double centre[22];
    for (int i = 0; i < layout.count; ++i) {
        const double flo = (rate_ / 2.0) * layout.edges[i] / lines;
        const double fhi = (rate_ / 2.0) * layout.edges[i + 1] / lines;
        const double z = std::min(24.0, (Bark(flo) + Bark(fhi)) / 2.0);
        centre[i] = std::trunc(100.0 * z) / 100.0;
    }
    for (int i = 0; i < layout.count; ++i) {
        if (i == 0) {
            kind.up[i] = 0;
        } else {
            const double d = centre[i] - centre[i - 1];
            kind.up[i] = std::pow(10.0, -1.5 * d);
        }
        if (i == layout.count - 1) {
            kind.down[i] = 0;
        } else {
            const double d = centre[i + 1] - centre[i];
            kind.down[i] = std::pow(10.0, -3.0 * d);
        }
        const double mid = i + 1 < layout.count ? (centre[i] + centre[i + 1]) / 2.0 : centre[i];
        const double lower = i > 0 ? (centre[i - 1] + centre[i]) / 2.0 : centre[0] / 2.0;
        const double db = std::min(AthAt(mid), AthAt(lower));
        const int width = layout.edges[i + 1] - layout.edges[i];
        kind.ath[i] = std::pow(10.0, (db - 70.0) / 10.0) * width * 16887.8;
    }
}

void PsychoModel::Configure(int rate, float lowpassHz) {
    rate_ = rate;
    const int* le = LongBandEdges(rate);
    const int* se = ShortBandEdges(rate);
    long_.count = kLongBands;
    short_.count = kShortBands;
    std::copy(le, le + 23, long_.edges);
    std::copy(se, se + 14, short_.edges);
    auto lowpass = [&](BandLayout& l, int lines) {
        l.lowpassLine = std::clamp(static_cast<int>(lowpassHz * 2.0 / rate * lines), 0, lines);
        l.lowpassBand = 0;
        while (l.lowpassBand < l.count && l.edges[l.lowpassBand] < l.lowpassLine) ++l.lowpassBand;
    };
    lowpass(long_, 576);
    lowpass(short_, 192);
    SetupKind(long_, 576, 1000.0, longKind_);
    SetupKind(short_, 192, 1000.0 / 9.0, shortKind_);
    Reset();
}

void PsychoModel::Reset() {
    std::fill(&lastLong_[0][0], &lastLong_[0][0] + 2 * 22, kNotCoded);
    std::fill(&lastShort_[0][0], &lastShort_[0][0] + 2 * 13, kNotCoded);
}

void PsychoModel::Spread(const Kind& kind, int n, double* thr) const {
    for (int i = 1; i < n; ++i) thr[i] = std::max(thr[i], kind.up[i] * thr[i - 1]);
    for (int i = n - 2; i >= 0; --i) thr[i] = std::max(thr[i], kind.down[i] * thr[i + 1]);
    for (int i = 1; i < n - 1; ++i) {
        const double m = std::max(thr[i - 1], thr[i + 1]);
        if (m < thr[i]) thr[i] = std::max(m, 0.2 * thr[i]);
    }
}

void PsychoModel::Analyse(int channel, ChannelAnalysis& a) {
    a.totalEnergy = 0;
    if (a.blockType != 2) {
        const int n = long_.count;
        double thr[22];
        for (int b = 0; b < n; ++b) {
            double e = 0;
            for (int i = long_.edges[b]; i < long_.edges[b + 1]; ++i) e += static_cast<double>(a.lines[i]) * a.lines[i];
            a.energy[b] = e;
            a.totalEnergy += e;
            thr[b] = std::min(e * kSignalToMask, longKind_.cap);
        }
        Spread(longKind_, n, thr);
        double* last = lastLong_[channel];
        if (a.blockType == 3) std::fill(last, last + 22, kNotCoded);
        for (int b = 0; b < n; ++b) {
            double t = std::max(thr[b], longKind_.ath[b]);
            t = std::max(0.001 * t, std::min(t, 3.0 * last[b]));
            last[b] = t;
            a.threshold[b] = b >= long_.lowpassBand ? kNotCoded : t;
        }
        if (a.blockType == 1) {
            // The short blocks that follow start unlimited, whatever an earlier short run left.
            std::fill(last, last + 22, kNotCoded);
            std::fill(lastShort_[channel], lastShort_[channel] + 13, kNotCoded);
        }
        return;
    }
    const int n = short_.count;
    double* last = lastShort_[channel];
    for (int w = 0; w < 3; ++w) {
        double thr[13];
        for (int b = 0; b < n; ++b) {
            const int width = short_.edges[b + 1] - short_.edges[b];
            const int start = 3 * short_.edges[b] + w * width;
            double e = 0;
            for (int i = start; i < start + width; ++i) e += static_cast<double>(a.lines[i]) * a.lines[i];
            a.energy[b * 3 + w] = e;
            a.totalEnergy += e;
            thr[b] = std::min(e * kSignalToMask, shortKind_.cap);
        }
        Spread(shortKind_, n, thr);
        for (int b = 0; b < n; ++b) {
            double t = std::max(thr[b], shortKind_.ath[b]);
            t = std::max(0.001 * t, std::min(t, 3.0 * last[b]));
            last[b] = t;
            a.threshold[b * 3 + w] = b >= short_.lowpassBand ? kNotCoded : t;
        }
    }
}

void PsychoModel::MidSideEnergies(const ChannelAnalysis& left, ChannelAnalysis& right) const {
    right.msTotal[0] = right.msTotal[1] = 0;
    auto band = [&](int start, int end, int index) {
        double m = 0, s = 0;
        for (int i = start; i < end; ++i) {
            const double l = left.lines[i], r = right.lines[i];
            m += (l + r) * (l + r);
            s += (l - r) * (l - r);
        }
        right.msEnergy[0][index] = m / 2;
        right.msEnergy[1][index] = s / 2;
        right.msTotal[0] += m / 2;
        right.msTotal[1] += s / 2;
    };
    if (left.blockType != 2) {
        for (int b = 0; b < long_.count; ++b) band(long_.edges[b], long_.edges[b + 1], b);
    } else {
        for (int b = 0; b < short_.count; ++b) {
            const int width = short_.edges[b + 1] - short_.edges[b];
            for (int w = 0; w < 3; ++w) {
                const int start = 3 * short_.edges[b] + w * width;
                band(start, start + width, b * 3 + w);
            }
        }
    }
}

}  // namespace brannoc
