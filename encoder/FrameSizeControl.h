#pragma once
#include "encoder/Mp3Tables.h"

#include <cstdint>

namespace brannoc {

// Chooses each frame's bitrate index and padding so that the long-run average matches the configured
// bitrate exactly, also for bitrates between the table values.
class FrameSizeControl {
public:
    // Padding mode: 0 free, 1 never padded, 2 always padded. False for a bitrate the frames cannot carry.
    bool Configure(int bitrate, int rate, int paddingMode);

    int FrameBits(int index) const { return bits_[index]; }  // without padding
    void Next(int& index, int& padding);                     // the next frame's choice

    int PaddingPeriod() const { return period_; }
    int BytesPerPeriod() const { return bytesPerPeriod_; }
    int LowIndex() const { return lo_; }

private:
    int bits_[15] = {};
    int64_t num_ = 0, den_ = 1;
    int lo_ = 0, hi_ = 0;
    int mode_ = 0;
    int64_t error_ = 0;
    int period_ = 1;
    int bytesPerPeriod_ = 1;
};

}  // namespace brannoc
