#include "encoder/Quantizer.h"

#include "encoder/PowerTable.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace brannoc {

namespace {
constexpr int kMaxGain = 105;   // global_gain 255
constexpr int kMinGain = -150;  // global_gain 0

int Width(int v) {
    if (v <= 0) return 0;
    if (v == 1) return 1;
    if (v <= 3) return 2;
    if (v <= 7) return 3;
    return 4;
}

int SfLimit(bool isShort, int band) {
    if (isShort) return band < 6 ? 15 : 7;
    return band < 11 ? 15 : 7;
}

struct Range {
    int start, end;
};

Range EntryRange(const BandLayout& layout, bool isShort, int entry) {
    if (!isShort) return {layout.edges[entry], layout.edges[entry + 1]};
    const int b = entry / 3, w = entry % 3;
    const int width = layout.edges[b + 1] - layout.edges[b];
    const int start = 3 * layout.edges[b] + w * width;
    return {start, start + width};
}

bool HasScalefactor(bool isShort, int entry) { return isShort ? entry < 36 : entry < 21; }
}  // namespace

Quantizer::Quantizer(int rate, int refinementLevel)
    : rate_(rate),
      version_(VersionOfRate(rate)),
      refinement_(refinementLevel),
      huffman_(LongBandEdges(rate), ShortBandEdges(rate), refinementLevel > 0) {
    if (refinementLevel > 0) PowerTable();
}

bool Quantizer::QuantizeRange(const float* xr34, int start, int end, int exponent, int* ix) {
    const float scale = static_cast<float>(std::exp2(-3.0 * exponent / 16.0));
    bool ok = true;
    for (int i = start; i < end; ++i) {
        // Explicit truncation: the rounding offset 0.4054 places the decision points of the 3/4 law.
        const float y = xr34[i] * scale + 0.4054f;
        if (!(y <= static_cast<float>(kMaxQuantized))) {
            ok = false;
            ix[i] = kMaxQuantized;
        } else {
            ix[i] = static_cast<int>(y);
        }
    }
    return ok;
}

double Quantizer::Distortion(const float* lines, const float* xr34, int start, int end, int exponent) {
    const double scale = std::exp2(-3.0 * exponent / 16.0);
    const double step = std::exp2(exponent / 4.0);
    const float* pow43 = PowerTable();
    double sum = 0;
    for (int i = start; i < end; ++i) {
        const int q = static_cast<int>(xr34[i] * scale + 0.4054);
        if (q > kMaxQuantized) return 3.4028235e38;
        const double d = pow43[q] * step - std::fabs(lines[i]);
        sum += d * d;
    }
    return sum;
}

void Quantizer::InitialSteps(const ChannelAnalysis& a, const BandLayout& layout, const BandEstimates& est,
                             Plan& plan) const {
    const bool isShort = a.blockType == 2;
    plan.entries = isShort ? 39 : 22;
    for (int e = 0; e < plan.entries; ++e) {
        const int band = isShort ? e / 3 : e;
        plan.steps[e] = kMarkNotCoded;
        if (band >= layout.lowpassBand) continue;
        const double energy = a.energy[e], t = a.threshold[e];
        if (!(energy > t) || est.largest[e] <= 0) continue;
        const double ratio = 6.75 * t / est.form[e];
        const int fromNoise = static_cast<int>(std::floor(4.0 / 3.0 * std::log2(ratio * ratio) + 0.5));
        const int fromRange = static_cast<int>(std::ceil(4.0 * std::log2(est.largest[e]) - 69.332));
        plan.steps[e] = std::clamp(std::max(fromNoise, fromRange), kMinGain, kMaxGain);
    }
}

