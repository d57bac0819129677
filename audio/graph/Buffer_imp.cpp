#include "audio/graph/Buffer_imp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

#include "audio/graph/AudioErrors.h"

namespace kelvar {

namespace {

// Drained chunks kept for reuse: at least enough for a pull that spans several small chunks,
// and as many as the buffer holds (up to a bound), so that a buffer which drains and refills
// by the second, as a deck's bridge does, allocates nothing once it has been full.
constexpr size_t MaxSpares = 16;
constexpr size_t MaxKeptSpares = 512;

size_t SpareLimit(int MaxChunks) {
    return std::clamp(static_cast<size_t>(std::max(MaxChunks, 0)), MaxSpares, MaxKeptSpares);
}

void CheckChunkSize(int Bytes) {
    if (Bytes < 1) throw EAudioError("Chunk size must be above 0");
}

// Holds a buffer's own lock for a scope.
class TBufferGuard {
public:
    explicit TBufferGuard(IBuffer& Buffer) : FBuffer(Buffer) { FBuffer.Lock(); }
    ~TBufferGuard() { FBuffer.Unlock(); }
    TBufferGuard(const TBufferGuard&) = delete;
    TBufferGuard& operator=(const TBufferGuard&) = delete;

private:
    IBuffer& FBuffer;
};

int ClampToInt(int64_t Value) { return static_cast<int>(std::clamp<int64_t>(Value, 0, INT_MAX)); }

}  // namespace

// ---- TChunk

TChunk::TChunk(int Capacity) : FCapacity(std::max(Capacity, 0)) {
    FData = std::make_unique<uint8_t[]>(static_cast<size_t>(FCapacity) + 1);
}

TChunk::~TChunk() = default;

uint8_t* TChunk::GetData() { return FData.get(); }

int TChunk::GetSize() const { return FSize; }

void TChunk::SetSize(int Bytes) {
    if (Bytes > FCapacity) throw EAudioError("Data size bigger than allocated size");
    if (Bytes < 0) throw EAudioError("Data size below 0");
    FSize = Bytes;
    FReadPosition = std::min(FReadPosition, FSize);
}

int TChunk::GetCapacity() const { return FCapacity; }

bool TChunk::GetFull() const { return FFull; }

void TChunk::SetFull(bool Value) { FFull = Value; }

int TChunk::GetPosition() const { return FReadPosition; }

int TChunk::GetRemaining() const { return FSize - FReadPosition; }

int TChunk::Write(const void* Buffer, int Length) {
    if (Length <= 0 || Buffer == nullptr) return 0;
    const int room = FCapacity - FSize;
    int taken = Length;
    if (Length >= room) {
        taken = room;
        FFull = true;
    }
    std::memcpy(FData.get() + FSize, Buffer, static_cast<size_t>(taken));
    FSize += taken;
    return taken;
}

int TChunk::Read(void* Buffer, int Length) {
    if (Length <= 0 || Buffer == nullptr) return 0;
    const int count = std::min(Length, FSize - FReadPosition);
    if (count < 0 || FReadPosition + count > FSize) throw EAudioError("Trying to read more data than is available");
    std::memcpy(Buffer, FData.get() + FReadPosition, static_cast<size_t>(count));
    FReadPosition += count;
    return count;
}

bool TChunk::IsEof() const { return FReadPosition == FSize; }

void TChunk::Reset() {
    FSize = 0;
    FReadPosition = 0;
    FFull = false;
}

TAudioChunk::TAudioChunk(int Capacity, TStreamTime TimeStamp) : TChunk(Capacity), FTimeStamp(TimeStamp) {}

TStreamTime TAudioChunk::GetTimeStamp() const { return FTimeStamp; }

void TAudioChunk::SetTimeStamp(TStreamTime Time) { FTimeStamp = Time; }

// ---- TChunkRing

void TChunkRing::PushBack(IChunkPtr Chunk) {
    if (FCount == FItems.size()) {
        // Grow, keeping the order from the head on.
        std::vector<IChunkPtr> items(std::max<size_t>(8, FItems.size() * 2));
        for (size_t i = 0; i < FCount; ++i) items[i] = std::move(At(i));
        FItems.swap(items);
        FHead = 0;
    }
    FItems[(FHead + FCount) % FItems.size()] = std::move(Chunk);
    ++FCount;
}

IChunkPtr TChunkRing::PopFront() {
    IChunkPtr chunk = std::move(FItems[FHead]);
    FHead = (FHead + 1) % FItems.size();
    --FCount;
    return chunk;
}

IChunkPtr TChunkRing::PopBack() {
    IChunkPtr chunk = std::move(Back());
    --FCount;
    return chunk;
}

void TChunkRing::Clear() {
    for (size_t i = 0; i < FCount; ++i) At(i).reset();
    FHead = 0;
    FCount = 0;
}

// ---- TBuffer

TBuffer::TBuffer(int MaxChunks, int ChunkSize) : FChunkSize(ChunkSize), FMaxChunks(MaxChunks) {
    CheckChunkSize(ChunkSize);
    FSpares.reserve(SpareLimit(FMaxChunks));
}

TBuffer::~TBuffer() = default;

int TBuffer::GetChunkSize() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FChunkSize;
}

