#include "encoder/SbrTransient.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace brannoc {

void SbrTransientInit(SbrTransientDetector& d, int frameLength, int sbrRate, int bitrate, int channels,
                      int referenceBitrate, float energyThreshold) {
    d = SbrTransientDetector{};
    d.peakLimit = energyThreshold / 64.0f;
    const double e = std::max(static_cast<double>(frameLength) / sbrRate - 0.01, 0.0001);
    const double scale = bitrate > 0 ? static_cast<double>(referenceBitrate) * channels / bitrate : 1.0;
    d.splitThreshold = static_cast<float>(0.000075 / (e * e) * scale);
}

void SbrDetectTransient(const float* energies, SbrTransientDetector& d, SbrTransientInfo& info, int qmfPerTimeSlot,
                        int frameMiddle) {
    constexpr int B = SbrTransientDetector::kBands;
    auto E = [&](int slot, int band) { return static_cast<double>(energies[slot * B + band]); };
    for (int k = 0; k < B; ++k) {
        double mean = 0.0;
        for (int s = d.windowStart; s < d.windowStart + d.windowLength; ++s) mean += E(s, k);
        mean /= d.windowLength;
        double var = 0.0;
        for (int s = d.windowStart; s < d.windowStart + d.windowLength; ++s) var += (mean - E(s, k)) * (mean - E(s, k));
        const double sd = std::sqrt(var / (d.windowLength - 1));
        d.thresholds[k] = static_cast<float>(std::max(128000.0, 0.34 * sd + 0.66 * d.thresholds[k]));
    }
    // The first 27 values carry over from the previous frame.
    std::memmove(d.detection, d.detection + 18, sizeof(float) * 27);
    std::fill(d.detection + 27, d.detection + 54, 0.0f);
    for (int k = 0; k < B; ++k) {
        const double thr = d.thresholds[k];
        for (int q = 8; q < 32; ++q) {
            const double g1 = E(q + 2, k) - E(q, k);
            const double g2 = g1 + E(q + 3, k) - E(q - 1, k);
            const double g3 = g2 + E(q + 4, k) - E(q - 2, k);
            double add = 0.0;
            for (double g : {g1, g2, g3})
                if (g > thr) add += g / thr - 1.0;
            d.detection[27 + q - 8] += static_cast<float>(add);
        }
    }
    (void)qmfPerTimeSlot;
    (void)frameMiddle;
    info.flag = 0;
    info.value = 0;
    for (int i = 26; i < 44; ++i) {
        if (d.detection[i - 1] > d.peakLimit && 0.9f * d.detection[i - 1] > d.detection[i]) {
            info.flag = 1;
            info.value = (i - 26) / 2;
            return;
        }
    }
}

void SbrSplitFrame(const float* energies, SbrTransientDetector& d, const int* highTable, int highCount,
                   int qmfPerTimeSlot, int timeSlots, SbrTransientInfo& info) {
    constexpr int B = SbrTransientDetector::kBands;
    double low = 1.0;
    for (int s = 9; s < 9 + d.slotsPerFrame; ++s)
        for (int k = 0; k < highTable[0]; ++k) low += energies[s * B + k];
    const double average = (d.previousLowEnergy + low) / 2.0;
    d.previousLowEnergy = static_cast<float>(low);
    if (info.flag == 1) return;

    const int firstHalf = (timeSlots + 1) / 2;
    const int secondHalf = timeSlots - firstHalf;
    double distance = 0.0;
    for (int b = 0; b < highCount; ++b) {
        double e1 = 5e6, e2 = 4e6;
        for (int t = 0; t < timeSlots; ++t) {
            double sum = 0.0;
            for (int s = t * qmfPerTimeSlot; s < (t + 1) * qmfPerTimeSlot; ++s)
                for (int k = highTable[b]; k < highTable[b + 1]; ++k) sum += energies[s * B + k];
            (t < firstHalf ? e1 : e2) += sum;
        }
        distance += std::fabs(std::log((e2 / e1) * (static_cast<double>(firstHalf) / secondHalf))) *
                    std::sqrt((e1 + e2) / average);
    }
    const double half = static_cast<double>(firstHalf) / timeSlots;
    info.value = d.splitThreshold < (1.0 - 4.0 * (0.5 - half) * (0.5 - half)) * distance ? 1 : 0;
}

void SbrShareTransient(SbrTransientInfo& left, SbrTransientInfo& right) {
    if (left.flag && right.flag) {
        left.value = right.value = std::min(left.value, right.value);
    } else if (left.flag || right.flag) {
        const SbrTransientInfo& t = left.flag ? left : right;
        left = right = t;
    } else {
        left.value = right.value = (left.value || right.value) ? 1 : 0;
    }
}

}  // namespace brannoc
