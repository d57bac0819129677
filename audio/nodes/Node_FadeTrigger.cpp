#include "audio/nodes/Node_FadeTrigger.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "audio/nodes/SampleScan.h"
#include "foundation/dButils.h"

namespace kelvar {

TNode_FadeTrigger::TNode_FadeTrigger() { Seek(); }

TNode_FadeTrigger::~TNode_FadeTrigger() = default;

int TNode_FadeTrigger::Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr&) {
    if (!Buffer || Length <= 0 || !FEnabled) return Length;
    const int threshold = static_cast<int>(std::nearbyint(DbToLinear32768(FTriggerLevel)));
    if (AnySampleAbove16(Buffer, static_cast<size_t>(Length / 2), threshold)) {
        // 32-bit stream milliseconds, as the deck keeps them
        const uint32_t end =
            static_cast<uint32_t>(Time) + static_cast<uint32_t>(BytesToMsRounded(DefaultAudioFormat, Length));
        FRunningPoint = static_cast<int32_t>(end);
    }
    return Length;
}

std::string TNode_FadeTrigger::GetName() const { return "FadeTrigger"; }

bool TNode_FadeTrigger::Start() {
    Seek();
    return true;
}

void TNode_FadeTrigger::Seek() {
    FRunningPoint = -1;
    FFadePoint = -1;
}

void TNode_FadeTrigger::EndOfStream() {
    FFadePoint = FRunningPoint;
    if (FEnabled && FOnTrigger) FOnTrigger(*this);
}

void TNode_FadeTrigger::LoadConfig(IConfigDoc& Section) {
    FEnabled = Section.ReadBool("Enabled", FEnabled);
    FTriggerLevel = static_cast<int32_t>(Section.ReadInteger("TriggerLevel", FTriggerLevel));
    FReadAhead = static_cast<int32_t>(Section.ReadInteger("ReadAhead", FReadAhead));
}

void TNode_FadeTrigger::SaveConfig(IConfigDoc& Section) {
    Section.WriteBool("Enabled", FEnabled);
    Section.WriteInteger("TriggerLevel", FTriggerLevel);
    Section.WriteInteger("ReadAhead", FReadAhead);
}

int32_t TNode_FadeTrigger::GetFadePoint() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FFadePoint;
}

void TNode_FadeTrigger::SetOnTrigger(TTriggerEvent Event) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FOnTrigger = std::move(Event);
}

}  // namespace kelvar