void TBuffer::SetChunkSize(int Bytes) {
    CheckChunkSize(Bytes);
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FChunkSize = Bytes;
}

int TBuffer::GetMaxChunks() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FMaxChunks;
}

void TBuffer::SetMaxChunks(int Count) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FMaxChunks = Count;
    // Here, so that keeping a drained chunk on the reading thread never allocates.
    FSpares.reserve(SpareLimit(FMaxChunks));
}

int TBuffer::DataAvailable() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    int64_t total = 0;
    for (size_t i = 0; i < FChunks.Count(); ++i) {
        IChunk& chunk = *FChunks.At(i);
        if (chunk.GetFull()) total += chunk.GetRemaining();
    }
    return ClampToInt(total);
}

int TBuffer::FreeSpace() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    const int64_t count = static_cast<int64_t>(FChunks.Count());
    if (count > FMaxChunks) return 0;
    int64_t space = static_cast<int64_t>(FChunkSize) * (FMaxChunks - count);
    if (FOpen && !FOpen->GetFull()) space += FOpen->GetCapacity() - FOpen->GetSize();
    return ClampToInt(space);
}

IChunkPtr TBuffer::NewChunk() {
    IChunkPtr chunk;
    while (!FSpares.empty()) {
        IChunkPtr spare = std::move(FSpares.back());
        FSpares.pop_back();
        if (spare->GetCapacity() == FChunkSize) {
            chunk = std::move(spare);
            break;
        }
    }
    if (chunk) {
        chunk->SetSize(0);
        chunk->SetFull(false);
    } else {
        chunk = MakeChunk(FChunkSize);
    }
    return chunk;
}

IChunkPtr TBuffer::MakeChunk(int Capacity) { return std::make_shared<TChunk>(Capacity); }

void TBuffer::KeepSpare(IChunkPtr Chunk) {
    if (Chunk && FSpares.size() < SpareLimit(FMaxChunks)) FSpares.push_back(std::move(Chunk));
}

int TBuffer::ReadChunk(IChunk& Chunk, void* Buffer, int Length) { return Chunk.Read(Buffer, Length); }

void TBuffer::Write(const void* Buffer, int Length) {
    if (Length <= 0 || Buffer == nullptr) return;
    std::lock_guard<std::recursive_mutex> guard(FLock);
    const auto* source = static_cast<const uint8_t*>(Buffer);
    FPlaced = 0;
    while (FPlaced < Length) {
        if (!FOpen || FOpen->GetFull()) {
            FOpen = NewChunk();
            FChunks.PushBack(FOpen);
        }
        FPlaced += FOpen->Write(source + FPlaced, Length - FPlaced);
        if (FOpen->GetFull()) FOpen.reset();
    }
}

int TBuffer::Read(void* Buffer, int Length) {
    if (Length <= 0 || Buffer == nullptr) return 0;
    std::lock_guard<std::recursive_mutex> guard(FLock);
    auto* target = static_cast<uint8_t*>(Buffer);
    int total = 0;
    while (!FChunks.Empty() && total < Length) {
        IChunkPtr& first = FChunks.Front();
        if (!first->GetFull()) break;  // still being written
        const int count = ReadChunk(*first, target + total, Length - total);
        total += count;
        if (count == 0 || first->IsEof()) {
            IChunkPtr drained = FChunks.PopFront();
            if (drained == FOpen) FOpen.reset();
            KeepSpare(std::move(drained));
        }
    }
    return total;
}

void TBuffer::Flush() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (!FOpen) return;
    if (FOpen->GetSize() > 0) {
        FOpen->SetFull(true);
    } else if (!FChunks.Empty() && FChunks.Back() == FOpen) {
        KeepSpare(FChunks.PopBack());
    }
    FOpen.reset();
}

bool TBuffer::IsEmpty() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FChunks.Empty();
}

void TBuffer::Clear() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    while (!FChunks.Empty()) KeepSpare(FChunks.PopFront());
    FOpen.reset();
}

IChunkPtr TBuffer::GetChunk() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (FChunks.Empty() || !FChunks.Front()->GetFull()) return nullptr;
    IChunkPtr chunk = FChunks.PopFront();
    if (chunk == FOpen) FOpen.reset();
    return chunk;
}

void TBuffer::PutChunk(IChunkPtr& Chunk) {
    if (!Chunk || Chunk->GetSize() <= 0) return;
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FSpares.clear();
    Flush();
    Chunk->SetFull(true);
    FChunks.PushBack(std::move(Chunk));
    Chunk.reset();
}

void TBuffer::Recycle(IChunkPtr Chunk) {
    if (!Chunk || Chunk.use_count() != 1) return;
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (Chunk->GetCapacity() == FChunkSize) KeepSpare(std::move(Chunk));
}

void TBuffer::Lock() { FLock.lock(); }

