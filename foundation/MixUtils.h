#pragma once
// Mixing of signed 16-bit interleaved samples. Nothing here allocates (except Interleave with a
// source that overlaps dest part-way, which copies its sources aside), so the output threads may
// call it on their pull path.
#include <cstddef>
#include <cstdint>

namespace kelvar {

// Clamps to -32768..32767.
inline int Clip16(int value) { return value < -32768 ? -32768 : (value > 32767 ? 32767 : value); }

// Zeroes the bytes from .. length-1 of buffer when from < length.
void ZeroFill(void* buffer, size_t from, size_t length);

// Adds the first min(destBytes, srcBytes) / 2 samples of src to dest, clipping each sum. When
// src is longer, its further bytes are copied behind, but never past destCapacity bytes of dest.
// Answers the number of valid bytes in dest afterwards.
size_t MixAdd(void* dest, const void* src, size_t destBytes, size_t srcBytes, size_t destCapacity);

// Each stereo frame (srcBytes / 4 of them) becomes one sample Clip16(trunc((l + r) * 0.9)).
// dest may be src.
void StereoToMono(const void* src, void* dest, size_t srcBytes);

// Mode 1: 16-bit units, bytes / 2 from each side (L0 R0 L1 R1 ...); any other mode: 32-bit
// units (whole stereo frames), bytes / 4 from each side, giving four-channel frames.
// left or right may be the same memory as dest (dest holds 2 x bytes).
void Interleave(const void* left, const void* right, void* dest, int mode, size_t bytes);

}  // namespace kelvar
