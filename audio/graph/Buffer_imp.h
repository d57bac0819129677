#pragma once
// The chunk and the chunk buffers behind IChunk, IBuffer and IPreBuffer.
#include <memory>
#include <mutex>
#include <vector>

#include "audio/graph/Buffer.h"

namespace kelvar {

class TChunk : public virtual IChunk {
public:
    explicit TChunk(int Capacity);
    ~TChunk() override;

    uint8_t* GetData() override;
    int GetSize() const override;
    void SetSize(int Bytes) override;
    int GetCapacity() const override;
    bool GetFull() const override;
    void SetFull(bool Value) override;
    int GetPosition() const override;
    int GetRemaining() const override;
    int Write(const void* Buffer, int Length) override;
    int Read(void* Buffer, int Length) override;
    bool IsEof() const override;

    // Empties the chunk for reuse: no data, nothing read, not full.
    void Reset();

private:
    std::unique_ptr<uint8_t[]> FData;
    int FCapacity;
    int FSize = 0;
    bool FFull = false;
    int FReadPosition = 0;
};
using TChunkPtr = std::shared_ptr<TChunk>;

class TAudioChunk : public TChunk, public IAudioChunk {
public:
    TAudioChunk(int Capacity, TStreamTime TimeStamp);
    TStreamTime GetTimeStamp() const override;
    void SetTimeStamp(TStreamTime Time) override;

private:
    TStreamTime FTimeStamp;
};

// A queue of chunk references that reuses its slots, so steady use allocates nothing.
class TChunkRing {
public:
    size_t Count() const { return FCount; }
    bool Empty() const { return FCount == 0; }
    IChunkPtr& Front() { return FItems[FHead]; }
    IChunkPtr& Back() { return FItems[(FHead + FCount - 1) % FItems.size()]; }
    IChunkPtr& At(size_t Index) { return FItems[(FHead + Index) % FItems.size()]; }
    void PushBack(IChunkPtr Chunk);
    IChunkPtr PopFront();
    IChunkPtr PopBack();
    void Clear();

private:
    std::vector<IChunkPtr> FItems;
    size_t FHead = 0;
    size_t FCount = 0;
};

class TBuffer : public virtual IBuffer {
public:
    // Raises EAudioError for a chunk size below 1.
    TBuffer(int MaxChunks, int ChunkSize);
    ~TBuffer() override;

    int GetChunkSize() override;
    void SetChunkSize(int Bytes) override;
    int GetMaxChunks() override;
    void SetMaxChunks(int Count) override;
    int DataAvailable() override;
    int FreeSpace() override;
    void Write(const void* Buffer, int Length) override;
    int Read(void* Buffer, int Length) override;
    void Flush() override;
    bool IsEmpty() override;
    void Clear() override;
    IChunkPtr GetChunk() override;
    void PutChunk(IChunkPtr& Chunk) override;
    void Lock() override;
    void Unlock() override;
    // Takes back a chunk that GetChunk handed out, once nothing else holds it, for later
    // writes to fill again instead of a new one.
    void Recycle(IChunkPtr Chunk);

protected:
    // A chunk of ChunkSize for writing: a drained one when one of that size is kept, else new.
    virtual IChunkPtr NewChunk();
    // A fresh chunk of Capacity bytes, of the kind this buffer keeps.
    virtual IChunkPtr MakeChunk(int Capacity);
    // Reads from one chunk of the queue; answers the bytes copied.
    virtual int ReadChunk(IChunk& Chunk, void* Buffer, int Length);
    // Keeps a drained chunk for reuse.
    void KeepSpare(IChunkPtr Chunk);

    std::recursive_mutex FLock;
    std::vector<IChunkPtr> FSpares;
    int FChunkSize;
    int FMaxChunks;
    TChunkRing FChunks;
    IChunkPtr FOpen;  // the chunk being written; when set, also the last of FChunks
    int FPlaced = 0;  // bytes of the running Write already placed
};
using TBufferPtr = std::shared_ptr<TBuffer>;

class TPreBuffer : public IPreBuffer {
public:
    // Raises EAudioError for a chunk size below 1.
    TPreBuffer(int BufferBytes, int ChunkSize, int PreBufferBytes);

    int GetChunkSize() override;
    void SetChunkSize(int Bytes) override;
    int GetMaxChunks() override;
    void SetMaxChunks(int Count) override;
    int DataAvailable() override;
    int FreeSpace() override;
    void Write(const void* Buffer, int Length) override;
    int Read(void* Buffer, int Length) override;
    void Flush() override;
    bool IsEmpty() override;
    void Clear() override;
    IChunkPtr GetChunk() override;
    void PutChunk(IChunkPtr& Chunk) override;
    void Lock() override;
    void Unlock() override;

    int GetBufferSize() override;
    int GetPreBufferSize() override;
    void SetBufferSize(int Bytes) override;
    void SetPreBufferSize(int Bytes) override;
    bool GetPreBufferEnabled() override;
    void SetPreBufferEnabled(bool Value) override;
    void SetEof() override;
    bool IsPreBuffering() override;
    int PreBufferPercent() override;
    void Restart() override;

private:
    void Reevaluate();

    std::shared_ptr<TBuffer> FMain;
    std::shared_ptr<TBuffer> FPre;
    bool FPreBufferEnabled = true;
    int FBufferBytes;
    int FPreBufferBytes;
    bool FPreBuffering = true;
    bool FInputEnded = false;
};

}  // namespace kelvar
