#define OV_EXCLUDE_STATIC_CALLBACKS
#include "media/tags/OggTag.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

#include <vorbis/vorbisfile.h>

#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "media/tags/AtomicFile.h"
#include "media/tags/ID3v2Ex.h"
#include "media/tags/OggLength.h"
#include "media/tags/OggTagUtils.h"
#include "media/tags/TagErrors.h"

namespace kelvar {

namespace {

// The name part of a line (before its first "="); empty without one.
bool LineHasName(const std::string& line, const std::string& upperName) {
    const size_t eq = line.find('=');
    return eq != std::string::npos && eq == upperName.size() && UpperAscii(line.substr(0, eq)) == upperName;
}

struct TFileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

size_t OvRead(void* ptr, size_t size, size_t count, void* source) {
    return std::fread(ptr, size, count, static_cast<std::FILE*>(source));
}
int OvSeek(void* source, ogg_int64_t offset, int whence) {
    return fseeko(static_cast<std::FILE*>(source), static_cast<off_t>(offset), whence);
}
long OvTell(void* source) { return static_cast<long>(ftello(static_cast<std::FILE*>(source))); }

// Length of the stream in milliseconds, or the library's error times 1000. The pages tell it
// for nearly every file; the library opens the rest.
int32_t MeasureDuration(std::FILE* file) {
    int64_t frames = 0;
    int32_t rate = 0;
    if (OggVorbisLength(file, frames, rate))
        return static_cast<int32_t>(std::lround(static_cast<double>(frames) / rate * 1000));
    std::rewind(file);
    OggVorbis_File vf;
    const ov_callbacks callbacks = {&OvRead, &OvSeek, nullptr, &OvTell};
    const int r = ov_open_callbacks(file, &vf, nullptr, 0, callbacks);
    if (r < 0) return r * 1000;
    const double seconds = ov_time_total(&vf, -1);
    ov_clear(&vf);
    if (seconds < 0) return static_cast<int32_t>(seconds) * 1000;
    return static_cast<int32_t>(std::lround(seconds * 1000));
}

int HexDigit(char c) {
    if (c >= '1' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

}  // namespace

TOggPictureInfo::TOggPictureInfo(const std::string& raw) {
    std::string mime, description, pictype, datasize, picture;
    size_t start = 0;
    while (start < raw.size()) {
        size_t bar = raw.find('|', start);
        if (bar == std::string::npos) bar = raw.size();
        const std::string part = raw.substr(start, bar - start);
        const size_t eq = part.find('=');
        if (eq != std::string::npos) {
            const std::string name = part.substr(0, eq), value = part.substr(eq + 1);
            if (name == "MIMETYPE")
                mime = value;
            else if (name == "DESCRIPTION")
                description = value;
            else if (name == "PICTYPE")
                pictype = value;
            else if (name == "DATASIZE")
                datasize = value;
            else if (name == "PICTURE")
                picture = value;
        }
        start = bar + 1;
    }
    FMimeType = mime;
    FDescription = description;
    int64_t type = 3, size = 0;
    if (!TryParseInt64(pictype, type)) type = 3;
    FPictureType = static_cast<uint8_t>(type);
    if (!TryParseInt64(datasize, size)) size = 0;
    if (size < 0 || uint64_t(size) * 2 != picture.size()) throw ETagError("Datasize does not match picture size!");
    FData.resize(static_cast<size_t>(size));
    for (size_t i = 0; i < FData.size(); ++i)
        FData[i] = static_cast<uint8_t>(HexDigit(picture[2 * i]) * 16 + HexDigit(picture[2 * i + 1]));
}

std::string MakeRawPicture(const IPictureInfo& picture) {
    static const char* const kHex = "0123456789abcdef";
    std::string hex;
    const uint8_t* data = picture.GetData();
    const uint32_t size = data ? picture.GetSize() : 0;
    hex.reserve(size_t(size) * 2);
    for (uint32_t i = 0; i < size; ++i) {
        hex += kHex[data[i] >> 4];
        hex += kHex[data[i] & 15];
    }
    return "MIMETYPE=" + picture.GetMimeType() + "|DESCRIPTION=" + picture.GetDescription() +
           "|PICTYPE=" + std::to_string(picture.GetPictureType()) + "|DATASIZE=" + std::to_string(size) +
           "|PICTURE=" + hex + "|";
}

void TOggTag::Clear() {
    FileName.clear();
    Lines.clear();
}

bool TOggTag::LoadFromFile(const std::string& fileName) {
    Clear();
    Duration = -2;
    FileName = fileName;
    LastError.clear();
    TFilePtr file(std::fopen(fileName.c_str(), "rb"));
    if (!file) {
        LastError = "Cannot open file " + fileName;
        return false;
    }
    bool result = false;
    try {
        TVCEditState state;
        std::FILE* f = file.get();
        if (state.Open([f](void* buffer, size_t size) { return std::fread(buffer, 1, size, f); })) {
            for (const auto& c : ParseComments(state.Comments, cmANSI)) Lines.push_back(c.Full);
            result = true;
        } else {
            LastError = "Cannot open VCEdit for current File/Stream: " + state.LastError();
        }
    } catch (const std::exception& e) {
        LastError = e.what();
    }
    Duration = MeasureDuration(file.get());
    return result;
}

bool TOggTag::WriteComments(TVCEditState& state, const TVCEditState::TWriteFunc& output) {
    state.Comments = Lines;
    if (!state.Write(output)) {
        LastError = state.LastError().empty() ? "Cannot write comments" : "Cannot write comments: " + state.LastError();
        return false;
    }
    return true;
}

bool TOggTag::SaveToFile() {
    LastError.clear();
    try {
        if (!IsWritableFile(FileName)) {
            LastError = "Cannot write file " + FileName;
            return false;
        }
        TFilePtr file(std::fopen(FileName.c_str(), "rb"));
        if (!file) {
            LastError = "Cannot open file " + FileName;
            return false;
        }
        TVCEditState state;
        std::FILE* f = file.get();
        if (!state.Open([f](void* buffer, size_t size) { return std::fread(buffer, 1, size, f); })) {
            LastError = "Cannot open VCEdit for current File/Stream: " + state.LastError();
            return false;
        }
        TAtomicFile out(FileName);
        bool writeFailed = false;
        const bool written = WriteComments(state, [&](const void* data, size_t size) {
            try {
                out.Write(data, size);
                return true;
            } catch (const std::exception& e) {
                if (!writeFailed) LastError = e.what();
                writeFailed = true;
                return false;
            }
        });
        if (!written || std::ferror(f)) {
            if (LastError.empty()) LastError = "Cannot read file " + FileName;
            return false;
        }
        out.Commit();
        return true;
    } catch (const std::exception& e) {
        LastError = e.what();
        return false;
    }
}

std::string TOggTag::GetValue(const std::string& name) const {
    const std::string upper = UpperAscii(name);
    for (const auto& line : Lines)
        if (LineHasName(line, upper)) return line.substr(line.find('=') + 1);
    return {};
}

void TOggTag::SetValue(const std::string& name, const std::string& value) {
    if (name.empty()) return;
    const std::string upper = UpperAscii(name);
    for (auto it = Lines.begin(); it != Lines.end(); ++it) {
        if (!LineHasName(*it, upper)) continue;
        if (value.empty())
            Lines.erase(it);
        else
            *it = name + "=" + value;
        return;
    }
    if (!value.empty()) Lines.push_back(name + "=" + value);
}

double TOggTagEx::BPM() const {
    double v = 0;
    return TryParseDouble(GetValue("BPM"), v) ? v : 0;
}

void TOggTagEx::SetBPM(double v) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof(buffer), v, std::chars_format::fixed, 3);
    SetValue("BPM", r.ec == std::errc() ? std::string(buffer, r.ptr) : std::string("0.000"));
}

int64_t TOggTagEx::TrackNo() const {
    // "3/12" is track 3 of 12.
    const std::string text = GetValue("TRACKNUMBER");
    int64_t v = 0;
    return TryParseInt64(text.substr(0, text.find('/')), v) ? v : 0;
}

std::string TOggTagEx::Year() const {
    std::string year = GetValue("DATE");
    return year.empty() ? GetValue("YEAR") : year;
}

void TOggKelvarTag::Clear() {
    TOggTagEx::Clear();
    FPicture.reset();
}

bool TOggKelvarTag::Overlay() const { return UpperAscii(GetValue("OVERLAY")) == "YES"; }

int64_t TOggKelvarTag::Rating() const {
    int64_t v = 0;
    return TryParseInt64(GetValue("RATING"), v) ? v : 0;
}

std::string TOggKelvarTag::SongType() const { return FirstCharacter(GetValue("SongType")); }

void TOggKelvarTag::SetSongType(const std::string& v) { SetValue("SongType", FirstCharacter(v)); }

IPictureInfoPtr TOggKelvarTag::GetPicture() {
    if (!FPicture) {
        const std::string raw = GetValue("RAWPICTURE");
        if (!raw.empty()) {
            try {
                FPicture = std::make_shared<TOggPictureInfo>(raw);
            } catch (const std::exception&) {
                FPicture.reset();
            }
        }
    }
    return FPicture;
}

void TOggKelvarTag::SetPicture(IPictureInfoPtr picture) {
    FPicture = std::move(picture);
    if (!FPicture) SetValue("RAWPICTURE", "");
}

bool TOggKelvarTag::WriteComments(TVCEditState& state, const TVCEditState::TWriteFunc& output) {
    if (FPicture) SetValue("RAWPICTURE", MakeRawPicture(*FPicture));
    return TOggTagEx::WriteComments(state, output);
}

}  // namespace kelvar
