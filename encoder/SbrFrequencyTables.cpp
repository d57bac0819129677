#include "encoder/SbrFrequencyTables.h"

#include <algorithm>
#include <cmath>

namespace brannoc {

namespace {

int Nearest(double x) { return static_cast<int>(x + 0.5); }

int LowRange(int sbrRate, int below32k, int below64k, int above) {
    if (sbrRate < 32000) return below32k;
    if (sbrRate < 64000) return below64k;
    return above;
}

constexpr int kStartOffsets[16] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 11, 13, 16, 20, 24, 28, 33};

// Widths of one region of a logarithmic master table, sorted ascending; count receives N.
void RegionWidths(int ka, int kb, int bandsPerOctave, double warp, int* widths, int& count) {
    count = 2 * Nearest(bandsPerOctave * std::log(static_cast<double>(kb) / ka) / (2.0 * std::log(2.0) * warp));
    const double ratio = static_cast<double>(kb) / ka;
    for (int i = 0; i < count; ++i)
        widths[i] = Nearest(ka * std::pow(ratio, static_cast<double>(i + 1) / count)) -
                    Nearest(ka * std::pow(ratio, static_cast<double>(i) / count));
    SbrSortAscending(widths, count);
}

bool MasterTable(SbrBandTables& t, const SbrBandSettings& s) {
    int widths[64] = {};
    int n = 0;
    if (s.frequencyScale == 0) {
        const int step = s.alterScale ? 2 : 1;
        n = s.alterScale ? 2 * Nearest((t.k2 - t.k0) / 4.0) : 2 * ((t.k2 - t.k0) / 2);
        if (n < 1 || n > 48) return false;
        for (int i = 0; i < n; ++i) widths[i] = step;
        int d = t.k2 - (t.k0 + n * step);
        for (int i = 0; d < 0 && i < n; ++i, ++d) widths[i] -= 1;
        for (int i = n - 1; d > 0 && i >= 0; --i, --d) widths[i] += 1;
    } else {
        static constexpr int kPerOctave[4] = {0, 12, 10, 8};
        const int b = kPerOctave[std::clamp(s.frequencyScale, 1, 3)];
        const bool twoRegions = static_cast<double>(t.k2) / t.k0 > 2.2449;
        const int k1 = twoRegions ? 2 * t.k0 : t.k2;
        int first = 0;
        RegionWidths(t.k0, k1, b, 1.0, widths, first);
        if (first < 1 || widths[0] == 0) return false;
        n = first;
        if (twoRegions) {
            int second = 0;
            int* w2 = widths + first;
            RegionWidths(k1, t.k2, b, s.alterScale ? 1.3 : 1.0, w2, second);
            if (second < 1 || first + second > 48) return false;
            if (w2[0] < widths[first - 1]) {
                const int change = std::min(widths[first - 1] - w2[0], (w2[second - 1] - w2[0]) / 2);
                w2[0] += change;
                w2[second - 1] -= change;
                SbrSortAscending(w2, second);
            }
            n += second;
        }
    }
    if (n > 48) return false;
    t.master[0] = t.k0;
    for (int i = 0; i < n; ++i) t.master[i + 1] = t.master[i] + widths[i];
    t.masterCount = n;
    return true;
}

}  // namespace

void SbrSortAscending(int* values, int count) {
    int h = 1;
    while (h < count) h = 3 * h + 1;
    for (h /= 3; h >= 1; h /= 3)
        for (int i = h; i < count; ++i) {
            const int v = values[i];
            int j = i;
            for (; j >= h && values[j - h] > v; j -= h) values[j] = values[j - h];
            values[j] = v;
        }
}

int SbrStartBand(int startIndex, int bands, int sbrRate) {
    if (startIndex < 0 || startIndex > 15) return -1;
    const int f = LowRange(sbrRate, 6000, 8000, 10000);
    return Nearest(static_cast<double>(bands) * f / sbrRate) + kStartOffsets[startIndex];
}

