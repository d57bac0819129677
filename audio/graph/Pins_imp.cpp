#include "audio/graph/Pins_imp.h"

#include <algorithm>
#include <utility>

#include "audio/graph/AudioErrors.h"

namespace kelvar {

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

// Events counted from the end rank after every event at an absolute time.
constexpr TStreamTime EndOffset = 999999999;

TStreamTime DueKey(TStreamTime Time) { return Time >= 0 ? Time : EndOffset + Time; }

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

void CheckInPlace(const TNode& Node, int Produced, int Length) {
    // The node wrote past the block it was given: that is a broken node, not bad input.
    if (Produced > Length) throw EAudioError(Node.GetName() + ": node output larger than its buffer");
}

}  // namespace

// ---- TNode_Null

int TNode_Null::Process(void*, int Length, TStreamTime&, IChunkPtr&) { return Length; }

std::string TNode_Null::GetName() const { return "Null"; }

// ---- TFilter

TFilter::TFilter(std::unique_ptr<TNode> Node) : FNode(std::move(Node)) {
    if (!FNode) throw EAudioError("A filter needs a node");
    FNode->SetOnOutput([this](void* Buffer, int Length, TStreamTime Time) { OnNodeOutput(Buffer, Length, Time); });
}

TFilter::~TFilter() {
    if (FNode) FNode->SetOnOutput(nullptr);
}

void TFilter::OnNodeOutput(void* Buffer, int Length, TStreamTime Time) {
    if (Length <= 0) return;
    if (FPushMode) {
        if (FSink) FSink->Push(Buffer, Length, Time);
        return;
    }
    EnsureOverflow();
    FOverflow->WriteStamped(Buffer, Length, Time);
    FProduced += Length;
}

void TFilter::EnsureOverflow() {
    if (FOverflow) return;
    const TWaveFormat format = FNode->GetFormat();
    FOverflow = std::make_shared<TAudioBuffer>(5, &format, 1024);
}

void TFilter::StoreOutput(void* Buffer, int N, const IChunkPtr& Chunk, TStreamTime Time) {
    EnsureOverflow();
    if (N > 0)
        FOverflow->WriteStamped(Buffer, N, Time);
    else if (Chunk && Chunk->GetSize() > 0)
        FOverflow->WriteStamped(Chunk->GetData(), Chunk->GetSize(), Time);
    // else: handed out through OnOutput, already stored
}

void TFilter::SetSink(IPinSinkPtr Sink) {
    TGuard guard(FNode->GetLock());
    FSink = std::move(Sink);
}

void TFilter::SetSource(IPinSourcePtr Source) {
    TGuard guard(FNode->GetLock());
    FSource = std::move(Source);
}

void TFilter::Push(void* Buffer, int Length, TStreamTime Time) {
    TGuard guard(FNode->GetLock());
    FPushMode = true;
    IChunkPtr chunk;
    try {
        const int n = FNode->Process(Buffer, Length, Time, chunk);
        CheckInPlace(*FNode, n, Length);
        if (n > 0) {
            if (FSink) FSink->Push(Buffer, n, Time);
        } else if (chunk && chunk->GetSize() > 0) {
            if (FSink) FSink->Push(chunk->GetData(), chunk->GetSize(), Time);
        }
    } catch (...) {
        FPosition = Time;
        throw;
    }
    FPosition = Time;
}

int TFilter::Pull(void* Buffer, int Length, TStreamTime& Time) {
    TGuard guard(FNode->GetLock());
    FPushMode = false;
    const int n = DoPull(Buffer, Length, Time);
    if (FEndSeen && n == 0 && FSink) FSink->EndOfStream();
    if (n > 0) FPosition = Time;
    return n;
}

