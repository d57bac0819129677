#pragma once
// The gap killer in a deck chain, right after the resampler: it removes leading silence,
// holds back trailing silence, and tells the deck when a long silence has been reached or
// when a whole stream produced nothing.
#include <cstdint>
#include <functional>
#include <string>

#include "audio/graph/Pins.h"
#include "audio/nodes/GapKiller2.h"

namespace kelvar {

struct TGapKillerInfo {
    bool MusicFound = false;
    int32_t FrontSilence = 0;  // ms
    int32_t BackSilence = 0;   // ms
    bool Enabled = true;
    bool RemoveFront = true;
    bool RemoveBack = true;
    int32_t TriggerFront = -20;  // dB
    int32_t TriggerBack = -24;   // dB
    bool SkipBlips = true;
    int32_t BlipTime = 10;  // ms
};

class TNode_GapKiller : public TNode {
public:
    using TGapEvent = std::function<void(TNode_GapKiller& Sender)>;

    TNode_GapKiller();
    ~TNode_GapKiller() override;

    // Inactive, blocks pass in place; active, the sorted chunks go out through DoOutput with
    // their own stamps (the result is then 0).
    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;
    // While running, only the format it was started with.
    bool CheckFormat(const TWaveFormat& Format) override;
    bool Start() override;
    void Stop() override;
    // Silence at the new position counts as leading silence again.
    void Seek() override;
    void EndOfStream() override;
    void LoadConfig(IConfigDoc& Section) override;
    void SaveConfig(IConfigDoc& Section) override;

    void SetActive(bool Value);
    // Trailing silence (ms) after which OnGap fires; 0 or less: never.
    void SetMaxGap(int32_t Ms);
    TGapKillerInfo GetInfo();
    // Copies the settings (Enabled to BlipTime) only.
    void SetInfo(const TGapKillerInfo& Info);
    // Called on the pushing thread with the node's lock held.
    void SetOnGap(TGapEvent Event);

private:
    void FireGap();

    TGapKiller FGapKiller;
    TStreamTime FLastOutput = 0;
    bool FActive = true;
    int32_t FMaxGap = -15000;
    TGapEvent FOnGap;
};

}  // namespace kelvar
