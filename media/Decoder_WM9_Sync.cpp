#include "media/Decoder_WM9_Sync.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "foundation/Logger.h"
#include "media/DecoderFactory.h"
#include "platform/ffmpeg/WMReader.h"

namespace kelvar::Decoder_WM9_Sync {

namespace {

constexpr uint32_t E_INVALIDARG_CODE = 0x80070057;

[[noreturn]] void Raise(const std::string& text, uint32_t code) {
    char suffix[32];
    std::snprintf(suffix, sizeof(suffix), " (hr=$%X)", code);
    throw EMediaError(text + suffix);
}

bool StartsWithUpper(const std::string& name, const char* prefix) {
    std::string head = name.substr(0, std::char_traits<char>::length(prefix));
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return head == prefix;
}

}  // namespace

TDecoder_WMA::TDecoder_WMA() = default;

TDecoder_WMA::~TDecoder_WMA() { Close(); }

bool TDecoder_WMA::CanDecode(const std::string& name, int pass) {
    return DecoderClassAccepts(TDecoderClass::WMASync, name, pass);
}

void TDecoder_WMA::OpenFile(const std::string& name) {
    FReader.reset();
    FEndOfStream = false;
    if (name.empty()) Raise("Filename is empty", E_INVALIDARG_CODE);
    if (StartsWithUpper(name, "MMS") || StartsWithUpper(name, "HTTP"))
        Raise("Synchronized reader does not support streaming", E_INVALIDARG_CODE);
    auto reader = std::make_unique<platform::TWMReader>();
    const int result = reader->Open(name);
    if (result != 0) {
        LogMessage("Windows Media file " + name + ": " + reader->LastError(), "Decoder", LogKind::Warning);
        if (reader->FailedStep() == platform::TWMOpenStep::AudioStream)
            Raise("Could not get stream numbers", static_cast<uint32_t>(result));
        Raise("Could not open file", static_cast<uint32_t>(result));
    }
    // A missing codec plays like an empty file.
    if (reader->CodecMissing()) {
        LogMessage("Windows Media file " + name + ": " + reader->LastError(), "Decoder", LogKind::Warning);
        FEndOfStream = true;
    }
    FDuration = reader->DurationMs();
    FBitrate = reader->BitrateKbps();
    FFormat = reader->Format();
    FInfo.Size = static_cast<int32_t>(std::min<int64_t>(reader->FileSize(), INT32_MAX));
    FReader = std::move(reader);
}

bool TDecoder_WMA::Open(const std::string& name) {
    Close();
    FInfo = TStreamInfo();
    FLastError.clear();
    try {
        OpenFile(name);
    } catch (const std::exception& e) {
        FLastError = e.what();
        LogMessage(std::string("WMA: ") + e.what() + " " + name, "Decoder", LogKind::Error);
        FReader.reset();
        return false;
    }
    FInfo.Duration = static_cast<int32_t>(std::min<int64_t>(FDuration, INT32_MAX));
    FInfo.Bitrate = FBitrate;
    FInfo.Channels = FFormat.Channels;
    FInfo.SampleRate = static_cast<int32_t>(FFormat.SamplesPerSec);
    FInfo.Bits = FFormat.BitsPerSample;
    FOpen = true;
    return true;
}

void TDecoder_WMA::Close() {
    if (!FOpen) return;
    FPosition = 0;
    FReader.reset();
    FOpen = false;
}

const TStreamInfo* TDecoder_WMA::GetInfo() { return &FInfo; }

void TDecoder_WMA::Decode(const TOnPCM& onPCM, const TOnMeta&) {
    if (!FOpen) throw EMediaError("WMA Decoder not yet open!");
    if (FEndOfStream) return;
    const platform::TWMReader::TOnPCM deliver = [&](const uint8_t* buffer, int bytes) {
        FPosition += BytesToMs(FFormat, bytes);
        if (bytes > 0 && onPCM) onPCM(buffer, bytes, FFormat);
    };
    const platform::TWMReadResult result = FReader->ReadNext(deliver);
    if (result == platform::TWMReadResult::Data) return;
    // A broken stream ends the song; the deck is not troubled with it.
    if (result == platform::TWMReadResult::Failed)
        LogMessage("WMA decoding ended: " + FReader->LastError(), "Decoder", LogKind::Warning);
    FEndOfStream = true;
}

bool TDecoder_WMA::IsEOF() { return !FOpen || FEndOfStream; }

bool TDecoder_WMA::IsSeekable() { return FInfo.Duration > 0; }

int64_t TDecoder_WMA::Seek(int64_t ms) {
    if (!FOpen) return -1;
    if (ms < 0) ms = 0;
    if (!FReader->Seek(ms)) LogMessage("WMA: SetRange " + FReader->LastError(), "Decoder", LogKind::Warning);
    FEndOfStream = FReader->CodecMissing();
    FPosition = static_cast<double>(ms);
    return ms;
}

void TDecoder_WMA::OnStarved() {}

}  // namespace kelvar::Decoder_WM9_Sync
