#include "TestStreams.h"

#include "encoder/BrannocLoader.h"

#include <cmath>
#include <cstdlib>
#include <memory>

const EncoderApi& Api() {
    static const std::unique_ptr<brannoc::BrannocLibrary> lib = [] {
        const char* path = std::getenv("BRANNOC_LIBRARY");
        return std::make_unique<brannoc::BrannocLibrary>(path ? path : BRANNOC_LIBRARY_PATH);
    }();
    if (!lib->Api()) std::abort();
    return *lib->Api();
}

std::vector<int16_t> MakeMusic(int rate, int channels, double seconds) {
    const int n = static_cast<int>(rate * seconds);
    std::vector<int16_t> pcm(static_cast<size_t>(n) * channels);
    const double notes[6] = {220.0, 277.18, 329.63, 440.0, 554.37, 659.25};
    uint32_t noise = 12345;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            double v = 0;
            for (int k = 0; k < 3; ++k) {
                const int note = (static_cast<int>(t * 4) + 2 * k + c) % 6;
                const double f = notes[note];
                const double env = std::exp(-3.0 * std::fmod(t * 4, 1.0));
                for (int h = 1; h <= 6; ++h)
                    if (f * h < rate / 2.0) v += 2500.0 / h * env * std::sin(2 * M_PI * f * h * t + c * 0.3);
            }
            noise = noise * 1664525u + 1013904223u;
            const double white = (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
            if (std::fmod(t, 1.0) > 0.6 && std::fmod(t, 1.0) < 0.7)
                v += 6000 * white;  // a burst of noise
            else
                v += 300 * white;
            if (i % (rate / 2) == 0) v += 12000;  // clicks
            pcm[static_cast<size_t>(i) * channels + c] =
                static_cast<int16_t>(std::lround(std::fmax(-32768, std::fmin(32767, v))));
        }
    }
    return pcm;
}

EncodedStream EncodeStream(const std::vector<int16_t>& pcm, int rate, int channels, const StreamSettings& s) {
    EncodedStream r;
    const EncoderApi& api = Api();
    EncoderHandle h = api.EncoderOpen(static_cast<uint32_t>(rate), static_cast<uint32_t>(channels), 0);
    if (!h) {
        r.error = "open refused";
        return r;
    }
    StreamConfig cfg = s.config;
    if (!api.EncoderSetConfig(h, &cfg)) {
        r.error = "configuration refused";
        api.EncoderClose(h);
        return r;
    }
    AdvancedSettings adv = *api.EncoderGetAdvanced(h);
    adv.Crc = s.crc;
    adv.TotalLength = s.totalLength;
    adv.PaddingMode = s.paddingMode;
    adv.Option1 = s.allowIntensity ? 1 : 0;
    adv.Option0 = s.option0;
    if (!api.EncoderSetAdvanced(h, &adv)) {
        r.error = "advanced settings refused";
        api.EncoderClose(h);
        return r;
    }
    r.config = cfg;
    r.delay = api.EncoderGetAdvanced(h)->EncoderDelay;
    std::vector<uint8_t> out(1 << 16);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
    const size_t total = pcm.size() * 2;
    size_t pos = 0;
    std::vector<uint8_t> stream;
    while (pos < total) {
        int32_t consumed = 0;
        // Odd slices exercise partly filled blocks.
        const size_t slice = std::min(total - pos, static_cast<size_t>(channels) * 2 * 1000);
        const int32_t n = api.EncoderEncode(h, bytes + pos, static_cast<int32_t>(slice), &consumed, out.data(),
                                            static_cast<int32_t>(out.size()), nullptr, nullptr);
        if (n < 0 || consumed <= 0) {
            r.error = "encode failed";
            api.EncoderClose(h);
            return r;
        }
        stream.insert(stream.end(), out.begin(), out.begin() + n);
        pos += static_cast<size_t>(consumed);
    }
    for (int idle = 0; idle < 3;) {
        int32_t consumed = 0;
        const int32_t n =
            api.EncoderEncode(h, nullptr, 0, &consumed, out.data(), static_cast<int32_t>(out.size()), nullptr, nullptr);
        if (n < 0) {
            r.error = "flush failed";
            api.EncoderClose(h);
            return r;
        }
        idle = n == 0 ? idle + 1 : 0;
        stream.insert(stream.end(), out.begin(), out.begin() + n);
    }
    const int32_t vbri = api.EncoderGetVbriHeader(h, nullptr, 0);
    if (vbri > 0) {
        r.bytes.resize(static_cast<size_t>(vbri));
        api.EncoderGetVbriHeader(h, r.bytes.data(), vbri);
    }
    r.bytes.insert(r.bytes.end(), stream.begin(), stream.end());
    api.EncoderClose(h);
    r.ok = true;
    return r;
}

double AlignedSnr(const std::vector<int16_t>& input, const std::vector<float>& decoded, int channels, int expectedLag) {
    const size_t frames = input.size() / static_cast<size_t>(channels);
    double best = -1e9;
    for (int lag = std::max(0, expectedLag - 600); lag <= expectedLag + 600; ++lag) {
        double s = 0, e = 0;
        for (size_t i = frames / 10; i + frames / 10 < frames; ++i)
            for (int c = 0; c < channels; ++c) {
                const size_t j =
                    (i + static_cast<size_t>(lag)) * static_cast<size_t>(channels) + static_cast<size_t>(c);
                if (j >= decoded.size()) continue;
                const double x = input[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] / 32768.0;
                const double d = x - decoded[j];
                s += x * x;
                e += d * d;
            }
        best = std::max(best, 10 * std::log10(s / (e + 1e-30)));
    }
    return best;
}