bool Quantizer::Scalefactors(const Plan& plan, bool isShort, int scale, bool allowPreflag, GranuleChannel& gc,
                             int& gain) const {
    const int unit = 1 << (scale + 1);
    int g = kMinGain;
    for (int e = 0; e < plan.entries; ++e)
        if (plan.steps[e] != kMarkNotCoded) g = std::max(g, plan.steps[e]);
    int coded = 0, upper = 0;
    for (int e = 0; e < plan.entries; ++e) {
        if (plan.steps[e] == kMarkNotCoded || !HasScalefactor(isShort, e)) continue;
        ++coded;
        if (((g - plan.steps[e]) % unit) * 2 >= unit) ++upper;
    }
    if (coded > 0 && upper * 2 >= coded) g += 1 << scale;

    int u[39];
    for (int e = 0; e < plan.entries; ++e) u[e] = plan.steps[e] == kMarkNotCoded ? 0 : std::max(0, g - plan.steps[e]);

    gc.scalefac_scale = scale;
    gc.preflag = 0;
    gc.subblock_gain[0] = gc.subblock_gain[1] = gc.subblock_gain[2] = 0;
    if (isShort) {
        for (int w = 0; w < 3; ++w) {
            int need = 0, least = 1 << 20;
            for (int b = 0; b < 13; ++b) {
                const int e = b * 3 + w;
                if (plan.steps[e] == kMarkNotCoded) continue;
                least = std::min(least, u[e]);
                const int limit = b < 12 ? SfLimit(true, b) * unit : 0;
                need = std::max(need, u[e] - limit);
            }
            if (least == 1 << 20) continue;
            gc.subblock_gain[w] = std::clamp((need + 7) / 8, 0, 7);
            for (int b = 0; b < 13; ++b) u[b * 3 + w] = std::max(0, u[b * 3 + w] - 8 * gc.subblock_gain[w]);
        }
    } else if (version_ == MpegVersion::Mpeg1 && allowPreflag) {
        bool all = coded > 0;
        for (int b = 0; b < 21 && all; ++b)
            if (plan.steps[b] != kMarkNotCoded && u[b] < (kPretab[b] << (scale + 1))) all = false;
        if (all) {
            gc.preflag = 1;
            for (int b = 0; b < 21; ++b)
                if (plan.steps[b] != kMarkNotCoded) u[b] -= kPretab[b] << (scale + 1);
        }
    }

    const int sfEntries = isShort ? 36 : 21;
    int least = 1 << 20;
    for (int e = 0; e < 39; ++e) gc.scalefac[e] = 0;
    for (int e = 0; e < sfEntries; ++e) {
        if (plan.steps[e] == kMarkNotCoded) continue;
        gc.scalefac[e] = (u[e] + (1 << scale)) >> (scale + 1);
        least = std::min(least, gc.scalefac[e]);
    }
    if (least != 1 << 20 && least > 0) {
        for (int e = 0; e < sfEntries; ++e)
            if (plan.steps[e] != kMarkNotCoded) gc.scalefac[e] -= least;
        g -= least * unit;
    }
    int excess = 0;
    for (int e = 0; e < sfEntries; ++e)
        excess = std::max(excess, gc.scalefac[e] - SfLimit(isShort, isShort ? e / 3 : e));
    gain = g;
    if (excess > 0 && scale == 0) return false;
    if (excess > 0) {
        for (int e = 0; e < sfEntries; ++e) gc.scalefac[e] = std::max(0, gc.scalefac[e] - excess);
        gain -= excess * unit;
    }
    gain = std::clamp(gain, kMinGain, kMaxGain);
    return true;
}

int Quantizer::Amplification(const GranuleChannel& gc, bool isShort, int entry) const {
    const int shift = gc.scalefac_scale + 1;
    if (isShort) {
        const int sf = entry < 36 ? gc.scalefac[entry] : 0;
        return 8 * gc.subblock_gain[entry % 3] + (sf << shift);
    }
    if (entry < 0 || entry >= 21) return 0;
    int amount = gc.scalefac[entry];
    if (gc.preflag) amount += kPretab[entry];
    return amount << shift;
}

bool Quantizer::QuantizeAll(const BandLayout& layout, bool isShort, const GranuleChannel& plan, int gain,
                            GranuleChannel& gc) const {
    bool ok = true;
    const int entries = isShort ? 39 : 22;
    for (int e = 0; e < entries; ++e) {
        const Range r = EntryRange(layout, isShort, e);
        if (plan.scalefac[e] == kMarkNotCoded) {
            std::fill(gc.ix + r.start, gc.ix + r.end, 0);
            continue;
        }
        if (!QuantizeRange(xr34_, r.start, r.end, gain - Amplification(plan, isShort, e), gc.ix)) ok = false;
    }
    for (int i = 0; i < 576; ++i)
        if (lines_[i] < 0) gc.ix[i] = -gc.ix[i];
    return ok;
}

