// Cost of the mixer: six channels mixed into the on-air mix and a separately built preview mix,
// per second of audio (100 blocks of 10 ms).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/mix/Channel_imp.h"
#include "audio/mix/Mixer_imp.h"

namespace {

using namespace kelvar;

constexpr int kBlock = 1764;
constexpr int kBlocksPerSecond = 100;

// Flags of the six inputs: on air, preview, both, on air, on air, both.
const uint8_t kFlags[6] = {3, 5, 7, 3, 3, 7};

std::vector<int16_t> Tone(int Frames, double Hz) {
    std::vector<int16_t> s(static_cast<size_t>(Frames) * 2);
    for (int i = 0; i < Frames; ++i)
        s[2 * i] = s[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * Hz * i / 44100));
    return s;
}

// Mixer inputs over sources that are always full: the mixer's own cost.
void BM_Mix6Inputs(benchmark::State& State) {
    TMixer mixer;
    mixer.SetPreviewEnabled(true);
    const auto tone = Tone(kBlock / 4, 440);
    std::vector<std::shared_ptr<TPinSource>> sources;
    std::vector<TFilter_MixModePtr> inputs;
    for (int i = 0; i < 6; ++i) {
        sources.push_back(std::make_shared<TPinSource>(
            [&tone](void* Buffer, int Length, TStreamTime&) {
                std::memcpy(Buffer, tone.data(), static_cast<size_t>(Length));
                return Length;
            },
            [] { return DefaultAudioFormat; }, nullptr));
        inputs.push_back(std::make_shared<TFilter_MixMode>());
        Connect(sources.back(), inputs.back());
        inputs.back()->SetFormat(DefaultAudioFormat);
        inputs.back()->Start();
        inputs.back()->SetMixMode(kFlags[i]);
        mixer.AddSource(inputs.back());
    }
    std::vector<uint8_t> onAir(kBlock), preview(kBlock);
    TStreamTime t = 0;
    for (auto _ : State) {
        for (int b = 0; b < kBlocksPerSecond; ++b) {
            mixer.Mix(onAir.data(), kBlock, t);
            mixer.ReadPreview(preview.data(), kBlock, t);
        }
        benchmark::DoNotOptimize(onAir.data());
    }
    State.SetLabel("per second of audio");
}
BENCHMARK(BM_Mix6Inputs)->Unit(benchmark::kMicrosecond);

// Six whole deck channels (every node of their chains after the bridge) through the master
// chain, as the output thread pulls them.
void BM_Mix6PlayerChannels(benchmark::State& State) {
    TMixer mixer;
    mixer.SetPreviewEnabled(true);
    std::vector<std::unique_ptr<TChannel_player>> decks;
    for (int i = 0; i < 6; ++i) {
        decks.push_back(std::make_unique<TChannel_player>());
        decks.back()->SetMixMode(kFlags[i]);
        mixer.AddSource(decks.back()->GetOutput());
    }
    auto second = Tone(44100, 440);
    std::vector<uint8_t> onAir(kBlock), preview(kBlock);
    TStreamTime t = 0;
    auto master = mixer.GetMasterOutput();
    for (auto _ : State) {
        State.PauseTiming();
        for (auto& deck : decks) {
            for (size_t i = 0; i < second.size(); i += 4410) deck->GetInput()->Push(second.data() + i, 4410 * 2, 0);
        }
        State.ResumeTiming();
        for (int b = 0; b < kBlocksPerSecond; ++b) {
            master->Pull(onAir.data(), kBlock, t);
            mixer.ReadPreview(preview.data(), kBlock, t);
        }
        benchmark::DoNotOptimize(onAir.data());
    }
    State.SetLabel("per second of audio");
}
BENCHMARK(BM_Mix6PlayerChannels)->Unit(benchmark::kMicrosecond);

}  // namespace
