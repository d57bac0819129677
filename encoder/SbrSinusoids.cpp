#include "encoder/SbrSinusoids.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace brannoc {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kHalf = 9;

struct Candidate {
    int start, bands, half;
    double energy;
};

double ScaleStep(int index) { return std::exp2((32.0 + index) / 3.0); }

// Finds the components of one half-frame; none unless the half is sparse with a strong peak.
void FindInHalf(const double* e, int half, bool force, std::vector<Candidate>& out) {
    double m = 0.0;
    for (int k = 0; k < 64; ++k) m = std::max(m, e[k]);
    const double floorThr = std::max(3000.0, 0.0002 * m);
    const double peakThr = std::max(450000.0, 0.3 * m);
    int quiet = 0;
    bool strong = false;
    for (int k = 0; k < 63; ++k) {
        const double pair = e[k] + e[k + 1];
        quiet += pair < floorThr;
        strong = strong || pair > peakThr;
    }
    if (!((quiet > 56 && strong) || (force && strong))) return;
    double running = 0.0;
    for (int k = 62; k >= 0; --k) {
        const double pair = e[k] + e[k + 1];
        if (pair <= peakThr || pair <= running) continue;
        running = 0.8 * pair;
        // Group around the stronger band of the pair while neighbours stay significant.
        int lo = e[k + 1] > e[k] ? k + 1 : k, hi = lo;
        double groupMax = e[lo];
        auto significant = [&](int b) { return b >= 0 && b < 64 && e[b] > 0.02 * groupMax && e[b] > 881000.0; };
        while (hi - lo + 1 < 4) {
            const bool up = significant(hi + 1), down = significant(lo - 1);
            if (!up && !down) break;
            if (up && (!down || e[hi + 1] >= e[lo - 1]))
                ++hi;
            else
                --lo;
        }
        bool overlaps = false;
        for (const Candidate& c : out)
            if (c.half == half && lo <= c.start + c.bands - 1 && hi >= c.start) overlaps = true;
        if (overlaps) continue;
        double energy = 0.0;
        for (int b = lo; b <= hi; ++b) energy += e[b];
        out.push_back(Candidate{lo, hi - lo + 1, half, energy});
    }
}

}  // namespace

void SbrSinusoidCreate(SbrSinusoidState& s, int bitratePerChannel) {
    s = SbrSinusoidState{};
    s.budget = bitratePerChannel >= 24000 ? 350 : bitratePerChannel > 16000 ? 230 : 0;
    s.enabled = s.budget > 0;
    for (int k = 0; k < 64; ++k) {
        const double theta = 31.0 * kPi / 64.0 * (k + 0.5);
        s.p[k] = static_cast<float>(std::sqrt(2.0) * std::sin(theta));
        s.q[k] = static_cast<float>(std::sqrt(2.0) * std::cos(theta));
    }
}

int SbrSinusoidCost(const SbrSinusoidItem* items, int count) {
    int cost = 4;
    for (int i = 0; i < count; ++i) {
        cost += 11;
        for (int b = 0; b < items[i].bands; ++b) cost += items[i].segments * kHalf * items[i].width[b] + 6;
    }
    return cost;
}

