#include "encoder/FrameSizeControl.h"

#include <cstdlib>

namespace brannoc {

namespace {
const int kPrimes[8] = {2, 3, 5, 7, 11, 13, 17, 19};
}

bool FrameSizeControl::Configure(int bitrate, int rate, int paddingMode) {
    const MpegVersion version = VersionOfRate(rate);
    const int g = GranulesPerFrame(rate);
    for (int i = 0; i < 15; ++i)
        bits_[i] = static_cast<int>(static_cast<int64_t>(BitrateOfIndex(version, i)) * 576 * g / rate / 8 * 8);
    mode_ = paddingMode;
    error_ = 0;
    period_ = 1;
    bytesPerPeriod_ = 1;
    num_ = static_cast<int64_t>(bitrate) * 576 * g;
    den_ = rate;
    const int pad = paddingMode == 2 ? 1 : 0;
    if (paddingMode != 0) {
        int exact = -1, below = -1;
        for (int i = 1; i < 15; ++i) {
            if (BitrateOfIndex(version, i) == bitrate) exact = i;
            if (BitrateOfIndex(version, i) < bitrate) below = i;
        }
        if (exact >= 0) {
            num_ = bits_[exact] + 8 * pad;
            den_ = 1;
            bytesPerPeriod_ = bits_[exact] / 8 + pad;
        } else {
            if (below < 1 || below >= 14) return false;
            const int o = BitrateOfIndex(version, below), t = BitrateOfIndex(version, below + 1);
            int p = t - o;
            const int share = t - bitrate;
            for (int prime : kPrimes)
                while (p % prime == 0 && share % prime == 0 && p > 1) p /= prime;
            period_ = p;
            // Interpolate the frame sizes of the two neighbouring table rates.
            num_ = ((static_cast<int64_t>(bits_[below] / 8 + pad) * (t - bitrate) +
                     static_cast<int64_t>(bits_[below + 1] / 8 + pad) * (bitrate - o))) *
                   8;
            den_ = t - o;
            bytesPerPeriod_ = static_cast<int>(static_cast<int64_t>(period_) * num_ / den_ / 8);
        }
    }
    for (int prime : kPrimes)
        while (num_ % prime == 0 && den_ % prime == 0) {
            num_ /= prime;
            den_ /= prime;
        }
    if (num_ < den_ * bits_[0] || num_ > den_ * (bits_[14] + 8)) return false;
    lo_ = 0;
    for (int i = 0; i < 15; ++i)
        if (bits_[i] * den_ <= num_) lo_ = i;
    hi_ = (bits_[lo_] * den_ == num_ && paddingMode != 2) || lo_ == 14 ? lo_ : lo_ + 1;
    if (lo_ == 0) lo_ = hi_ = 1;
    return true;
}

void FrameSizeControl::Next(int& index, int& padding) {
    error_ -= num_;
    const int candidates[4][2] = {{lo_, 0}, {lo_, 1}, {hi_, 0}, {hi_, 1}};
    int64_t best = 0;
    int chosen = -1;
    for (int c = 0; c < 4; ++c) {
        const int pad = candidates[c][1];
        if (mode_ == 1 && pad) continue;
        if (mode_ == 2 && !pad) continue;
        const int64_t value = error_ + den_ * (bits_[candidates[c][0]] + 8 * pad);
        if (chosen < 0 || std::llabs(value) < std::llabs(best)) {
            best = value;
            chosen = c;
        }
    }
    error_ = best;
    index = candidates[chosen][0];
    padding = candidates[chosen][1];
}

}  // namespace brannoc
