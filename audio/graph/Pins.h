#pragma once
// The audio graph's pins and the processing node. A source is pulled by its sink, a sink is
// pushed by its source; format, start, stop, seek and end of stream travel downstream.
// Elements hold each other both ways: Disconnect breaks the link when a chain goes.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "audio/graph/Buffer.h"
#include "audio/graph/FiltersEx.h"
#include "foundation/AudioFormat.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

class IPinSink;
class IPinSource;
using IPinSinkPtr = std::shared_ptr<IPinSink>;
using IPinSourcePtr = std::shared_ptr<IPinSource>;

class IPin {
public:
    virtual ~IPin() = default;
};

class IPinSource : public virtual IPin {
public:
    virtual void SetSink(IPinSinkPtr Sink) = 0;
    // Fills up to Length bytes; Time becomes the stream time of the first byte delivered.
    virtual int Pull(void* Buffer, int Length, TStreamTime& Time) = 0;
    virtual TWaveFormat GetFormat() = 0;
};

class IPinSink : public virtual IPin {
public:
    virtual void SetSource(IPinSourcePtr Source) = 0;
    // Buffer may be changed in place by the element.
    virtual void Push(void* Buffer, int Length, TStreamTime Time) = 0;
    virtual bool SetFormat(const TWaveFormat& Format) = 0;
    virtual void EndOfStream() = 0;
    virtual void Seek(TStreamTime Time) = 0;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
};

// Mix flags of a mixer input.
namespace MixMode {
constexpr uint8_t Playing = 1;  // the mixer pulls the input only while set
constexpr uint8_t OnAir = 2;
constexpr uint8_t Preview = 4;
}  // namespace MixMode

// The mixer input: mix flags and the stream-position events of a channel.
class IPinSource_MixMode : public virtual IPinSource {
public:
    virtual uint8_t GetMixMode() = 0;
    virtual void SetMixMode(uint8_t Flags) = 0;
    virtual void AddMeta(IMetaDataPtr Event) = 0;
    virtual void ClearMeta() = 0;
    virtual void SetEndPosition(TStreamTime Time) = 0;
    virtual bool TakeSeekFlag() = 0;
    virtual bool IsStarved() = 0;
};
using IPinSource_MixModePtr = std::shared_ptr<IPinSource_MixMode>;

// The control side of every chain element.
class IPinControl {
public:
    virtual ~IPinControl() = default;
    virtual TStreamTime GetPosition() = 0;
    virtual void LoadConfig(IConfigDoc& Doc) = 0;
    virtual void SaveConfig(IConfigDoc& Doc) = 0;
};
using IPinControlPtr = std::shared_ptr<IPinControl>;

// Source.SetSink(Sink), then Sink.SetSource(Source).
void Connect(const IPinSourcePtr& Source, const IPinSinkPtr& Sink);
// Drops both references of the pair (either may be none).
void Disconnect(const IPinSourcePtr& Source, const IPinSinkPtr& Sink);

// A processing element. A node consumes blocks of PCM and gives its output back in place, as
// a chunk, or through OnOutput (see Process). The virtual operations are called by the
// Locked... wrappers (and SetFormat) under the node's re-entrant lock; a filter holds that
// lock for each of its pin calls. A derived node's constructor and destructor do its
// set-up and tear-down (the destructor may take the lock).
class TNode {
public:
    using TOutputEvent = std::function<void(void* Buffer, int Length, TStreamTime Time)>;

    TNode();
    virtual ~TNode();
    TNode(const TNode&) = delete;
    TNode& operator=(const TNode&) = delete;

    // Consumes Length bytes at Buffer (Buffer may be null with Length 0: the end of the stream,
    // flush what is held). Output in one of three ways: in place (the result is the number of
    // bytes now in Buffer, never more than Length), as a chunk (result 0, Chunk set with its
    // size), or through DoOutput calls during the call (result 0, no chunk). Time may be
    // changed to the stream time of the output.
    virtual int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) = 0;
    // Also the name of the node's configuration section.
    virtual std::string GetName() const = 0;
    // Whether the node accepts this input format.
    virtual bool CheckFormat(const TWaveFormat& Format);
    // The node's output format; base: the stored format.
    virtual TWaveFormat GetFormat();
    virtual bool Start();
    virtual void Stop();
    // The stream position jumps: forget held state.
    virtual void Seek();
    virtual void LoadConfig(IConfigDoc& Section);
    virtual void SaveConfig(IConfigDoc& Section);
    // Hand out held output through DoOutput.
    virtual void EndOfStream();

    int LockedProcess(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk);
    TWaveFormat LockedGetFormat();
    bool LockedStart();
    void LockedStop();
    void LockedSeek();
    void LockedLoadConfig(IConfigDoc& Section);
    void LockedSaveConfig(IConfigDoc& Section);
    void LockedEndOfStream();
    // Under the lock: CheckFormat, and store the format when accepted.
    bool SetFormat(const TWaveFormat& Format);

    void Lock();
    void Unlock();
    std::recursive_mutex& GetLock() { return FLock; }

    void SetOnOutput(TOutputEvent Event);
    // Calls OnOutput when one is assigned.
    void DoOutput(void* Buffer, int Length, TStreamTime Time);

protected:
    std::recursive_mutex FLock;
    TOutputEvent FOnOutput;
    TWaveFormat FFormat = DefaultAudioFormat;  // input format as last accepted
};

}  // namespace kelvar
