#include "foundation/MixUtils.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelvar {

namespace {
bool Overlaps(const void* a, size_t aLen, const void* b, size_t bLen) {
    const auto pa = reinterpret_cast<uintptr_t>(a);
    const auto pb = reinterpret_cast<uintptr_t>(b);
    return pa < pb + bLen && pb < pa + aLen;
}
}  // namespace

void ZeroFill(void* buffer, size_t from, size_t length) {
    if (from < length) std::memset(static_cast<uint8_t*>(buffer) + from, 0, length - from);
}

size_t MixAdd(void* dest, const void* src, size_t destBytes, size_t srcBytes, size_t destCapacity) {
    destBytes = std::min(destBytes, destCapacity);
    auto* d = static_cast<uint8_t*>(dest);
    const auto* s = static_cast<const uint8_t*>(src);
    const size_t common = std::min(destBytes, srcBytes);
    const size_t samples = common / 2;
    // memcpy per sample: buffers need not be 2-byte aligned.
    for (size_t i = 0; i < samples; ++i) {
        int16_t a;
        int16_t b;
        std::memcpy(&a, d + 2 * i, 2);
        std::memcpy(&b, s + 2 * i, 2);
        const int16_t sum = static_cast<int16_t>(Clip16(int(a) + int(b)));
        std::memcpy(d + 2 * i, &sum, 2);
    }
    if (srcBytes <= destBytes) return destBytes;
    const size_t end = std::min(srcBytes, destCapacity);
    if (end > common) std::memmove(d + common, s + common, end - common);
    return std::max(destBytes, end);
}

void StereoToMono(const void* src, void* dest, size_t srcBytes) {
    const auto* s = static_cast<const uint8_t*>(src);
    auto* d = static_cast<uint8_t*>(dest);
    const size_t frames = srcBytes / 4;
    // Forward order is safe in place: frame i is read before sample i (at half the offset) is written.
    for (size_t i = 0; i < frames; ++i) {
        int16_t l;
        int16_t r;
        std::memcpy(&l, s + 4 * i, 2);
        std::memcpy(&r, s + 4 * i + 2, 2);
        const int16_t m = static_cast<int16_t>(Clip16(static_cast<int>((int(l) + int(r)) * 0.9)));
        std::memcpy(d + 2 * i, &m, 2);
    }
}

void Interleave(const void* left, const void* right, void* dest, int mode, size_t bytes) {
    const size_t unit = mode == 1 ? 2 : 4;
    const size_t count = bytes / unit;
    if (count == 0) return;
    auto* d = static_cast<uint8_t*>(dest);
    const auto* l = static_cast<const uint8_t*>(left);
    const auto* r = static_cast<const uint8_t*>(right);
    const size_t side = count * unit;
    const size_t out = 2 * side;
    const bool leftOverlaps = Overlaps(l, side, d, out);
    const bool rightOverlaps = Overlaps(r, side, d, out);
    if ((leftOverlaps && l != d) || (rightOverlaps && r != d)) {
        // A partial overlap: copy the sources aside first.
        std::vector<uint8_t> copy(2 * side);
        std::memcpy(copy.data(), l, side);
        std::memcpy(copy.data() + side, r, side);
        Interleave(copy.data(), copy.data() + side, dest, mode, bytes);
        return;
    }
    // Backwards, so a source that starts at dest is read before its units are overwritten
    // (unit i of a source sits at or before the output units 2i and 2i+1).
    for (size_t i = count; i-- > 0;) {
        uint8_t lu[4];
        uint8_t ru[4];
        std::memcpy(lu, l + i * unit, unit);
        std::memcpy(ru, r + i * unit, unit);
        std::memcpy(d + (2 * i) * unit, lu, unit);
        std::memcpy(d + (2 * i + 1) * unit, ru, unit);
    }
}

}  // namespace kelvar
