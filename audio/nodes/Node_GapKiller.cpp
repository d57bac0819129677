#include "audio/nodes/Node_GapKiller.h"

#include <mutex>

namespace kelvar {

TNode_GapKiller::TNode_GapKiller() = default;

TNode_GapKiller::~TNode_GapKiller() = default;

int TNode_GapKiller::Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr&) {
    // Not started yet: nothing to sort with, so the block goes on as it is.
    if (!FActive || !FGapKiller.IsOpen()) return Length;
    FGapKiller.Process(Buffer, Length, Time);
    while (IAudioChunkPtr chunk = FGapKiller.TakeOutput()) {
        FLastOutput = chunk->GetTimeStamp();
        DoOutput(chunk->GetData(), chunk->GetSize(), FLastOutput);
        FGapKiller.Recycle(std::move(chunk));
    }
    if (FMaxGap > 0 && FGapKiller.GetBackSilence() > FMaxGap) FireGap();
    return 0;
}

std::string TNode_GapKiller::GetName() const { return "GapKiller"; }

bool TNode_GapKiller::CheckFormat(const TWaveFormat& Format) {
    return !FGapKiller.IsOpen() || SameFormat(Format, FGapKiller.GetFormat());
}

bool TNode_GapKiller::Start() {
    FGapKiller.Open(FFormat);
    FLastOutput = 0;
    return true;
}

void TNode_GapKiller::Stop() { FGapKiller.Close(); }

void TNode_GapKiller::Seek() {
    FLastOutput = 0;
    FGapKiller.Reset();
}

void TNode_GapKiller::EndOfStream() {
    FGapKiller.Flush();
    // Nothing loud in the whole stream. (A last output stamped 0 is no sign of that: a stream
    // shorter than a chunk has its only chunk there.)
    if (!FGapKiller.MusicFound && FActive) FireGap();
    FLastOutput = 0;
}

void TNode_GapKiller::FireGap() {
    if (FOnGap) FOnGap(*this);
}

void TNode_GapKiller::LoadConfig(IConfigDoc& Section) {
    TGapKillerInfo info = GetInfo();
    info.RemoveFront = Section.ReadBool("RemoveFront", info.RemoveFront);
    info.RemoveBack = Section.ReadBool("RemoveBack", info.RemoveBack);
    info.TriggerFront = static_cast<int32_t>(Section.ReadInteger("TriggerFront", info.TriggerFront));
    info.TriggerBack = static_cast<int32_t>(Section.ReadInteger("TriggerBack", info.TriggerBack));
    info.SkipBlips = Section.ReadBool("SkipBlips", info.SkipBlips);
    info.BlipTime = static_cast<int32_t>(Section.ReadInteger("BlipTime", info.BlipTime));
    SetMaxGap(static_cast<int32_t>(Section.ReadInteger("MaxGap", FMaxGap)));
    SetInfo(info);
}

void TNode_GapKiller::SaveConfig(IConfigDoc& Section) {
    const TGapKillerInfo info = GetInfo();
    Section.WriteBool("Enabled", info.Enabled);
    Section.WriteBool("RemoveFront", info.RemoveFront);
    Section.WriteBool("RemoveBack", info.RemoveBack);
    Section.WriteInteger("TriggerFront", info.TriggerFront);
    Section.WriteInteger("TriggerBack", info.TriggerBack);
    Section.WriteBool("SkipBlips", info.SkipBlips);
    Section.WriteInteger("BlipTime", info.BlipTime);
    Section.WriteInteger("MaxGap", FMaxGap);
}

void TNode_GapKiller::SetActive(bool Value) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FActive = Value;
}

void TNode_GapKiller::SetMaxGap(int32_t Ms) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FMaxGap = Ms;
}

TGapKillerInfo TNode_GapKiller::GetInfo() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    TGapKillerInfo info;
    info.MusicFound = FGapKiller.MusicFound;
    info.FrontSilence = FGapKiller.GetFrontSilence();
    info.BackSilence = FGapKiller.GetBackSilence();
    info.Enabled = FGapKiller.Enabled;
    info.RemoveFront = FGapKiller.RemoveFront;
    info.RemoveBack = FGapKiller.RemoveBack;
    info.TriggerFront = FGapKiller.TriggerFront;
    info.TriggerBack = FGapKiller.TriggerBack;
    info.SkipBlips = FGapKiller.SkipBlips;
    info.BlipTime = FGapKiller.BlipTime;
    return info;
}

void TNode_GapKiller::SetInfo(const TGapKillerInfo& Info) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FGapKiller.Enabled = Info.Enabled;
    FGapKiller.RemoveFront = Info.RemoveFront;
    FGapKiller.RemoveBack = Info.RemoveBack;
    FGapKiller.TriggerFront = Info.TriggerFront;
    FGapKiller.TriggerBack = Info.TriggerBack;
    FGapKiller.SkipBlips = Info.SkipBlips;
    FGapKiller.BlipTime = Info.BlipTime;
}

void TNode_GapKiller::SetOnGap(TGapEvent Event) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FOnGap = std::move(Event);
}

}  // namespace kelvar
