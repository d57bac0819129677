#pragma once
// Watches a deck's decoded audio for the last moment the music was louder than a trigger
// level and, at the end of the stream, publishes it as the fade point and calls the deck.
// Audio passes unchanged.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "audio/graph/Pins.h"

namespace kelvar {

class TNode_FadeTrigger : public TNode {
public:
    using TTriggerEvent = std::function<void(TNode_FadeTrigger& Sender)>;

    TNode_FadeTrigger();
    ~TNode_FadeTrigger() override;

    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;
    bool Start() override;
    void Seek() override;
    void EndOfStream() override;
    void LoadConfig(IConfigDoc& Section) override;
    void SaveConfig(IConfigDoc& Section) override;

    // The fade point of the last completed stream in ms; -1 none.
    int32_t GetFadePoint();
    // Called at the end of the stream on the pushing thread, with the node's lock held.
    void SetOnTrigger(TTriggerEvent Event);

    // The deck writes these directly when it loads a song.
    std::atomic<bool> FEnabled{true};
    std::atomic<int32_t> FTriggerLevel{-7};  // dB

private:
    int32_t FFadePoint = -1;     // published
    int32_t FRunningPoint = -1;  // end of the last loud block so far
    int32_t FReadAhead = 15000;  // stored and saved only
    TTriggerEvent FOnTrigger;
};

}  // namespace kelvar