int TFilter::DoPull(void* Buffer, int Length, TStreamTime& Time) {
    FProduced = 0;
    if (Length <= 0 || Buffer == nullptr) return 0;
    if (!FOverflow) {
        const int got = FSource ? FSource->Pull(Buffer, Length, Time) : 0;
        if (got > 0) {
            IChunkPtr chunk;
            const int n = FNode->Process(Buffer, got, Time, chunk);
            CheckInPlace(*FNode, n, got);
            if (n == Length) return n;  // in place and exactly what was asked: no copy
            StoreOutput(Buffer, n, chunk, Time);
        } else if (!FOverflow) {
            return 0;
        }
        // else: the end of the stream reached us inside that pull and the node handed out
        // what it held; it is read below before the end goes on downstream.
    }
    int lastInPlace = 0;
    int lastGot = 1;
    while (Length > FProduced && Length > lastInPlace && Length > FOverflow->DataAvailable() && lastGot > 0) {
        TStreamTime time = Time;
        lastGot = FSource ? FSource->Pull(Buffer, Length, time) : 0;
        if (lastGot > 0 || FEndSeen) {
            IChunkPtr chunk;
            // An empty block at the end lets the node hand out what it holds.
            const int n = FNode->Process(lastGot > 0 ? Buffer : nullptr, std::max(lastGot, 0), time, chunk);
            CheckInPlace(*FNode, n, std::max(lastGot, 0));
            lastInPlace = n;
            StoreOutput(Buffer, n, chunk, time);
        }
    }
    FOverflow->Flush();
    return FOverflow->ReadStamped(Buffer, Length, Time);
}

TWaveFormat TFilter::GetFormat() {
    TGuard guard(FNode->GetLock());
    return FNode->GetFormat();
}

// Control calls (format, start, stop, seek) pass on down the chain after letting go of this
// element's lock: below a push-pull bridge the output thread takes the locks the other way
// round, from the mixer input upstream, so holding ours while taking the sink's could deadlock.

bool TFilter::SetFormat(const TWaveFormat& Format) {
    IPinSinkPtr sink;
    TWaveFormat output;
    {
        TGuard guard(FNode->GetLock());
        if (!FNode->SetFormat(Format)) return false;
        output = FNode->GetFormat();
        if (FOverflow) FOverflow->SetFormat(output);
        sink = FSink;
    }
    return sink ? sink->SetFormat(output) : true;
}

void TFilter::EndOfStream() {
    TGuard guard(FNode->GetLock());
    FEndSeen = true;
    FNode->EndOfStream();
    if (!FPushMode) return;  // pulled: the end reaches the sink when its pull finds nothing
    IChunkPtr chunk;
    TStreamTime time = FPosition;
    const int n = FNode->Process(nullptr, 0, time, chunk);
    CheckInPlace(*FNode, n, 0);
    if (chunk && chunk->GetSize() > 0 && FSink) FSink->Push(chunk->GetData(), chunk->GetSize(), time);
    if (FSink) FSink->EndOfStream();
}

void TFilter::Seek(TStreamTime Time) {
    IPinSinkPtr sink;
    {
        TGuard guard(FNode->GetLock());
        FEndSeen = false;
        FNode->Seek();
        if (FOverflow) FOverflow->Clear();
        FPosition = Time;
        sink = FSink;
    }
    if (sink) sink->Seek(Time);
}

bool TFilter::Start() {
    IPinSinkPtr sink;
    {
        TGuard guard(FNode->GetLock());
        FEndSeen = false;
        FPushMode = true;
        FPosition = 0;
        if (!FNode->Start()) return false;
        sink = FSink;
    }
    return sink ? sink->Start() : true;
}

void TFilter::Stop() {
    IPinSinkPtr sink;
    {
        TGuard guard(FNode->GetLock());
        FNode->Stop();
        FEndSeen = true;
        sink = FSink;
    }
    if (sink) sink->Stop();
}

TStreamTime TFilter::GetPosition() {
    TGuard guard(FNode->GetLock());
    return FPosition;
}

void TFilter::LoadConfig(IConfigDoc& Doc) {
    TGuard guard(FNode->GetLock());
    auto section = Doc.Section(FNode->GetName());
    if (section) FNode->LoadConfig(*section);
}

