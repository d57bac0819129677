#pragma once
// The gain stage of deck and voice chains: any number of independent gain envelopes, each a
// static volume with an optional fade, multiplied together over blocks of 16-bit samples.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/graph/Pins.h"

namespace kelvar {

// 1 linear, 2 cosine (the default), 3 fourth power; any other value acts as cosine.
using TFadeCurve = uint8_t;
// 0 no fade, 1 fading in, 2 fading out.
using TFadeKind = uint8_t;

namespace FadeCurve {
constexpr TFadeCurve Linear = 1;
constexpr TFadeCurve Cosine = 2;
constexpr TFadeCurve FourthPower = 3;
}  // namespace FadeCurve

namespace FadeKind {
constexpr TFadeKind None = 0;
constexpr TFadeKind In = 1;
constexpr TFadeKind Out = 2;
}  // namespace FadeKind

// The level in percent at Elapsed of a fade of Duration ms going Depth percent deep.
double FadeCurveValue(TFadeCurve Curve, int Elapsed, int Duration, int Depth, bool FadeIn);

// Milliseconds of a monotonic clock; an envelope in real-time mode times its fade by it.
using TTickSource = std::function<uint32_t()>;
uint32_t SteadyTickCount();

// One gain envelope. Every field is read and written under the envelope's own lock: fades are
// started from the main thread and from the output thread while the output thread processes.
class TVolControl {
public:
    explicit TVolControl(TTickSource Tick = nullptr);
    TVolControl(const TVolControl&) = delete;
    TVolControl& operator=(const TVolControl&) = delete;

    // Kind 0 ends any fade. A fade-in that interrupts a fade-out starts from the present
    // fade level.
    void StartFade(TFadeKind Kind, int Depth, int Duration);
    // Does nothing while Hold is set.
    void CancelFade();
    // Gain factor: Volume / 255 times the fade level.
    double GetGain();
    // Moves the fade on by Ms (or to the clock in real-time mode); answers the gain.
    double Advance(int Ms);

    void SetVolume(int Value);
    void SetCurve(TFadeCurve Value);
    void SetRealTime(bool Value);
    void SetHold(bool Value);
    TFadeKind GetFadeKind();

private:
    double FadeLevel();  // percent, under the lock

    std::recursive_mutex FLock;
    TTickSource FTick;
    int FVolume = 255;
    TFadeCurve FCurve = FadeCurve::Cosine;
    int FDepth = 0;
    int FDuration = 0;
    TFadeKind FFadeKind = FadeKind::None;
    int FElapsed = 0;
    bool FRealTime = false;
    uint32_t FStartTick = 0;
    bool FHold = false;
};

class TNode_Volume : public TNode {
public:
    // Tick: the clock of the envelopes in real-time mode (the steady clock when none).
    explicit TNode_Volume(TTickSource Tick = nullptr);
    ~TNode_Volume() override;

    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;
    // 16-bit samples only.
    bool CheckFormat(const TWaveFormat& Format) override;
    bool Start() override;
    // Cancels every envelope's fade (those with Hold set keep it).
    void Seek() override;

    // A new envelope with its defaults; the node keeps ownership.
    TVolControl* AddVolControl();
    // Frees the envelope and clears the caller's reference.
    void RemoveVolControl(TVolControl*& Control);

private:
    TTickSource FTick;
    std::vector<std::unique_ptr<TVolControl>> FControls;
};

// Applies a gain in percent to 16-bit samples in place (100 leaves them, 0 clears them).
void ApplyGain16(int16_t* Samples, size_t Count, double GainPercent);

}  // namespace kelvar
