#include "audio/dsp/DspFX.h"

#include <BPMDetect.h>
#include <SoundTouch.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

namespace kelvar::dspfx {

namespace {

constexpr int32_t MaxHandles = 256;
// Frames converted per step, so the scratch buffers never grow with the caller's block.
constexpr int32_t ScratchFrames = 2048;

struct TFXStream {
    soundtouch::SoundTouch Touch;
    int32_t Channels = 0;
    int32_t SampleRate = 0;
    std::vector<float> Scratch = std::vector<float>(static_cast<size_t>(ScratchFrames) * MaxChannels);
};

struct TBPMStream {
    std::unique_ptr<soundtouch::BPMDetect> Detect;
    int32_t Channels = 0;
    std::vector<float> Scratch = std::vector<float>(static_cast<size_t>(ScratchFrames) * MaxChannels);
};

template <typename T>
class THandleTable {
public:
    int32_t Add(T* item) {
        for (int32_t i = 0; i < MaxHandles; ++i) {
            T* expected = nullptr;
            if (FSlots[i].compare_exchange_strong(expected, item)) return i + 1;
        }
        return 0;
    }
    T* Get(int32_t handle) const {
        if (handle < 1 || handle > MaxHandles) return nullptr;
        return FSlots[handle - 1].load(std::memory_order_acquire);
    }
    T* Take(int32_t handle) {
        if (handle < 1 || handle > MaxHandles) return nullptr;
        return FSlots[handle - 1].exchange(nullptr);
    }

private:
    std::array<std::atomic<T*>, MaxHandles> FSlots{};
};

THandleTable<TFXStream>& FXTable() {
    static THandleTable<TFXStream> table;
    return table;
}

THandleTable<TBPMStream>& BPMTable() {
    static THandleTable<TBPMStream> table;
    return table;
}

// SoundTouch throws std::runtime_error on calls it cannot serve (no channels set, say); no
// exception may leave these entry points.
template <typename F>
auto Guard(F&& call, decltype(call()) fallback) noexcept -> decltype(call()) {
    try {
        return call();
    } catch (...) {
        return fallback;
    }
}

inline float ToFloat(int16_t s) { return static_cast<float>(s) * (1.0f / 32768.0f); }

inline int16_t ToInt16(float v) {
    if (!(v == v)) return 0;
    const float s = std::nearbyint(v * 32768.0f);
    return static_cast<int16_t>(std::clamp(s, -32768.0f, 32767.0f));
}

float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }

}  // namespace

void BPM_Open(int32_t* handle, int32_t sampleRate, int32_t channels) {
    if (!handle) return;
    *handle = 0;
    if (sampleRate <= 0 || channels <= 0 || channels > MaxChannels) return;
    Guard(
        [&] {
            auto stream = std::make_unique<TBPMStream>();
            stream->Detect = std::make_unique<soundtouch::BPMDetect>(channels, sampleRate);
            stream->Channels = channels;
            const int32_t h = BPMTable().Add(stream.get());
            if (h) stream.release();
            *handle = h;
            return 0;
        },
        0);
}

void BPM_Process(int32_t handle, int16_t* samples, int32_t bytes) {
    TBPMStream* stream = BPMTable().Get(handle);
    if (!stream || !samples || bytes <= 0) return;
    const int32_t frames = bytes / 2 / stream->Channels;
    Guard(
        [&] {
            for (int32_t done = 0; done < frames;) {
                const int32_t n = std::min(ScratchFrames, frames - done);
                const int16_t* src = samples + static_cast<size_t>(done) * stream->Channels;
                for (int32_t i = 0; i < n * stream->Channels; ++i) stream->Scratch[i] = ToFloat(src[i]);
                stream->Detect->inputSamples(stream->Scratch.data(), n);
                done += n;
            }
            return 0;
        },
        0);
}

double BPM_Close(int32_t* handle) {
    if (!handle) return 0.0;
    std::unique_ptr<TBPMStream> stream(BPMTable().Take(*handle));
    *handle = 0;
    if (!stream) return 0.0;
    const double bpm = Guard([&] { return static_cast<double>(stream->Detect->getBpm()); }, 0.0);
    return std::isfinite(bpm) && bpm > 0.0 ? bpm : 0.0;
}

void FX_Open(int32_t* handle) {
    if (!handle) return;
    *handle = 0;
    Guard(
        [&] {
            auto stream = std::make_unique<TFXStream>();
            const int32_t h = FXTable().Add(stream.get());
            if (h) stream.release();
            *handle = h;
            return 0;
        },
        0);
}

void FX_Close(int32_t* handle) {
    if (!handle) return;
    std::unique_ptr<TFXStream> stream(FXTable().Take(*handle));
    *handle = 0;
}

#define KELVAR_FX_CALL(handle, body)          \
    do {                                      \
        TFXStream* s = FXTable().Get(handle); \
        if (!s) break;                        \
        Guard(                                \
            [&] {                             \
                body;                         \
                return 0;                     \
            },                                \
            0);                               \
    } while (0)

void FX_setRate(int32_t handle, float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) return;
    KELVAR_FX_CALL(handle, s->Touch.setRate(rate));
}

