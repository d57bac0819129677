#pragma once
// The elements of the audio graph: the filter that wraps a node, the mixer input with its
// stream-position events, the push-pull bridge between a pushing and a pulling thread, and a
// source pin made of callables.
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "audio/graph/Buffer2_imp.h"
#include "audio/graph/Pins.h"
#include "audio/graph/SyncEvent.h"

namespace kelvar {

// Passes its input unchanged: the node of every mixer input.
class TNode_Null : public TNode {
public:
    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override;
    std::string GetName() const override;
};

// Wraps one node (owned) behind a sink pin and a source pin; the node's lock is held for each
// pin call.
class TFilter : public virtual IPinSource, public virtual IPinSink, public IPinControl {
public:
    explicit TFilter(std::unique_ptr<TNode> Node);
    ~TFilter() override;

    void SetSink(IPinSinkPtr Sink) override;
    int Pull(void* Buffer, int Length, TStreamTime& Time) override;
    TWaveFormat GetFormat() override;

    void SetSource(IPinSourcePtr Source) override;
    void Push(void* Buffer, int Length, TStreamTime Time) override;
    bool SetFormat(const TWaveFormat& Format) override;
    void EndOfStream() override;
    void Seek(TStreamTime Time) override;
    bool Start() override;
    void Stop() override;

    TStreamTime GetPosition() override;
    // The node's configuration in the subsection of Doc named after the node.
    void LoadConfig(IConfigDoc& Doc) override;
    void SaveConfig(IConfigDoc& Doc) override;

    TNode* GetNode() const { return FNode.get(); }

protected:
    // The body of Pull, under the lock.
    int DoPull(void* Buffer, int Length, TStreamTime& Time);
    // Stores a node's in-place or chunk output in Overflow.
    void StoreOutput(void* Buffer, int N, const IChunkPtr& Chunk, TStreamTime Time);
    void EnsureOverflow();
    void OnNodeOutput(void* Buffer, int Length, TStreamTime Time);

    IPinSourcePtr FSource;
    IPinSinkPtr FSink;
    std::unique_ptr<TNode> FNode;
    TAudioBufferPtr FOverflow;
    TStreamTime FPosition = 0;
    bool FPushMode = true;
    bool FEndSeen = false;
    int FProduced = 0;
};
using TFilterPtr = std::shared_ptr<TFilter>;

// Stream-position events of one mixer input, ordered by when they fall due.
class TMetaList {
public:
    TMetaList();
    void Add(IMetaDataPtr Event);
    // Takes out the first event due at or before Threshold; events counted from the end are
    // skipped while EndPosition is unknown (0 or less).
    bool FindDue(TStreamTime Threshold, IMetaDataPtr& Event);
    // Takes out every event, in list order (the final sweep at the end of a stream).
    void TakeAll(std::vector<IMetaDataPtr>& Events);
    // Puts events back at the front, in their order.
    void PutBack(std::vector<IMetaDataPtr>& Events, size_t From);
    void Clear();
    bool Empty() const { return FEvents.empty(); }
    size_t Count() const { return FEvents.size(); }

    TStreamTime EndPosition = -1;

private:
    std::vector<IMetaDataPtr> FEvents;
};

// The mixer input: the last element of every channel. It carries the mix flags and fires the
// channel's stream-position events on the pulling thread, with its own lock released.
class TFilter_MixMode : public TFilter, public IPinSource_MixMode {
public:
    // A TNode_Null when no node is given.
    explicit TFilter_MixMode(std::unique_ptr<TNode> Node = nullptr);
    ~TFilter_MixMode() override;

    int Pull(void* Buffer, int Length, TStreamTime& Time) override;

    bool SetFormat(const TWaveFormat& Format) override;
    void EndOfStream() override;
    void Seek(TStreamTime Time) override;
    // Also the keys "mmOutput" and "mmPreview" in Doc itself.
    void LoadConfig(IConfigDoc& Doc) override;
    void SaveConfig(IConfigDoc& Doc) override;