namespace {
constexpr int kIllegalPosition = -1;  // resolved to the partition's largest value once its width is known
constexpr int kPositionBase = 64;     // an intensity field v is held as kPositionBase + v until then

int FieldValue(int v) { return v == kIllegalPosition ? 7 : (v >= kPositionBase ? v - kPositionBase : v); }
bool IsField(int v) { return v == kIllegalPosition || v >= kPositionBase; }

struct Partitioning {
    int counts[2][4];  // long, short
    int limit[4];      // largest slen per partition
};

// The partitions of scalefactors for the right channel of intensity frames at the MPEG-2 rates.
const Partitioning kIntensityRows[3] = {
    {{{7, 7, 7, 0}, {12, 12, 12, 0}}, {5, 5, 5, 0}},
    {{{6, 6, 6, 3}, {12, 9, 9, 6}}, {3, 3, 3, 0}},
    {{{8, 8, 5, 0}, {15, 12, 9, 0}}, {3, 2, 0, 0}},
};
}  // namespace

void Quantizer::ChooseCompress(GranuleChannel& gc, bool isShort, bool intensity) const {
    const int counts[4] = {isShort ? 9 : 6, isShort ? 9 : 5, isShort ? 9 : 5, isShort ? 9 : 5};
    if (version_ == MpegVersion::Mpeg1 || !intensity) {
        int maxima[4] = {0, 0, 0, 0};
        int index = 0;
        for (int p = 0; p < 4; ++p)
            for (int i = 0; i < counts[p]; ++i, ++index)
                maxima[p] = std::max(maxima[p], FieldValue(gc.scalefac[index]));
        for (int p = 0; p < 4; ++p) gc.partitionBands[p] = counts[p];
        if (version_ == MpegVersion::Mpeg1) {
            const int w1 = Width(std::max(maxima[0], maxima[1]));
            const int w2 = Width(std::max(maxima[2], maxima[3]));
            int best = -1, bestCost = 1 << 20;
            for (int k = 0; k < 16; ++k) {
                if (kSlen1[k] < w1 || kSlen2[k] < w2) continue;
                const int cost = (counts[0] + counts[1]) * kSlen1[k] + (counts[2] + counts[3]) * kSlen2[k];
                if (cost < bestCost) {
                    bestCost = cost;
                    best = k;
                }
            }
            if (best < 0) best = 15;
            gc.scalefac_compress = best;
            gc.slen[0] = gc.slen[1] = kSlen1[best];
            gc.slen[2] = gc.slen[3] = kSlen2[best];
        } else {
            int sl[4];
            for (int p = 0; p < 4; ++p) sl[p] = std::min(Width(maxima[p]), p < 2 ? 4 : 3);
            gc.scalefac_compress = (sl[0] * 5 + sl[1]) * 16 + sl[2] * 4 + sl[3];
            for (int p = 0; p < 4; ++p) gc.slen[p] = sl[p];
        }
    } else {
        // Partitions holding intensity fields need three bits at least, so that the field values up to
        // 6 stay below the largest value, which marks a band without intensity.
        int best = -1, bestCost = 1 << 20, bestSlen[4] = {0, 0, 0, 0};
        for (int row = 0; row < 3; ++row) {
            const Partitioning& part = kIntensityRows[row];
            int sl[4], cost = 0, index = 0;
            bool fits = true;
            for (int p = 0; p < 4; ++p) {
                int maximum = 0;
                bool positions = false;
                for (int i = 0; i < part.counts[isShort][p]; ++i, ++index) {
                    const int v = gc.scalefac[index];
                    if (IsField(v)) positions = true;
                    if (v != kIllegalPosition) maximum = std::max(maximum, FieldValue(v));
                }
                sl[p] = Width(maximum);
                if (positions) sl[p] = std::max(sl[p], 3);
                if (sl[p] > part.limit[p]) fits = false;
                cost += sl[p] * part.counts[isShort][p];
            }
            if (fits && cost < bestCost) {
                best = row;
                bestCost = cost;
                std::copy(sl, sl + 4, bestSlen);
            }
        }
        if (best < 0) {
            best = 0;
            for (int& v : bestSlen) v = 3;  // out of range values are clamped below
            bestSlen[3] = 0;
        }
        const Partitioning& part = kIntensityRows[best];
        for (int p = 0; p < 4; ++p) {
            gc.partitionBands[p] = part.counts[isShort][p];
            gc.slen[p] = bestSlen[p];
        }
        const int* s = bestSlen;
        if (best == 0)
            gc.scalefac_compress = (s[0] * 36 + s[1] * 6 + s[2]) * 2;
        else if (best == 1)
            gc.scalefac_compress = (180 + s[0] * 16 + s[1] * 4 + s[2]) * 2;
        else
            gc.scalefac_compress = (244 + s[0] * 3 + s[1]) * 2;
    }
    // Resolve the marks of bands without intensity and keep every value within its width.
    int index = 0;
    for (int p = 0; p < 4; ++p) {
        const int largest = (1 << gc.slen[p]) - 1;
        for (int i = 0; i < gc.partitionBands[p]; ++i, ++index) {
            int& v = gc.scalefac[index];
            if (v == kIllegalPosition)
                v = version_ == MpegVersion::Mpeg1 ? IntensityStereo::kIllegalMpeg1 : largest;
            else if (v >= kPositionBase)
                v -= kPositionBase;
            v = std::clamp(v, 0, largest);
        }
    }
    gc.part2Length = 0;
    for (int p = 0; p < 4; ++p) gc.part2Length += gc.partitionBands[p] * gc.slen[p];
}

