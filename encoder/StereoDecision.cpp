#include "encoder/StereoDecision.h"

#include <algorithm>
#include <cmath>

namespace brannoc {

bool StereoDecision::Decide(const ChannelAnalysis& left, const ChannelAnalysis& right, const BandLayout& layout,
                            bool isShort) {
    // The products of the per band ratios are compared as sums of logarithms.
    double logLr = 0, logMs = 0;
    const int entries = layout.lowpassBand * (isShort ? 3 : 1);
    for (int e = 0; e < entries; ++e) {
        const double tl = left.threshold[e], tr = right.threshold[e];
        const double t = 1.5 * std::min(tl, tr);
        logLr += std::log2(std::max(1.0, left.energy[e] / tl)) + std::log2(std::max(1.0, right.energy[e] / tr));
        logMs +=
            std::log2(std::max(1.0, right.msEnergy[0][e] / t)) + std::log2(std::max(1.0, right.msEnergy[1][e] / t));
    }
    const double f = lastMs_ ? 1.14 : 0.94;
    lastMs_ = logMs < f * logLr;
    return lastMs_;
}

void StereoDecision::Apply(ChannelAnalysis& left, ChannelAnalysis& right, const BandLayout& layout) {
    const float k = 0.70710677f;
    for (int i = 0; i < 576; ++i) {
        const float l = left.lines[i], r = right.lines[i];
        left.lines[i] = (l + r) * k;
        right.lines[i] = (l - r) * k;
    }
    const int entries = left.blockType == 2 ? 39 : 22;
    (void)layout;
    left.totalEnergy = right.msTotal[0];
    right.totalEnergy = right.msTotal[1];
    for (int e = 0; e < entries; ++e) {
        const double t = 1.5 * std::min(left.threshold[e], right.threshold[e]);
        left.energy[e] = right.msEnergy[0][e];
        right.energy[e] = right.msEnergy[1][e];
        if (left.threshold[e] < 1e19) {
            left.threshold[e] = t;
            right.threshold[e] = t;
        }
    }
}

}  // namespace brannoc
