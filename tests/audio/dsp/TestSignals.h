#pragma once
// Signals and measurements shared by the DSP tests: tones, programme-like noise, click tracks
// and a loudness meter (ITU-R BS.1770 weighting with the EBU R 128 gates).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Signals.h"

namespace kelvar::test {

// Programme-like stereo material: pink-ish noise with a bass line, a beat envelope and phrase
// dynamics; `flavour` varies spectrum and dynamics. Scaled to `lufs` (measured), then rounded
// and saturated to 16 bit.
std::vector<int16_t> Programme(int flavour, double lufs, double seconds, int rate = 44100);

// Clicks (short decaying bursts) at `bpm` over `seconds`, stereo.
std::vector<int16_t> ClickTrack(double bpm, double seconds, int rate = 44100);

// Integrated loudness (LUFS) of interleaved float or 16-bit audio.
double IntegratedLoudness(const std::vector<float>& samples, int channels, int rate);
double IntegratedLoudness(const int16_t* samples, size_t frames, int channels, int rate);

// The same measured by libebur128, an independent meter; NaN if it cannot measure.
double EburIntegratedLoudness(const int16_t* samples, size_t frames, int channels, int rate);

// RMS (dBFS, full-scale sine = -3 dB) of channel `channel` from frame `from` on.
double RmsDb(const std::vector<int16_t>& samples, int channels, int channel, size_t from, size_t count);

// Dominant frequency by counting rising zero crossings of channel 0.
double ZeroCrossingFrequency(const std::vector<int16_t>& samples, int channels, int rate, size_t from = 0);

}  // namespace kelvar::test