void Quantizer::PlacePositions(const BandLayout& layout, bool isShort, const IntensityInfo& info, const int* leftIx,
                               GranuleChannel& gc) const {
    const int windows = isShort ? 3 : 1;
    const int bands = isShort ? kShortBands : kLongBands;
    const int sfBands = bands - 1;
    auto leftHasValues = [&](const Range& r) {
        for (int i = r.start; i < r.end; ++i)
            if (leftIx && leftIx[i] != 0) return true;
        return false;
    };
    for (int w = 0; w < windows; ++w) {
        // A decoder takes intensity from one band past the last one with a right-channel value.
        int decoderStart = 0;
        for (int b = 0; b < bands; ++b) {
            const Range r = EntryRange(layout, isShort, isShort ? b * 3 + w : b);
            for (int i = r.start; i < r.end; ++i)
                if (gc.ix[i] != 0) {
                    decoderStart = b + 1;
                    break;
                }
        }
        const int wanted = info.active ? info.start[w] : bands;
        if (version_ != MpegVersion::Mpeg1) {
            // Decoders of the half rates disagree on which position value means "no intensity", so
            // no band may depend on it: the highest band below the wanted start whose left channel
            // has values gets one right-channel value of the smallest magnitude, which moves the
            // decoders' intensity start above it. The value goes on the band's largest line with
            // its sign, so it adds the least error.
            for (int b = std::min(wanted, bands) - 1; b >= decoderStart; --b) {
                const Range r = EntryRange(layout, isShort, isShort ? b * 3 + w : b);
                if (!leftHasValues(r)) continue;
                int peak = r.start;
                for (int i = r.start; i < r.end; ++i)
                    if (std::fabs(lines_[i]) > std::fabs(lines_[peak])) peak = i;
                gc.ix[peak] = lines_[peak] < 0 ? -1 : 1;
                decoderStart = b + 1;
                break;
            }
        }
        for (int b = decoderStart; b < sfBands; ++b) {
            const int e = isShort ? b * 3 + w : b;
            if (b >= wanted) {
                gc.scalefac[e] = kPositionBase + info.position[e];
                continue;
            }
            gc.scalefac[e] = leftHasValues(EntryRange(layout, isShort, e)) ? kIllegalPosition : 0;
        }
    }
}

int Quantizer::CountBits(GranuleChannel& gc, bool isShort, bool intensity) {
    ChooseCompress(gc, isShort, intensity);
    return gc.part2Length + huffman_.CountBits(gc);
}

