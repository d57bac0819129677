#include "audio/graph/Buffer2_imp.h"

namespace kelvar {

TAudioBuffer::TAudioBuffer(int MaxChunks, const TWaveFormat* Format, int ChunkSize)
    : TBuffer(MaxChunks, ChunkSize), FFormat(Format ? *Format : DefaultAudioFormat) {}

void TAudioBuffer::SetFormat(const TWaveFormat& Format) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FFormat = Format;
}

TWaveFormat TAudioBuffer::GetFormat() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FFormat;
}

IChunkPtr TAudioBuffer::MakeChunk(int Capacity) { return std::make_shared<TAudioChunk>(Capacity, 0); }

IChunkPtr TAudioBuffer::NewChunk() {
    IChunkPtr chunk = TBuffer::NewChunk();
    auto* audio = dynamic_cast<IAudioChunk*>(chunk.get());
    if (!audio) {
        auto made = std::make_shared<TAudioChunk>(FChunkSize, 0);
        audio = made.get();
        chunk = std::move(made);
    }
    if (FInStampedWrite) FStamp = FWriteTime + BytesToMsRounded(FFormat, FPlaced);
    audio->SetTimeStamp(FStamp);
    FStamp += BytesToMsRounded(FFormat, FChunkSize);
    return chunk;
}

int TAudioBuffer::ReadChunk(IChunk& Chunk, void* Buffer, int Length) {
    const int before = Chunk.GetPosition();
    const int count = Chunk.Read(Buffer, Length);
    if (!FTimeFound && count > 0) {
        const auto* audio = dynamic_cast<const IAudioChunk*>(&Chunk);
        FReadTime = (audio ? audio->GetTimeStamp() : 0) + BytesToMsRounded(FFormat, before);
        FTimeFound = true;
    }
    return count;
}

void TAudioBuffer::WriteStamped(const void* Buffer, int Length, TStreamTime Time) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FStamp = Time;
    FWriteTime = Time;
    FInStampedWrite = true;
    try {
        Write(Buffer, Length);
    } catch (...) {
        FInStampedWrite = false;
        throw;
    }
    FInStampedWrite = false;
}

int TAudioBuffer::ReadStamped(void* Buffer, int Length, TStreamTime& Time) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FTimeFound = false;
    FReadTime = 0;
    const int count = Read(Buffer, Length);
    Time = FTimeFound ? FReadTime : 0;
    return count;
}

}  // namespace kelvar
