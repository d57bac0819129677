#pragma once
// Test signals shared by the tests and benchmarks.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvar::test {

// Interleaved 16-bit sine at `amplitude` (full scale 1.0), rounded.
std::vector<int16_t> Sine(double freq, double amplitude, int frames, int rate = 44100, int channels = 2);

// Interleaved 16-bit sine with the amplitude in sample units, rounded to the nearest sample; the
// channels whose entry in `on` is false stay silent (all channels when `on` is empty).
std::vector<int16_t> SineSamples(double hz, double amplitude, size_t frames, int rate, int channels,
                                 std::vector<bool> on = {});

// 16-bit interleaved PCM: a sine of `hz` at `amplitude` (in sample units, truncated), or silence
// for `hz` 0.
std::vector<int16_t> Tone(int rate, int channels, int ms, double hz, double amplitude = 8000);

}  // namespace kelvar::test
