#include "audio/nodes/GapKiller2.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "audio/graph/AudioErrors.h"
#include "audio/nodes/SampleScan.h"
#include "foundation/dButils.h"

namespace kelvar {
namespace {

// A silence queue above this is let go, oldest first, so a long silence can't grow it forever.
constexpr int64_t kMaxQueuedSilenceMs = 20000;

}  // namespace

TGapKiller::TGapKiller() = default;

TGapKiller::~TGapKiller() { Close(); }

void TGapKiller::Open(const TWaveFormat& Format) {
    Close();
    FFormat = Format;
    // Whole frames only, so that no sample is split between two chunks.
    const int frame = std::max<int>(1, static_cast<int>(FrameSize(Format)));
    const int64_t bytes = MsToBytes(Format, SkipBlips ? BlipTime : 25);
    FChunkLength = std::max<int>(frame, static_cast<int>(bytes / frame * frame));
    FInput = std::make_shared<TAudioBuffer>(5, &FFormat, FChunkLength);
    FOutput = std::make_shared<TAudioBuffer>(5, &FFormat, FChunkLength);
    FSilence = std::make_shared<TAudioBuffer>(5, &FFormat, FChunkLength);
    FHeld.reset();
    FOpen = true;
}

void TGapKiller::Close() {
    if (!FOpen) return;
    FInput.reset();
    FOutput.reset();
    FSilence.reset();
    FHeld.reset();
    FOpen = false;
}

void TGapKiller::Reset() {
    FHeld.reset();
    if (FOpen) {
        FInput->Clear();
        FOutput->Clear();
        FSilence->Clear();
    }
    MusicFound = false;
    FFrontSilence = 0;
    FBackSilence = 0;
}

double TGapKiller::ChunkMs(const IChunkPtr& Chunk) const { return BytesToMs(FFormat, Chunk->GetSize()); }

void TGapKiller::ToOutput(IChunkPtr& Chunk) { FOutput->PutChunk(Chunk); }

void TGapKiller::ToSilence(IChunkPtr& Chunk) {
    FBackSilence += ChunkMs(Chunk);
    FSilence->PutChunk(Chunk);
}

void TGapKiller::ReleaseSilence() {
    while (IChunkPtr chunk = FSilence->GetChunk()) FOutput->PutChunk(chunk);
}

void TGapKiller::Process(const void* Buffer, int Bytes, TStreamTime Time) {
    if (!FOpen) return;
    if (Buffer && Bytes > 0) FInput->WriteStamped(Buffer, Bytes, Time);

    while (IChunkPtr chunk = FInput->GetChunk()) {
        const bool silent = IsSilent(chunk->GetData(), chunk->GetSize(), FFormat);
        if (FHeld) {
            IChunkPtr held = std::move(FHeld);
            if (!MusicFound) {
                if (silent) {
                    FFrontSilence += ChunkMs(held);
                } else {
                    MusicFound = true;
                    ToOutput(held);
                }
            } else if (silent) {
                ToSilence(held);
            } else {
                FBackSilence = 0;
                ReleaseSilence();
                ToOutput(held);
            }
        }
        if (!MusicFound) {
            if (silent) {
                FFrontSilence += ChunkMs(chunk);
            } else if (SkipBlips) {
                FHeld = std::move(chunk);
            } else {
                MusicFound = true;
                ToOutput(chunk);
            }
        } else if (silent) {
            ToSilence(chunk);
        } else if (SkipBlips) {
            FHeld = std::move(chunk);
        } else {
            FBackSilence = 0;
            ReleaseSilence();
            ToOutput(chunk);
        }
    }

    // Release as many chunks as it takes, not one per call: a call usually brings more than one
    // chunk of silence.
    while (GetQueuedSilence() > kMaxQueuedSilenceMs) {
        IChunkPtr oldest = FSilence->GetChunk();
        if (!oldest) break;
        FOutput->PutChunk(oldest);
    }
}

void TGapKiller::Flush() {
    if (!FOpen) return;
    FInput->Flush();
    Process(nullptr, 0, 0);
    // A loud chunk still held as a blip candidate has nothing after it. Right after music, or as
    // the whole of a stream shorter than a chunk, it is the music's end and goes out; only a
    // lone one after silence stays a blip.
    if (FHeld) {
        IChunkPtr held = std::move(FHeld);
        const bool afterSilence = MusicFound ? FBackSilence > 0 : FFrontSilence > 0;
        if (!afterSilence) {
            MusicFound = true;
            ToOutput(held);
        } else if (MusicFound) {
            ToSilence(held);
        } else {
            FFrontSilence += ChunkMs(held);
        }
    }
    FOutput->Flush();
}

IAudioChunkPtr TGapKiller::TakeOutput() {
    if (!FOpen) return nullptr;
    return std::dynamic_pointer_cast<IAudioChunk>(FOutput->GetChunk());
}

void TGapKiller::Recycle(IAudioChunkPtr Chunk) {
    if (FOpen && Chunk) FInput->Recycle(std::move(Chunk));
}

int32_t TGapKiller::GetFrontSilence() const { return static_cast<int32_t>(std::nearbyint(FFrontSilence)); }

int32_t TGapKiller::GetBackSilence() const { return static_cast<int32_t>(std::nearbyint(FBackSilence)); }

int64_t TGapKiller::GetQueuedSilence() const {
    return FOpen ? BytesToMsRounded(FFormat, FSilence->DataAvailable()) : 0;
}

bool TGapKiller::IsSilent(const void* Buffer, int Bytes, const TWaveFormat& Format) const {
    switch (Format.BitsPerSample) {
        case 16: break;
        case 8: throw EAudioError("GapKiller: Can not analyze 8 bit samples");
        case 24: throw EAudioError("GapKiller: Can not analyze 24 bit samples");
        default: throw EAudioError("GapKiller: Invalid BitsPerSample");
    }
    const int threshold = static_cast<int>(std::nearbyint(DbToLinear32768(MusicFound ? TriggerBack : TriggerFront)));
    return !AnySampleAbove16(Buffer, static_cast<size_t>(std::max(Bytes / 2, 0)), threshold);
}

}  // namespace kelvar
