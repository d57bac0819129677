#include "media/Decoder_mp3PRO2.h"

#include <mpg123.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <mutex>

#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "media/DecoderFactory.h"
#include "media/Reader_File.h"
#include "media/Reader_HTTP.h"
#include "media/tags/MPEGaudioEx.h"
#include "media/tags/OggTagUtils.h"

namespace kelvar {

namespace {

bool LibraryReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = mpg123_init() == MPG123_OK; });
    return ready;
}

[[noreturn]] void DriverFailure(mpg123_handle* handle, int code) {
    const char* text = handle && code == MPG123_ERR ? mpg123_strerror(handle) : mpg123_plain_strerror(code);
    throw EMediaError(std::string("mp3PRODec: ") + (text ? text : "unknown error"));
}

// A handle in feed mode giving 16-bit signed output at any rate.
mpg123_handle* NewFeedHandle(long extraFlags) {
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) DriverFailure(nullptr, err);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | extraFlags, 0.0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    err = mpg123_open_feed(h);
    if (err != MPG123_OK) {
        mpg123_delete(h);
        DriverFailure(nullptr, err);
    }
    return h;
}

// A Xing/Info or VBRI frame first gives the real length; without one the length is a guess
// from the first frames' bit rate.
bool HasLengthHeader(const uint8_t* data, int32_t size) {
    if (size < 4 || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0) return false;
    const bool mpeg1 = ((data[1] >> 3) & 3) == 3;
    const bool mono = ((data[3] >> 6) & 3) == 3;
    const int32_t at = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if (size >= at + 4 && (std::memcmp(data + at, "Xing", 4) == 0 || std::memcmp(data + at, "Info", 4) == 0))
        return true;
    return size >= 40 && std::memcmp(data + 36, "VBRI", 4) == 0;
}

// Reads at an offset through the deck's reader, for the frame count and the padding skip.
TReadAt ReaderAt(IReader& reader) {
    return [&reader](int64_t offset, uint8_t* buffer, int64_t count) -> int64_t {
        if (reader.Seek(offset) < 0) return -1;
        return reader.Read(buffer, static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX)));
    };
}

int32_t ToInt(const std::string& text) {
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

}  // namespace

TDecoder_mp3PRO::TDecoder_mp3PRO() {
    if (!LibraryReady()) throw EMediaError("Unable to load mp3PRO decoder driver.");
}

TDecoder_mp3PRO::~TDecoder_mp3PRO() { Close(); }

bool TDecoder_mp3PRO::CanDecode(const std::string& name, int pass) {
    return DecoderClassAccepts(TDecoderClass::MP3, name, pass);
}

bool TDecoder_mp3PRO::Open(const std::string& name) {
    Close();
    FInfo = TStreamInfo();
    FHasID3v1 = FHasID3v2 = FScanned = false;
    FToc.clear();
    FTocBytes = 0;
    FDataStart = 0;
    FFileSize = FAudioSize = -1;
    FDurationMs = 0;
    FIcyInterval = FIcyCounter = 0;
    FIcyPending = false;
    FStationName.clear();
    FHeadersTaken = false;
    {
        std::lock_guard<std::mutex> lock(FHeaderLock);
        FHeadersSeen = false;
        FHeaderBitrate = FHeaderInterval = 0;
        FHeaderStation.clear();
    }
    FLastPercent = 100;
    FLastRebuffer = MsSinceStart();

    FStream = UpperAscii(name).rfind("HTTP://", 0) == 0;
    if (FStream) {
        auto reader = std::make_shared<TReader_mp3HTTP>();
        reader->OnHeaders = [this](TReader_mp3HTTP&, const THeaderList& headers) { IcyHeaders(headers); };
        FReader = reader;
    } else {
        FReader = std::make_shared<TReader_File>();
    }
    try {
        FReader->Open(name);
        if (!FStream) ScanFile();
        FOutput.assign(OutputChunkBytes, 0);
        FInput.assign(InputBytes, 0);
        FHandle = NewFeedHandle(0);
    } catch (...) {
        Close();
        throw;
    }
    return true;
}