int SbrStopBand(int bands, int sbrRate, int stopIndex, int k0) {
    if (stopIndex == 14) return std::min(64, 2 * k0);
    if (stopIndex == 15) return std::min(64, 3 * k0);
    if (stopIndex < 0 || stopIndex > 13) return -1;
    const int f = LowRange(sbrRate, 12000, 16000, 20000);
    const int stopMin = Nearest(static_cast<double>(bands) * f / sbrRate);
    int x[14];
    for (int i = 0; i <= 13; ++i) x[i] = Nearest(stopMin * std::pow(64.0 / stopMin, i / 13.0));
    int steps[13];
    for (int i = 0; i < 13; ++i) steps[i] = x[i + 1] - x[i];
    SbrSortAscending(steps, 13);
    int k2 = stopMin;
    for (int i = 0; i < stopIndex; ++i) k2 += steps[i];
    return std::min(64, k2);
}

int SbrStartFrequency(int startIndex, int sbrRate) {
    const int k = SbrStartBand(startIndex, 64, sbrRate);
    return k < 0 ? -1 : static_cast<int>(static_cast<long long>(k) * sbrRate / 128);
}

int SbrStopFrequency(int stopIndex, int sbrRate) {
    if (stopIndex < 0 || stopIndex > 13) return -1;
    const int k = SbrStopBand(64, sbrRate, stopIndex, 0);
    return static_cast<int>(static_cast<long long>(k) * sbrRate / 128);
}

bool SbrResetTables(SbrBandTables& t, const SbrBandSettings& s, int bands, bool full) {
    if (full) {
        const int k0 = SbrStartBand(s.startIndex, bands, t.sbrRate);
        if (k0 < 0) return false;
        const int k2 = SbrStopBand(bands, t.sbrRate, s.stopIndex, k0);
        if (k2 < 0) return false;
        if (s.dualRate && static_cast<long long>(k0) * t.sbrRate / 128 > t.sbrRate / 4) return false;
        const int width = k2 - k0;
        if (width < 1 || width > 48) return false;
        if (t.sbrRate == 44100 && width > 36) return false;
        if (t.sbrRate >= 48000 && width > 33) return false;
        t.k0 = k0;
        t.k2 = k2;
        if (!MasterTable(t, s)) return false;
    }
    if (t.masterCount < 1) return false;
    const int limit = s.dualRate ? 32 : 64;
    int x = s.crossoverBand;
    if (x < 0 || x > t.masterCount || t.master[x] > limit) {
        x = 0;
        for (int i = 1; i <= t.masterCount; ++i)
            if (t.master[i] >= limit) {
                x = i - 1;
                break;
            }
    }
    t.highCount = t.masterCount - x;
    for (int i = 0; i <= t.highCount; ++i) t.high[i] = t.master[x + i];
    if (t.highCount % 2 == 0) {
        t.lowCount = t.highCount / 2;
        for (int i = 0; i <= t.lowCount; ++i) t.low[i] = t.high[2 * i];
    } else {
        t.lowCount = (t.highCount + 1) / 2;
        t.low[0] = t.high[0];
        for (int i = 1; i <= t.lowCount; ++i) t.low[i] = t.high[2 * i - 1];
    }
    t.crossoverHz = static_cast<float>(t.high[0] * t.sbrRate * 0.5 / 64.0);
    return true;
}

bool SbrNoiseBands(const SbrBandTables& t, int bandsPerOctave, int* borders, int& count) {
    if (t.lowCount < 1 || t.low[0] <= 0) return false;
    const int nq = std::max(1, Nearest(bandsPerOctave * std::log2(static_cast<double>(t.low[t.lowCount]) / t.low[0])));
    if (nq > t.lowCount || nq > 5) return false;
    int i = 0;
    borders[0] = t.low[0];
    for (int k = 1; k <= nq; ++k) {
        i += (t.lowCount - i) / (nq + 1 - k);
        borders[k] = t.low[i];
    }
    count = nq;
    return i == t.lowCount;
}

}  // namespace brannoc
