#include "audio/nodes/Node_AGC.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "audio/graph/AudioErrors.h"
#include "audio/nodes/SampleScan.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

namespace {

// Configuration integers are 64-bit; the block holds 32-bit fields.
int32_t ToInt32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

void LoadProcessor(IConfigDoc& Section, TAGCBandProcessor& P) {
    P.Enabled = ToInt32(Section.ReadInteger("Enabled", P.Enabled));
    P.Ratio = static_cast<float>(Section.ReadFloat("Ratio", P.Ratio));
    P.Threshold = static_cast<float>(Section.ReadFloat("Threshold", P.Threshold));
    P.Attack = ToInt32(Section.ReadInteger("Attack", P.Attack));
    P.Attack2 = ToInt32(Section.ReadInteger("Attack2", P.Attack2));
    P.Release = ToInt32(Section.ReadInteger("Release", P.Release));
    P.Release2 = ToInt32(Section.ReadInteger("Release2", P.Release2));
    P.Hold = static_cast<uint32_t>(
        std::clamp<int64_t>(Section.ReadInteger("Hold", P.Hold), 0, std::numeric_limits<uint32_t>::max()));
}

void SaveProcessor(IConfigDoc& Section, const TAGCBandProcessor& P) {
    Section.WriteInteger("Enabled", P.Enabled);
    Section.WriteFloat("Ratio", P.Ratio);
    Section.WriteFloat("Threshold", P.Threshold);
    Section.WriteInteger("Attack", P.Attack);
    Section.WriteInteger("Attack2", P.Attack2);
    Section.WriteInteger("Release", P.Release);
    Section.WriteInteger("Release2", P.Release2);
    Section.WriteInteger("Hold", P.Hold);
}

std::string ProcName(int Band, int Proc) {
    char name[32];
    std::snprintf(name, sizeof(name), "MBand%dProc%d", Band, Proc);
    return name;
}

}  // namespace

TNode_AGC::TNode_AGC(const TAGCLibrary* Library) : FLibrary(Library ? *Library : BuiltInAGCLibrary()) {
    if (!FLibrary.Init || !FLibrary.Quit || !FLibrary.Apply || !FLibrary.Flush || !FLibrary.Process)
        throw EAudioError("The broadcast processor's programming interface is not available");
    FLibrary.Init(&FParams);
    if (!FParams) throw EAudioError("The broadcast processor's programming interface is not available");
    FParams->HostFlag = 1;
    FParams->GatedAGC = 1;
    FParams->StereoExpander = 1;
    FParams->BassEQ = 1;
    FParams->DualBand = 1;
    FParams->Clipper = 1;
    FParams->PreEmphasis = 0;
    FParams->MultiBand = 0;
    FParams->OutputLevel = 100.0f;
    Seek();
}

TNode_AGC::~TNode_AGC() {
    TGuard guard(FLock);
    if (FParams) FLibrary.Quit(&FParams);
}

int TNode_AGC::Process(void* Buffer, int Length, TStreamTime&, IChunkPtr&) {
    if (!Buffer || Length <= 0 || !Enabled || !FParams) return Length;
    const int frameSize = FFormat.BitsPerSample / 8 * FFormat.Channels;
    if (frameSize <= 0) return Length;
    const int frames = Length / frameSize;
    const bool meter = FFormat.BitsPerSample == 16;
    auto peak = [&] {
        int lowest = 0, highest = 0;
        SampleRange16(Buffer, static_cast<size_t>(frames) * FFormat.Channels, lowest, highest);
        return std::max(-lowest, highest);
    };
    if (meter) InputPeak.store(peak(), std::memory_order_relaxed);
    const int32_t done = FLibrary.Process(FParams, Buffer, frames, FFormat.BitsPerSample, FFormat.Channels,
                                          static_cast<int32_t>(FFormat.SamplesPerSec));
    if (meter) OutputPeak.store(peak(), std::memory_order_relaxed);
    // A processor can't have handled more than it was given.
    return std::clamp<int32_t>(done, 0, frames) * frameSize;
}

TAGCMeters TNode_AGC::GetMeters() const {
    TAGCMeters meters;
    if (FLibrary.Meters && FParams) FLibrary.Meters(FParams, &meters);
    return meters;
}

std::string TNode_AGC::GetName() const { return "AGC"; }

bool TNode_AGC::Start() {
    Seek();
    return true;
}

void TNode_AGC::Seek() {
    if (FParams) FLibrary.Flush(FParams);
}

void TNode_AGC::Apply(int32_t Flags) {
    TGuard guard(FLock);
    if (FParams) FLibrary.Apply(FParams, Flags);
}

void TNode_AGC::SetInt(int32_t TAGCParams::*Field, int Value, int Lo, int Hi, int32_t Flag) {
    TGuard guard(FLock);
    FParams->*Field = std::clamp(Value, Lo, Hi);
    if (Flag) FLibrary.Apply(FParams, Flag);
}

