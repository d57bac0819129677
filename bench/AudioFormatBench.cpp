#include <benchmark/benchmark.h>

#include "foundation/AudioFormat.h"

namespace {

// The conversions run for every block that passes a filter.
void BM_BytesToMs(benchmark::State& state) {
    int32_t bytes = 8820;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kelvar::BytesToMs(kelvar::DefaultAudioFormat, bytes));
        bytes ^= 4;
    }
}
BENCHMARK(BM_BytesToMs);

void BM_MsToBytes(benchmark::State& state) {
    int64_t ms = 50;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kelvar::MsToBytes(kelvar::DefaultAudioFormat, ms));
        ms ^= 1;
    }
}
BENCHMARK(BM_MsToBytes);

}  // namespace