void TFilter::SaveConfig(IConfigDoc& Doc) {
    TGuard guard(FNode->GetLock());
    auto section = Doc.Section(FNode->GetName());
    if (section) FNode->SaveConfig(*section);
}

// ---- TMetaList

TMetaList::TMetaList() { FEvents.reserve(16); }

void TMetaList::Add(IMetaDataPtr Event) {
    if (!Event) return;
    const TStreamTime key = DueKey(Event->GetTime());
    // After every event due no later: equal keys keep the order they were added in.
    auto at = std::find_if(FEvents.begin(), FEvents.end(),
                           [key](const IMetaDataPtr& listed) { return DueKey(listed->GetTime()) > key; });
    FEvents.insert(at, std::move(Event));
}

bool TMetaList::FindDue(TStreamTime Threshold, IMetaDataPtr& Event) {
    for (auto it = FEvents.begin(); it != FEvents.end(); ++it) {
        TStreamTime time = (*it)->GetTime();
        if (time < 0) {
            if (EndPosition <= 0) continue;
            time = EndPosition + time;
        }
        if (time <= Threshold) {
            Event = std::move(*it);
            FEvents.erase(it);
            return true;
        }
    }
    return false;
}

void TMetaList::TakeAll(std::vector<IMetaDataPtr>& Events) {
    Events.clear();
    Events.swap(FEvents);
}

void TMetaList::PutBack(std::vector<IMetaDataPtr>& Events, size_t From) {
    if (From >= Events.size()) return;
    FEvents.insert(FEvents.begin(), std::make_move_iterator(Events.begin() + static_cast<std::ptrdiff_t>(From)),
                   std::make_move_iterator(Events.end()));
}

void TMetaList::Clear() {
    // Swapped out first: releasing an event may run code that touches the list again.
    std::vector<IMetaDataPtr> dropped;
    dropped.swap(FEvents);
    FEvents.reserve(16);
}

// ---- TFilter_MixMode

TFilter_MixMode::TFilter_MixMode(std::unique_ptr<TNode> Node)
    : TFilter(Node ? std::move(Node) : std::make_unique<TNode_Null>()) {}

TFilter_MixMode::~TFilter_MixMode() = default;

int TFilter_MixMode::Pull(void* Buffer, int Length, TStreamTime& Time) {
    IMetaDataPtr due;
    {
        TGuard guard(FNode->GetLock());
        FMeta.FindDue(FPosition + BytesToMsRounded(FInputFormat, Length), due);
    }
    // Fired without the lock: the callback may call into this channel and take a deck's lock.
    if (due) {
        due->Fire();
        due.reset();
    }
    int n = 0;
    bool sweep = false;
    {
        TGuard guard(FNode->GetLock());
        FPullThread = std::this_thread::get_id();
        try {
            n = TFilter::Pull(Buffer, Length, Time);
        } catch (...) {
            FPullThread = std::thread::id();
            throw;
        }
        FPullThread = std::thread::id();
        FStarved = (n == 0);
        sweep = FSweepPending;
        FSweepPending = false;
    }
    if (sweep) FinalSweep();
    return n;
}

bool TFilter_MixMode::SetFormat(const TWaveFormat& Format) {
    {
        TGuard guard(FNode->GetLock());
        FInputFormat = Format;
    }
    return TFilter::SetFormat(Format);
}

void TFilter_MixMode::EndOfStream() {
    {
        TGuard guard(FNode->GetLock());
        TFilter::EndOfStream();
        FMeta.EndPosition = FPosition;
        // Inside this thread's own pull the lock is still held further up: the pull runs the
        // sweep once it has let go.
        if (FPullThread == std::this_thread::get_id()) {
            FSweepPending = true;
            return;
        }
    }
    FinalSweep();
}

