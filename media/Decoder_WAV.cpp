#include "media/Decoder_WAV.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "audio/nodes/ACMConvert.h"
#include "foundation/Logger.h"
#include "media/DecoderFactory.h"
#include "media/Reader_File.h"
#include "media/WaveLength.h"

namespace kelvar {

namespace {

constexpr int32_t ReadChunkSize = 4096;
constexpr uint32_t MaxFormatChunk = 1024;
constexpr uint32_t MinFormatChunk = 16;  // the PCM fields; the extra size may be missing

uint32_t LE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Printable ASCII (letters, digits, blank), as chunk ids are.
bool PlausibleChunkId(const uint8_t* id) {
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = id[i];
        if (!(std::isalnum(c) || c == ' ')) return false;
    }
    return true;
}

}  // namespace

TDecoder_WAV::TDecoder_WAV() = default;
TDecoder_WAV::~TDecoder_WAV() { Close(); }

bool TDecoder_WAV::CanDecode(const std::string& name, int pass) {
    return DecoderClassAccepts(TDecoderClass::WAV, name, pass);
}

bool TDecoder_WAV::Open(const std::string& name) {
    Close();
    FInfo = TStreamInfo();
    FInfo.Duration = -1;
    FDataStart = 0;
    FDataSize = 0;
    FFrameCount = 0;
    FFormatChunk.clear();
    FSource = TWaveFormat();
    auto reader = std::make_unique<TReader_File>();
    reader->Open(name);
    FReader = std::move(reader);
    ParseHeader();
    FReadChunk.assign(ReadChunkSize, 0);
    return true;
}

bool TDecoder_WAV::ReadChunkHeader(char id[4], uint32_t& size) {
    uint8_t header[8];
    if (FReader->Read(header, 8) != 8) return false;
    std::memcpy(id, header, 4);
    size = LE32(header + 4);
    return true;
}

// Moves past a chunk's body. RIFF pads odd-sized chunks to an even length, but some writers
// leave the pad out: take the padded position only when a chunk id starts there.
void TDecoder_WAV::SkipTo(int64_t unpadded, uint32_t size) {
    if ((size & 1) == 0) {
        FReader->Seek(unpadded);
        return;
    }
    uint8_t id[4];
    FReader->Seek(unpadded + 1);
    if (FReader->Read(id, 4) == 4 && PlausibleChunkId(id)) {
        FReader->Seek(unpadded + 1);
        return;
    }
    FReader->Seek(unpadded);
    if (FReader->Read(id, 4) == 4 && PlausibleChunkId(id)) {
        FReader->Seek(unpadded);
        return;
    }
    FReader->Seek(unpadded + 1);
}