void TNode_AGC::SetSingle(float TAGCParams::*Field, float Value, float Lo, float Hi, int32_t Flag) {
    TGuard guard(FLock);
    FParams->*Field = (std::isnan(Value) || Value < Lo) ? Lo : (Value > Hi ? Hi : Value);
    if (Flag) FLibrary.Apply(FParams, Flag);
}

void TNode_AGC::SetSwitch(int32_t TAGCParams::*Field, bool Value) {
    TGuard guard(FLock);
    FParams->*Field = Value ? 1 : 0;
}

bool TNode_AGC::GetSwitch(int32_t TAGCParams::*Field) const { return FParams->*Field == 1; }

void TNode_AGC::SetGatedAGCEnabled(bool Value) { SetSwitch(&TAGCParams::GatedAGC, Value); }
bool TNode_AGC::GetGatedAGCEnabled() const { return GetSwitch(&TAGCParams::GatedAGC); }
void TNode_AGC::SetGateLevel(int Value) { SetInt(&TAGCParams::GateLevel, Value, -90, 0, AGCApply::GatedAGC); }
int TNode_AGC::GetGateLevel() const { return FParams->GateLevel; }
void TNode_AGC::SetMaxGain(int Value) { SetInt(&TAGCParams::MaxGain, Value, 0, 25, AGCApply::GatedAGC); }
int TNode_AGC::GetMaxGain() const { return FParams->MaxGain; }
void TNode_AGC::SetStereoExpanderEnabled(bool Value) { SetSwitch(&TAGCParams::StereoExpander, Value); }
bool TNode_AGC::GetStereoExpanderEnabled() const { return GetSwitch(&TAGCParams::StereoExpander); }
void TNode_AGC::SetStereoExpanderDepth(int Value) {
    SetInt(&TAGCParams::StereoExpanderDepth, Value, 0, 20, AGCApply::StereoExpander);
}
int TNode_AGC::GetStereoExpanderDepth() const { return FParams->StereoExpanderDepth; }
void TNode_AGC::SetStereoExpanderLevel(float Value) { SetSingle(&TAGCParams::StereoExpanderLevel, Value, 0, 100, 0); }
float TNode_AGC::GetStereoExpanderLevel() const { return FParams->StereoExpanderLevel; }
void TNode_AGC::SetStereoExpanderThreshold(float Value) {
    SetSingle(&TAGCParams::StereoExpanderThreshold, Value, -40, 0, AGCApply::StereoExpander);
}
float TNode_AGC::GetStereoExpanderThreshold() const { return FParams->StereoExpanderThreshold; }
void TNode_AGC::SetBassEQEnabled(bool Value) { SetSwitch(&TAGCParams::BassEQ, Value); }
bool TNode_AGC::GetBassEQEnabled() const { return GetSwitch(&TAGCParams::BassEQ); }
void TNode_AGC::SetBassEQFreq(int Value) { SetInt(&TAGCParams::BassEQFreq, Value, 40, 150, AGCApply::BassEQ); }
int TNode_AGC::GetBassEQFreq() const { return FParams->BassEQFreq; }
void TNode_AGC::SetBassEQGain(int Value) { SetInt(&TAGCParams::BassEQGain, Value, 0, 20, AGCApply::BassEQ); }
int TNode_AGC::GetBassEQGain() const { return FParams->BassEQGain; }
void TNode_AGC::SetBassEqType(int Value) { SetInt(&TAGCParams::BassEqType, Value, 0, 1, AGCApply::BassEQ); }
int TNode_AGC::GetBassEqType() const { return FParams->BassEqType; }
void TNode_AGC::SetPreEmphasisEnabled(bool Value) { SetSwitch(&TAGCParams::PreEmphasis, Value); }
bool TNode_AGC::GetPreEmphasisEnabled() const { return GetSwitch(&TAGCParams::PreEmphasis); }
void TNode_AGC::SetPreEmpType(int Value) { SetInt(&TAGCParams::PreEmpType, Value, 0, 1, 0); }
int TNode_AGC::GetPreEmpType() const { return FParams->PreEmpType; }
void TNode_AGC::SetMultiBandEnabled(bool Value) { SetSwitch(&TAGCParams::MultiBand, Value); }
bool TNode_AGC::GetMultiBandEnabled() const { return GetSwitch(&TAGCParams::MultiBand); }
void TNode_AGC::SetMultiBandDrive(float Value) {
    SetSingle(&TAGCParams::MultiBandDrive, Value, 0, 10, AGCApply::MultiBand);
}
float TNode_AGC::GetMultiBandDrive() const { return FParams->MultiBandDrive; }
void TNode_AGC::SetLink01(int Value) { SetInt(&TAGCParams::Link01, Value, 0, 100, 0); }
int TNode_AGC::GetLink01() const { return FParams->Link01; }
void TNode_AGC::SetLink23(int Value) { SetInt(&TAGCParams::Link23, Value, 0, 100, 0); }
int TNode_AGC::GetLink23() const { return FParams->Link23; }
void TNode_AGC::SetLink34(int Value) { SetInt(&TAGCParams::Link34, Value, 0, 100, 0); }
int TNode_AGC::GetLink34() const { return FParams->Link34; }
void TNode_AGC::SetDualBandEnabled(bool Value) { SetSwitch(&TAGCParams::DualBand, Value); }
bool TNode_AGC::GetDualBandEnabled() const { return GetSwitch(&TAGCParams::DualBand); }
void TNode_AGC::SetDualBandDrive(float Value) {
    SetSingle(&TAGCParams::DualBandDrive, Value, -10, 10, AGCApply::DualBand);
}
float TNode_AGC::GetDualBandDrive() const { return FParams->DualBandDrive; }
void TNode_AGC::SetClipperEnabled(bool Value) { SetSwitch(&TAGCParams::Clipper, Value); }
bool TNode_AGC::GetClipperEnabled() const { return GetSwitch(&TAGCParams::Clipper); }
void TNode_AGC::SetClipperLevel(float Value) { SetSingle(&TAGCParams::ClipperLevel, Value, -6, 3, AGCApply::Clipper); }
float TNode_AGC::GetClipperLevel() const { return FParams->ClipperLevel; }
void TNode_AGC::SetOutputLevel(float Value) { SetSingle(&TAGCParams::OutputLevel, Value, 0, 100, 0); }
float TNode_AGC::GetOutputLevel() const { return FParams->OutputLevel; }

