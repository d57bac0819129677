#include "media/Decoder_WM9_Async.h"

#include <algorithm>

#include "audio/graph/Buffer_imp.h"
#include "foundation/Logger.h"
#include "media/DecoderFactory.h"
#include "media/WMFDecoder.h"

namespace kelvar::Decoder_WM9_Async {

TDecoder_WMA::TDecoder_WMA() = default;

TDecoder_WMA::~TDecoder_WMA() { Close(); }

bool TDecoder_WMA::CanDecode(const std::string& name, int pass) {
    return DecoderClassAccepts(TDecoderClass::WMAAsync, name, pass);
}

bool TDecoder_WMA::Open(const std::string& name) {
    Close();
    FInfo = TStreamInfo();
    try {
        auto wrapper = std::make_unique<TWMFDecoder>();
        wrapper->OnData = [this](TWMFDecoder& sender, const uint8_t* buffer, int bytes) {
            OnSample(sender, buffer, bytes);
        };
        wrapper->SetDecodeSpeed(1.0f);
        wrapper->CreateReader();
        wrapper->Open(name, false);
        FFormat = wrapper->GetFormat();
        FInfo.Size = static_cast<int32_t>(std::min<int64_t>(wrapper->GetSourceSize(), INT32_MAX));
        FInfo.Duration = static_cast<int32_t>(std::min<int64_t>(wrapper->GetDuration(), INT32_MAX));
        FInfo.Bitrate = wrapper->GetBitrate();
        FInfo.Channels = FFormat.Channels;
        FInfo.SampleRate = static_cast<int32_t>(FFormat.SamplesPerSec);
        FInfo.Bits = FFormat.BitsPerSample;
        // The buffer must exist before the first sample arrives.
        FBuffer = std::make_shared<TPreBuffer>(static_cast<int>(MsToBytes(FFormat, BufferMs)), ChunkBytes,
                                               static_cast<int>(MsToBytes(FFormat, PreBufferMs)));
        FChunkData.assign(ChunkBytes, 0);
        FWrapper = std::move(wrapper);
        FWrapper->Start(0);
        FOpen = true;
        return true;
    } catch (const std::exception& e) {
        LogMessage(std::string("WMA: ") + e.what() + " " + name, "Decoder", LogKind::Error);
        FWrapper.reset();
        FBuffer.reset();
        return false;
    }
}

// Decode thread: keeps the buffer at most full and lets the next Decode with room resume.
void TDecoder_WMA::OnSample(TWMFDecoder& sender, const uint8_t* buffer, int bytes) {
    FBuffer->Write(buffer, bytes);
    if (FBuffer->FreeSpace() <= 0) sender.Pause();
}

void TDecoder_WMA::Close() {
    if (!FOpen) return;
    FPosition = 0;
    FWrapper->Release();
    FWrapper.reset();
    FBuffer.reset();
    FOpen = false;
}

const TStreamInfo* TDecoder_WMA::GetInfo() { return &FInfo; }

void TDecoder_WMA::Decode(const TOnPCM& onPCM, const TOnMeta&) {
    if (!FOpen) throw EMediaError("WMA Decoder not yet open!");
    const bool ended = FWrapper->IsEndOfFile();  // before the take, so no late block is missed
    if (IChunkPtr chunk = FBuffer->GetChunk()) {
        const int size = chunk->GetSize();
        FPosition += BytesToMs(FFormat, size);
        if (size > 0 && onPCM) onPCM(chunk->GetData(), size, FFormat);
    } else if (ended) {
        FBuffer->SetEof();  // the last partial chunk becomes readable
    }
    if (FBuffer->FreeSpace() > 0 && FWrapper->GetPaused()) FWrapper->Resume();
}

bool TDecoder_WMA::IsEOF() { return !FWrapper || (FWrapper->IsEndOfFile() && FBuffer->IsEmpty()); }

bool TDecoder_WMA::IsSeekable() { return FWrapper && FInfo.Duration > 0; }

int64_t TDecoder_WMA::Seek(int64_t ms) {
    if (!FOpen) return 0;
    // Stop the thread before emptying, so nothing of the old position lands behind the clear.
    FWrapper->Stop();
    FBuffer->Clear();
    FWrapper->Start(ms);
    FPosition = static_cast<double>(ms);
    return ms;
}

void TDecoder_WMA::OnStarved() {}

}  // namespace kelvar::Decoder_WM9_Async