void TDecoder_WAV::ParseHeader() {
    FFileSize = FReader->GetSize();
    FDataSize = FFileSize;
    FFactSamples = 0;
    FInfo.Size = static_cast<int32_t>(std::min<int64_t>(FFileSize, INT32_MAX));
    FValid = false;

    uint8_t riff[12];
    if (FReader->Read(riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return;

    bool haveFormat = false;
    while (true) {
        char id[4];
        uint32_t size = 0;
        if (!ReadChunkHeader(id, size)) break;
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (size < 1 || size > MaxFormatChunk) break;
            std::vector<uint8_t> chunk(size);
            if (FReader->Read(chunk.data(), static_cast<int32_t>(size)) != static_cast<int32_t>(size)) break;
            // Fields the chunk does not reach would be read from bytes never written.
            if (size < MinFormatChunk) {
                LogMessage("WAV format chunk too short", "Decoder", LogKind::Warning);
                break;
            }
            FFormatChunk = chunk;
            if (FFormatChunk.size() < sizeof(TWaveFormat)) FFormatChunk.resize(sizeof(TWaveFormat), 0);
            std::memcpy(&FSource, FFormatChunk.data(), sizeof(TWaveFormat));
            haveFormat = true;
            SkipTo(FReader->GetPosition(), size);
        } else if (std::memcmp(id, "fact", 4) == 0 && size >= 4) {
            uint8_t count[4];
            if (FReader->Read(count, 4) == 4)
                FFactSamples = uint32_t(count[0]) | (uint32_t(count[1]) << 8) | (uint32_t(count[2]) << 16) |
                               (uint32_t(count[3]) << 24);
            SkipTo(FReader->GetPosition() + size - 4, size);
        } else if (std::memcmp(id, "data", 4) == 0) {
            // The walk does not skip the audio, so without a format first it would go on
            // reading samples as chunk headers: such a file is not playable.
            if (!haveFormat) break;
            FDataSize = size;
            FDataStart = FReader->GetPosition();
        } else {
            SkipTo(FReader->GetPosition() + size, size);
        }
        FValid = haveFormat && FDataStart != 0;
        if (FValid || FReader->IsEOF()) break;
    }
    if (!FValid) return;

    // A block align or rate of 0 would divide by zero below; such a file can't be played.
    if (FSource.BlockAlign == 0 || FSource.SamplesPerSec == 0 || FSource.Channels == 0) {
        LogMessage("WAV format without block align, rate or channels", "Decoder", LogKind::Warning);
        FValid = false;
        return;
    }

    // Compressed formats name their coded width (4 for ADPCM) or none; PCM has no such width.
    const uint16_t bits = FSource.BitsPerSample;
    const bool pcmWidth = bits == 8 || bits == 16 || bits == 24 || bits == 32;
    FTarget = MakePcmFormat(FSource.SamplesPerSec, FSource.Channels, pcmWidth ? bits : 16);
    if (FSource.FormatTag != WAVE_FORMAT_PCM && !OpenConverter()) {
        FValid = false;
        return;
    }

    // A size of 0 comes from a file written while recording; a size past the end from a
    // truncated file: both play what the file holds.
    const int64_t inFile = std::max<int64_t>(0, FFileSize - FDataStart);
    if (FDataSize == 0 || FDataSize > inFile) FDataSize = inFile;
    // PCM goes out as it is read, in whole frames: a broken last frame is left out.
    if (FSource.FormatTag == WAVE_FORMAT_PCM) FDataSize -= FDataSize % FSource.BlockAlign;
    FFrameCount = FDataSize / FSource.BlockAlign;
    double duration = 0;
    if (FSource.FormatTag == WAVE_FORMAT_PCM)
        duration = static_cast<double>(FFrameCount) / FSource.SamplesPerSec * 1000.0;
    else if (FSource.AvgBytesPerSec != 0 || FFactSamples > 0 || FSource.FormatTag == WaveFormatMpeg ||
             FSource.FormatTag == WaveFormatMpegLayer3) {
        uint8_t head[64] = {};
        const int32_t got = FReader->Seek(FDataStart) >= 0
                                ? FReader->Read(head, static_cast<int32_t>(std::min<int64_t>(FDataSize, sizeof head)))
                                : 0;
        duration = CompressedWaveSeconds(FSource.FormatTag, FSource.SamplesPerSec, FSource.AvgBytesPerSec, FDataSize,
                                         FFactSamples, head, std::max(got, 0)) *
                   1000.0;
    }
    if (duration <= 0 && FSource.FormatTag != WAVE_FORMAT_PCM && FFrameCount > 0)
        duration = static_cast<double>(FFrameCount) / FSource.SamplesPerSec * 1000.0;
    FInfo.Duration = static_cast<int32_t>(std::llround(duration));
    FInfo.Bitrate = static_cast<int32_t>(static_cast<int64_t>(FSource.AvgBytesPerSec) * 8 / 1000);
    FInfo.Channels = FSource.Channels;
    FInfo.SampleRate = static_cast<int32_t>(FSource.SamplesPerSec);
    FInfo.Bits = FSource.BitsPerSample;
    FReader->Seek(FDataStart);
}

bool TDecoder_WAV::OpenConverter() {
    if (!FConverter) FConverter = std::make_unique<TACMConvert>();
    try {
        const size_t extra = FFormatChunk.size() > sizeof(TWaveFormat) ? FFormatChunk.size() - sizeof(TWaveFormat) : 0;
        FConverter->Open(FSource, FTarget, std::span<const uint8_t>(FFormatChunk.data() + sizeof(TWaveFormat), extra));
        return true;
    } catch (const std::exception& e) {
        LogMessage(std::string("WAV format ") + std::to_string(FSource.FormatTag) + " can't be converted: " + e.what(),
                   "Decoder", LogKind::Warning);
        FConverter.reset();
        return false;
    }
}

void TDecoder_WAV::Close() {
    if (FConverter) FConverter->Close();
    FConverter.reset();
    if (!FReader) return;
    FReadChunk.clear();
    FReader.reset();
    FValid = false;
    FPosition = 0;
}

const TStreamInfo* TDecoder_WAV::GetInfo() { return &FInfo; }

void TDecoder_WAV::Decode(const TOnPCM& onPCM, const TOnMeta&) {
    if (!FReader) throw EMediaError("WAV Decoder not yet open!");
    if (!FValid) return;
    int64_t want = std::min<int64_t>(FDataStart + FDataSize - FReader->GetPosition(), ReadChunkSize);
    // Whole frames only, so no block splits a sample frame.
    if (FSource.BlockAlign <= ReadChunkSize && want > FSource.BlockAlign) want -= want % FSource.BlockAlign;
    if (want <= 0) return;
    const int32_t got = FReader->Read(FReadChunk.data(), static_cast<int32_t>(want));
    if (got <= 0) return;
    if (!FConverter) {
        if (onPCM) onPCM(FReadChunk.data(), got, FSource);
        return;
    }
    uint32_t produced = 0;
    try {
        produced = FConverter->Convert(FReadChunk.data(), static_cast<uint32_t>(got));
    } catch (const std::exception& e) {
        LogMessage(e.what(), "Decoder", LogKind::Error);
        FValid = false;  // ends the song
        return;
    }
    if (produced > 0 && onPCM) onPCM(FConverter->GetOutput(), static_cast<int32_t>(produced), FTarget);
}

bool TDecoder_WAV::IsEOF() {
    return !FValid || !FReader || FReader->IsEOF() || FReader->GetPosition() >= FDataStart + FDataSize;
}

bool TDecoder_WAV::IsSeekable() { return FReader && FReader->IsSeekable(); }

int64_t TDecoder_WAV::MsToByteOffset(int64_t ms) const {
    const TWaveFormat& f = FSource;
    if (FFormatChunk.empty()) return 0;
    double bytes = 0;
    if (f.FormatTag == WAVE_FORMAT_PCM || (f.AvgBytesPerSec == 0 && FFrameCount > 0 && f.SamplesPerSec > 0))
        bytes = static_cast<double>(f.SamplesPerSec) * ms / 1000.0 * f.BlockAlign;
    else if (f.AvgBytesPerSec != 0)
        bytes = static_cast<double>(f.AvgBytesPerSec) * ms / 1000.0;
    int64_t offset = std::llround(bytes);
    if (f.BlockAlign > 0) offset -= offset % f.BlockAlign;
    return offset;
}

int64_t TDecoder_WAV::Seek(int64_t ms) {
    if (!FReader) return 0;
    if (ms < 0) ms = 0;
    FReader->Seek(FDataStart + MsToByteOffset(ms));
    // What the converter holds belongs to the old position.
    if (FConverter && FValid && !OpenConverter()) FValid = false;
    FPosition = static_cast<double>(ms);
    return ms;
}

void TDecoder_WAV::OnStarved() {}

}  // namespace kelvar
