#include "audio/nodes/Node_Volume.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

namespace kelvar {

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace

double FadeCurveValue(TFadeCurve Curve, int Elapsed, int Duration, int Depth, bool FadeIn) {
    if (Duration <= 0) {
        Elapsed = 1;  // a fade without length is over
        Duration = 1;
    }
    const double t = static_cast<double>(Elapsed) / Duration;
    double shape;
    switch (Curve) {
        case FadeCurve::Linear: shape = FadeIn ? 100.0 * t : 100.0 - 100.0 * t; break;
        case FadeCurve::FourthPower: {
            const double power = 100.0 * t * t * t * t;
            shape = FadeIn ? power : 100.0 - power;
            break;
        }
        default: {
            const double degrees = FadeIn ? 180.0 * t - 180.0 : 180.0 * t;
            shape = 50.0 * (std::cos(degrees * std::numbers::pi / 180.0) + 1.0);
            break;
        }
    }
    return (100.0 - Depth) + Depth / 100.0 * shape;
}

uint32_t SteadyTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void ApplyGain16(int16_t* Samples, size_t Count, double GainPercent) {
    if (GainPercent == 100.0) return;
    if (GainPercent == 0.0) {
        std::memset(Samples, 0, Count * sizeof(int16_t));
        return;
    }
    for (size_t i = 0; i < Count; ++i) {
        const double scaled = std::nearbyint(Samples[i] * GainPercent / 100.0);
        Samples[i] = static_cast<int16_t>(std::clamp(scaled, -32768.0, 32767.0));
    }
}

// ---- TVolControl

TVolControl::TVolControl(TTickSource Tick) : FTick(Tick ? std::move(Tick) : TTickSource(SteadyTickCount)) {}

double TVolControl::FadeLevel() {
    if (FFadeKind == FadeKind::None) return 100.0;
    return FadeCurveValue(FCurve, FElapsed, FDuration, FDepth, FFadeKind == FadeKind::In);
}

void TVolControl::StartFade(TFadeKind Kind, int Depth, int Duration) {
    TGuard guard(FLock);
    if (FFadeKind == FadeKind::Out && Kind == FadeKind::In) {
        // Start from the level the fade-out reached; the static volume is not part of the
        // fade and would make the level jump (or the depth go negative above 255).
        Depth = std::clamp(static_cast<int>(std::lround(100.0 - FadeLevel())), 0, 100);
    }
    FStartTick = FTick();
    FElapsed = 0;
    FDuration = Duration;
    FDepth = Depth;
    FFadeKind = Kind;
}

void TVolControl::CancelFade() {
    TGuard guard(FLock);
    if (!FHold) FFadeKind = FadeKind::None;
}

double TVolControl::GetGain() {
    TGuard guard(FLock);
    return FVolume / 255.0 * FadeLevel() / 100.0;
}

double TVolControl::Advance(int Ms) {
    TGuard guard(FLock);
    if (FRealTime) {
        const uint32_t passed = FTick() - FStartTick;
        FElapsed = static_cast<int>(std::min<uint32_t>(passed, INT_MAX));
    } else {
        FElapsed = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(FElapsed) + std::max(Ms, 0), INT_MAX));
    }
    if (FElapsed > FDuration) {
        FElapsed = std::max(FDuration, 0);
        if (FFadeKind == FadeKind::In) CancelFade();
    }
    return GetGain();
}

void TVolControl::SetVolume(int Value) {
    TGuard guard(FLock);
    FVolume = Value;
}

void TVolControl::SetCurve(TFadeCurve Value) {
    TGuard guard(FLock);
    FCurve = Value;
}

void TVolControl::SetRealTime(bool Value) {
    TGuard guard(FLock);
    FRealTime = Value;
}

void TVolControl::SetHold(bool Value) {
    TGuard guard(FLock);
    FHold = Value;
}

TFadeKind TVolControl::GetFadeKind() {
    TGuard guard(FLock);
    return FFadeKind;
}

// ---- TNode_Volume

TNode_Volume::TNode_Volume(TTickSource Tick) : FTick(std::move(Tick)) { FControls.reserve(4); }

TNode_Volume::~TNode_Volume() {
    TGuard guard(FLock);
    FControls.clear();
}

int TNode_Volume::Process(void* Buffer, int Length, TStreamTime&, IChunkPtr&) {
    if (Buffer == nullptr || Length <= 0) return 0;
    const int ms = static_cast<int>(BytesToMsRounded(FFormat, Length));
    double gain = 1.0;
    for (auto& control : FControls) gain *= control->Advance(ms);
    const size_t count = static_cast<size_t>(Length) / sizeof(int16_t);
    // Buffers may sit at any byte offset: work on an aligned copy when this one is not.
    if (reinterpret_cast<uintptr_t>(Buffer) % alignof(int16_t) == 0) {
        ApplyGain16(static_cast<int16_t*>(Buffer), count, 100.0 * gain);
    } else {
        int16_t block[512];
        auto* bytes = static_cast<uint8_t*>(Buffer);
        for (size_t done = 0; done < count;) {
            const size_t n = std::min(count - done, std::size(block));
            std::memcpy(block, bytes + done * 2, n * 2);
            ApplyGain16(block, n, 100.0 * gain);
            std::memcpy(bytes + done * 2, block, n * 2);
            done += n;
        }
    }
    return Length;
}

std::string TNode_Volume::GetName() const { return "Volume"; }

bool TNode_Volume::CheckFormat(const TWaveFormat& Format) { return Format.BitsPerSample == 16; }

bool TNode_Volume::Start() {
    Seek();
    return true;
}

void TNode_Volume::Seek() {
    for (auto& control : FControls) control->CancelFade();
}

TVolControl* TNode_Volume::AddVolControl() {
    TGuard guard(FLock);
    FControls.push_back(std::make_unique<TVolControl>(FTick));
    return FControls.back().get();
}

void TNode_Volume::RemoveVolControl(TVolControl*& Control) {
    TGuard guard(FLock);
    auto it = std::find_if(FControls.begin(), FControls.end(),
                           [Control](const std::unique_ptr<TVolControl>& item) { return item.get() == Control; });
    if (it != FControls.end()) FControls.erase(it);
    Control = nullptr;
}

}  // namespace kelvar