int Quantizer::Refine(const ChannelAnalysis& a, const BandLayout& layout, const Plan& plan, GranuleChannel& gc,
                      int gain) const {
    const bool isShort = a.blockType == 2;
    const int unit = 1 << (gc.scalefac_scale + 1);
    const int sfEntries = isShort ? 36 : 21;
    for (int e = 0; e < sfEntries; ++e) {
        if (plan.steps[e] == kMarkNotCoded || gc.scalefac[e] == kMarkNotCoded) continue;
        const Range r = EntryRange(layout, isShort, e);
        const int d = gain - Amplification(gc, isShort, e);
        const double allowed = a.threshold[e];
        const double base = Distortion(a.lines, xr34_, r.start, r.end, d);
        int bestStep = d;
        double best = base;
        const int coarsest = d + unit * gc.scalefac[e];  // scalefactor stays at or above 0
        if (base > 1.4 * allowed) {
            for (int k = 1; k <= 3 && d + k * unit <= coarsest; ++k) {
                const double t = Distortion(a.lines, xr34_, r.start, r.end, d + k * unit);
                if (t < best) {
                    best = t;
                    bestStep = d + k * unit;
                }
                if (t <= 1.4 * allowed) break;
            }
        } else {
            const double bound = std::min(allowed, 1.4 * base);
            for (int k = 1; k <= 3 && d + k * unit <= coarsest; ++k) {
                const double t = Distortion(a.lines, xr34_, r.start, r.end, d + k * unit);
                if (t < bound) bestStep = d + k * unit;
            }
        }
        gc.scalefac[e] -= (bestStep - d) / unit;
    }
    // The smallest scalefactor moves into the global gain.
    int least = 1 << 20;
    for (int e = 0; e < sfEntries; ++e)
        if (plan.steps[e] != kMarkNotCoded) least = std::min(least, gc.scalefac[e]);
    int shift = 0;
    if (least != 1 << 20 && least > 0) {
        for (int e = 0; e < sfEntries; ++e)
            if (plan.steps[e] != kMarkNotCoded) gc.scalefac[e] -= least;
        shift -= least * unit;
        gain -= least * unit;
    }
    if (refinement_ < 2) return shift;
    // One band alone at scalefactor 0 keeps the others one unit above the width they would need:
    // a coarser step for it lets every other scalefactor drop by one. Kept only when that band's
    // distortion falls.
    int zeroBand = -1, zeros = 0, lowMax = 0, highMax = 0;
    const int lowEntries = isShort ? 18 : 11;
    for (int e = 0; e < sfEntries; ++e) {
        if (plan.steps[e] == kMarkNotCoded) continue;
        if (gc.scalefac[e] == 0) {
            zeroBand = e;
            ++zeros;
        }
        if (e < lowEntries)
            lowMax = std::max(lowMax, gc.scalefac[e]);
        else
            highMax = std::max(highMax, gc.scalefac[e]);
    }
    const bool narrower = lowMax == 2 || lowMax == 4 || lowMax == 8 || highMax == 2 || highMax == 4;
    if (zeros != 1 || !narrower) return shift;
    const Range r = EntryRange(layout, isShort, zeroBand);
    const int d = gain - Amplification(gc, isShort, zeroBand);
    if (Distortion(a.lines, xr34_, r.start, r.end, d + unit) >= Distortion(a.lines, xr34_, r.start, r.end, d))
        return shift;
    for (int e = 0; e < sfEntries; ++e)
        if (plan.steps[e] != kMarkNotCoded && e != zeroBand) gc.scalefac[e] -= 1;
    return shift + unit;
}

