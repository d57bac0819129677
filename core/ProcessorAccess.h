#pragma once
// A channel's broadcast processor as its settings page edits it, without the engine's headers:
// the switch that bypasses it, its settings (each clamped by the processor node), its parameter
// block read and edited as a whole, its meters and its preset files.
#include <cstdint>
#include <functional>
#include <string>

#include "audio/dsp/AGCParams.h"

namespace kelvar {

class TNode_AGC;

class TProcessorAccess {
public:
    explicit TProcessorAccess(TNode_AGC& Node) : FNode(Node) {}

    bool GetEnabled();
    void SetEnabled(bool Value);

    void SetGatedAGCEnabled(bool Value);
    void SetStereoExpanderEnabled(bool Value);
    void SetBassEQEnabled(bool Value);
    void SetPreEmphasisEnabled(bool Value);
    void SetMultiBandEnabled(bool Value);
    void SetDualBandEnabled(bool Value);
    void SetClipperEnabled(bool Value);
    void SetGateLevel(int Value);
    void SetMaxGain(int Value);
    void SetStereoExpanderDepth(int Value);
    void SetBassEQFreq(int Value);
    void SetBassEQGain(int Value);
    void SetBassEqType(int Value);
    void SetPreEmpType(int Value);
    void SetLink01(int Value);
    void SetLink23(int Value);
    void SetLink34(int Value);
    void SetStereoExpanderLevel(float Value);
    void SetStereoExpanderThreshold(float Value);
    void SetMultiBandDrive(float Value);
    void SetDualBandDrive(float Value);
    void SetClipperLevel(float Value);

    // A copy of the parameter block, taken under the node's lock.
    TAGCParams GetParams();
    // Change runs on the block under the node's lock; then the processor takes over the stages
    // of Apply (AGCApply).
    void EditParams(const std::function<void(TAGCParams&)>& Change, int32_t Apply);

    // Peaks (16-bit magnitudes) of the last block before and after the processor.
    int InputPeak();
    int OutputPeak();
    int GetGateLevel();
    TAGCMeters GetMeters();

    // The section "AGC" of a preset file; a missing or bad file changes nothing.
    void LoadPreset(const std::string& FileName);
    void SavePreset(const std::string& FileName);

private:
    TNode_AGC& FNode;
};

}  // namespace kelvar