void TFilter_MixMode::FinalSweep() {
    // Every remaining event is due now, also those counted from the end of a stream that
    // never passed a block. They are taken out under the lock and fired after letting go of
    // it (a deck's handler takes the deck's lock; the main thread takes the deck's lock and
    // then this one). Events added by the callbacks fire in the next round.
    for (;;) {
        std::vector<IMetaDataPtr> batch;
        {
            TGuard guard(FNode->GetLock());
            if (FMeta.Empty()) return;
            FMeta.TakeAll(batch);
        }
        for (size_t i = 0; i < batch.size(); ++i) {
            try {
                batch[i]->Fire();
            } catch (...) {
                // A failing callback stops the sweep; the rest stay listed.
                TGuard guard(FNode->GetLock());
                FMeta.PutBack(batch, i + 1);
                throw;
            }
        }
    }
}

void TFilter_MixMode::Seek(TStreamTime Time) {
    TFilter::Seek(Time);
    TGuard guard(FNode->GetLock());
    FMeta.Clear();
    FSeekFlag = true;
    FSweepPending = false;
}

void TFilter_MixMode::LoadConfig(IConfigDoc& Doc) {
    TGuard guard(FNode->GetLock());
    TFilter::LoadConfig(Doc);
    uint8_t mode = FMixMode;
    const bool output = Doc.ReadBool("mmOutput", (mode & MixMode::OnAir) != 0);
    const bool preview = Doc.ReadBool("mmPreview", (mode & MixMode::Preview) != 0);
    mode = static_cast<uint8_t>(mode & ~(MixMode::OnAir | MixMode::Preview));
    if (output) mode |= MixMode::OnAir;
    if (preview) mode |= MixMode::Preview;
    FMixMode = mode;
}

void TFilter_MixMode::SaveConfig(IConfigDoc& Doc) {
    TGuard guard(FNode->GetLock());
    TFilter::SaveConfig(Doc);
    Doc.WriteBool("mmOutput", (FMixMode & MixMode::OnAir) != 0);
    Doc.WriteBool("mmPreview", (FMixMode & MixMode::Preview) != 0);
}

uint8_t TFilter_MixMode::GetMixMode() {
    TGuard guard(FNode->GetLock());
    return FMixMode;
}

void TFilter_MixMode::SetMixMode(uint8_t Flags) {
    TGuard guard(FNode->GetLock());
    FMixMode = Flags;
}

void TFilter_MixMode::AddMeta(IMetaDataPtr Event) {
    TGuard guard(FNode->GetLock());
    FMeta.Add(std::move(Event));
}

void TFilter_MixMode::ClearMeta() {
    TGuard guard(FNode->GetLock());
    FMeta.Clear();
}

void TFilter_MixMode::SetEndPosition(TStreamTime Time) {
    TGuard guard(FNode->GetLock());
    FMeta.EndPosition = Time;
}

bool TFilter_MixMode::TakeSeekFlag() {
    TGuard guard(FNode->GetLock());
    const bool flag = FSeekFlag;
    FSeekFlag = false;
    return flag;
}

bool TFilter_MixMode::IsStarved() { return FStarved.load(); }

// ---- TPinPushPull

TPinPushPull::TPinPushPull()
    : FBuffer(std::make_shared<TAudioBuffer>(20, &DefaultAudioFormat,
                                             static_cast<int>(MsToBytes(DefaultAudioFormat, 50)))) {}

TPinPushPull::~TPinPushPull() = default;

void TPinPushPull::SetSink(IPinSinkPtr Sink) {
    TBufferGuard guard(*FBuffer);
    FSink = std::move(Sink);
}

void TPinPushPull::SetSource(IPinSourcePtr Source) {
    TBufferGuard guard(*FBuffer);
    FSource = std::move(Source);
}

void TPinPushPull::SetDataEvent(std::shared_ptr<TSyncEvent> Event) {
    TBufferGuard guard(*FBuffer);
    FDataEvent = std::move(Event);
}

int TPinPushPull::Pull(void* Buffer, int Length, TStreamTime& Time) {
    int n = 0;
    IPinSinkPtr sink;
    {
        TBufferGuard guard(*FBuffer);
        n = FBuffer->ReadStamped(Buffer, Length, Time);
        if (FDataEvent && FBuffer->FreeSpace() > 0) FDataEvent->SetEvent();
        if (n > 0) FPosition = Time;
        if (FEndSeen && n == 0) sink = FSink;
    }
    // Outside the buffer's lock: the end travels on down the pulling chain.
    if (sink) sink->EndOfStream();
    return n;
}