void Quantizer::CodeChannel(const ChannelAnalysis& a, const BandLayout& layout, const BandEstimates& est, int budget,
                            GranuleChannel& gc, const IntensityInfo* intensity, const int* leftIx) {
    const bool isShort = a.blockType == 2;
    lines_ = a.lines;
    for (int i = 0; i < 576; ++i) xr34_[i] = std::pow(std::fabs(a.lines[i]), 0.75f);

    std::memset(&gc, 0, sizeof(gc));
    gc.block_type = a.blockType;
    gc.window_switching = a.blockType != 0;

    Plan plan;
    InitialSteps(a, layout, est, plan);
    bool any = false;
    for (int e = 0; e < plan.entries; ++e) any = any || plan.steps[e] != kMarkNotCoded;
    const bool withIntensity = intensity != nullptr;
    if (!any) {
        if (withIntensity) PlacePositions(layout, isShort, *intensity, leftIx, gc);
        gc.global_gain = 0;
        gc.part2_3_length = CountBits(gc, isShort, withIntensity);
        return;
    }

    int gain = 0;
    if (!Scalefactors(plan, isShort, 0, !withIntensity, gc, gain))
        Scalefactors(plan, isShort, 1, !withIntensity, gc, gain);
    if (refinement_ > 0) gain = std::clamp(gain + Refine(a, layout, plan, gc, gain), kMinGain, kMaxGain);

    // The plan keeps the scalefactors and marks bands that carry no values.
    GranuleChannel shape = gc;
    for (int e = 0; e < plan.entries; ++e)
        if (plan.steps[e] == kMarkNotCoded) shape.scalefac[e] = kMarkNotCoded;
    if (!isShort) shape.scalefac[21] = plan.steps[21] == kMarkNotCoded ? kMarkNotCoded : 0;

    auto evaluate = [&](int g, GranuleChannel& out) -> int {
        out = shape;
        for (int e = 0; e < 39; ++e)
            if (out.scalefac[e] == kMarkNotCoded) out.scalefac[e] = 0;
        const bool fits = QuantizeAll(layout, isShort, shape, g, out);
        if (!fits) return -1;
        // Bands left without values need no scalefactor.
        for (int e = 0; e < (isShort ? 36 : 21); ++e) {
            const Range r = EntryRange(layout, isShort, e);
            bool zero = true;
            for (int i = r.start; i < r.end && zero; ++i) zero = out.ix[i] == 0;
            if (zero) out.scalefac[e] = 0;
        }
        if (withIntensity) PlacePositions(layout, isShort, *intensity, leftIx, out);
        return CountBits(out, isShort, withIntensity);
    };

    GranuleChannel trial;
    int g = gain;
    int bits = evaluate(g, trial);
    while (bits < 0 && g < kMaxGain) bits = evaluate(++g, trial);
    if (bits > budget) {
        // Find the finest gain that fits. The bits fall roughly in proportion to the gain, so the
        // first jump follows the slope of two trials; then the bracket is narrowed by halving.
        // The trial of the best gain that fits is kept, so nothing is quantized twice.
        GranuleChannel fitting;
        int lo = g, hi = -1, fitBits = -1;
        int probe = std::min(kMaxGain, g + 2);
        int probeBits = evaluate(probe, fitting);
        int lastG = g, lastBits = bits;
        while (probe < kMaxGain && (probeBits < 0 || probeBits > budget)) {
            lo = probe;
            const int fall = lastBits > 0 && probeBits > 0 ? (lastBits - probeBits) / std::max(1, probe - lastG) : 0;
            int jump = fall > 0 ? (probeBits - budget + fall - 1) / fall : 2 * (probe - lastG);
            jump = std::clamp(jump, 1, 32);
            lastG = probe;
            lastBits = probeBits;
            probe = std::min(kMaxGain, probe + jump);
            probeBits = evaluate(probe, fitting);
        }
        if (probeBits >= 0 && probeBits <= budget) {
            hi = probe;
            fitBits = probeBits;
            while (hi - lo > 1) {
                const int mid = (lo + hi) / 2;
                const int b = evaluate(mid, trial);
                if (b >= 0 && b <= budget) {
                    hi = mid;
                    fitBits = b;
                    fitting = trial;
                } else {
                    lo = mid;
                }
            }
            g = hi;
            bits = fitBits;
            trial = fitting;
        } else {
            g = probe;
            bits = probeBits;
            trial = fitting;
        }
    }
    gc = trial;
    if (bits < 0 || bits > budget) {
        // Nothing fits: a channel of zeros costs only its side information.
        std::memset(gc.ix, 0, sizeof(gc.ix));
        std::fill(gc.scalefac, gc.scalefac + 39, 0);
        gc.preflag = 0;
        gc.subblock_gain[0] = gc.subblock_gain[1] = gc.subblock_gain[2] = 0;
        if (withIntensity) PlacePositions(layout, isShort, *intensity, leftIx, gc);
        bits = CountBits(gc, isShort, withIntensity);
        g = kMinGain;
    }
    gc.global_gain = std::clamp(g + 150, 0, 255);
    gc.part2_3_length = bits;
}

}  // namespace brannoc
