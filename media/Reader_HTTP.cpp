#include "media/Reader_HTTP.h"

#include "audio/graph/Buffer_imp.h"

namespace kelvar {

IHTTPReader::~IHTTPReader() = default;

TReader_mp3HTTP::~TReader_mp3HTTP() { Close(); }

void TReader_mp3HTTP::Open(const std::string& name) {
    Close();
    FPreBuffer = std::make_shared<TPreBuffer>(BufferBytes, ChunkBytes, PreBufferBytes);
    // Off until the headers are in, so that no audio is held back before we know the stream.
    FPreBuffer->SetPreBufferEnabled(false);
    FStream = std::make_unique<THTTPStream>(FPreBuffer);
    FStream->OnHeaders = [this](THTTPStream&, const THeaderList& headers) { HeadersArrived(headers); };
    FStream->Open(name);
    FOpen = true;
}

void TReader_mp3HTTP::HeadersArrived(const THeaderList& headers) {
    if (OnHeaders) OnHeaders(*this, headers);
    FPreBuffer->SetPreBufferEnabled(true);
}

void TReader_mp3HTTP::Close() {
    if (!FOpen) return;
    FOpen = false;
    if (FStream) FStream->Stop();
    FStream.reset();
    FPreBuffer.reset();
}

int32_t TReader_mp3HTTP::Read(void* buffer, int32_t count) {
    if (!FStream || count <= 0 || IsEOF()) return 0;
    const bool dead = IsDead();
    if (!dead && FPreBuffer->DataAvailable() < count) return 0;
    const int got = FPreBuffer->Read(buffer, count);
    // Makes the last partial chunk readable on the next call.
    if (got == 0 && dead) FPreBuffer->SetEof();
    return got;
}

bool TReader_mp3HTTP::IsEOF() { return IsDead() && (!FPreBuffer || FPreBuffer->IsEmpty()); }
bool TReader_mp3HTTP::IsSeekable() { return false; }
int64_t TReader_mp3HTTP::Seek(int64_t) { return -1; }
int64_t TReader_mp3HTTP::GetSize() { return -1; }
int64_t TReader_mp3HTTP::GetPosition() { return -1; }
int64_t TReader_mp3HTTP::GetAvailable() { return FPreBuffer ? FPreBuffer->DataAvailable() : 0; }

int32_t TReader_mp3HTTP::GetBufferPercent() {
    if (!FPreBuffer || !FPreBuffer->GetPreBufferEnabled() || !FPreBuffer->IsPreBuffering()) return 100;
    return FPreBuffer->PreBufferPercent();
}

bool TReader_mp3HTTP::IsDead() { return !FStream || FStream->IsTimedOut(); }

void TReader_mp3HTTP::Rebuffer() {
    if (FPreBuffer) FPreBuffer->Restart();
}

}  // namespace kelvar
