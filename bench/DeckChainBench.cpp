#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/graph/Pins_imp.h"
#include "audio/nodes/Node_FadeTrigger.h"
#include "audio/nodes/Node_GapKiller.h"
#include "audio/nodes/Node_Resampler.h"
#include "audio/nodes/Node_VUMeter.h"
#include "audio/nodes/Node_Volume.h"

namespace {

using namespace kelvar;

// One deck's chain as the channel builds it, without the effects that are off by default:
// resampler, gap killer and fade trigger pushed by the worker thread into the bridge; volume and
// VU meter pulled from it by the output thread.
struct TDeckChain {
    explicit TDeckChain(uint32_t inputRate) {
        auto volumeNode = std::make_unique<TNode_Volume>();
        volumeNode->AddVolControl()->SetVolume(180);  // a real gain, not the skipped unity case
        resampler = std::make_shared<TFilter>(std::make_unique<TNode_Resampler>());
        gapKiller = std::make_shared<TFilter>(std::make_unique<TNode_GapKiller>());
        fadeTrigger = std::make_shared<TFilter>(std::make_unique<TNode_FadeTrigger>());
        bridge = std::make_shared<TPinPushPull>();
        volume = std::make_shared<TFilter>(std::move(volumeNode));
        vu = std::make_shared<TFilter>(std::make_unique<TNode_VU>());
        Connect(resampler, gapKiller);
        Connect(gapKiller, fadeTrigger);
        Connect(fadeTrigger, bridge);
        Connect(bridge, volume);
        Connect(volume, vu);
        resampler->SetFormat(MakePcmFormat(inputRate, 2, 16));
        resampler->Start();
    }
    ~TDeckChain() {
        Disconnect(resampler, gapKiller);
        Disconnect(gapKiller, fadeTrigger);
        Disconnect(fadeTrigger, bridge);
        Disconnect(bridge, volume);
        Disconnect(volume, vu);
    }

    std::shared_ptr<TFilter> resampler, gapKiller, fadeTrigger, volume, vu;
    std::shared_ptr<TPinPushPull> bridge;
};

// Music-like input: two tones and a little noise, well above the gap killer's trigger.
std::vector<int16_t> Music(uint32_t rate, size_t frames) {
    std::vector<int16_t> s(frames * 2);
    uint32_t noise = 12345;
    for (size_t i = 0; i < frames; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double t = double(i) / rate;
        const double v = 9000 * std::sin(2 * M_PI * 220 * t) + 4000 * std::sin(2 * M_PI * 1330 * t) +
                         double(int(noise >> 20) - 2048);
        s[2 * i] = static_cast<int16_t>(v);
        s[2 * i + 1] = static_cast<int16_t>(-v);
    }
    return s;
}

// One second of audio per iteration: pushed in decoder-sized blocks of 1152 frames, pulled in
// 50 ms packets as an output thread does.
void BM_DeckChainSecond(benchmark::State& state) {
    const auto rate = static_cast<uint32_t>(state.range(0));
    TDeckChain chain(rate);
    const std::vector<int16_t> second = Music(rate, rate);
    std::vector<int16_t> block(1152 * 2);
    std::vector<uint8_t> packet(8820);
    TStreamTime time = 0;
    double pulledBytes = 0;
    for (auto _ : state) {
        for (size_t at = 0; at < rate; at += 1152) {
            const size_t frames = std::min<size_t>(1152, rate - at);
            std::memcpy(block.data(), &second[2 * at], frames * 4);
            chain.resampler->Push(block.data(), static_cast<int>(frames * 4), time + TStreamTime(at * 1000 / rate));
            TStreamTime pulled = 0;
            int n = 0;
            while ((n = chain.vu->Pull(packet.data(), static_cast<int>(packet.size()), pulled)) > 0) {
                pulledBytes += n;
                benchmark::DoNotOptimize(packet.data());
            }
        }
        time += 1000;
    }
    // Seconds of audio per second of work: how many times faster than real time.
    state.counters["x_realtime"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    // Audio that came out per second pushed (about 1000 ms: the chain delivers it all).
    state.counters["out_ms"] = benchmark::Counter(pulledBytes / (DefaultAudioFormat.AvgBytesPerSec / 1000.0),
                                                  benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DeckChainSecond)->Arg(48000)->Arg(44100)->Unit(benchmark::kMillisecond);

}  // namespace
