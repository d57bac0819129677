#include "encoder/SbrDeltaCoding.h"

#include <algorithm>
#include <cstdlib>

namespace brannoc {

namespace {

constexpr int kOutOfRange = 10000;

// Cost of one difference; beyond the table it costs a prohibitive amount and is clipped.
int Cost(const SbrLengthTable& t, int& delta) {
    if (std::abs(delta) > t.lav) {
        delta = std::clamp(delta, -t.lav, t.lav);
        return kOutOfRange;
    }
    return t.lengths[delta + t.lav];
}

}  // namespace

void SbrEnvCoderInit(SbrEnvCoder& c, int lowBands, int highBands) {
    c.lowBands = lowBands;
    c.highBands = highBands;
    c.offset = 2 * lowBands - highBands;
    c.previousValid = false;
    std::fill(c.previous, c.previous + 48, 0);
}

int SbrDeltaCode(int values[][48], const int* resolution, SbrEnvCoder& c, int* timeFlags, bool coupled, int envelopes,
                 bool secondChannel, bool reset) {
    const bool balance = coupled && secondChannel;
    const SbrLengthTable& freq = balance ? c.balanceFreq : c.levelFreq;
    const SbrLengthTable& time = balance ? c.balanceTime : c.levelTime;
    const int firstBits = balance ? c.firstBitsBalance : c.firstBitsLevel;
    if (reset) c.previousValid = false;
    int total = 0;
    for (int e = 0; e < envelopes; ++e) {
        const bool high = resolution[e] != 0;
        const int n = high ? c.highBands : c.lowBands;
        int cur[48] = {};
        for (int b = 0; b < n; ++b) cur[b] = balance ? values[e][b] >> 1 : values[e][b];

        int freqDelta[48] = {}, timeDelta[48] = {};
        int freqBits = firstBits;
        freqDelta[0] = cur[0];
        for (int b = 1; b < n; ++b) {
            freqDelta[b] = cur[b] - cur[b - 1];
            freqBits += Cost(freq, freqDelta[b]);
        }
        int timeBits = kOutOfRange * 100;
        const bool timeAllowed = c.previousValid && c.timeDeltasAllowed;
        if (timeAllowed) {
            timeBits = 0;
            for (int b = 0; b < n; ++b) {
                const int index = high ? b : (b < c.offset ? b : 2 * b - c.offset);
                timeDelta[b] = cur[b] - c.previous[index];
                timeBits += Cost(time, timeDelta[b]);
            }
        }
        const bool useTime = timeAllowed && timeBits < freqBits;
        timeFlags[e] = useTime ? 1 : 0;
        total += useTime ? timeBits : freqBits;
        for (int b = 0; b < n; ++b) values[e][b] = useTime ? timeDelta[b] : freqDelta[b];
        for (int b = 0; b < n; ++b) {
            if (high) {
                c.previous[b] = cur[b];
            } else if (b < c.offset) {
                c.previous[b] = cur[b];
            } else {
                c.previous[2 * b - c.offset] = cur[b];
                c.previous[2 * b - c.offset + 1] = cur[b];
            }
        }
        c.previousValid = true;
    }
    return total;
}

}  // namespace brannoc
