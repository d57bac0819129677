#include "audio/nodes/SampleScan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace kelvar {

namespace {

// Samples per step: two 16-byte vectors.
constexpr size_t Step = 16;

// The running minimum and maximum of Count (a multiple of Step) samples, per lane.
void RangeSteps(const uint8_t* Bytes, size_t Count, int16_t (&Low)[Step], int16_t (&High)[Step]) {
    for (size_t i = 0; i < Count; i += Step) {
        int16_t s[Step];
        std::memcpy(s, Bytes + i * 2, sizeof(s));
        for (size_t k = 0; k < Step; ++k) {
            Low[k] = s[k] < Low[k] ? s[k] : Low[k];
            High[k] = s[k] > High[k] ? s[k] : High[k];
        }
    }
}

int16_t Sample(const uint8_t* Bytes, size_t Index) {
    int16_t s;
    std::memcpy(&s, Bytes + Index * 2, 2);
    return s;
}

}  // namespace

void SampleRange16(const void* Data, size_t Count, int& Lowest, int& Highest) {
    Lowest = Highest = 0;
    if (Data == nullptr || Count == 0) return;
    const auto* bytes = static_cast<const uint8_t*>(Data);
    int16_t low[Step], high[Step];
    const int16_t first = Sample(bytes, 0);
    std::fill(std::begin(low), std::end(low), first);
    std::fill(std::begin(high), std::end(high), first);
    const size_t whole = Count - Count % Step;
    RangeSteps(bytes, whole, low, high);
    int lo = first, hi = first;
    for (size_t k = 0; k < Step; ++k) {
        lo = std::min<int>(lo, low[k]);
        hi = std::max<int>(hi, high[k]);
    }
    for (size_t i = whole; i < Count; ++i) {
        const int s = Sample(bytes, i);
        lo = std::min(lo, s);
        hi = std::max(hi, s);
    }
    Lowest = lo;
    Highest = hi;
}

bool AnySampleAbove16(const void* Data, size_t Count, int Threshold) {
    if (Data == nullptr) return false;
    const auto* bytes = static_cast<const uint8_t*>(Data);
    // In slices, so a loud start ends the scan early.
    constexpr size_t Slice = 32 * Step;
    for (size_t at = 0; at < Count; at += Slice) {
        const size_t n = std::min(Slice, Count - at);
        int lo, hi;
        SampleRange16(bytes + at * 2, n, lo, hi);
        if (hi > Threshold || -lo > Threshold) return true;
    }
    return false;
}

void StereoPeaks16(const void* Data, size_t Frames, int& Left, int& Right) {
    if (Data == nullptr || Frames == 0) return;
    const auto* bytes = static_cast<const uint8_t*>(Data);
    const size_t count = Frames * 2;
    const size_t whole = count - count % Step;
    // max(s, -s) in 16 bits: |s|, and -32768 for -32768, which never raises a peak of 0 or more.
    int16_t peak[Step] = {};
    for (size_t i = 0; i < whole; i += Step) {
        int16_t s[Step];
        std::memcpy(s, bytes + i * 2, sizeof(s));
        for (size_t k = 0; k < Step; ++k) {
            const auto negative = static_cast<int16_t>(-s[k]);
            const int16_t magnitude = s[k] > negative ? s[k] : negative;
            peak[k] = magnitude > peak[k] ? magnitude : peak[k];
        }
    }
    int left = Left, right = Right;
    for (size_t k = 0; k < Step; k += 2) {
        left = std::max<int>(left, peak[k]);
        right = std::max<int>(right, peak[k + 1]);
    }
    for (size_t i = whole; i < count; i += 2) {
        const int l = Sample(bytes, i), r = Sample(bytes, i + 1);
        if (l != INT16_MIN) left = std::max(left, l < 0 ? -l : l);
        if (r != INT16_MIN) right = std::max(right, r < 0 ? -r : r);
    }
    Left = left;
    Right = right;
}

}  // namespace kelvar
