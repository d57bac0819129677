#include "common/Signals.h"

#include <cmath>

namespace kelvar::test {

std::vector<int16_t> Sine(double freq, double amplitude, int frames, int rate, int channels) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2 * M_PI * freq * i / rate) * 32767.0;
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(std::lround(v));
    }
    return out;
}

std::vector<int16_t> SineSamples(double hz, double amplitude, size_t frames, int rate, int channels,
                                 std::vector<bool> on) {
    std::vector<int16_t> out(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / rate)));
        for (int c = 0; c < channels; ++c) out[i * channels + c] = (on.empty() || on[static_cast<size_t>(c)]) ? v : 0;
    }
    return out;
}

std::vector<int16_t> Tone(int rate, int channels, int ms, double hz, double amplitude) {
    const int frames = rate * ms / 1000;
    std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const double v = hz > 0 ? amplitude * std::sin(2 * M_PI * hz * i / rate) : 0.0;
        for (int c = 0; c < channels; ++c) out[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(v);
    }
    return out;
}

}  // namespace kelvar::test
