#pragma once
// Scans over blocks of 16-bit samples at any byte alignment, written in fixed-size steps so
// the compiler turns them into vector code: level meters and silence tests run for every
// block of every channel.
#include <cstddef>

namespace kelvar {

// The smallest and the largest of Count samples; both 0 when Count is 0.
void SampleRange16(const void* Data, size_t Count, int& Lowest, int& Highest);

// Whether any of Count samples has a magnitude (|-32768| = 32768) above Threshold.
bool AnySampleAbove16(const void* Data, size_t Count, int Threshold);

// Raises Left and Right to the largest magnitude of each channel of Frames interleaved stereo
// frames; -32768 has no positive counterpart in 16 bits and counts as 0.
void StereoPeaks16(const void* Data, size_t Frames, int& Left, int& Right);

}  // namespace kelvar
