#pragma once
// Chunk buffers: fixed-capacity memory blocks (chunks) and locked first-in first-out queues of
// them. Writes never refuse; producers throttle themselves on FreeSpace.
#include <cstdint>
#include <memory>

#include "foundation/AudioFormat.h"

namespace kelvar {

class IChunk {
public:
    virtual ~IChunk() = default;
    virtual uint8_t* GetData() = 0;
    virtual int GetSize() const = 0;
    // Raises EAudioError "Data size bigger than allocated size" beyond the capacity.
    virtual void SetSize(int Bytes) = 0;
    virtual int GetCapacity() const = 0;
    virtual bool GetFull() const = 0;
    virtual void SetFull(bool Value) = 0;
    virtual int GetPosition() const = 0;   // bytes already read
    virtual int GetRemaining() const = 0;  // Size - read position
    // Appends what fits; a write that reaches the capacity marks the chunk Full.
    virtual int Write(const void* Buffer, int Length) = 0;
    virtual int Read(void* Buffer, int Length) = 0;
    virtual bool IsEof() const = 0;
};
using IChunkPtr = std::shared_ptr<IChunk>;

class IAudioChunk : public virtual IChunk {
public:
    // Stream time of the chunk's first byte.
    virtual TStreamTime GetTimeStamp() const = 0;
    virtual void SetTimeStamp(TStreamTime Time) = 0;
};
using IAudioChunkPtr = std::shared_ptr<IAudioChunk>;

class IBuffer {
public:
    virtual ~IBuffer() = default;
    virtual int GetChunkSize() = 0;
    virtual void SetChunkSize(int Bytes) = 0;  // raises EAudioError for a size below 1
    virtual int GetMaxChunks() = 0;
    virtual void SetMaxChunks(int Count) = 0;
    // Readable bytes: the complete chunks only, never the one still being written.
    virtual int DataAvailable() = 0;
    virtual int FreeSpace() = 0;
    virtual void Write(const void* Buffer, int Length) = 0;
    virtual int Read(void* Buffer, int Length) = 0;
    // Closes the chunk being written so that its bytes become readable.
    virtual void Flush() = 0;
    virtual bool IsEmpty() = 0;
    virtual void Clear() = 0;
    // The first chunk when it is complete, taken off the queue; else none.
    virtual IChunkPtr GetChunk() = 0;
    // Appends a chunk holding data and clears the caller's reference; an empty chunk stays.
    virtual void PutChunk(IChunkPtr& Chunk) = 0;
    // The buffer's own lock, to make several calls atomic.
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};
using IBufferPtr = std::shared_ptr<IBuffer>;

// A main buffer behind a pre-buffer that holds data back until enough arrived.
class IPreBuffer : public virtual IBuffer {
public:
    virtual int GetBufferSize() = 0;
    virtual int GetPreBufferSize() = 0;
    virtual void SetBufferSize(int Bytes) = 0;
    virtual void SetPreBufferSize(int Bytes) = 0;
    virtual bool GetPreBufferEnabled() = 0;
    virtual void SetPreBufferEnabled(bool Value) = 0;
    virtual void SetEof() = 0;
    virtual bool IsPreBuffering() = 0;
    virtual int PreBufferPercent() = 0;
    virtual void Restart() = 0;
};
using IPreBufferPtr = std::shared_ptr<IPreBuffer>;

}  // namespace kelvar
