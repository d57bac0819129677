// Brannoc against LAME 3.100 (-q 5), both single threaded on the same music-like material, both decoded
// by libmpg123 and aligned: band-limited SNR, a noise-to-mask estimate per critical band, and
// encoding speed as a multiple of real time.
#include "BrannocEncode.h"
#include "QualityMetrics.h"
#include "encoder/BrannocLoader.h"

#include <lame/lame.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#ifndef BRANNOC_LIBRARY_PATH
#define BRANNOC_LIBRARY_PATH "libBrannoc.so"
#endif

namespace {
struct Case {
    const char* name;
    int channels;
    uint32_t bitrate;  // 0 = VBR
    uint32_t quality;  // Brannoc VBR quality
    int lameVbr;       // LAME -V
    double bandTop;
};

std::vector<uint8_t> EncodeLame(const std::vector<int16_t>& pcm, int channels, const Case& c, double& seconds) {
    lame_global_flags* gf = lame_init();
    lame_set_num_channels(gf, channels);
    lame_set_in_samplerate(gf, 44100);
    lame_set_out_samplerate(gf, 44100);
    lame_set_quality(gf, 5);
    lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_bWriteVbrTag(gf, 0);
    lame_set_write_id3tag_automatic(gf, 0);
    if (c.bitrate) {
        lame_set_brate(gf, static_cast<int>(c.bitrate / 1000));
    } else {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_q(gf, c.lameVbr);
    }
    lame_init_params(gf);
    const int frames = static_cast<int>(pcm.size() / static_cast<size_t>(channels));
    std::vector<uint8_t> out(static_cast<size_t>(1.25 * frames + 7200));
    const auto start = std::chrono::steady_clock::now();
    int n;
    if (channels == 2)
        n = lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data()), frames, out.data(),
                                           static_cast<int>(out.size()));
    else
        n = lame_encode_buffer(gf, pcm.data(), nullptr, frames, out.data(), static_cast<int>(out.size()));
    n += lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    lame_close(gf);
    out.resize(static_cast<size_t>(n));
    return out;
}

void Report(const char* encoder, const Case& c, const std::vector<int16_t>& pcm, const std::vector<uint8_t>& mp3,
            double seconds, double duration) {
    int rate = 0, channels = 0;
    const std::vector<float> decoded = DecodeMp3(mp3, rate, channels);
    const Quality q = Measure(pcm, decoded, c.channels, 44100, c.bandTop);
    std::printf(
        "%-22s %-8s %7.1f kbit/s  realtime=%6.1f  SNR %6.2f dB  NMR %6.2f dB  bands over mask %5.1f%%  lag %d\n",
        c.name, encoder, mp3.size() * 8.0 / duration / 1000, duration / seconds, q.snr, q.nmr, 100 * q.nmrAbove, q.lag);
}
}  // namespace

int main() {
    const char* path = std::getenv("BRANNOC_LIBRARY");
    brannoc::BrannocLibrary lib(path ? path : BRANNOC_LIBRARY_PATH);
    if (!lib.Api()) {
        std::fprintf(stderr, "bench_encoder: %s\n", lib.Error().c_str());
        return 1;
    }
    const double duration = 20.0;
    const Case cases[] = {
        {"128 kbit/s stereo", 2, 128000, 0, 0, 16000},
        {"64 kbit/s mono", 1, 64000, 0, 0, 11000},
        // VBR at about the same bit rate on both sides.
        {"VBR stereo (q60, -V 6)", 2, 0, 60, 6, 16000},
    };
    for (const Case& c : cases) {
        const std::vector<int16_t> pcm = MakeMaterial(44100, c.channels, duration);
        WavFile wav;
        wav.rate = 44100;
        wav.channels = c.channels;
        wav.format = 0;
        wav.data.assign(reinterpret_cast<const uint8_t*>(pcm.data()),
                        reinterpret_cast<const uint8_t*>(pcm.data()) + pcm.size() * 2);
        EncodeResult best;
        for (int run = 0; run < 3; ++run) {
            EncodeResult r;
            if (!EncodeWav(*lib.Api(), wav, StreamConfig{44100, c.channels == 1 ? 1 : 2, 2, c.bitrate, c.quality}, r)) {
                std::fprintf(stderr, "bench_encoder: %s\n", r.error.c_str());
                return 1;
            }
            if (run == 0 || r.seconds < best.seconds) best = r;
        }
        Report("Brannoc", c, pcm, best.mp3, best.seconds, duration);
        double lameBest = 1e9;
        std::vector<uint8_t> lameMp3;
        for (int run = 0; run < 3; ++run) {
            double s = 0;
            std::vector<uint8_t> m = EncodeLame(pcm, c.channels, c, s);
            if (s < lameBest) {
                lameBest = s;
                lameMp3 = std::move(m);
            }
        }
        Report("LAME", c, pcm, lameMp3, lameBest, duration);
    }
    return 0;
}
