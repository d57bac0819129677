#pragma once
// The audio buffer: a chunk buffer whose chunks carry the stream time of their first byte.
#include "audio/graph/Buffer_imp.h"

namespace kelvar {

class IAudioBuffer : public virtual IBuffer {
public:
    virtual void SetFormat(const TWaveFormat& Format) = 0;
    // Writes with Time as the stream time of the first byte of Buffer.
    virtual void WriteStamped(const void* Buffer, int Length, TStreamTime Time) = 0;
    // Reads; Time becomes the stream time of the first byte read (0 when nothing was read).
    virtual int ReadStamped(void* Buffer, int Length, TStreamTime& Time) = 0;
};
using IAudioBufferPtr = std::shared_ptr<IAudioBuffer>;

class TAudioBuffer : public TBuffer, public IAudioBuffer {
public:
    // Raises EAudioError for a chunk size below 1.
    TAudioBuffer(int MaxChunks, const TWaveFormat* Format, int ChunkSize);

    void SetFormat(const TWaveFormat& Format) override;
    void WriteStamped(const void* Buffer, int Length, TStreamTime Time) override;
    int ReadStamped(void* Buffer, int Length, TStreamTime& Time) override;
    TWaveFormat GetFormat();

protected:
    IChunkPtr NewChunk() override;
    IChunkPtr MakeChunk(int Capacity) override;
    int ReadChunk(IChunk& Chunk, void* Buffer, int Length) override;

private:
    TWaveFormat FFormat;
    TStreamTime FStamp = 0;
    // During a stamped write a new chunk takes the write's time plus the duration of the
    // bytes of this write already placed, so that it carries the time of its first byte.
    bool FInStampedWrite = false;
    TStreamTime FWriteTime = 0;
    // During a stamped read: the time of the first byte read, once found.
    bool FTimeFound = false;
    TStreamTime FReadTime = 0;
};
using TAudioBufferPtr = std::shared_ptr<TAudioBuffer>;

}  // namespace kelvar
