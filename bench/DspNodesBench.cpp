// Cost of the channel effect nodes: each iteration runs one second of stereo 16-bit programme
// through the node in 50 ms blocks; "x_realtime" is seconds of audio per second of CPU.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "audio/nodes/Node_AGC.h"
#include "audio/nodes/Node_DSPEffects.h"
#include "audio/nodes/Node_WinampDSPList.h"

namespace {

using namespace kelvar;

std::vector<int16_t> Programme() {
    std::vector<int16_t> s(44100 * 2);
    std::mt19937 gen(5);
    std::normal_distribution<double> noise(0.0, 3000.0);
    for (size_t i = 0; i < s.size() / 2; ++i) {
        const double v = noise(gen) + 6000 * std::sin(2 * M_PI * 110 * i / 44100.0);
        s[2 * i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
        s[2 * i + 1] = static_cast<int16_t>(std::clamp(0.8 * v, -32768.0, 32767.0));
    }
    return s;
}

void RunSecond(benchmark::State& state, TNode& node) {
    node.SetFormat(DefaultAudioFormat);
    node.LockedStart();
    const auto source = Programme();
    std::vector<int16_t> block(2205 * 2);
    for (auto _ : state) {
        for (size_t pos = 0; pos < source.size(); pos += block.size()) {
            std::copy(source.begin() + pos, source.begin() + pos + block.size(), block.begin());
            TStreamTime time = 0;
            IChunkPtr chunk;
            benchmark::DoNotOptimize(node.LockedProcess(block.data(), static_cast<int>(block.size() * 2), time, chunk));
        }
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Equaliser(benchmark::State& state) {
    TNode_DSPEffects node;
    node.SetEQEnabled(true);
    for (int i = 0; i < 10; ++i) node.SetEQBand(i, (i % 3 - 1) * 40);
    RunSecond(state, node);
}
BENCHMARK(BM_Equaliser)->Unit(benchmark::kMillisecond);

void BM_TempoPitch(benchmark::State& state) {
    TNode_DSPEffects node;
    node.SetTempo(8);
    node.SetPitchSemiTones(-1);
    RunSecond(state, node);
}
BENCHMARK(BM_TempoPitch)->Unit(benchmark::kMillisecond);

void BM_ProcessorDefaults(benchmark::State& state) {
    TNode_AGC node;
    node.Enabled = true;
    RunSecond(state, node);
}
BENCHMARK(BM_ProcessorDefaults)->Unit(benchmark::kMillisecond);

void BM_ProcessorEveryStage(benchmark::State& state) {
    TNode_AGC node;
    node.Enabled = true;
    node.SetMultiBandEnabled(true);
    node.SetPreEmphasisEnabled(true);
    node.Apply(-1);
    RunSecond(state, node);
}
BENCHMARK(BM_ProcessorEveryStage)->Unit(benchmark::kMillisecond);

void BM_EmptyPluginChain(benchmark::State& state) {
    auto list = std::make_shared<TWinampDSPList>(TWinampDSPFolders{});
    TNode_WinampDSPList node(list);
    RunSecond(state, node);
}
BENCHMARK(BM_EmptyPluginChain)->Unit(benchmark::kMillisecond);

}  // namespace
