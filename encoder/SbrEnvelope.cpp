#include "encoder/SbrEnvelope.h"

#include <algorithm>
#include <cmath>

namespace brannoc {

namespace {

int Nearest(double x) { return static_cast<int>(std::floor(x + 0.5)); }

double SumEnergy(const float* energies, int slotStart, int slotEnd, int bandStart, int bandEnd) {
    double sum = 0.0;
    for (int s = slotStart; s < slotEnd; ++s)
        for (int k = bandStart; k < bandEnd; ++k) sum += energies[s * 64 + k];
    return sum;
}

}  // namespace

int SbrQuantiseBalance(float value, int amplitudeResolution, float& error) {
    static constexpr int kFine[] = {0, 2, 4, 6, 8, 12, 16, 20, 24};
    static constexpr int kCoarse[] = {0, 2, 4, 8, 12};
    const int* magnitudes = amplitudeResolution == 0 ? kFine : kCoarse;
    const int count = amplitudeResolution == 0 ? 9 : 5;
    const int offset = amplitudeResolution == 0 ? 24 : 12;
    const float a = std::fabs(value);
    float best = 1e8f;
    int chosen = 0;
    for (int i = 0; i < count; ++i) {
        const float d = std::fabs(a - static_cast<float>(magnitudes[i]));
        if (d < best) {
            best = d;
            chosen = magnitudes[i];
        }
    }
    error = best;
    return value > 0.0f ? offset + chosen : offset - chosen;
}

void SbrQuantiseEnvelope(const float* energies, const float* second, const SbrFrameInfo& info,
                         const SbrEnvelopeBands& bands, int amplitudeResolution, SbrQuantised& levels,
                         SbrQuantised* balances, float* largestBalanceError) {
    const double w = 2.0 - amplitudeResolution;
    float largest = 0.0f;
    for (int e = 0; e < info.envelopes; ++e) {
        const int slotStart = 2 * info.borders[e];
        int slotEnd = 2 * info.borders[e + 1];
        // The envelope before a transient stops one time slot short of it.
        if (info.transientEnvelope != 0 && info.transientEnvelope == e + 1) slotEnd -= 2;
        slotEnd = std::max(slotEnd, slotStart + 1);
        const int res = info.resolution[e] ? 1 : 0;
        const int* f = bands.table[res];
        for (int b = 0; b < bands.count[res]; ++b) {
            const double norm = static_cast<double>(f[b + 1] - f[b]) * (slotEnd - slotStart) * 64.0;
            const double sl = SumEnergy(energies, slotStart, slotEnd, f[b], f[b + 1]);
            double s = sl;
            if (second != nullptr) {
                const double sr = SumEnergy(second, slotStart, slotEnd, f[b], f[b + 1]);
                s = (sl + sr) / 2.0;
                if (balances != nullptr) {
                    float err = 0.0f;
                    balances->levels[e][b] = SbrQuantiseBalance(
                        static_cast<float>(w * std::log2((sl + 1.0) / (sr + 1.0))), amplitudeResolution, err);
                    largest = std::max(largest, err);
                }
            }
            levels.levels[e][b] = Nearest(w * std::max(0.0, std::log2(s / norm + 1e-12)));
        }
    }
    if (largestBalanceError != nullptr) *largestBalanceError = largest;
}

double SbrDequantiseLevel(int level, int amplitudeResolution) {
    const double w = 2.0 - amplitudeResolution;
    return 64.0 * std::exp2(level / w);
}

// Held at 0 from below as well: the first noise value is sent in 5 unsigned bits.
int SbrQuantiseNoise(float q) { return std::clamp(static_cast<int>(std::ceil(q)), 0, 30); }

void SbrQuantiseNoisePair(float q1, float q2, int& level, int& balance) {
    const double n1 = std::exp2(q1 + 6.0), n2 = std::exp2(q2 + 6.0);
    level = SbrQuantiseNoise(static_cast<float>(std::log2((n1 + n2) / 2.0) - 6.0));
    const double ratio = std::clamp(std::ceil(std::log2(n1 / n2)), -30.0, 30.0);
    float err = 0.0f;
    balance = SbrQuantiseBalance(static_cast<float>(ratio), 1, err);
}

}  // namespace brannoc

namespace brannoc {

namespace {

bool AllZero(const SbrFrameInfo& info, const SbrQuantised& q, int bandsLow, int bandsHigh) {
    for (int e = 0; e < info.envelopes; ++e) {
        const int n = info.resolution[e] ? bandsHigh : bandsLow;
        for (int b = 0; b < n; ++b)
            if (q.levels[e][b] != 0) return false;
    }
    return true;
}

}  // namespace

SbrStereoChoice SbrStereoPrecheck(const SbrFrameInfo& l, const SbrFrameInfo& r, float largestBalanceError,
                                  int amplitudeResolution, const SbrQuantised& leftLevels,
                                  const SbrQuantised& rightLevels, int bandsLow, int bandsHigh) {
    bool same = l.envelopes == r.envelopes && l.transientEnvelope == r.transientEnvelope;
    for (int i = 0; same && i <= l.envelopes; ++i) same = l.borders[i] == r.borders[i];
    for (int i = 0; same && i < l.envelopes; ++i) same = l.resolution[i] == r.resolution[i];
    if (!same) return SbrStereoChoice::kLeftRight;
    const float factor = amplitudeResolution == 1 ? 1.5f : 3.0f;
    const bool leftZero = AllZero(l, leftLevels, bandsLow, bandsHigh);
    const bool rightZero = AllZero(r, rightLevels, bandsLow, bandsHigh);
    if (factor * largestBalanceError > 20.0f || leftZero != rightZero) return SbrStereoChoice::kLeftRightNoTimeDelta;
    return SbrStereoChoice::kCompareBits;
}

}  // namespace brannoc