void TDecoder_mp3PRO::ScanFile() {
    const int64_t size = FReader->GetSize();
    FFileSize = FAudioSize = size;
    FInfo.Size = static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));

    uint8_t tail[128];
    if (size >= 128 && FReader->Seek(size - 128) >= 0 && FReader->Read(tail, 128) == 128 &&
        std::memcmp(tail, "TAG", 3) == 0) {
        FHasID3v1 = true;
        FAudioSize -= 128;
    }

    uint8_t head[10];
    FReader->Seek(0);
    if (FReader->Read(head, 10) == 10 && std::memcmp(head, "ID3", 3) == 0) {
        FHasID3v2 = true;
        int64_t tagSize = (int64_t(head[6] & 0x7F) << 21) | (int64_t(head[7] & 0x7F) << 14) |
                          (int64_t(head[8] & 0x7F) << 7) | int64_t(head[9] & 0x7F);
        tagSize += (head[5] & 0x10) ? 20 : 10;
        if (tagSize > size) tagSize = 0;
        // A second tag right behind the first is not audio either.
        while (tagSize > 0 && FReader->Seek(tagSize) >= 0 && FReader->Read(head, 10) == 10 &&
               std::memcmp(head, "ID3", 3) == 0) {
            const int64_t next = ((int64_t(head[6] & 0x7F) << 21) | (int64_t(head[7] & 0x7F) << 14) |
                                  (int64_t(head[8] & 0x7F) << 7) | int64_t(head[9] & 0x7F)) +
                                 ((head[5] & 0x10) ? 20 : 10);
            if (tagSize + next > size) break;
            tagSize += next;
        }
        FDataStart = tagSize;
        FAudioSize -= tagSize;
    }
    // Zero padding before the first frame is not audio.
    const int64_t audioEnd = FDataStart + FAudioSize;
    const int64_t firstByte = TMPEGaudioEx::SkipZeros(ReaderAt(*FReader), FDataStart, audioEnd);
    FAudioSize -= firstByte - FDataStart;
    FDataStart = firstByte;

    FReader->Seek(FDataStart);
    std::vector<uint8_t> first(ScanBytes);
    const int32_t got = FReader->Read(first.data(), ScanBytes);
    if (got > 0) {
        mpg123_handle* info = NewFeedHandle(0);
        mpg123_set_filesize(info, static_cast<off_t>(std::max<int64_t>(FAudioSize, 0)));
        mpg123_feed(info, first.data(), static_cast<size_t>(got));
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(info, &rate, &channels, &encoding) == MPG123_OK && rate > 0) {
            mpg123_frameinfo fi{};
            mpg123_info(info, &fi);
            int64_t samples = mpg123_length(info);
            if (!HasLengthHeader(first.data(), got) && FReader->IsSeekable()) {
                const TMPEGFrameCount counted = CountMPEGFrames(ReaderAt(*FReader), FDataStart, audioEnd);
                if (counted.Samples > 0) samples = counted.Samples;
            }
            FDurationMs = samples > 0 ? static_cast<int32_t>(std::llround(double(samples) * 1000.0 / rate)) : 0;
            int32_t kbps = fi.bitrate;
            // A variable bit rate gives its mean over the whole file.
            if (fi.vbr != MPG123_CBR && FDurationMs > 0) kbps = static_cast<int32_t>(FAudioSize * 8 / FDurationMs);
            FInfo.Size = static_cast<int32_t>(std::min<int64_t>(FFileSize, INT32_MAX));
            FInfo.Duration = FDurationMs;
            FInfo.Bitrate = kbps;
            FInfo.Channels = channels;
            FInfo.SampleRate = static_cast<int32_t>(rate);
            FInfo.Bits = 16;
            FScanned = true;
            ReadSeekTable(first.data(), got);
        }
        mpg123_delete(info);
    }
    FReader->Seek(FDataStart);
}

// The Xing/Info frame that encoders put first: its table maps percent of time to bytes.
void TDecoder_mp3PRO::ReadSeekTable(const uint8_t* data, int32_t size) {
    FToc.clear();
    FTocBytes = 0;
    if (size < 4 || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0) return;
    const bool mpeg1 = ((data[1] >> 3) & 3) == 3;
    const bool mono = ((data[3] >> 6) & 3) == 3;
    const int32_t at = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if (size < at + 8) return;
    if (std::memcmp(data + at, "Xing", 4) != 0 && std::memcmp(data + at, "Info", 4) != 0) return;
    const auto be32 = [&](int32_t p) {
        return (uint32_t(data[p]) << 24) | (uint32_t(data[p + 1]) << 16) | (uint32_t(data[p + 2]) << 8) | data[p + 3];
    };
    const uint32_t flags = be32(at + 4);
    int32_t p = at + 8;
    if (flags & 1) p += 4;  // frame count
    if (flags & 2) {
        if (size < p + 4) return;
        FTocBytes = be32(p);
        p += 4;
    }
    if ((flags & 4) && size >= p + 100) FToc.assign(data + p, data + p + 100);
}

