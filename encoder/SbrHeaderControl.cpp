#include "encoder/SbrHeaderControl.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace brannoc {

SbrHeader SbrHeaderFromConfig(const SbrConfig& c) {
    SbrHeader h;
    h.leading = 0;
    h.amplitudeResolution = c.amplitudeResolution;
    h.startIndex = c.startIndex;
    h.stopIndex = c.stopIndex;
    h.crossoverBand = 0;
    h.midSideClass = 0;
    h.headerFlag = c.perChannelMode != 2 ? 1 : c.headerFlagSource;
    h.frequencyScale = c.frequencyScale;
    h.alterScale = c.alterScale;
    h.noiseBands = c.noiseBands;
    h.limiterBands = c.limiterBands;
    h.limiterGains = c.limiterGains;
    h.interpolation = c.interpolation;
    h.smoothing = c.smoothing;
    h.extension1 = c.frequencyScale != 2 || c.alterScale != 1 || c.noiseBands != 2;
    h.extension2 = c.limiterBands != 2 || c.limiterGains != 2 || c.interpolation != 1 || c.smoothing != 0;
    h.dualRate = c.coreRate <= 24000;
    h.mode3 = c.mode3 && c.channels == 1;
    return h;
}

SbrHeaderState SbrHeaderStateFromConfig(const SbrConfig& c, int sbrRate) {
    SbrHeaderState s;
    s.counter = 0;
    s.crc = c.sideDataCrc != 0;
    s.period = c.headerPeriod > 0.0f
                   ? std::max(1, static_cast<int>(c.headerPeriod * static_cast<float>(sbrRate) / c.frameLength))
                   : 0;
    return s;
}

bool SbrNextHeader(SbrHeaderState& s) {
    s.sendHeader = s.counter == 0;
    s.counter = s.period > 0 ? (s.counter + 1) % s.period : 1;
    return s.sendHeader;
}

float SbrSnapCrossover(float crossoverHz, int sbrRate, const int* master, int masterCount) {
    const double t = sbrRate * 0.5 / 64.0;
    const int u = static_cast<int>(crossoverHz / t + 0.5);
    int best = master[0];
    int distance = std::abs(master[0] - u);
    for (int i = 1; i <= masterCount; ++i) {
        const int d = std::abs(master[i] - u);
        if (d >= distance) break;
        distance = d;
        best = master[i];
    }
    return static_cast<float>(best * t);
}

int SbrCrossoverIndex(float requestedHz, int sbrRate, const int* master, int masterCount) {
    const int k = static_cast<int>(64.0 * requestedHz * 2.0 / sbrRate + 0.5);
    for (int i = 0; i <= masterCount; ++i)
        if (master[i] == k) return i;
    return masterCount + 1;
}

float SbrGetStopFrequency(int k2, int sbrRate) {
    return static_cast<float>(static_cast<long long>(k2) * sbrRate / 128);
}

SbrVersion SbrGetVersion() { return SbrVersion{"Dec 10 2026", "1.0"}; }

}  // namespace brannoc
