#include "encoder/SbrTonality.h"

#include "encoder/SbrFrequencyTables.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>

namespace brannoc {

namespace {

using Cplx = std::complex<double>;

constexpr float kPatchedThresholds[4] = {2.0f, 12.699208f, 40.317474f, 128.0f};
constexpr float kInputThresholds[4] = {1.587401f, 4.0f, 8.0f, 16.0f};
constexpr float kEnergyThresholds[4] = {104031.91f, 1048576.0f, 10568984.0f, 106528680.0f};
constexpr float kHysteresis = 1.2599209f;
constexpr int kNormalTable[5][5] = {
    {2, 2, 1, 0, 0}, {2, 2, 1, 0, 0}, {3, 2, 2, 0, 0}, {3, 3, 2, 0, 0}, {3, 3, 2, 0, 0}};
constexpr int kTransientTable[5][5] = {
    {1, 1, 1, 0, 0}, {1, 1, 1, 0, 0}, {3, 2, 2, 0, 0}, {3, 3, 2, 0, 0}, {3, 3, 1, 0, 0}};
constexpr int kEnergyOffset[5] = {-4, -3, -2, -1, 0};
constexpr float kNoiseWeights[4] = {0.05857864f, 0.2f, 0.34142137f, 0.4f};
constexpr float kInvfWeights[3] = {0.125f, 0.375f, 0.5f};

int Region(float value, const float* thresholds, int previous, bool hysteresis) {
    float th[4];
    for (int i = 0; i < 4; ++i) th[i] = thresholds[i];
    if (hysteresis) {
        if (previous < 4) th[previous] *= kHysteresis;
        if (previous > 0) th[previous - 1] /= kHysteresis;
    }
    int r = 0;
    while (r < 4 && value >= th[r]) ++r;
    return r;
}

float TopFiveMean(std::vector<float>& values) {
    if (values.empty()) return 0.0f;
    const size_t n = std::min<size_t>(5, values.size());
    std::partial_sort(values.begin(), values.begin() + static_cast<long>(n), values.end(), std::greater<float>());
    float sum = 0.0f;
    for (size_t i = 0; i < n; ++i) sum += values[i];
    return sum / static_cast<float>(n);
}

}  // namespace

bool SbrBuildPatches(SbrTonalityEstimator& t, const int* master, int masterCount, int kx) {
    const int k0 = master[0];
    const int k2 = master[masterCount];
    const int goal = static_cast<int>(64.0 * 2.0 * 16000.0 / t.sbrRate + 0.5);
    int target = k0;
    if (goal >= k2) {
        target = k2;
    } else if (goal > k0) {
        for (int i = 0; i <= masterCount; ++i)
            if (master[i] >= goal) {
                target = master[i];
                break;
            }
    }
    const bool wholeCore = t.perChannelMode == 1;
    const int limit = wholeCore ? kx : k0;
    int guard = wholeCore ? 1 : kx - k0 + 1;
    int start = kx;
    t.patches.clear();
    while (start < k2) {
        int l = target - start;
        if (l >= limit - guard) {
            const int bound = ((start - guard) & ~1) + limit;
            int border = master[0];
            for (int i = 0; i <= masterCount; ++i)
                if (master[i] <= bound) border = master[i];
            l = border - start;
        }
        if (l > 0) {
            if (t.patches.size() == 6) return false;
            int shift = start + l - limit;
            shift += shift & 1;
            t.patches.push_back(SbrPatch{start - shift, start + l - shift, start, l});
            start += l;
        } else if (target == k2) {
            break;  // nothing more fits below the source limit; the rest stays unpatched
        } else if (std::abs(start - target) > 2) {
            return false;
        }
        guard = 1;
        if (std::abs(start - target) <= 2) target = k2;
    }
    if (t.patches.size() > 1 && t.patches.back().width < 3) t.patches.pop_back();
    for (int k = 0; k < 64; ++k) t.patchMap[k] = k < kx ? k : -1;
    for (const SbrPatch& p : t.patches)
        for (int i = 0; i < p.width; ++i) t.patchMap[p.targetStart + i] = p.sourceStart + i;
    t.k2 = k2;
    return true;
}

bool SbrTonalityCreate(SbrTonalityEstimator& t, int sbrRate, const int* master, int masterCount, const int* low,
                       int lowCount, int noiseBandsPerOctave, const int* levels, int noiseOffset, int perChannelMode) {
    t = SbrTonalityEstimator{};
    t.sbrRate = sbrRate;
    t.perChannelMode = perChannelMode;
    if (!SbrBuildPatches(t, master, masterCount, low[0])) return false;
    SbrBandTables tables;
    tables.lowCount = lowCount;
    for (int i = 0; i <= lowCount; ++i) tables.low[i] = low[i];
    if (!SbrNoiseBands(tables, noiseBandsPerOctave, t.noiseBorders, t.noiseCount)) return false;
    t.offsetFactor = static_cast<float>(std::exp2(noiseOffset / 3.0));
    for (int i = 0; i < 5; ++i) t.levelFactor[i] = static_cast<float>(std::exp2(levels[i] / 3.0));
    t.detectStart = low[0];
    t.detectEnd = low[lowCount];
    return true;
}

void SbrTonalityQuotas(SbrTonalityEstimator& t, const float* re, const float* im, int slots) {
    std::copy(t.rows[1], t.rows[1] + 64, t.rows[0]);
    t.rowEnergy[0] = t.rowEnergy[1];
    t.rowEnergy[1] = 0.0f;
    for (int k = 0; k < 64; ++k) {
        t.rows[1][k] = 0.0f;
        if (k >= t.k2) continue;
        auto x = [&](int n) { return Cplx(re[n * 64 + k], im[n * 64 + k]); };
        double r00 = 0, r11 = 0, r22 = 0;
        Cplx r01, r02, r12;
        for (int n = 2; n < slots; ++n) {
            const Cplx a = x(n), b = x(n - 1), c = x(n - 2);
            r00 += std::norm(a);
            r11 += std::norm(b);
            r22 += std::norm(c);
            r01 += a * std::conj(b);
            r02 += a * std::conj(c);
            r12 += b * std::conj(c);
        }
        t.rowEnergy[1] += static_cast<float>(r00);
        if (r00 == 0.0) continue;
        const double det = r11 * r22 - std::norm(r12) * 0.999999000001;
        const Cplx a2 = det != 0.0 ? (r01 * r12 - r02 * r11) / det : Cplx(0.0, 0.0);
        const Cplx a1 = r11 != 0.0 ? -(r01 + a2 * std::conj(r12)) / r11 : Cplx(0.0, 0.0);
        const double rho = -(a1 * std::conj(r01) + a2 * std::conj(r02)).real() / (r00 + 1.0);
        t.rows[1][k] = static_cast<float>(rho / (1.0 - rho + 1e-6));
    }
}

void SbrTonalityFrame(SbrTonalityEstimator& t, bool transient, bool transientReachesEnd, float* q) {
    const float* row = t.rows[0];
    // Inverse filtering over the detection band.
    std::vector<float> input, patched;
    for (int k = t.detectStart; k < t.detectEnd; ++k) {
        input.push_back(row[k]);
        if (t.patchMap[k] >= 0) patched.push_back(row[t.patchMap[k]]);
    }
    auto mean = [](const std::vector<float>& v) {
        float s = 0.0f;
        for (float x : v) s += x;
        return v.empty() ? 0.0f : s / static_cast<float>(v.size());
    };
    float now[4] = {mean(input), mean(patched), 0.0f, 0.0f};
    now[2] = TopFiveMean(input);
    now[3] = TopFiveMean(patched);
    if (!t.invfValid) {
        for (auto& h : t.invfHistory) std::copy(now, now + 4, h);
        t.invfValid = true;
    }
    for (int i = 0; i < 2; ++i) std::copy(t.invfHistory[i + 1], t.invfHistory[i + 1] + 4, t.invfHistory[i]);
    std::copy(now, now + 4, t.invfHistory[2]);
    float smooth[4] = {};
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 3; ++i) smooth[j] += kInvfWeights[i] * t.invfHistory[i][j];
    const int patchedRegion = Region(smooth[3], kPatchedThresholds, t.previousPatchedRegion, true);
    const int inputRegion = Region(smooth[2], kInputThresholds, t.previousInputRegion, true);
    const int energyRegion = Region(t.rowEnergy[0], kEnergyThresholds, 0, false);
    t.previousPatchedRegion = patchedRegion;
    t.previousInputRegion = inputRegion;
    const bool transientFrame = transient || t.carriedTransient;
    const int base = (transientFrame ? kTransientTable : kNormalTable)[patchedRegion][inputRegion];
    t.mode = std::max(0, base + kEnergyOffset[energyRegion]);
    t.carriedTransient = transient && transientReachesEnd;

