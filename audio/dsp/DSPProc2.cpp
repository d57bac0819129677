#include "audio/dsp/DSPProc2.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

namespace kelvar {

const int EQBandEdges[EQBandCount + 1] = {0, 1, 3, 7, 13, 20, 30, 40, 52, 70, 128};

namespace {

// FFTW's planner is not thread-safe; executing a plan is. One pair of in-place plans serves every
// equaliser through the new-array execute calls (all arrays come from fftwf_malloc, so they share
// the plans' alignment).
struct TPlans {
    fftwf_plan Forward = nullptr;
    fftwf_plan Inverse = nullptr;
};

const TPlans& Plans() {
    static TPlans plans;
    static std::once_flag once;
    std::call_once(once, [] {
        auto* scratch = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * EQFFTSize));
        if (!scratch) throw std::bad_alloc();
        plans.Forward = fftwf_plan_dft_1d(EQFFTSize, scratch, scratch, FFTW_FORWARD, FFTW_ESTIMATE);
        plans.Inverse = fftwf_plan_dft_1d(EQFFTSize, scratch, scratch, FFTW_BACKWARD, FFTW_ESTIMATE);
        fftwf_free(scratch);
    });
    return plans;
}

inline fftwf_complex* AsComplex(float* p) { return reinterpret_cast<fftwf_complex*>(p); }

void Forward(float* data) { fftwf_execute_dft(Plans().Forward, AsComplex(data), AsComplex(data)); }
void Inverse(float* data) { fftwf_execute_dft(Plans().Inverse, AsComplex(data), AsComplex(data)); }

float* AllocComplex() {
    auto* p = static_cast<float*>(fftwf_malloc(sizeof(float) * 2 * EQFFTSize));
    if (!p) throw std::bad_alloc();
    std::memset(p, 0, sizeof(float) * 2 * EQFFTSize);
    return p;
}

}  // namespace

float EQValueToGain(int value) { return EQFlatGain * std::pow(10.0f, static_cast<float>(value) / 100.0f); }

int EQGainToValue(float gain) {
    if (!(gain > 0.0f)) return -1000;  // no gain at all reads as the lowest value a setting can hold
    if (!std::isfinite(gain)) return 1000;
    return static_cast<int>(std::lround(100.0 * std::log10(static_cast<double>(gain) / EQFlatGain)));
}

TEQState::TEQState(int channels) : FChannels(std::max(channels, 10)) {
    Plans();
    FWork = AllocComplex();
    try {
        FKernel = AllocComplex();
    } catch (...) {
        fftwf_free(FWork);
        throw;
    }
    FTails.assign(static_cast<size_t>(FChannels) * EQTailLength, 0.0f);
    FWindow.resize(EQFFTSize);
    for (int t = 0; t < EQFFTSize; ++t) FWindow[t] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * M_PI * t / 66.0));
    // A flat kernel until the first build.
    const float flat[EQBandCount] = {EQFlatGain, EQFlatGain, EQFlatGain, EQFlatGain, EQFlatGain,
                                     EQFlatGain, EQFlatGain, EQFlatGain, EQFlatGain, EQFlatGain};
    BuildKernel(flat);
}

TEQState::~TEQState() {
    fftwf_free(FWork);
    fftwf_free(FKernel);
}

void TEQState::ClearTails() { std::fill(FTails.begin(), FTails.end(), 0.0f); }

