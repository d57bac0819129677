#pragma once
// Sorts fixed-length chunks of 16-bit audio into silent and loud ones: leading silence is
// dropped, silence inside a song waits until loud audio follows it, and trailing silence is
// held back so that songs follow each other without gaps.
#include <cstdint>

#include "audio/graph/Buffer2_imp.h"
#include "foundation/AudioFormat.h"

namespace kelvar {

class TGapKiller {
public:
    TGapKiller();
    ~TGapKiller();
    TGapKiller(const TGapKiller&) = delete;
    TGapKiller& operator=(const TGapKiller&) = delete;

    // Creates the queues for Format; music found and the silence counters stay as they are.
    void Open(const TWaveFormat& Format);
    void Close();
    // Back to the leading-silence state, the queues emptied.
    void Reset();
    // Sorts Bytes at Buffer (stamped with Time) and every complete chunk waiting; none for a
    // null Buffer or 0 Bytes. Raises EAudioError for samples other than 16-bit.
    void Process(const void* Buffer, int Bytes, TStreamTime Time);
    // Makes a last partial chunk available and sorts it.
    void Flush();
    // The next chunk ready to go out, in order; none when there is none.
    IAudioChunkPtr TakeOutput();
    // Hands back a chunk from TakeOutput once it has gone on, so that input chunks are reused.
    void Recycle(IAudioChunkPtr Chunk);

    int32_t GetFrontSilence() const;
    int32_t GetBackSilence() const;
    bool IsSilent(const void* Buffer, int Bytes, const TWaveFormat& Format) const;

    bool IsOpen() const { return FOpen; }
    const TWaveFormat& GetFormat() const { return FFormat; }
    int GetChunkLength() const { return FChunkLength; }
    // Silence waiting in the silence queue, in ms.
    int64_t GetQueuedSilence() const;

    bool MusicFound = false;
    bool Enabled = true;
    bool RemoveBack = true;   // carried in settings and reports only
    bool RemoveFront = true;  // carried in settings and reports only
    int32_t TriggerBack = -24;
    int32_t TriggerFront = -20;
    bool SkipBlips = true;
    int32_t BlipTime = 10;

private:
    void ToOutput(IChunkPtr& Chunk);
    void ToSilence(IChunkPtr& Chunk);
    void ReleaseSilence();
    double ChunkMs(const IChunkPtr& Chunk) const;

    TWaveFormat FFormat{};
    bool FOpen = false;
    int FChunkLength = 0;
    double FFrontSilence = 0;
    double FBackSilence = 0;
    TAudioBufferPtr FInput;  // concrete: it takes chunks back for reuse
    IAudioBufferPtr FOutput, FSilence;
    IChunkPtr FHeld;
};

}  // namespace kelvar