void TNode_AGC::LoadConfig(IConfigDoc& Section) {
    TGuard guard(FLock);
    // A value that fails to read half-way leaves the node as it was, not half loaded.
    const TAGCParams before = *FParams;
    const bool wasEnabled = Enabled;
    try {
        LoadSections(Section);
    } catch (...) {
        *FParams = before;
        Enabled = wasEnabled;
        FLibrary.Apply(FParams, AGCApply::All);
        throw;
    }
}

void TNode_AGC::LoadSections(IConfigDoc& Section) {
    const auto readInt = [](IConfigDoc& s, const char* key, int current) {
        return ToInt32(s.ReadInteger(key, current));
    };
    const auto readFloat = [](IConfigDoc& s, const char* key, float current) {
        return static_cast<float>(s.ReadFloat(key, current));
    };
    Enabled = Section.ReadBool("Enabled", Enabled);

    auto agc = Section.Section("GatedAGC");
    SetGatedAGCEnabled(agc->ReadBool("Enabled", GetGatedAGCEnabled()));
    SetGateLevel(readInt(*agc, "GateLevel", GetGateLevel()));
    SetMaxGain(readInt(*agc, "MaxGain", GetMaxGain()));

    auto exp = Section.Section("StereoExpander");
    SetStereoExpanderEnabled(exp->ReadBool("Enabled", GetStereoExpanderEnabled()));
    SetStereoExpanderDepth(readInt(*exp, "Depth", GetStereoExpanderDepth()));
    SetStereoExpanderLevel(readFloat(*exp, "Level", GetStereoExpanderLevel()));
    SetStereoExpanderThreshold(readFloat(*exp, "Threshold", GetStereoExpanderThreshold()));

    auto bass = Section.Section("BassEQ");
    SetBassEQEnabled(bass->ReadBool("Enabled", GetBassEQEnabled()));
    SetBassEQFreq(readInt(*bass, "Freq", GetBassEQFreq()));
    SetBassEQGain(readInt(*bass, "Gain", GetBassEQGain()));
    SetBassEqType(readInt(*bass, "BassEqType", GetBassEqType()));

    auto pre = Section.Section("PreEmphasis");
    SetPreEmphasisEnabled(pre->ReadBool("Enabled", GetPreEmphasisEnabled()));
    SetPreEmpType(readInt(*pre, "PreEmpType", GetPreEmpType()));

    auto multi = Section.Section("MultiBand");
    SetMultiBandEnabled(multi->ReadBool("Enabled", GetMultiBandEnabled()));
    SetLink01(readInt(*multi, "Link01", GetLink01()));
    SetLink23(readInt(*multi, "Link23", GetLink23()));
    SetLink34(readInt(*multi, "Link34", GetLink34()));
    SetMultiBandDrive(readFloat(*multi, "Drive", GetMultiBandDrive()));
    for (int b = 0; b < AGCMultiBands; ++b) {
        const std::string key = "Gain" + std::to_string(b);
        FParams->MultiBandGain[b] = readFloat(*multi, key.c_str(), FParams->MultiBandGain[b]);
    }
    auto multiBands = multi->Section("Bands");
    for (int b = 0; b < AGCMultiBands; ++b)
        for (int p = 0; p < AGCBandProcessors; ++p)
            LoadProcessor(*multiBands->Section(ProcName(b, p)), FParams->MultiBandProc[b][p]);

    auto dual = Section.Section("DualBand");
    SetDualBandEnabled(dual->ReadBool("Enabled", GetDualBandEnabled()));
    SetDualBandDrive(readFloat(*dual, "Drive", GetDualBandDrive()));
    auto dualBands = dual->Section("Bands");
    for (int b = 0; b < AGCDualBands; ++b)
        for (int p = 0; p < AGCBandProcessors; ++p)
            LoadProcessor(*dualBands->Section(ProcName(b, p)), FParams->DualBandProc[b][p]);

    auto clip = Section.Section("Clipper");
    SetClipperEnabled(clip->ReadBool("Enabled", GetClipperEnabled()));
    SetClipperLevel(readFloat(*clip, "Level", GetClipperLevel()));

    auto out = Section.Section("OutputLevel");
    SetOutputLevel(readFloat(*out, "OutputLevel", GetOutputLevel()));

    FLibrary.Apply(FParams, AGCApply::All);
}

