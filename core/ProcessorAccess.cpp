#include "core/ProcessorAccess.h"

#include <mutex>

#include "audio/nodes/Node_AGC.h"

namespace kelvar {

bool TProcessorAccess::GetEnabled() { return FNode.Enabled; }

void TProcessorAccess::SetEnabled(bool Value) { FNode.Enabled = Value; }

void TProcessorAccess::SetGatedAGCEnabled(bool Value) { FNode.SetGatedAGCEnabled(Value); }

void TProcessorAccess::SetStereoExpanderEnabled(bool Value) { FNode.SetStereoExpanderEnabled(Value); }

void TProcessorAccess::SetBassEQEnabled(bool Value) { FNode.SetBassEQEnabled(Value); }

void TProcessorAccess::SetPreEmphasisEnabled(bool Value) { FNode.SetPreEmphasisEnabled(Value); }

void TProcessorAccess::SetMultiBandEnabled(bool Value) { FNode.SetMultiBandEnabled(Value); }

void TProcessorAccess::SetDualBandEnabled(bool Value) { FNode.SetDualBandEnabled(Value); }

void TProcessorAccess::SetClipperEnabled(bool Value) { FNode.SetClipperEnabled(Value); }

void TProcessorAccess::SetGateLevel(int Value) { FNode.SetGateLevel(Value); }

void TProcessorAccess::SetMaxGain(int Value) { FNode.SetMaxGain(Value); }

void TProcessorAccess::SetStereoExpanderDepth(int Value) { FNode.SetStereoExpanderDepth(Value); }

void TProcessorAccess::SetBassEQFreq(int Value) { FNode.SetBassEQFreq(Value); }

void TProcessorAccess::SetBassEQGain(int Value) { FNode.SetBassEQGain(Value); }

void TProcessorAccess::SetBassEqType(int Value) { FNode.SetBassEqType(Value); }

void TProcessorAccess::SetPreEmpType(int Value) { FNode.SetPreEmpType(Value); }

void TProcessorAccess::SetLink01(int Value) { FNode.SetLink01(Value); }

void TProcessorAccess::SetLink23(int Value) { FNode.SetLink23(Value); }

void TProcessorAccess::SetLink34(int Value) { FNode.SetLink34(Value); }

void TProcessorAccess::SetStereoExpanderLevel(float Value) { FNode.SetStereoExpanderLevel(Value); }

void TProcessorAccess::SetStereoExpanderThreshold(float Value) { FNode.SetStereoExpanderThreshold(Value); }

void TProcessorAccess::SetMultiBandDrive(float Value) { FNode.SetMultiBandDrive(Value); }

void TProcessorAccess::SetDualBandDrive(float Value) { FNode.SetDualBandDrive(Value); }

void TProcessorAccess::SetClipperLevel(float Value) { FNode.SetClipperLevel(Value); }

TAGCParams TProcessorAccess::GetParams() {
    std::lock_guard<std::recursive_mutex> guard(FNode.GetLock());
    return *FNode.GetParams();
}

void TProcessorAccess::EditParams(const std::function<void(TAGCParams&)>& Change, int32_t Apply) {
    std::lock_guard<std::recursive_mutex> guard(FNode.GetLock());
    // The node owns the block; edits go through its lock and Apply, as the node's own setters do.
    Change(*const_cast<TAGCParams*>(FNode.GetParams()));
    FNode.Apply(Apply);
}

int TProcessorAccess::InputPeak() { return FNode.InputPeak.load(std::memory_order_relaxed); }

int TProcessorAccess::OutputPeak() { return FNode.OutputPeak.load(std::memory_order_relaxed); }

int TProcessorAccess::GetGateLevel() { return FNode.GetGateLevel(); }

TAGCMeters TProcessorAccess::GetMeters() { return FNode.GetMeters(); }

void TProcessorAccess::LoadPreset(const std::string& FileName) { LoadAGCPreset(FNode, FileName); }

void TProcessorAccess::SavePreset(const std::string& FileName) { SaveAGCPreset(FNode, FileName); }

}  // namespace kelvar
