#include "QualityMetrics.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <complex>

std::vector<int16_t> MakeMaterial(int rate, int channels, double seconds) {
    // Chords with harmonics and vibrato over a bass line, with drum-like noise bursts and a hi-hat.
    const int n = static_cast<int>(rate * seconds);
    std::vector<int16_t> pcm(static_cast<size_t>(n) * static_cast<size_t>(channels));
    const double chords[4][3] = {
        {261.63, 329.63, 392.0}, {220.0, 261.63, 329.63}, {174.61, 220.0, 261.63}, {196.0, 246.94, 293.66}};
    uint32_t seed = 1;
    double drum = 0, hat = 0;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const int bar = static_cast<int>(t / 2.0) % 4;
        const double beat = std::fmod(t, 0.5);
        seed = seed * 1664525u + 1013904223u;
        const double white = static_cast<double>(seed >> 8) / (1 << 24) - 0.5;
        if (beat < 1.0 / rate) drum = 1.0;
        drum *= 0.9995;
        if (std::fmod(t, 0.25) < 1.0 / rate) hat = 1.0;
        hat *= 0.998;
        static double hp = 0, prev = 0;
        hp = 0.9 * (hp + white - prev);
        prev = white;
        for (int c = 0; c < channels; ++c) {
            double v = 0;
            for (int k = 0; k < 3; ++k) {
                const double f = chords[bar][k] * (1 + 0.003 * std::sin(2 * M_PI * 5 * t + k));
                for (int h = 1; h <= 8; ++h)
                    if (f * h < rate * 0.45)
                        v += 1800.0 / (h * h * 0.5 + 0.5) * std::sin(2 * M_PI * f * h * t + 0.7 * h * (c + 1));
            }
            const double bass = chords[bar][0] / 2;
            v += 4000 * std::sin(2 * M_PI * bass * t) * (0.6 + 0.4 * std::exp(-4 * beat));
            v += 9000 * drum * white * (c == 0 ? 1.0 : 0.8) + 2500 * hat * hp;
            v *= c == 0 ? 1.0 : 0.9;
            pcm[static_cast<size_t>(i) * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
        }
    }
    return pcm;
}

std::vector<float> DecodeMp3(const std::vector<uint8_t>& mp3, int& rate, int& channels) {
    mpg123_init();
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_QUIET, 0.);
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.);
    mpg123_open_feed(h);
    mpg123_feed(h, mp3.data(), mp3.size());
    std::vector<float> out;
    std::vector<unsigned char> buf(1 << 16);
    for (;;) {
        size_t done = 0;
        const int r = mpg123_read(h, buf.data(), buf.size(), &done);
        const float* f = reinterpret_cast<const float*>(buf.data());
        out.insert(out.end(), f, f + done / sizeof(float));
        if (r == MPG123_NEW_FORMAT) continue;
        if (r != MPG123_OK) break;
    }
    long r = 0;
    int enc = 0;
    mpg123_getformat(h, &r, &channels, &enc);
    rate = static_cast<int>(r);
    mpg123_delete(h);
    return out;
}

namespace {
void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double ang = -2 * M_PI / static_cast<double>(len);
        const std::complex<double> wl(std::cos(ang), std::sin(ang));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

double Bark(double f) { return 13 * std::atan(0.00076 * f) + 3.5 * std::atan(std::pow(f / 7500, 2)); }
}  // namespace

Quality Measure(const std::vector<int16_t>& input, const std::vector<float>& decoded, int channels, int rate,
                double bandTop) {
    Quality q;
    const size_t frames = input.size() / static_cast<size_t>(channels);
    // Lag by cross-correlation of the first channel over a stretch in the middle.
    double best = -1e300;
    const size_t from = frames / 4, to = std::min(frames / 4 + static_cast<size_t>(rate), frames);
    for (int lag = 0; lag < 5000; ++lag) {
        double acc = 0;
        for (size_t i = from; i < to; ++i) {
            const size_t j = (i + static_cast<size_t>(lag)) * static_cast<size_t>(channels);
            if (j >= decoded.size()) break;
            acc += input[i * static_cast<size_t>(channels)] * static_cast<double>(decoded[j]);
        }
        if (acc > best) {
            best = acc;
            q.lag = lag;
        }
    }
    const size_t block = 2048;
    std::vector<double> window(block);
    for (size_t i = 0; i < block; ++i)
        window[i] = 0.5 - 0.5 * std::cos(2 * M_PI * (static_cast<double>(i) + 0.5) / block);
    std::vector<int> barkOf(block / 2 + 1);
    for (size_t k = 0; k <= block / 2; ++k) barkOf[k] = static_cast<int>(Bark(static_cast<double>(k) * rate / block));
    const size_t top = static_cast<size_t>(bandTop * block / rate);
    const size_t lowest = static_cast<size_t>(std::ceil(20.0 * block / rate));
    double signal = 0, noise = 0, nmrSum = 0;
    int nmrCount = 0, above = 0;
    for (int c = 0; c < channels; ++c) {
        for (size_t start = frames / 20; start + block + static_cast<size_t>(q.lag) < frames; start += block / 2) {
            std::vector<std::complex<double>> x(block), e(block);
            bool complete = true;
            for (size_t i = 0; i < block; ++i) {
                const size_t j =
                    (start + i + static_cast<size_t>(q.lag)) * static_cast<size_t>(channels) + static_cast<size_t>(c);
                if (j >= decoded.size()) {
                    complete = false;
                    break;
                }
                const double a = input[(start + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)] / 32768.0;
                x[i] = a * window[i];
                e[i] = (a - decoded[j]) * window[i];
            }
            if (!complete) break;
            Fft(x);
            Fft(e);
            double bandS[26] = {}, bandN[26] = {};
            for (size_t k = lowest; k <= top && k <= block / 2; ++k) {
                const double s = std::norm(x[k]), d = std::norm(e[k]);
                signal += s;
                noise += d;
                bandS[barkOf[k]] += s;
                bandN[barkOf[k]] += d;
            }
            // Mask: the band energies spread over neighbouring bands (-10 dB/Bark upwards, -25 downwards), minus an
            // offset that grows with the band, above a fixed floor.
            for (int b = 0; b < 25; ++b) {
                if (bandS[b] <= 0 && bandN[b] <= 0) continue;
                double mask = 0;
                for (int j = 0; j < 25; ++j) {
                    const int d = b - j;
                    mask += bandS[j] * std::pow(10.0, (d >= 0 ? -10.0 * d : 25.0 * d) / 10.0);
                }
                mask *= std::pow(10.0, -(14.5 + b) / 10.0);
                mask = std::max(mask, 1e-9);
                const double nmr = 10 * std::log10((bandN[b] + 1e-15) / mask);
                nmrSum += nmr;
                ++nmrCount;
                if (nmr > 0) ++above;
            }
        }
    }
    q.snr = 10 * std::log10(signal / (noise + 1e-30));
    q.nmr = nmrCount ? nmrSum / nmrCount : 0;
    q.nmrAbove = nmrCount ? static_cast<double>(above) / nmrCount : 0;
    return q;
}