int64_t TDecoder_mp3PRO::SeekPointByTime(int64_t ms) const {
    if (FDurationMs <= 0 || FAudioSize <= 0) return 0;
    const double percent = std::clamp(static_cast<double>(ms) * 100.0 / FDurationMs, 0.0, 100.0);
    if (FToc.size() == 100) {
        const int a = std::min(99, static_cast<int>(percent));
        const double fa = FToc[static_cast<size_t>(a)];
        const double fb = a < 99 ? FToc[static_cast<size_t>(a) + 1] : 256.0;
        const double fx = fa + (fb - fa) * (percent - a);
        const int64_t bytes = FTocBytes > 0 ? std::min(FTocBytes, FAudioSize) : FAudioSize;
        return static_cast<int64_t>(fx / 256.0 * static_cast<double>(bytes));
    }
    return static_cast<int64_t>(percent / 100.0 * static_cast<double>(FAudioSize));
}

void TDecoder_mp3PRO::ResetDriver() {
    if (!FHandle) return;
    const int err = mpg123_open_feed(FHandle);
    if (err != MPG123_OK) DriverFailure(FHandle, err);
}

void TDecoder_mp3PRO::Close() {
    if (FHandle) mpg123_delete(FHandle);
    FHandle = nullptr;
    FInput.clear();
    FOutput.clear();
    FIcyPending = false;
    FIcyBlock.clear();
    if (FReader) FReader->Close();
    FReader.reset();
    FDecodedPosition = 0;
}

const TStreamInfo* TDecoder_mp3PRO::GetInfo() { return &FInfo; }

void TDecoder_mp3PRO::SendBufferLevel(int percent, const TOnMeta& onMeta) {
    if (percent == FLastPercent) return;
    FLastPercent = percent;
    if (onMeta) onMeta(std::make_shared<TMetaBuffer>(MetaKind::Buffer, percent, 0));
}

void TDecoder_mp3PRO::IcyHeaders(const THeaderList& headers) {
    std::lock_guard<std::mutex> lock(FHeaderLock);
    FHeaderBitrate = ToInt(headers.Values("icy-br"));
    FHeaderStation = AnsiToUtf8(headers.Values("icy-name"));
    FHeaderInterval = std::max(0, ToInt(headers.Values("icy-metaint")));
    FHeadersSeen = true;
}

// The stream's headers come on the stream thread; they are taken over here, on the decoding
// thread, before the first body byte is read, so the metadata interval holds from byte one.
bool TDecoder_mp3PRO::TakeIcyHeaders() {
    if (FHeadersTaken) return true;
    std::lock_guard<std::mutex> lock(FHeaderLock);
    if (!FHeadersSeen) return false;
    FInfo.Bitrate = FHeaderBitrate;
    FStationName = FHeaderStation;
    FIcyInterval = FHeaderInterval;
    FIcyCounter = 0;
    FHeadersTaken = true;
    return true;
}

bool TDecoder_mp3PRO::ReadPendingMeta(const TOnMeta& onMeta) {
    const size_t left = FIcyBlock.size() - FIcyFill;
    if (left > 0) {
        const int32_t got = FReader->Read(FIcyBlock.data() + FIcyFill, static_cast<int32_t>(left));
        if (got > 0) FIcyFill += static_cast<size_t>(got);
    }
    if (FIcyFill < FIcyBlock.size()) return false;
    CompleteMeta(onMeta);
    return true;
}

void TDecoder_mp3PRO::CompleteMeta(const TOnMeta& onMeta) {
    std::string text(reinterpret_cast<const char*>(FIcyBlock.data()), FIcyBlock.size());
    text = text.substr(0, text.find('\0'));
    FIcyPending = false;
    FIcyBlock.clear();
    FIcyFill = 0;
    FIcyCounter = 0;
    // A block without a stream title (only a StreamUrl, say) gives no caption.
    const auto key = UpperAscii(text).find("STREAMTITLE=");
    if (key == std::string::npos) return;
    std::string title = text.substr(std::min(text.size(), key + 13));
    const auto end = title.find("';");
    title = end == std::string::npos ? std::string() : title.substr(0, end);
    // Stations send their titles in UTF-8 or in a Windows code page, undeclared.
    const std::string caption = AnsiToUtf8(title) + " (" + FStationName + ")";
    if (onMeta)
        onMeta(std::make_shared<TMetaCaption>(MetaKind::Caption, caption,
                                              static_cast<TStreamTime>(std::llround(FDecodedPosition))));
}

