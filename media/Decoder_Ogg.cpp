#define OV_EXCLUDE_STATIC_CALLBACKS
#include "media/Decoder_Ogg.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "media/DecoderFactory.h"
#include "media/Reader_File.h"
#include "media/Reader_HTTP.h"
#include "media/tags/OggTagUtils.h"

namespace kelvar {

struct TDecoder_Ogg::TVorbisFile {
    OggVorbis_File File{};
};

namespace {

std::string SeekErrorText(int code) {
    switch (code) {
        case OV_ENOSEEK: return "Bitstream is not seekable.";
        case OV_EBADLINK: return "Invalid stream section supplied to libvorbisfile, or the requested link is corrupt.";
        case OV_EINVAL: return "Invalid argument value.";
        case OV_EFAULT: return "Internal logic fault";
        case OV_EREAD: return "A read from media returned an error.";
        default: return "Seek failed (" + std::to_string(code) + ")";
    }
}

std::string OpenErrorText(int code) {
    switch (code) {
        case OV_EREAD: return "a read from media returned an error";
        case OV_ENOTVORBIS: return "not Vorbis data";
        case OV_EVERSION: return "Vorbis version mismatch";
        case OV_EBADHEADER: return "invalid Vorbis stream header";
        case OV_EFAULT: return "internal logic fault";
        default: return "error " + std::to_string(code);
    }
}

}  // namespace

TDecoder_Ogg::TDecoder_Ogg() : FVorbis(std::make_unique<TVorbisFile>()) {}

TDecoder_Ogg::~TDecoder_Ogg() { Close(); }

bool TDecoder_Ogg::CanDecode(const std::string& name, int pass) {
    return DecoderClassAccepts(TDecoderClass::Ogg, name, pass);
}

size_t TDecoder_Ogg::CbRead(void* buffer, size_t size, size_t count, void* source) {
    auto* self = static_cast<TDecoder_Ogg*>(source);
    if (size == 0 || count == 0 || !self->FReader) return 0;
    const size_t wanted = std::min<size_t>(size * count, INT32_MAX);
    // The largest read the library asks for is what a stream must hold before we decode it.
    self->FMinAvailable = std::max<int64_t>(self->FMinAvailable, static_cast<int64_t>(wanted));
    const int32_t got = self->FReader->Read(buffer, static_cast<int32_t>(wanted));
    return got > 0 ? static_cast<size_t>(got) / size : 0;
}

int TDecoder_Ogg::CbSeek(void* source, int64_t offset, int whence) {
    auto* self = static_cast<TDecoder_Ogg*>(source);
    if (!self->FReader || !self->FReader->IsSeekable()) return -1;
    int64_t target = offset;
    if (whence == SEEK_CUR)
        target = self->FReader->GetPosition() + offset;
    else if (whence == SEEK_END)
        target = self->FReader->GetSize() + offset;
    if (target < 0) return -1;
    return self->FReader->Seek(target) < 0 ? -1 : 0;
}

int TDecoder_Ogg::CbClose(void*) { return 0; }

long TDecoder_Ogg::CbTell(void* source) {
    auto* self = static_cast<TDecoder_Ogg*>(source);
    return self->FReader ? static_cast<long>(self->FReader->GetPosition()) : -1;
}

bool TDecoder_Ogg::Open(const std::string& name) {
    Close();
    FEndCode = 0;
    FMinAvailable = MinAvailableBytes;
    FOpened = false;
    FName = name;
    FStream = UpperAscii(name).rfind("HTTP://", 0) == 0;
    if (FStream)
        FReader = std::make_shared<TReader_mp3HTTP>();
    else
        FReader = std::make_shared<TReader_File>();

    FComments.clear();
    FInfo = TStreamInfo();
    FLastPercent = 100;
    FLastRebuffer = MsSinceStart();
    FPosition = 0;
    try {
        FReader->Open(name);
        if (!FStream) {
            const int code = OpenLibrary();
            if (code < 0) throw EMediaError("Cannot open Ogg Vorbis file " + name + ": " + OpenErrorText(code));
            FInfo.Size = static_cast<int32_t>(std::clamp<int64_t>(FReader->GetSize(), -1, INT32_MAX));
            const double total = ov_time_total(&FVorbis->File, -1);
            if (total >= 0)
                FInfo.Duration = static_cast<int32_t>(std::min<long long>(std::llround(total * 1000.0), INT32_MAX));
            ReadComments();
            TakeStreamInfo();
        }
    } catch (...) {
        Close();
        throw;
    }
    FOutput.assign(OutputChunkBytes, 0);
    return true;
}

int TDecoder_Ogg::OpenLibrary() {
    const ov_callbacks callbacks = {&CbRead, &CbSeek, &CbClose, &CbTell};
    FCurrentStream = -1;
    const int code = ov_open_callbacks(this, &FVorbis->File, nullptr, 0, callbacks);
    // On failure the library has already freed what it took.
    FOpened = code == 0;
    return code;
}

void TDecoder_Ogg::TakeStreamInfo() {
    if (!FOpened) return;
    if (const vorbis_info* vi = ov_info(&FVorbis->File, -1)) {
        FInfo.Bitrate = static_cast<int32_t>(vi->bitrate_nominal / 1000);
        FInfo.Channels = vi->channels;
        FInfo.SampleRate = static_cast<int32_t>(vi->rate);
        FInfo.Bits = 16;
    }
}

void TDecoder_Ogg::ReadComments() {
    FComments.clear();
    if (!FOpened) return;
    const vorbis_comment* vc = ov_comment(&FVorbis->File, -1);
    if (!vc) return;
    for (const TStrComment& c : ParseComments(*vc, cmUnicode)) FComments.push_back(c.Full);
}

void TDecoder_Ogg::SendCaption(const TOnMeta& onMeta) {
    std::string artist, title;
    bool haveArtist = false, haveTitle = false;
    for (const std::string& line : FComments) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = UpperAscii(line.substr(0, eq));
        if (key == "ARTIST" && !haveArtist) {
            artist = line.substr(eq + 1);
            haveArtist = true;
        } else if (key == "TITLE" && !haveTitle) {
            title = line.substr(eq + 1);
            haveTitle = true;
        }
    }
    const std::string caption = artist.empty() ? title : artist + " - " + title;
    if (TrimText(caption).empty() || !onMeta) return;
    onMeta(
        std::make_shared<TMetaCaption>(MetaKind::Caption, caption, static_cast<TStreamTime>(std::llround(FPosition))));
}