void TEQState::BuildKernel(const float gains[EQBandCount]) {
    float* k = FKernel;
    std::memset(k, 0, sizeof(float) * 2 * EQFFTSize);
    for (int j = 0; j < EQBandCount; ++j) {
        float g = gains[j];
        if (!std::isfinite(g) || g < 0.0f) g = 0.0f;
        for (int bin = EQBandEdges[j]; bin < EQBandEdges[j + 1]; ++bin) k[2 * bin] = g / EQFFTSize;
    }
    // Only the real part of the inverse is kept, which mirrors the one-sided spectrum: every bin
    // but DC then counts half (made up by the flat gain of 2). DC is its own mirror, so it takes
    // half its value, else a flat setting would lift the bass by about 1 dB.
    k[0] *= 0.5f;

    // Smooth the upper bins over a width growing with frequency, so band steps don't ring.
    float smooth[EQFFTSize / 2];
    for (int o = 0; o < EQFFTSize / 2; ++o) {
        if (o < 8) {
            smooth[o] = k[2 * o];
            continue;
        }
        const int u = o / 8;
        double sum = 0.0;
        int n = 0;
        for (int b = o - u; b <= o + u; ++b) {
            if (b >= EQFFTSize / 2) break;
            sum += k[2 * b];
            ++n;
        }
        smooth[o] = static_cast<float>(sum / n);
    }
    for (int o = 0; o < EQFFTSize / 2; ++o) k[2 * o] = smooth[o];

    Inverse(k);

    // Real part, centred on tap 32, 65 taps, windowed.
    float taps[EQFFTSize];
    std::fill(taps, taps + EQFFTSize, 0.0f);
    for (int t = 0; t < EQFFTSize; ++t) {
        const int dst = (t + 32) % EQFFTSize;
        if (dst <= 64) taps[dst] = k[2 * t] * FWindow[dst];
    }
    for (int t = 0; t < EQFFTSize; ++t) {
        k[2 * t] = taps[t];
        k[2 * t + 1] = 0.0f;
    }
    Forward(k);
}

float TEQState::KernelMagnitude(int bin) const {
    if (bin < 0 || bin >= EQFFTSize) return 0.0f;
    return std::hypot(FKernel[2 * bin], FKernel[2 * bin + 1]);
}

void TEQState::Process(void* buffer, int32_t bytes, int channels, int bitsPerSample) {
    if (!buffer || bytes <= 0 || channels <= 0) return;
    const int sampleBytes = bitsPerSample / 8;
    if (sampleBytes != 1 && sampleBytes != 2 && !(sampleBytes == 4)) return;
    const int32_t frames = bytes / channels / sampleBytes;
    const int used = std::min(channels, FChannels);
    const float scale = 1.0f / EQFFTSize;
    auto* bytes8 = static_cast<uint8_t*>(buffer);
    auto* s16 = static_cast<int16_t*>(buffer);
    auto* f32 = static_cast<float*>(buffer);

    for (int32_t start = 0; start < frames; start += EQSegmentFrames) {
        const int n = static_cast<int>(std::min<int32_t>(EQSegmentFrames, frames - start));
        for (int c = 0; c < used; ++c) {
            float* w = FWork;
            std::memset(w, 0, sizeof(float) * 2 * EQFFTSize);
            for (int i = 0; i < n; ++i) {
                const size_t idx = static_cast<size_t>(start + i) * channels + c;
                float v;
                if (sampleBytes == 2)
                    v = s16[idx];
                else if (sampleBytes == 1)
                    v = static_cast<float>(bytes8[idx]) - 128.0f;
                else
                    v = std::isfinite(f32[idx]) ? f32[idx] : 0.0f;
                w[2 * i] = v;
            }
            Forward(w);
            for (int b = 0; b < EQFFTSize; ++b) {
                const float re = w[2 * b], im = w[2 * b + 1];
                const float kr = FKernel[2 * b], ki = FKernel[2 * b + 1];
                w[2 * b] = (re * kr - im * ki) * scale;
                w[2 * b + 1] = (re * ki + im * kr) * scale;
            }
            Inverse(w);
            float* tail = &FTails[static_cast<size_t>(c) * EQTailLength];
            for (int i = 0; i < EQTailLength; ++i) w[2 * i] += tail[i];
            for (int i = 0; i < EQTailLength; ++i) tail[i] = w[2 * (n + i)];
            for (int i = 0; i < n; ++i) {
                const size_t idx = static_cast<size_t>(start + i) * channels + c;
                float v = w[2 * i];
                if (!std::isfinite(v)) v = 0.0f;
                if (sampleBytes == 2) {
                    s16[idx] = static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0f, 32767.0f));
                } else if (sampleBytes == 1) {
                    bytes8[idx] = static_cast<uint8_t>(std::clamp(std::nearbyint(v), -128.0f, 127.0f) + 128.0f);
                } else {
                    f32[idx] = v;
                }
            }
        }
    }
}

}  // namespace kelvar
