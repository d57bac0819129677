#include "audio/nodes/Node_DSPEffects.h"

#include <algorithm>

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

TNode_DSPEffects::TNode_DSPEffects() : FDSP(std::make_unique<TDSPObj>()) {}

TNode_DSPEffects::~TNode_DSPEffects() {
    TGuard guard(FLock);
    FDSP.reset();
}

int TNode_DSPEffects::Process(void* Buffer, int Length, TStreamTime&, IChunkPtr& Chunk) {
    if (!Buffer || Length <= 0) return 0;
    return FDSP->Process(Buffer, Length, Chunk);
}

std::string TNode_DSPEffects::GetName() const { return "DSPEffects"; }

bool TNode_DSPEffects::Start() {
    FDSP->Open(FFormat);
    return true;
}

void TNode_DSPEffects::Stop() { FDSP->Close(); }

void TNode_DSPEffects::Seek() { FDSP->Flush(); }

void TNode_DSPEffects::LoadConfig(IConfigDoc& Section) {
    FDSP->SetEQEnabled(Section.ReadBool("EQ_Enabled", FDSP->GetEQEnabled()));
    for (int i = 0; i < EQBandCount; ++i) {
        const int64_t value = Section.ReadInteger("EQ" + std::to_string(i), FDSP->GetEQBand(i));
        // A band beyond +-60 dB is no setting anyone made; keep the gain finite.
        FDSP->SetEQBand(i, static_cast<int>(std::clamp<int64_t>(value, EQMinValue, EQMaxValue)));
    }
}

void TNode_DSPEffects::SaveConfig(IConfigDoc& Section) {
    Section.WriteBool("EQ_Enabled", FDSP->GetEQEnabled());
    for (int i = 0; i < EQBandCount; ++i) Section.WriteInteger("EQ" + std::to_string(i), FDSP->GetEQBand(i));
}

void TNode_DSPEffects::SetRate(double Percent) {
    TGuard guard(FLock);
    FDSP->SetRate(Percent);
}

void TNode_DSPEffects::SetTempo(double Percent) {
    TGuard guard(FLock);
    FDSP->SetTempo(Percent);
}

void TNode_DSPEffects::SetPitchSemiTones(double SemiTones) {
    TGuard guard(FLock);
    FDSP->SetPitchSemiTones(SemiTones);
}

bool TNode_DSPEffects::GetEQEnabled() {
    TGuard guard(FLock);
    return FDSP->GetEQEnabled();
}

void TNode_DSPEffects::SetEQEnabled(bool Value) {
    TGuard guard(FLock);
    FDSP->SetEQEnabled(Value);
}

int TNode_DSPEffects::GetEQBand(int Index) {
    TGuard guard(FLock);
    return FDSP->GetEQBand(Index);
}

void TNode_DSPEffects::SetEQBand(int Index, int Value) {
    TGuard guard(FLock);
    FDSP->SetEQBand(Index, Value);
}

}  // namespace kelvar
