#include "TestSignals.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>

namespace kelvar::test {

namespace {

struct TBq {
    double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
    double Run(double x) {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

TBq Shelf(int rate) {
    const double f0 = 1681.974450955533, G = 3.999843853973347, Q = 0.7071752369554196;
    const double K = std::tan(M_PI * f0 / rate), Vh = std::pow(10.0, G / 20.0), Vb = std::pow(Vh, 0.4996667741545416);
    const double a0 = 1 + K / Q + K * K;
    return {(Vh + Vb * K / Q + K * K) / a0, 2 * (K * K - Vh) / a0, (Vh - Vb * K / Q + K * K) / a0, 2 * (K * K - 1) / a0,
            (1 - K / Q + K * K) / a0};
}

// The numerator stays {1, -2, 1} at every rate, as in the standard's 48 kHz coefficients;
// normalising it by a0 would read 0.05 LU low.
TBq HighPass(int rate) {
    const double f0 = 38.13547087602444, Q = 0.5003270373238773;
    const double K = std::tan(M_PI * f0 / rate), a0 = 1 + K / Q + K * K;
    return {1, -2, 1, 2 * (K * K - 1) / a0, (1 - K / Q + K * K) / a0};
}

}  // namespace

double IntegratedLoudness(const std::vector<float>& samples, int channels, int rate) {
    const size_t frames = samples.size() / channels;
    std::vector<double> power(frames, 0.0);
    for (int c = 0; c < channels; ++c) {
        TBq s = Shelf(rate), h = HighPass(rate);
        for (size_t i = 0; i < frames; ++i) {
            const double k = h.Run(s.Run(samples[i * channels + c]));
            power[i] += k * k;
        }
    }
    const size_t block = static_cast<size_t>(rate * 0.4), hop = block / 4;
    std::vector<double> blocks;
    for (size_t start = 0; start + block <= frames; start += hop) {
        double sum = 0;
        for (size_t i = start; i < start + block; ++i) sum += power[i];
        blocks.push_back(sum / block);
    }
    const auto lufs = [](double ms) { return -0.691 + 10 * std::log10(ms); };
    double sum = 0;
    int n = 0;
    for (double b : blocks)
        if (lufs(b) > -70) sum += b, ++n;
    if (n == 0) return -HUGE_VAL;
    const double relative = lufs(sum / n) - 10;
    sum = 0;
    n = 0;
    for (double b : blocks)
        if (lufs(b) > -70 && lufs(b) > relative) sum += b, ++n;
    return n ? lufs(sum / n) : -HUGE_VAL;
}

double IntegratedLoudness(const int16_t* samples, size_t frames, int channels, int rate) {
    std::vector<float> f(frames * channels);
    for (size_t i = 0; i < f.size(); ++i) f[i] = samples[i] / 32768.0f;
    return IntegratedLoudness(f, channels, rate);
}

double EburIntegratedLoudness(const int16_t* samples, size_t frames, int channels, int rate) {
    constexpr double fail = std::numeric_limits<double>::quiet_NaN();
    if (channels <= 0 || rate <= 0) return fail;
    const auto destroy = [](ebur128_state* s) { ebur128_destroy(&s); };
    std::unique_ptr<ebur128_state, decltype(destroy)> st(
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), EBUR128_MODE_I), destroy);
    if (!st || ebur128_add_frames_short(st.get(), samples, frames) != EBUR128_SUCCESS) return fail;
    double lufs = fail;
    return ebur128_loudness_global(st.get(), &lufs) == EBUR128_SUCCESS ? lufs : fail;
}

std::vector<int16_t> Programme(int flavour, double lufs, double seconds, int rate) {
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<float> f(frames * 2);
    std::mt19937 gen(1234 + flavour);
    std::normal_distribution<double> noise(0.0, 1.0);
    // Pink-ish noise from a few one-pole sections; the flavour tilts it.
    double p[3] = {}, q[3] = {};
    const double tilt = flavour == 1 ? 0.6 : flavour == 2 ? 1.6 : 1.0;
    const double bass = flavour == 1 ? 0.8 : flavour == 2 ? 0.1 : 0.4;
    const double beatHz = flavour == 2 ? 2.5 : 2.0;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double ch[2];
        for (int c = 0; c < 2; ++c) {
            const double w = noise(gen);
            double& a = c ? q[0] : p[0];
            double& b = c ? q[1] : p[1];
            double& d = c ? q[2] : p[2];
            a = 0.997 * a + 0.03 * w;
            b = 0.95 * b + 0.1 * w;
            d = 0.6 * d + 0.3 * w;
            ch[c] = a + b + tilt * d + 0.15 * tilt * w;
        }
        const double beat = 0.55 + 0.45 * std::pow(0.5 + 0.5 * std::cos(2 * M_PI * beatHz * t), 3);
        const double phrase = 0.75 + 0.25 * std::sin(2 * M_PI * t / 7.0);
        const double line = bass * std::sin(2 * M_PI * (55.0 + 27.5 * std::floor(std::fmod(t, 4.0))) * t) * beat;
        f[2 * i] = static_cast<float>((ch[0] * beat + line) * phrase);
        f[2 * i + 1] = static_cast<float>((0.7 * ch[1] + 0.3 * ch[0]) * beat * phrase + line * phrase);
    }
    const double gain = std::pow(10.0, (lufs - IntegratedLoudness(f, 2, rate)) / 20.0);
    std::vector<int16_t> out(f.size());
    for (size_t i = 0; i < f.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp(std::lround(f[i] * gain * 32768.0), -32768L, 32767L));
    return out;
}

std::vector<int16_t> ClickTrack(double bpm, double seconds, int rate) {
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> out(frames * 2, 0);
    const double period = 60.0 / bpm * rate;
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (double start = 0; start < frames; start += period) {
        const size_t s = static_cast<size_t>(start);
        for (size_t i = 0; i < static_cast<size_t>(0.05 * rate) && s + i < frames; ++i) {
            const double env = std::exp(-static_cast<double>(i) / (0.008 * rate));
            const double v = (0.6 * std::sin(2 * M_PI * 80.0 * i / rate) + 0.3 * noise(gen)) * env * 30000.0;
            out[2 * (s + i)] = out[2 * (s + i) + 1] = static_cast<int16_t>(std::lround(v));
        }
    }
    return out;
}

double RmsDb(const std::vector<int16_t>& samples, int channels, int channel, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count; ++i) {
        const double v = samples[i * channels + channel] / 32768.0;
        sum += v * v;
    }
    return 10 * std::log10(sum / count + 1e-20);
}

double ZeroCrossingFrequency(const std::vector<int16_t>& samples, int channels, int rate, size_t from) {
    const size_t frames = samples.size() / channels;
    size_t first = 0, last = 0;
    int crossings = 0;
    for (size_t i = from + 1; i < frames; ++i) {
        if (samples[(i - 1) * channels] < 0 && samples[i * channels] >= 0) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return static_cast<double>(crossings - 1) * rate / static_cast<double>(last - first);
}

}  // namespace kelvar::test
