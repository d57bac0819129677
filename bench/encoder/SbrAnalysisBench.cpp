// Cost of SBR encoding for one second of 44100 Hz stereo at 64 kbit/s (core 22050 Hz). The first
// benchmark runs the analysis stages alone (QMF analysis, transient detection and time grid,
// tonality with noise floor and inverse filtering, coupled envelope quantisation); the second the
// whole frame encoding with delta coding and the element writer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "encoder/SbrConfig.h"
#include "encoder/SbrEncoder.h"
#include "encoder/SbrEnvelope.h"
#include "encoder/SbrFrequencyTables.h"
#include "encoder/SbrQmf.h"
#include "encoder/SbrTimeGrid.h"
#include "encoder/SbrTonality.h"
#include "encoder/SbrTransient.h"

namespace {

using namespace brannoc;

constexpr int kRate = 44100;
constexpr int kFrame = 1152;
constexpr int kFramesPerSecond = (kRate + kFrame - 1) / kFrame;

struct Channel {
    SbrQmfBank bank;
    SbrTransientDetector detector;
    SbrGridGenerator grid;
    SbrTonalityEstimator tonality;
    std::vector<float> energies = std::vector<float>(36 * 64, 0.0f);
    std::vector<float> re = std::vector<float>(kFrame), im = std::vector<float>(kFrame);
    std::vector<float> input = std::vector<float>(kFrame * kFramesPerSecond);
};

void SbrAnalysisStereo64k(benchmark::State& state) {
    SbrConfig config;
    SbrConfigInit(config, 2, 2.0f, 576);
    if (!SbrConfigure(config, 64000, 2, 22050, 0)) {
        state.SkipWithError("no tuning row");
        return;
    }
    SbrBandTables tables;
    tables.sbrRate = kRate;
    SbrBandSettings settings;
    settings.startIndex = config.startIndex;
    settings.stopIndex = config.stopIndex;
    if (!SbrResetTables(tables, settings, 64, true)) {
        state.SkipWithError("band tables refused");
        return;
    }
    SbrEnvelopeBands bands;
    bands.table[0] = tables.low;
    bands.count[0] = tables.lowCount;
    bands.table[1] = tables.high;
    bands.count[1] = tables.highCount;

    Channel ch[2];
    for (int c = 0; c < 2; ++c) {
        SbrQmfInit(ch[c].bank, kFrame);
        SbrTransientInit(ch[c].detector, kFrame, kRate, 64000, 2, 32000, 14000.0f);
        SbrGridInit(ch[c].grid, 0, 1, 1);
        SbrTonalityCreate(ch[c].tonality, kRate, tables.master, tables.masterCount, tables.low, tables.lowCount, 2,
                          config.noiseLevels, config.noiseFloorOffset, 2);
        unsigned seed = 17u + static_cast<unsigned>(c);
        for (size_t i = 0; i < ch[c].input.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            const double noise = static_cast<double>(static_cast<int>((seed >> 16) & 0x7fff) - 16384) / 8.0;
            ch[c].input[i] =
                static_cast<float>(6000.0 * std::sin(2.0 * M_PI * (440.0 + 300.0 * c) * i / kRate) + noise);
        }
    }
    SbrQuantised levels, balances;
    float q[5];
    for (auto _ : state) {
        for (int frame = 0; frame < kFramesPerSecond; ++frame) {
            SbrFrameInfo info[2];
            SbrTransientInfo transient[2];
            for (int c = 0; c < 2; ++c) {
                Channel& x = ch[c];
                std::copy(x.energies.begin() + 18 * 64, x.energies.end(), x.energies.begin());
                SbrQmfAnalyse(x.bank, x.input.data() + frame * kFrame, x.re.data(), x.im.data());
                SbrQmfEnergies(x.energies.data() + 18 * 64, x.re.data(), x.im.data(), 64, 18);
                SbrDetectTransient(x.energies.data(), x.detector, transient[c], 2, 4);
                SbrSplitFrame(x.energies.data(), x.detector, tables.high, tables.highCount, 2, 9, transient[c]);
                info[c] = SbrMakeGrid(x.grid, transient[c]);
                SbrTonalityQuotas(x.tonality, x.re.data(), x.im.data(), 18);
                SbrTonalityFrame(x.tonality, transient[c].flag == 1, false, q);
            }
            float largest = 0.0f;
            SbrQuantiseEnvelope(ch[0].energies.data(), ch[1].energies.data(), info[0], bands, 1, levels, &balances,
                                &largest);
            benchmark::DoNotOptimize(levels);
            benchmark::DoNotOptimize(q);
        }
    }
    state.counters["realtime_x"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(SbrAnalysisStereo64k)->Unit(benchmark::kMillisecond);

// The whole per-frame encoding including delta coding and the element writer with the standard's
// code tables.
void SbrEncodeStereo64k(benchmark::State& state) {
    SbrConfig config;
    SbrConfigInit(config, 2, 2.0f, 576);
    if (!SbrConfigure(config, 64000, 2, 22050, 0)) {
        state.SkipWithError("no tuning row");
        return;
    }
    auto encoder = SbrEncoderCreate(config);
    if (!encoder) {
        state.SkipWithError("encoder refused");
        return;
    }
    std::vector<float> input(static_cast<size_t>(2 * kFrame * kFramesPerSecond));
    unsigned seed = 5;
    for (size_t i = 0; i < input.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        const double noise = static_cast<double>(static_cast<int>((seed >> 16) & 0x7fff) - 16384) / 8.0;
        input[i] = static_cast<float>(6000.0 * std::sin(2.0 * M_PI * 440.0 * (i % kFrame) / kRate) + noise);
    }
    BitBuffer out(8192);
    SbrElementBits bits;
    for (auto _ : state) {
        for (int frame = 0; frame < kFramesPerSecond; ++frame) {
            out.Clear();
            SbrEncodeFrame(*encoder, input.data() + static_cast<size_t>(frame) * 2 * kFrame, out, bits);
            benchmark::DoNotOptimize(bits);
        }
    }
    state.counters["realtime_x"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(SbrEncodeStereo64k)->Unit(benchmark::kMillisecond);

}  // namespace