void FX_setTempo(int32_t handle, float tempo) {
    if (!(tempo > 0.0f) || !std::isfinite(tempo)) return;
    KELVAR_FX_CALL(handle, s->Touch.setTempo(tempo));
}

void FX_setRateChange(int32_t handle, float percent) {
    KELVAR_FX_CALL(handle, s->Touch.setRateChange(std::clamp(Finite(percent), -95.0f, 1000.0f)));
}

void FX_setTempoChange(int32_t handle, float percent) {
    KELVAR_FX_CALL(handle, s->Touch.setTempoChange(std::clamp(Finite(percent), -95.0f, 1000.0f)));
}

void FX_setPitch(int32_t handle, float pitch) {
    if (!(pitch > 0.0f) || !std::isfinite(pitch)) return;
    KELVAR_FX_CALL(handle, s->Touch.setPitch(pitch));
}

void FX_setPitchOctaves(int32_t handle, float octaves) {
    KELVAR_FX_CALL(handle, s->Touch.setPitchOctaves(std::clamp(Finite(octaves), -4.0f, 4.0f)));
}

void FX_setPitchSemiTones(int32_t handle, int32_t semitones) {
    KELVAR_FX_CALL(handle, s->Touch.setPitchSemiTones(std::clamp(semitones, -48, 48)));
}

void FX_setPitchSemiTonesF(int32_t handle, float semitones) {
    KELVAR_FX_CALL(handle, s->Touch.setPitchSemiTones(std::clamp(Finite(semitones), -48.0f, 48.0f)));
}

void FX_setChannels(int32_t handle, int32_t channels) {
    if (channels <= 0 || channels > MaxChannels) return;
    KELVAR_FX_CALL(handle, s->Touch.setChannels(static_cast<unsigned>(channels)); s->Channels = channels);
}

void FX_setSampleRate(int32_t handle, int32_t sampleRate) {
    if (sampleRate <= 0) return;
    KELVAR_FX_CALL(handle, s->Touch.setSampleRate(static_cast<unsigned>(sampleRate)); s->SampleRate = sampleRate);
}

void FX_flush(int32_t handle) { KELVAR_FX_CALL(handle, if (s->Channels > 0 && s->SampleRate > 0) s->Touch.flush()); }

void FX_putSamples(int32_t handle, const int16_t* samples, int32_t frames) {
    if (!samples || frames <= 0) return;
    KELVAR_FX_CALL(handle, {
        if (s->Channels <= 0 || s->SampleRate <= 0) return 0;
        for (int32_t done = 0; done < frames;) {
            const int32_t n = std::min(ScratchFrames, frames - done);
            const int16_t* src = samples + static_cast<size_t>(done) * s->Channels;
            for (int32_t i = 0; i < n * s->Channels; ++i) s->Scratch[i] = ToFloat(src[i]);
            s->Touch.putSamples(s->Scratch.data(), static_cast<unsigned>(n));
            done += n;
        }
    });
}

void FX_clear(int32_t handle) { KELVAR_FX_CALL(handle, s->Touch.clear()); }

int32_t FX_setSetting(int32_t handle, int32_t settingId, int32_t value) {
    int32_t result = 0;
    KELVAR_FX_CALL(handle, result = s->Touch.setSetting(settingId, value) ? 1 : 0);
    return result;
}

int32_t FX_getSetting(int32_t handle, int32_t settingId) {
    int32_t result = 0;
    KELVAR_FX_CALL(handle, result = s->Touch.getSetting(settingId));
    return result;
}

int32_t FX_receiveSamples(int32_t handle, int16_t* buffer, int32_t maxFrames) {
    if (!buffer || maxFrames <= 0) return 0;
    int32_t received = 0;
    KELVAR_FX_CALL(handle, {
        if (s->Channels <= 0) return 0;
        while (received < maxFrames) {
            const int32_t want = std::min(ScratchFrames, maxFrames - received);
            const int32_t got =
                static_cast<int32_t>(s->Touch.receiveSamples(s->Scratch.data(), static_cast<unsigned>(want)));
            if (got <= 0) break;
            int16_t* dst = buffer + static_cast<size_t>(received) * s->Channels;
            for (int32_t i = 0; i < got * s->Channels; ++i) dst[i] = ToInt16(s->Scratch[i]);
            received += got;
            if (got < want) break;
        }
    });
    return received;
}

int32_t FX_receiveSamplesZero(int32_t handle, int32_t maxFrames) {
    if (maxFrames <= 0) return 0;
    int32_t result = 0;
    KELVAR_FX_CALL(handle, result = static_cast<int32_t>(s->Touch.receiveSamples(static_cast<unsigned>(maxFrames))));
    return result;
}

int32_t FX_numSamples(int32_t handle) {
    int32_t result = 0;
    KELVAR_FX_CALL(handle, result = static_cast<int32_t>(s->Touch.numSamples()));
    return result;
}

int32_t FX_isEmpty(int32_t handle) {
    int32_t result = 1;
    KELVAR_FX_CALL(handle, result = s->Touch.isEmpty());
    return result;
}

#undef KELVAR_FX_CALL

}  // namespace kelvar::dspfx
