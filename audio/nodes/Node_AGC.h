#pragma once
// The broadcast processor node of every channel. It owns the processor's parameter block,
// clamps every setting into it, tells the processor which stage changed, and keeps all
// settings in its section "AGC" and in preset files. Disabled, it passes audio unchanged.
#include <atomic>
#include <string>

#include "audio/dsp/ProcAGC.h"
#include "audio/graph/Pins.h"

namespace kelvar {

class TNode_AGC : public TNode {
public:
    // Library: the processor's entry points (our own processor when none). Raises EAudioError
    // when the processor's programming interface is unavailable.
    explicit TNode_AGC(const TAGCLibrary* Library = nullptr);
    ~TNode_AGC() override;

    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;
    bool Start() override;
    void Seek() override;
    void LoadConfig(IConfigDoc& Section) override;
    void SaveConfig(IConfigDoc& Section) override;

    // Asks the processor to take over the stages named by Flags (AGCApply).
    void Apply(int32_t Flags);

    std::atomic<bool> Enabled{false};
    // Peaks (16-bit magnitudes) of the last block before and after the processor, for the
    // editor's meters; written by the audio thread without the lock.
    std::atomic<int> InputPeak{0};
    std::atomic<int> OutputPeak{0};
    // The processor's own levels (defaults when it has none); never waits for the audio thread.
    TAGCMeters GetMeters() const;

    void SetGatedAGCEnabled(bool Value);
    bool GetGatedAGCEnabled() const;
    void SetGateLevel(int Value);  // dB, -90..0
    int GetGateLevel() const;
    void SetMaxGain(int Value);  // dB, 0..25
    int GetMaxGain() const;
    void SetStereoExpanderEnabled(bool Value);
    bool GetStereoExpanderEnabled() const;
    void SetStereoExpanderDepth(int Value);  // 0..20
    int GetStereoExpanderDepth() const;
    void SetStereoExpanderLevel(float Value);  // 0..100
    float GetStereoExpanderLevel() const;
    void SetStereoExpanderThreshold(float Value);  // dB, -40..0
    float GetStereoExpanderThreshold() const;
    void SetBassEQEnabled(bool Value);
    bool GetBassEQEnabled() const;
    void SetBassEQFreq(int Value);  // Hz, 40..150
    int GetBassEQFreq() const;
    void SetBassEQGain(int Value);  // dB, 0..20
    int GetBassEQGain() const;
    void SetBassEqType(int Value);  // 0 shelving, 1 peak
    int GetBassEqType() const;
    void SetPreEmphasisEnabled(bool Value);
    bool GetPreEmphasisEnabled() const;
    void SetPreEmpType(int Value);  // 0 = 50 us, 1 = 75 us
    int GetPreEmpType() const;
    void SetMultiBandEnabled(bool Value);
    bool GetMultiBandEnabled() const;
    void SetMultiBandDrive(float Value);  // 0..10
    float GetMultiBandDrive() const;
    void SetLink01(int Value);  // percent
    int GetLink01() const;
    void SetLink23(int Value);
    int GetLink23() const;
    void SetLink34(int Value);
    int GetLink34() const;
    void SetDualBandEnabled(bool Value);
    bool GetDualBandEnabled() const;
    void SetDualBandDrive(float Value);  // -10..10
    float GetDualBandDrive() const;
    void SetClipperEnabled(bool Value);
    bool GetClipperEnabled() const;
    void SetClipperLevel(float Value);  // dB, -6..3
    float GetClipperLevel() const;
    void SetOutputLevel(float Value);  // percent, 0..100
    float GetOutputLevel() const;

    // The parameter block as it stands (read without the lock, like the getters).
    const TAGCParams* GetParams() const { return FParams; }

private:
    void LoadSections(IConfigDoc& Section);
    void SetInt(int32_t TAGCParams::*Field, int Value, int Lo, int Hi, int32_t Flag);
    void SetSingle(float TAGCParams::*Field, float Value, float Lo, float Hi, int32_t Flag);
    void SetSwitch(int32_t TAGCParams::*Field, bool Value);
    bool GetSwitch(int32_t TAGCParams::*Field) const;

    TAGCLibrary FLibrary;
    TAGCParams* FParams = nullptr;
};

// Loads the section "AGC" of a preset file into Node; a missing or bad file changes nothing.
void LoadAGCPreset(TNode_AGC& Node, const std::string& FileName);
// Saves Node into the section "AGC" of a preset file; failures are swallowed.
void SaveAGCPreset(TNode_AGC& Node, const std::string& FileName);

}  // namespace kelvar