    uint8_t GetMixMode() override;
    void SetMixMode(uint8_t Flags) override;
    void AddMeta(IMetaDataPtr Event) override;
    void ClearMeta() override;
    void SetEndPosition(TStreamTime Time) override;
    bool TakeSeekFlag() override;
    bool IsStarved() override;

private:
    // Fires every remaining event in list order, without holding the lock.
    void FinalSweep();

    uint8_t FMixMode = MixMode::OnAir;
    TMetaList FMeta;
    TWaveFormat FInputFormat = DefaultAudioFormat;
    bool FSeekFlag = false;
    // Read without the lock: a deck's worker asks before every step, and the lock is held for
    // the whole of each pull of the chain.
    std::atomic<bool> FStarved{false};
    // The end of the stream arrived inside this thread's pull: the sweep runs once that pull
    // has let go of the lock.
    std::thread::id FPullThread;
    bool FSweepPending = false;
};
using TFilter_MixModePtr = std::shared_ptr<TFilter_MixMode>;

// The bridge where a chain turns from pushed to pulled: it buffers the audio between the
// pushing thread and the pulling one. Its buffer's lock is its only lock.
class TPinPushPull : public virtual IPinSource, public virtual IPinSink, public IPinControl {
public:
    // 20 chunks of 50 ms of DefaultAudioFormat.
    TPinPushPull();
    ~TPinPushPull() override;

    void SetSink(IPinSinkPtr Sink) override;
    int Pull(void* Buffer, int Length, TStreamTime& Time) override;
    TWaveFormat GetFormat() override;

    void SetSource(IPinSourcePtr Source) override;
    void Push(void* Buffer, int Length, TStreamTime Time) override;
    // Refused while the buffer holds data of another format.
    bool SetFormat(const TWaveFormat& Format) override;
    void EndOfStream() override;
    void Seek(TStreamTime Time) override;
    bool Start() override;
    void Stop() override;

    TStreamTime GetPosition() override;
    void LoadConfig(IConfigDoc& Doc) override;
    void SaveConfig(IConfigDoc& Doc) override;

    // The producer's room event: reset by a push that leaves no free space, set by a pull
    // that frees some. Not owned by the bridge's logic; may be none.
    void SetDataEvent(std::shared_ptr<TSyncEvent> Event);
    // Chunk size: the larger of Ms of the format and 10 ms of DefaultAudioFormat.
    void SetChunkMs(int Ms);
    void SetMaxChunks(int Count);
    int GetChunkMs();
    int GetMaxChunks();
    IAudioBufferPtr GetBuffer() const { return FBuffer; }

private:
    TAudioBufferPtr FBuffer;
    std::shared_ptr<TSyncEvent> FDataEvent;
    TWaveFormat FFormat{};
    std::atomic<TStreamTime> FPosition{0};
    std::atomic<bool> FEndSeen{false};
    IPinSinkPtr FSink;
    IPinSourcePtr FSource;
    int FChunkMs = 50;
    int FMaxChunks = 20;
};
using TPinPushPullPtr = std::shared_ptr<TPinPushPull>;

// A source pin made of three callables (the mixer's outputs); each is skipped when empty.
class TPinSource : public IPinSource {
public:
    using TPullEvent = std::function<int(void* Buffer, int Length, TStreamTime& Time)>;
    using TGetFormatEvent = std::function<TWaveFormat()>;
    using TSetSinkEvent = std::function<void(IPinSinkPtr Sink)>;

    TPinSource(TPullEvent OnPull, TGetFormatEvent OnGetFormat, TSetSinkEvent OnSetSink);

    void SetSink(IPinSinkPtr Sink) override;
    int Pull(void* Buffer, int Length, TStreamTime& Time) override;
    TWaveFormat GetFormat() override;

private:
    TPullEvent FOnPull;
    TGetFormatEvent FOnGetFormat;
    TSetSinkEvent FOnSetSink;
};

}  // namespace kelvar
