#include "audio/graph/Pins.h"

#include <utility>

namespace kelvar {

void Connect(const IPinSourcePtr& Source, const IPinSinkPtr& Sink) {
    if (Source) Source->SetSink(Sink);
    if (Sink) Sink->SetSource(Source);
}

void Disconnect(const IPinSourcePtr& Source, const IPinSinkPtr& Sink) {
    if (Source) Source->SetSink(nullptr);
    if (Sink) Sink->SetSource(nullptr);
}

TNode::TNode() = default;

TNode::~TNode() = default;

bool TNode::CheckFormat(const TWaveFormat&) { return true; }

TWaveFormat TNode::GetFormat() { return FFormat; }

bool TNode::Start() { return true; }

void TNode::Stop() {}

void TNode::Seek() {}

void TNode::LoadConfig(IConfigDoc&) {}

void TNode::SaveConfig(IConfigDoc&) {}

void TNode::EndOfStream() {}

int TNode::LockedProcess(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return Process(Buffer, Length, Time, Chunk);
}

TWaveFormat TNode::LockedGetFormat() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return GetFormat();
}

bool TNode::LockedStart() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return Start();
}

void TNode::LockedStop() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    Stop();
}

void TNode::LockedSeek() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    Seek();
}

void TNode::LockedLoadConfig(IConfigDoc& Section) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    LoadConfig(Section);
}

void TNode::LockedSaveConfig(IConfigDoc& Section) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    SaveConfig(Section);
}

void TNode::LockedEndOfStream() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    EndOfStream();
}

bool TNode::SetFormat(const TWaveFormat& Format) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    if (!CheckFormat(Format)) return false;
    FFormat = Format;
    return true;
}

void TNode::Lock() { FLock.lock(); }

void TNode::Unlock() { FLock.unlock(); }

void TNode::SetOnOutput(TOutputEvent Event) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FOnOutput = std::move(Event);
}

void TNode::DoOutput(void* Buffer, int Length, TStreamTime Time) {
    if (FOnOutput) FOnOutput(Buffer, Length, Time);
}

}  // namespace kelvar