void TDecoder_Ogg::Decode(const TOnPCM& onPCM, const TOnMeta& onMeta) {
    if (!FReader || FOutput.empty()) throw EMediaError("Ogg Decoder not yet open!");
    if (FEndCode != 0) return;

    if (FStream) {
        const int32_t percent = FReader->GetBufferPercent();
        if (percent != FLastPercent) {
            FLastPercent = percent;
            if (onMeta) onMeta(std::make_shared<TMetaBuffer>(MetaKind::Buffer, percent, 0));
        }
        auto http = std::dynamic_pointer_cast<IHTTPReader>(FReader);
        const bool dead = !http || http->IsDead();
        // A dead stream plays out what it still holds, whatever its buffering level.
        if (percent != 100 && !dead) return;
        if (!dead && FReader->GetAvailable() < FMinAvailable) return;
        if (!FOpened) {
            if (dead && FReader->IsEOF()) {
                FEndCode = EndOfFile;
                return;
            }
            const int code = OpenLibrary();
            if (code < 0) FEndCode = code;
            return;
        }
    }
    if (!FOpened) {
        FEndCode = OV_EINVAL;
        return;
    }

    int stream = 0;
    const long n = ov_read(&FVorbis->File, reinterpret_cast<char*>(FOutput.data()), static_cast<int>(FOutput.size()), 0,
                           2, 1, &stream);
    if (n > 0) {
        TakeStreamInfo();
        const TWaveFormat format =
            MakePcmFormat(static_cast<uint32_t>(FInfo.SampleRate), static_cast<uint16_t>(FInfo.Channels), 16);
        if (onPCM) onPCM(FOutput.data(), static_cast<int32_t>(n), format);
        if (stream != FCurrentStream) {
            FCurrentStream = stream;
            ReadComments();
            SendCaption(onMeta);
        }
    } else if (n == 0) {
        // A file has nothing more once the library says so; a stream may just be waiting for data.
        if (!FStream || FReader->IsEOF()) FEndCode = EndOfFile;
    } else if (n != OV_HOLE && n != OV_EBADLINK) {
        FEndCode = static_cast<int>(n);
    }
}

bool TDecoder_Ogg::IsEOF() { return FEndCode != 0 || !FReader; }

bool TDecoder_Ogg::IsSeekable() { return !FStream && FReader && FReader->IsSeekable(); }

int64_t TDecoder_Ogg::Seek(int64_t ms) {
    if (FStream || !FReader || !FOpened || !FReader->IsSeekable()) return 0;
    if (ms < 0) ms = 0;
    const int code = ov_time_seek(&FVorbis->File, static_cast<double>(ms) / 1000.0);
    if (code != 0) throw EMediaError(SeekErrorText(code));
    FEndCode = 0;
    FPosition = static_cast<double>(ms);
    return ms;
}

void TDecoder_Ogg::Close() {
    if (FOpened) ov_clear(&FVorbis->File);
    FOpened = false;
    FOutput.clear();
    if (FReader) FReader->Close();
    FReader.reset();
    FPosition = 0;
}

const TStreamInfo* TDecoder_Ogg::GetInfo() { return &FInfo; }

void TDecoder_Ogg::OnStarved() {
    const int64_t now = MsSinceStart();
    if (now - FLastRebuffer > RebufferIntervalMs) {
        if (auto http = std::dynamic_pointer_cast<IHTTPReader>(FReader)) http->Rebuffer();
    }
    FLastRebuffer = now;
}

}  // namespace kelvar