void TBuffer::Unlock() { FLock.unlock(); }

// ---- TPreBuffer

TPreBuffer::TPreBuffer(int BufferBytes, int ChunkSize, int PreBufferBytes)
    : FBufferBytes(BufferBytes), FPreBufferBytes(PreBufferBytes) {
    CheckChunkSize(ChunkSize);
    FMain = std::make_shared<TBuffer>(BufferBytes / ChunkSize, ChunkSize);
    FPre = std::make_shared<TBuffer>(PreBufferBytes / ChunkSize, ChunkSize);
}

void TPreBuffer::Reevaluate() {
    if (FPre->FreeSpace() == 0 || ((FInputEnded || !FPreBufferEnabled) && !FPre->IsEmpty())) {
        FPre->Flush();
        while (IChunkPtr chunk = FPre->GetChunk()) FMain->PutChunk(chunk);
        FPreBuffering = false;
        return;
    }
    if (!FInputEnded && !FPreBuffering) FPreBuffering = FPreBufferEnabled && FMain->DataAvailable() == 0;
}

int TPreBuffer::GetChunkSize() { return FMain->GetChunkSize(); }

void TPreBuffer::SetChunkSize(int Bytes) { FMain->SetChunkSize(Bytes); }

int TPreBuffer::GetMaxChunks() { return FMain->GetMaxChunks(); }

void TPreBuffer::SetMaxChunks(int Count) { FMain->SetMaxChunks(Count); }

int TPreBuffer::DataAvailable() {
    TBufferGuard guard(*FMain);
    Reevaluate();
    return FMain->DataAvailable();
}

int TPreBuffer::FreeSpace() { return FMain->FreeSpace(); }

void TPreBuffer::Write(const void* Buffer, int Length) {
    TBufferGuard guard(*FMain);
    Reevaluate();
    if (FPreBuffering)
        FPre->Write(Buffer, Length);
    else
        FMain->Write(Buffer, Length);
}

int TPreBuffer::Read(void* Buffer, int Length) {
    TBufferGuard guard(*FMain);
    Reevaluate();
    return FMain->Read(Buffer, Length);
}

void TPreBuffer::Flush() {
    TBufferGuard guard(*FMain);
    FMain->Flush();
    FPre->Flush();
}

bool TPreBuffer::IsEmpty() {
    TBufferGuard guard(*FMain);
    return FMain->IsEmpty() && FPre->IsEmpty();
}

void TPreBuffer::Clear() {
    TBufferGuard guard(*FMain);
    FMain->Clear();
    FPre->Clear();
    FInputEnded = false;
    FPreBuffering = true;
}

IChunkPtr TPreBuffer::GetChunk() {
    TBufferGuard guard(*FMain);
    Reevaluate();
    return FMain->GetChunk();
}

void TPreBuffer::PutChunk(IChunkPtr& Chunk) {
    TBufferGuard guard(*FMain);
    Reevaluate();
    if (FPreBuffering)
        FPre->PutChunk(Chunk);
    else
        FMain->PutChunk(Chunk);
}

void TPreBuffer::Lock() { FMain->Lock(); }

void TPreBuffer::Unlock() { FMain->Unlock(); }

int TPreBuffer::GetBufferSize() {
    TBufferGuard guard(*FMain);
    return FBufferBytes;
}

int TPreBuffer::GetPreBufferSize() {
    TBufferGuard guard(*FMain);
    return FPreBufferBytes;
}

void TPreBuffer::SetBufferSize(int Bytes) {
    TBufferGuard guard(*FMain);
    FBufferBytes = Bytes;
    FMain->SetMaxChunks(Bytes / FMain->GetChunkSize());
}

void TPreBuffer::SetPreBufferSize(int Bytes) {
    TBufferGuard guard(*FMain);
    FPreBufferBytes = Bytes;
    FPre->SetMaxChunks(Bytes / FPre->GetChunkSize());
}

bool TPreBuffer::GetPreBufferEnabled() {
    TBufferGuard guard(*FMain);
    return FPreBufferEnabled;
}

void TPreBuffer::SetPreBufferEnabled(bool Value) {
    TBufferGuard guard(*FMain);
    FPreBufferEnabled = Value;
    Reevaluate();
}

void TPreBuffer::SetEof() {
    TBufferGuard guard(*FMain);
    FInputEnded = true;
    FMain->Flush();
    FPre->Flush();
}

bool TPreBuffer::IsPreBuffering() {
    TBufferGuard guard(*FMain);
    Reevaluate();
    return FPreBuffering;
}

int TPreBuffer::PreBufferPercent() {
    TBufferGuard guard(*FMain);
    Reevaluate();
    if (FPreBufferBytes <= 0) return 100;
    const double percent = static_cast<double>(FPre->DataAvailable()) / FPreBufferBytes * 100.0;
    return std::clamp(static_cast<int>(std::lround(percent)), 0, 100);
}

void TPreBuffer::Restart() {
    TBufferGuard guard(*FMain);
    FPreBuffering = !FInputEnded;
}

}  // namespace kelvar