int32_t TDecoder_mp3PRO::ReadInput(const TOnMeta& onMeta) {
    if (FIcyInterval <= 0) return FReader->Read(FInput.data(), static_cast<int32_t>(FInput.size()));
    if (FIcyPending && !ReadPendingMeta(onMeta)) return 0;
    if (FIcyCounter >= FIcyInterval) {
        uint8_t length = 0;
        if (FReader->Read(&length, 1) != 1) return 0;
        if (length > 0) {
            FIcyPending = true;
            FIcyBlock.assign(size_t(length) * 16, 0);
            FIcyFill = 0;
            if (!ReadPendingMeta(onMeta)) return 0;
        } else {
            FIcyCounter = 0;
        }
    }
    const int32_t want = std::min<int32_t>(static_cast<int32_t>(FInput.size()), FIcyInterval - FIcyCounter);
    const int32_t got = FReader->Read(FInput.data(), want);
    if (got > 0) FIcyCounter += got;
    return got;
}

void TDecoder_mp3PRO::Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) {
    if (!FHandle || !FReader) throw EMediaError("mp3PRO Decoder not yet open!");
    if (FStream && !TakeIcyHeaders()) {
        SendBufferLevel(FReader->GetBufferPercent(), onMeta);
        return;
    }
    const int32_t got = ReadInput(onMeta);
    if (got <= 0) {
        SendBufferLevel(FReader->GetBufferPercent(), onMeta);
        return;
    }
    SendBufferLevel(100, onMeta);

    int err = mpg123_feed(FHandle, FInput.data(), static_cast<size_t>(got));
    if (err != MPG123_OK) DriverFailure(FHandle, err);
    bool produced = false;
    while (true) {
        size_t done = 0;
        err = mpg123_read(FHandle, FOutput.data(), FOutput.size(), &done);
        if (done > 0) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(FHandle, &rate, &channels, &encoding);
            const TWaveFormat format = MakePcmFormat(static_cast<uint32_t>(rate), static_cast<uint16_t>(channels), 16);
            if (onPCM) onPCM(FOutput.data(), static_cast<int32_t>(done), format);
            FDecodedPosition += static_cast<double>(BytesToMsRounded(format, static_cast<int32_t>(done)));
            produced = true;
        }
        if (err == MPG123_OK || err == MPG123_NEW_FORMAT) continue;
        if (err == MPG123_NEED_MORE || err == MPG123_DONE) break;
        DriverFailure(FHandle, err);
    }
    if (produced) {
        // A length that was only a guess never ends the song while audio remains.
        if (!FStream && FInfo.Duration > 0 && FDecodedPosition > FInfo.Duration)
            FInfo.Duration = static_cast<int32_t>(std::ceil(FDecodedPosition));
        mpg123_frameinfo fi{};
        if (mpg123_info(FHandle, &fi) == MPG123_OK) {
            FInfo.Bitrate = fi.bitrate;
            FInfo.SampleRate = static_cast<int32_t>(fi.rate);
            FInfo.Bits = 16;
            FInfo.Channels = fi.mode == MPG123_M_MONO ? 1 : 2;
        }
    }
}

bool TDecoder_mp3PRO::IsEOF() { return !FReader || FReader->IsEOF(); }

bool TDecoder_mp3PRO::IsSeekable() { return !FStream && FReader && FReader->IsSeekable(); }

int64_t TDecoder_mp3PRO::Seek(int64_t ms) {
    if (!FReader) return 0;
    if (!FStream && FScanned) {
        if (ms < 0) ms = 0;
        const int64_t offset = SeekPointByTime(ms);
        FReader->Seek(FDataStart + offset);
        FIcyPending = false;
        ResetDriver();
        FDecodedPosition = static_cast<double>(ms);
        return ms;
    }
    // A stream stays where it is, so its metadata framing goes on: a metadata block half read
    // stays pending, or its rest would be taken for audio and every later length byte missed.
    FReader->Seek(0);
    if (!FStream) FIcyPending = false;
    ResetDriver();
    FDecodedPosition = 0;
    return 0;
}

void TDecoder_mp3PRO::OnStarved() {
    const int64_t now = MsSinceStart();
    if (now - FLastRebuffer > RebufferIntervalMs) {
        if (auto http = std::dynamic_pointer_cast<IHTTPReader>(FReader)) http->Rebuffer();
    }
    FLastRebuffer = now;
}

}  // namespace kelvar