void TNode_AGC::SaveConfig(IConfigDoc& Section) {
    TAGCParams p;
    {
        TGuard guard(FLock);
        p = *FParams;
    }
    const auto on = [](int32_t v) { return v == 1; };
    Section.WriteBool("Enabled", Enabled);

    auto agc = Section.Section("GatedAGC");
    agc->WriteBool("Enabled", on(p.GatedAGC));
    agc->WriteInteger("GateLevel", p.GateLevel);
    agc->WriteInteger("MaxGain", p.MaxGain);

    auto exp = Section.Section("StereoExpander");
    exp->WriteBool("Enabled", on(p.StereoExpander));
    exp->WriteInteger("Depth", p.StereoExpanderDepth);
    exp->WriteFloat("Level", p.StereoExpanderLevel);
    exp->WriteFloat("Threshold", p.StereoExpanderThreshold);

    auto bass = Section.Section("BassEQ");
    bass->WriteBool("Enabled", on(p.BassEQ));
    bass->WriteInteger("Freq", p.BassEQFreq);
    bass->WriteInteger("Gain", p.BassEQGain);
    bass->WriteInteger("BassEqType", p.BassEqType);

    auto pre = Section.Section("PreEmphasis");
    pre->WriteBool("Enabled", on(p.PreEmphasis));
    pre->WriteInteger("PreEmpType", p.PreEmpType);

    auto multi = Section.Section("MultiBand");
    multi->WriteBool("Enabled", on(p.MultiBand));
    multi->WriteInteger("Link01", p.Link01);
    multi->WriteInteger("Link23", p.Link23);
    multi->WriteInteger("Link34", p.Link34);
    multi->WriteFloat("Drive", p.MultiBandDrive);
    for (int b = 0; b < AGCMultiBands; ++b) multi->WriteFloat("Gain" + std::to_string(b), p.MultiBandGain[b]);
    auto multiBands = multi->Section("Bands");
    for (int b = 0; b < AGCMultiBands; ++b)
        for (int q = 0; q < AGCBandProcessors; ++q)
            SaveProcessor(*multiBands->Section(ProcName(b, q)), p.MultiBandProc[b][q]);

    auto dual = Section.Section("DualBand");
    dual->WriteBool("Enabled", on(p.DualBand));
    dual->WriteFloat("Drive", p.DualBandDrive);
    auto dualBands = dual->Section("Bands");
    for (int b = 0; b < AGCDualBands; ++b)
        for (int q = 0; q < AGCBandProcessors; ++q)
            SaveProcessor(*dualBands->Section(ProcName(b, q)), p.DualBandProc[b][q]);

    auto clip = Section.Section("Clipper");
    clip->WriteBool("Enabled", on(p.Clipper));
    clip->WriteFloat("Level", p.ClipperLevel);

    auto out = Section.Section("OutputLevel");
    out->WriteFloat("OutputLevel", p.OutputLevel);
}

void LoadAGCPreset(TNode_AGC& Node, const std::string& FileName) {
    try {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(FileName, ec)) return;
        auto doc = TConfigDoc_XML::Create(FileName);
        Node.LockedLoadConfig(*doc->Section("AGC"));
    } catch (...) {
        // A preset that can't be read leaves the node as it was.
    }
}

void SaveAGCPreset(TNode_AGC& Node, const std::string& FileName) {
    try {
        auto doc = TConfigDoc_XML::Create(FileName);
        Node.LockedSaveConfig(*doc->Section("AGC"));
        doc->Save();
    } catch (...) {
        // Saving a preset is best effort.
    }
}

}  // namespace kelvar
