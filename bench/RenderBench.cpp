// The whole deck engine against plain decoding: two MP3 files crossfaded through the default
// deck chains, mixer and silent output (the render tool's path), and the same two files only
// decoded. Both report process CPU time (all threads), so their ratio is the engine's cost.
#include <benchmark/benchmark.h>
#include <lame/lame.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/RenderEngine.h"
#include "media/Decoder_mp3PRO2.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Music-like stereo material: a chord with a beat envelope and some noise, silent edges.
std::vector<int16_t> Material(int seconds, double baseHz, uint32_t seed) {
    const int rate = 44100;
    const size_t frames = static_cast<size_t>(seconds) * rate;
    std::vector<int16_t> out(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double edge = 1.0;
        if (t < 0.7) edge = 0;  // leading silence
        if (t > seconds - 2.0)
            edge = 0;  // trailing silence
        else if (t > seconds - 5.0)
            edge = 0.15;  // quiet outro
        seed = seed * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.1;
        const double beat = 0.6 + 0.4 * std::fabs(std::sin(M_PI * 2 * t));
        const double v = edge * beat *
                         (0.3 * std::sin(2 * M_PI * baseHz * t) + 0.2 * std::sin(2 * M_PI * baseHz * 1.25 * t) +
                          0.15 * std::sin(2 * M_PI * baseHz * 1.5 * t) + noise);
        out[2 * i] = static_cast<int16_t>(v * 32767 * 0.9);
        out[2 * i + 1] = static_cast<int16_t>(v * 32767 * 0.85);
    }
    return out;
}

Bytes EncodeMp3(const std::vector<int16_t>& samples) {
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, 44100);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 192);
    lame_set_quality(lame, 7);
    lame_init_params(lame);
    const int frames = static_cast<int>(samples.size() / 2);
    Bytes out(static_cast<size_t>(1.25 * frames + 7200));
    int n = lame_encode_buffer_interleaved(lame, const_cast<short*>(samples.data()), frames, out.data(),
                                           static_cast<int>(out.size()));
    n += lame_encode_flush(lame, out.data() + n, static_cast<int>(out.size()) - n);
    lame_close(lame);
    out.resize(static_cast<size_t>(std::max(n, 0)));
    return out;
}

struct TFixture {
    TFixture() {
        Folder = std::filesystem::temp_directory_path() / ("kelvar-render-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(Folder);
        for (int i = 0; i < 2; ++i) {
            const std::string path = (Folder / ("song" + std::to_string(i) + ".mp3")).string();
            const Bytes mp3 = EncodeMp3(Material(60, i == 0 ? 220 : 330, 7u + static_cast<uint32_t>(i)));
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(mp3.data()), static_cast<std::streamsize>(mp3.size()));
            Files.push_back(path);
        }
    }
    ~TFixture() {
        if (std::getenv("KELVAR_BENCH_KEEP")) return;  // to render the same files by hand
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }
    std::filesystem::path Folder;
    std::vector<std::string> Files;
};

TFixture& Fixture() {
    static TFixture fixture;
    return fixture;
}

double ProcessCpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Process CPU seconds per decoding run, so the render reports its ratio in the same run.
double GDecodeCpu = 0;

void BM_DecodeOnly(benchmark::State& state) {
    const auto& files = Fixture().Files;
    int64_t bytes = 0;
    const double start = ProcessCpu();
    for (auto _ : state) {
        for (const auto& file : files) {
            kelvar::TDecoder_mp3PRO decoder;
            if (!decoder.Open(file)) state.SkipWithError("open failed");
            while (!decoder.IsEOF()) {
                decoder.Decode([&](const void*, int32_t n, const kelvar::TWaveFormat&) { bytes += n; }, nullptr);
            }
        }
    }
    GDecodeCpu = (ProcessCpu() - start) / static_cast<double>(state.iterations());
    state.counters["audio_s"] = static_cast<double>(bytes) / 176400.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);

void BM_RenderCrossfade(benchmark::State& state) {
    kelvar::render::TRenderOptions options;
    // The decoding side keeps no PCM either: the mix goes through the writer to the null
    // device, so the file system's cost is not counted against the engine. KELVAR_BENCH_KEEP
    // writes it into the folder instead.
    options.Output = std::getenv("KELVAR_BENCH_KEEP") ? (Fixture().Folder / "mix.wav").string() : "/dev/null";
    options.Files = Fixture().Files;
    double audio = 0, wall = 0;
    const double start = ProcessCpu();
    for (auto _ : state) {
        const auto result = kelvar::render::Render(options);
        if (!result.Ok) state.SkipWithError(result.Error.c_str());
        audio += result.AudioSeconds;
        wall += result.WallSeconds;
    }
    state.counters["audio_s"] = audio / static_cast<double>(state.iterations());
    state.counters["realtime"] = wall > 0 ? audio / wall : 0;
    // CPU of a render over CPU of decoding the same files (when both ran).
    const double cpu = (ProcessCpu() - start) / static_cast<double>(state.iterations());
    if (GDecodeCpu > 0) state.counters["x_decode"] = cpu / GDecodeCpu;
}
BENCHMARK(BM_RenderCrossfade)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);

}  // namespace
