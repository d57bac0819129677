#include "encoder/RateControl.h"

#include <algorithm>
#include <cmath>

namespace brannoc {

namespace {
const double kLongMinSnr[22] = {0.004, 0.004, 0.006, 0.011, 0.02, 0.032, 0.05, 0.1,  0.2,  0.32, 0.44,
                                0.63,  0.63,  0.63,  0.63,  0.63, 0.63,  0.63, 0.63, 0.63, 0.63, 0.63};
const double kShortMinSnr[13] = {0.004, 0.004, 0.004, 0.006, 0.016, 0.05, 0.25, 0.5, 0.63, 0.63, 0.63, 0.63, 0.63};

struct VbrRow {
    double quality, value, bitrate;
};
const VbrRow kVbrRows[6] = {{0, 550.0, 40000},   {20, 625.0, 48000},  {40, 850.0, 56000},
                            {60, 1200.0, 64000}, {80, 2100.0, 80000}, {100, 3500.0, 96000}};

double Clamp(double v, double lo, double hi) { return std::min(std::max(v, lo), hi); }

int EntryCount(const ChannelAnalysis& a, int bands) { return a.blockType == 2 ? bands * 3 : bands; }
}  // namespace

void RateControl::Configure(int rate, float lowpassHz, int bitratePerChannel, bool vbr, int quality) {
    rate_ = rate;
    vbr_ = vbr;
    if (vbr) {
        int seg = 1;
        while (seg < 5 && kVbrRows[seg].quality < quality) ++seg;
        const VbrRow& a = kVbrRows[seg - 1];
        const VbrRow& b = kVbrRows[seg];
        const double x = (quality - a.quality) / (b.quality - a.quality);
        vbrValue_ = (1 - x) * a.value + x * b.value;
        bitratePerChannel_ = static_cast<int>((1 - x) * a.bitrate + x * b.bitrate);
        if (rate < 32000) bitratePerChannel_ /= 2;
    } else {
        bitratePerChannel_ = bitratePerChannel;
    }
    const double b = bitratePerChannel_;
    const double cap = b < 48000 ? 0.63 : 0.5;
    for (int i = 0; i < 22; ++i)
        minSnrLong_[i] = std::min(std::max(kLongMinSnr[i], std::pow(10.0, -0.00003125 * b)), cap);
    for (int i = 0; i < 13; ++i) minSnrShort_[i] = std::max(kShortMinSnr[i], std::pow(10.0, -0.0000375 * b));
    const double w = lowpassHz * 5760.0 / (rate / 2.0);
    peLow_ = 0.8 * w;
    peHigh_ = 1.2 * w;
    lastDesired_ = 0;
    lastUsed_ = 0;
    correction_ = 1.0;
}

double RateControl::MinSnr(bool shortBlock, int band) const {
    return shortBlock ? minSnrShort_[band] : minSnrLong_[band];
}

void RateControl::Estimate(const ChannelAnalysis& a, const BandLayout& layout, int bands, BandEstimates& est) const {
    const bool isShort = a.blockType == 2;
    est.isShort = isShort;
    est.entries = isShort ? bands * 3 : bands;
    for (int b = 0; b < bands; ++b) {
        const int width = layout.edges[b + 1] - layout.edges[b];
        for (int w = 0; w < (isShort ? 3 : 1); ++w) {
            const int index = isShort ? b * 3 + w : b;
            const int start = isShort ? 3 * layout.edges[b] + w * width : layout.edges[b];
            double form = 1e-10, largest = 0;
            for (int i = start; i < start + width; ++i) {
                const double x = std::fabs(a.lines[i]);
                form += std::sqrt(x);
                largest = std::max(largest, x);
            }
            est.form[index] = form;
            est.largest[index] = largest;
            const double e = a.energy[index];
            est.active[index] = e > 0 ? std::round(form / std::sqrt(std::sqrt(e / width))) : 0;
            est.level[index] = e > 0 ? 0.5 * std::log2(e) : 0;
        }
    }
    Entropy(a, est);
}

void RateControl::Entropy(const ChannelAnalysis& a, BandEstimates& est) {
    est.totalPe = est.isShort ? 125 : 0;
    est.totalPe2 = 0;
    est.totalLines = 0;
    for (int index = 0; index < est.entries; ++index) {
        const double e = a.energy[index], t = a.threshold[index];
        est.pe[index] = est.pe2[index] = est.lines[index] = 0;
        if (e > t && e > 0) {
            const double n = est.active[index];
            const double l = est.level[index];
            const double d = l - 0.5 * std::log2(t);
            if (d >= 3) {
                est.pe[index] = n * d;
                est.pe2[index] = n * l;
                est.lines[index] = n;
            } else {
                est.pe[index] = n * (1.3219281 + 0.5593573 * d);
                est.pe2[index] = n * (1.3219281 + 0.5593573 * l);
                est.lines[index] = std::round(0.5593573 * n);
            }
        }
        est.totalPe += est.pe[index];
        est.totalPe2 += est.pe2[index];
        est.totalLines += est.lines[index];
    }
}

double RateControl::DesiredCbr(double fill, double room, double meanGranule, double pe, bool shortBlocks) {
    double factor = 1.0;
    if (room > 0) {
        const double e = meanGranule < room ? 1.0 : room / meanGranule;
        const double r = fill / room;
        const double p[8] = {0.2, 0.9, -0.05, 0.3, 0.2, 0.9, -0.03, 0.5};
        const double q[8] = {0.2, 0.9, -0.05, 0.2, 0.2, 0.8, -0.03, 1.0};
        const double* k = shortBlocks ? q : p;
        const double r0 = k[0], r1 = k[1], s0 = k[2], s1 = k[3], u0 = k[4], u1 = k[5], t0 = k[6], t1 = k[7];
        const double f = e * (s1 - (s1 - s0) / (r1 - r0) * (Clamp(r, r0, r1) - r0));
        const double g = e * (t0 + (t1 - t0) / (u1 - u0) * (Clamp(r, u0, u1) - u0));
        factor = (f + g) / (peHigh_ - peLow_) * (Clamp(pe, peLow_, peHigh_) - peLow_) + (1 - f);
    }
    // Move the entropy window towards this granule.
    if (pe > peHigh_) {
        peLow_ += (pe - peHigh_) * 0.3;
        peHigh_ = pe;
    } else if (pe < peLow_) {
        const double oldLow = peLow_;
        peLow_ -= (oldLow - pe) * 0.14;
        peHigh_ -= (oldLow - pe) * 0.07;
    } else {
        peLow_ += (pe - peLow_) * 0.3;
        peHigh_ -= (peHigh_ - pe) * 0.07;
    }
    if (0.25 * pe > peHigh_ - peLow_) {
        const double a = std::max(0.0, pe - peLow_), c = std::max(0.0, peHigh_ - pe);
        if (a + c > 0) {
            peHigh_ = pe + 0.25 * pe * c / (a + c);
            peLow_ = std::max(0.0, pe - 0.25 * pe * a / (a + c));
        }
    }

    if (meanGranule > 0) factor = std::min(factor, fill * 0.95 / meanGranule + 0.9);
    const double desired = factor * meanGranule * 1.18;

    const double prev = lastDesired_;
    const double used = lastUsed_;
    const double m = std::min(desired, pe);
    if (used > 0 && m > 0.7 * prev && m < 1.5 * prev && prev > 0.8 * 1.18 * used && prev < 1.2 * 1.18 * used) {
        const double ratio = prev / (1.18 * used);
        if ((ratio > 1) != (correction_ > 1)) correction_ = 1.0;
        correction_ = Clamp(0.8 * correction_ + 0.2 * ratio, 0.85, 1.15);
    } else {
        correction_ = 1.0;
    }
    lastDesired_ = desired;
    return desired * correction_;
}

double RateControl::DesiredVbr(const BandEstimates* est, const ChannelAnalysis* a, int channels, double cap) const {
    double complexity = 0;
    bool anyShort = false;
    for (int ch = 0; ch < channels; ++ch) {
        if (a[ch].blockType == 2) anyShort = true;
        // Only the bands below the lowpass have estimates.
        const int entries = est[ch].entries;
        double lmax = 0;
        for (int i = 0; i < entries; ++i)
            if (est[ch].lines[i] > 0) lmax = std::max(lmax, 0.5 * std::log2(a[ch].energy[i]));
        for (int i = 0; i < entries; ++i) {
            const double n = est[ch].lines[i];
            if (n <= 0) continue;
            const double l = 0.5 * std::log2(a[ch].energy[i]);
            const double w = n <= 1 ? 1.0 : 1.0 / std::sqrt(n);
            complexity += w * std::max(0.08, 1 - 0.066 * (lmax - l)) * n * std::max(0.5, 2 * est[ch].pe[i] / n - 10);
        }
    }
    complexity *= 7.5;
    double desired = vbrValue_ * std::log(1 + complexity / vbrValue_);
    if (anyShort) desired *= 1.5;
    return std::min(desired, cap * 1.0619999);
}

void RateControl::Adapt(ChannelAnalysis& a, const BandLayout&, int bands, double desired, BandEstimates& est,
                        const ChannelAnalysis* midOfSide) const {
    const bool isShort = a.blockType == 2;
    const int entries = EntryCount(a, bands);
    double base[39], limit[39];
    // Bands that keep at least their minimum signal-to-noise ratio (no holes), unless they are weak
    // beside their neighbours, or (side channel) beside the mid channel.
    bool flagged[39];
    for (int i = 0; i < entries; ++i) {
        flagged[i] = true;
        if (midOfSide && a.energy[i] * 10 < midOfSide->energy[i]) flagged[i] = false;
        if (!isShort &&
            ((i >= 1 && a.energy[i] < 0.05 * a.energy[i - 1]) || (i >= 2 && a.energy[i] < 0.005 * a.energy[i - 2])))
            flagged[i] = false;
    }
    double emin = 1e300, esum = 0, active = 0;
    int count = 0;
    for (int i = 0; i < entries; ++i) {
        if (!flagged[i] || !(a.energy[i] > a.threshold[i])) continue;
        emin = std::min(emin, a.energy[i]);
        esum += a.energy[i];
        active += est.active[i];
        ++count;
    }
    const double p0 = 1.5 * active + 100;
    if (count > 0 && desired < p0 && emin > 0) {
        // Too few bits for every flagged band: drop the weakest ones from the flags.
        const double emean = esum / count;
        const double lmin = std::log10(emin), lmean = std::log10(emean);
        const int first = isShort ? 9 : 5;
        double cut = 1e10 * emean;
        for (int level = 3; level >= 0; --level) {
            const double l = std::pow(10.0, (7.0 - 2 * level) / 7.0 * (lmean - lmin) + lmin);
            double below = 0;
            for (int i = first; i < entries; ++i)
                if (flagged[i] && a.energy[i] > a.threshold[i] && a.energy[i] < l) below += 1.5 * est.active[i];
            if (desired > p0 - below) {
                cut = l;
                break;
            }
        }
        for (int i = first; i < entries; ++i)
            if (flagged[i] && a.energy[i] < cut) flagged[i] = false;
    }
    for (int i = 0; i < entries; ++i) {
        base[i] = a.threshold[i];
        const int band = isShort ? i / 3 : i;
        limit[i] = flagged[i] ? a.energy[i] * MinSnr(isShort, band) : 1e300;
    }
    double quarter[39];
    bool held[39];
    for (int i = 0; i < entries; ++i) {
        quarter[i] = std::sqrt(std::sqrt(base[i]));
        held[i] = false;
    }
    // One common rise of the quarter powers; a flagged band stops at its minimum signal-to-noise
    // ratio and is held there.
    auto raise = [&](double red, bool onlyFree) {
        for (int i = 0; i < entries; ++i) {
            if (!(a.energy[i] > base[i]) || (onlyFree && held[i])) continue;
            const double t4 = std::max(0.0, quarter[i] + red);
            double t = (t4 * t4) * (t4 * t4);
            if (flagged[i] && t > limit[i]) {
                t = std::max(base[i], limit[i]);
                held[i] = true;
            }
            a.threshold[i] = t;
        }
        Entropy(a, est);
    };
    // If every band had the same quarter power t, the entropy would fall by about 4 N log2 t: the
    // common rise follows from that. It takes the entropy only part of the way (a band's entropy
    // falls by 2 n log2 t), which keeps the thresholds on the safe side; the correction below and
    // the granule loop close the rest. The VBR quality scale is tuned to this behaviour.
    auto rise = [](double pe2, double target, double now, double lines) {
        return std::exp2((pe2 - target) / (4 * lines)) - std::exp2((pe2 - now) / (4 * lines));
    };
    if (est.totalLines <= 0) return;
    double red = rise(est.totalPe2, desired, est.totalPe, est.totalLines);
    raise(red, false);

    // A second rise over the bands not held, for what the held ones no longer give up.
    double heldPe = 0, freePe = 0, freePe2 = 0, freeLines = 0;
    for (int i = 0; i < entries; ++i) {
        if (held[i]) {
            heldPe += est.pe[i];
        } else {
            freePe += est.pe[i];
            freePe2 += est.pe2[i];
            freeLines += est.lines[i];
        }
    }
    if (freeLines > 0) {
        red += rise(freePe2, desired - heldPe, freePe, freeLines);
        raise(red, true);
    }

    // Correction: share what is still off among the bands by their weight in lines over quarter power.
    heldPe = 0;
    for (int i = 0; i < entries; ++i)
        if (held[i]) heldPe += est.pe[i];
    const bool all = desired > heldPe;
    double h[39], total = 0;
    for (int i = 0; i < entries; ++i) {
        h[i] = 0;
        if ((!all && held[i]) || !(a.energy[i] > base[i]) || est.active[i] <= 0) continue;
        h[i] = est.active[i] / std::max(red + quarter[i], 1e-12);
        total += h[i];
    }
    if (total > 0) {
        const double off = desired - est.totalPe;
        for (int i = 0; i < entries; ++i) {
            if (h[i] <= 0) continue;
            double t = a.threshold[i] * std::exp2(std::min(20.0, -off * (h[i] / total) / est.active[i]));
            if (flagged[i] && t > limit[i]) {
                t = std::max(base[i], limit[i]);
                held[i] = true;
            }
            a.threshold[i] = t;
        }
        Entropy(a, est);
    }
}

}  // namespace brannoc