TWaveFormat TPinPushPull::GetFormat() {
    TBufferGuard guard(*FBuffer);
    return FFormat;
}

void TPinPushPull::Push(void* Buffer, int Length, TStreamTime Time) {
    TBufferGuard guard(*FBuffer);
    FBuffer->WriteStamped(Buffer, Length, Time);
    if (FDataEvent && FBuffer->FreeSpace() == 0) FDataEvent->ResetEvent();
}

bool TPinPushPull::SetFormat(const TWaveFormat& Format) {
    IPinSinkPtr sink;
    {
        TBufferGuard guard(*FBuffer);
        if (!FBuffer->IsEmpty() && !SameFormat(Format, FFormat)) return false;
        FBuffer->SetFormat(Format);
        FFormat = Format;
        SetChunkMs(FChunkMs);
        sink = FSink;
    }
    return sink ? sink->SetFormat(Format) : true;
}

void TPinPushPull::SetChunkMs(int Ms) {
    TBufferGuard guard(*FBuffer);
    FChunkMs = Ms;
    const int64_t bytes = std::max(MsToBytes(FFormat, Ms), MsToBytes(DefaultAudioFormat, 10));
    FBuffer->SetChunkSize(static_cast<int>(std::min<int64_t>(bytes, 64 * 1024 * 1024)));
}

void TPinPushPull::SetMaxChunks(int Count) {
    TBufferGuard guard(*FBuffer);
    FMaxChunks = Count;
    FBuffer->SetMaxChunks(Count);
}

int TPinPushPull::GetChunkMs() {
    TBufferGuard guard(*FBuffer);
    return FChunkMs;
}

int TPinPushPull::GetMaxChunks() {
    TBufferGuard guard(*FBuffer);
    return FMaxChunks;
}

void TPinPushPull::EndOfStream() {
    TBufferGuard guard(*FBuffer);
    FEndSeen = true;
    FBuffer->Flush();  // the last partial chunk becomes readable
}

void TPinPushPull::Seek(TStreamTime Time) {
    IPinSinkPtr sink;
    {
        TBufferGuard guard(*FBuffer);
        FEndSeen = false;
        FBuffer->Clear();
        FPosition = Time;
        sink = FSink;
    }
    if (sink) sink->Seek(Time);
}

bool TPinPushPull::Start() {
    IPinSinkPtr sink;
    {
        TBufferGuard guard(*FBuffer);
        FEndSeen = false;
        FPosition = 0;
        sink = FSink;
    }
    return sink ? sink->Start() : true;
}

void TPinPushPull::Stop() {
    IPinSinkPtr sink;
    {
        TBufferGuard guard(*FBuffer);
        FEndSeen = true;
        FBuffer->Clear();
        sink = FSink;
    }
    if (sink) sink->Stop();
}

TStreamTime TPinPushPull::GetPosition() { return FPosition; }

void TPinPushPull::LoadConfig(IConfigDoc&) {}

void TPinPushPull::SaveConfig(IConfigDoc&) {}

// ---- TPinSource

TPinSource::TPinSource(TPullEvent OnPull, TGetFormatEvent OnGetFormat, TSetSinkEvent OnSetSink)
    : FOnPull(std::move(OnPull)), FOnGetFormat(std::move(OnGetFormat)), FOnSetSink(std::move(OnSetSink)) {}

void TPinSource::SetSink(IPinSinkPtr Sink) {
    if (FOnSetSink) FOnSetSink(std::move(Sink));
}

int TPinSource::Pull(void* Buffer, int Length, TStreamTime& Time) {
    return FOnPull ? FOnPull(Buffer, Length, Time) : 0;
}

TWaveFormat TPinSource::GetFormat() { return FOnGetFormat ? FOnGetFormat() : TWaveFormat{}; }

}  // namespace kelvar