    // Noise floor per noise band.
    float ratio[5] = {};
    for (int b = 0; b < t.noiseCount; ++b) {
        float ti = 0.0f, to = 0.0f;
        int ni = 0, no = 0;
        for (int k = t.noiseBorders[b]; k < t.noiseBorders[b + 1]; ++k) {
            ti += row[k];
            ++ni;
            if (t.patchMap[k] >= 0) {
                to += row[t.patchMap[k]];
                ++no;
            }
        }
        ti = ni ? ti / static_cast<float>(ni) : 0.0f;
        to = no ? to / static_cast<float>(no) : 0.0f;
        if (ti < 1.0f / 1024.0f && to < 1.0f / 1024.0f) {
            ti = to = 101.593666f;
        } else {
            ti = std::max(ti, 1.0f);
            to = std::max(to, 1.0f);
        }
        float u = 1.0f;
        if (t.mode == 3 && 0.25f * to / ti >= 1.0f) u = 0.25f * to / ti;
        ratio[b] = std::min(t.offsetFactor, u / ti * t.levelFactor[b]);
    }
    if (transient || !t.historyValid) {
        for (auto& h : t.history) std::copy(ratio, ratio + 5, h);
        t.historyValid = true;
    } else {
        for (int i = 0; i < 3; ++i) std::copy(t.history[i + 1], t.history[i + 1] + 5, t.history[i]);
        std::copy(ratio, ratio + 5, t.history[3]);
    }
    for (int b = 0; b < t.noiseCount; ++b) {
        float s = 0.0f;
        for (int i = 0; i < 4; ++i) s += kNoiseWeights[i] * t.history[i][b];
        q[b] = 6.0f - std::log2(s);
    }
}

}  // namespace brannoc