void SbrSinusoidFrame(SbrSinusoidState& s, const float* re, const float* im, float* energies) {
    s.previousCount = s.count;
    std::copy(s.items, s.items + 4, s.previous);
    s.count = 0;
    if (!s.enabled) return;
    float x[18][64];
    double e[2][64] = {};
    for (int n = 0; n < 18; ++n)
        for (int k = 0; k < 64; ++k) {
            x[n][k] = re[n * 64 + k] * s.q[k] + im[n * 64 + k] * s.p[k];
            e[n / kHalf][k] += static_cast<double>(x[n][k]) * x[n][k];
        }
    std::vector<Candidate> found;
    for (int h = 0; h < 2; ++h) FindInHalf(e[h], h, s.previousCount > 0, found);

    // Components of both halves in overlapping bands become one spanning the frame.
    std::vector<SbrSinusoidItem> items;
    std::vector<bool> used(found.size(), false);
    for (size_t i = 0; i < found.size(); ++i) {
        if (used[i]) continue;
        used[i] = true;
        SbrSinusoidItem it;
        it.startBand = found[i].start;
        it.bands = found[i].bands;
        it.first = found[i].half;
        it.segments = 1;
        it.energy = found[i].energy;
        for (size_t j = i + 1; j < found.size(); ++j) {
            if (used[j] || found[j].half == found[i].half) continue;
            const int lo = std::min(it.startBand, found[j].start);
            const int hi = std::max(it.startBand + it.bands, found[j].start + found[j].bands);
            if (found[j].start < it.startBand + it.bands && it.startBand < found[j].start + found[j].bands &&
                hi - lo <= 4) {
                used[j] = true;
                it.startBand = lo;
                it.bands = hi - lo;
                it.first = 0;
                it.segments = 2;
                it.energy += found[j].energy;
                break;
            }
        }
        items.push_back(it);
    }
    std::sort(items.begin(), items.end(),
              [](const SbrSinusoidItem& a, const SbrSinusoidItem& b) { return a.energy > b.energy; });
    while (!items.empty() &&
           (items.size() > 4 || SbrSinusoidCost(items.data(), static_cast<int>(items.size())) > s.budget))
        items.pop_back();

    for (SbrSinusoidItem& it : items) {
        const int n0 = it.first * kHalf, n1 = n0 + it.segments * kHalf;
        for (int b = 0; b < it.bands; ++b) {
            const int k = it.startBand + b;
            double peak = 0.0;
            for (int n = n0; n < n1; ++n) peak = std::max(peak, std::fabs(static_cast<double>(x[n][k])));
            int index = 31;
            for (int i = 0; i < 32; ++i)
                if (peak <= ScaleStep(i)) {
                    index = i;
                    break;
                }
            it.scale[b] = index;
            const int w = it.flag ? 5 : 4;
            it.width[b] = w;
            const double top = std::exp2(w - 1);
            for (int n = n0; n < n1; ++n) {
                const double v = x[n][k];
                const int mag =
                    std::min(static_cast<int>(std::floor(std::fabs(v) / ScaleStep(index) * (top - 0.5) + 0.5)),
                             static_cast<int>(top) - 1);
                it.values[b][n - n0] = v < 0 ? -mag : mag;
            }
            // The envelope no longer counts what the component carries.
            for (int n = n0; n < n1; ++n) energies[n * 64 + k] *= 1e-7f;
        }
        s.items[s.count++] = it;
    }
}

int SbrWriteSinusoids(BitBuffer* out, const SbrSinusoidState& s) {
    int bits = 0;
    auto put = [&](int value, int n) {
        if (out != nullptr) out->Write(static_cast<uint32_t>(value) & ((1u << n) - 1u), n);
        bits += n;
    };
    if (s.count == 0) {
        put(0, 1);
        return bits;
    }
    put(1, 1);
    put(s.count - 1, 2);
    for (int i = 0; i < s.count; ++i) {
        const SbrSinusoidItem& it = s.items[i];
        put(it.startBand, 6);
        put(it.bands - 1, 2);
        put(it.segments - it.first + 1, 2);
        put(it.flag, 1);
        for (int b = 0; b < it.bands; ++b) {
            put(it.width[b] - 4, 1);
            put(it.scale[b], 5);
            for (int g = 0; g < it.segments; ++g)
                for (int n = 0; n < kHalf; ++n) {
                    const int v = it.values[b][g * kHalf + n];
                    put(std::abs(v), it.width[b] - 1);
                    if (v != 0) put(v < 0 ? 1 : 0, 1);
                }
        }
    }
    return bits;
}

}  // namespace brannoc
