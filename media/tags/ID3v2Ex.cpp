#include "media/tags/ID3v2Ex.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>

#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "media/tags/TagErrors.h"

namespace kelvar {

namespace {

bool IsFrameIDChar(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

uint32_t BigEndianValue(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    return v;
}

// Version 2.2 frames the song information uses, by their 2.3 names.
constexpr const char* kFrames22[][2] = {
    {"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TAL", "TALB"}, {"TRK", "TRCK"}, {"TYE", "TYER"}, {"TCO", "TCON"},
    {"COM", "COMM"}, {"TCM", "TCOM"}, {"TEN", "TENC"}, {"TCR", "TCOP"}, {"TLA", "TLAN"}, {"WXX", "WXXX"},
    {"TOR", "TDRC"}, {"TOA", "TOPE"}, {"TT1", "TIT1"}, {"TOT", "TOAL"},
};

constexpr uint32_t kMaxSyncSafe = 0x0FFFFFFF;

bool IsFrameHeaderAt(const uint8_t* body, size_t length, uint64_t pos) {
    if (pos + 10 > length) return false;
    const uint8_t* h = body + pos;
    return h[0] >= 'A' && h[0] <= 'Z' && IsFrameIDChar(h[1]) && IsFrameIDChar(h[2]) && IsFrameIDChar(h[3]);
}

bool IsPaddingToEnd(const uint8_t* body, size_t length, uint64_t pos) {
    return pos <= length && std::all_of(body + pos, body + length, [](uint8_t b) { return b == 0; });
}

// Where a frame of a guessed size would end: at the end, in padding that runs to the end, or on
// another frame. A zero byte alone is no proof: it is often the frame's own text encoding byte.
bool LandsOnFrameOrEnd(const uint8_t* body, size_t length, uint64_t pos) {
    return IsFrameHeaderAt(body, length, pos) || IsPaddingToEnd(body, length, pos);
}

enum class TSizeReading { SyncSafe, Plain, PerFrame };

// Whether every frame from pos on, sized by one reading, chains to the end of the tag or its padding.
bool FramesChainToEnd(const uint8_t* body, size_t length, uint64_t pos, TSizeReading reading) {
    while (!IsPaddingToEnd(body, length, pos)) {
        if (!IsFrameHeaderAt(body, length, pos)) return false;
        const uint8_t* s = body + pos + 4;
        if (reading == TSizeReading::SyncSafe && ((s[0] | s[1] | s[2] | s[3]) & 0x80)) return false;
        pos += 10 + uint64_t(reading == TSizeReading::SyncSafe ? UnSyncSafe(s) : BigEndianValue(s, 4));
        if (pos > length) return false;
    }
    return true;
}

// 2.4 sizes are sync-safe, but some writers store plain numbers: keep the reading under which the
// frames chain to the end; when neither does, decide frame by frame.
TSizeReading ChooseSizeReading(const uint8_t* body, size_t length, uint64_t pos) {
    if (FramesChainToEnd(body, length, pos, TSizeReading::SyncSafe)) return TSizeReading::SyncSafe;
    if (FramesChainToEnd(body, length, pos, TSizeReading::Plain)) return TSizeReading::Plain;
    return TSizeReading::PerFrame;
}

}  // namespace

TID3v2PictureInfo::TID3v2PictureInfo(const TPictureFrame* frame) {
    if (!frame) return;
    FMimeType = frame->MimeType;
    FPictureType = frame->PictureType;
    FDescription = frame->Description;
    FData = frame->Picture;
}

void TID3v2Tag::Clear() {
    FileName.clear();
    Exists = false;
    FFrames.clear();
}

TBaseFrame* TID3v2Tag::AddFrame(std::unique_ptr<TBaseFrame> frame) {
    const std::string key = UpperAscii(frame->ID);
    auto it = std::find_if(FFrames.begin(), FFrames.end(),
                           [&](const std::unique_ptr<TBaseFrame>& f) { return UpperAscii(f->ID) >= key; });
    return FFrames.insert(it, std::move(frame))->get();
}

bool TID3v2Tag::LoadFromFile(const std::string& fileName) {
    FileName = fileName;
    Exists = false;
    TagSize = 0;
    FFrames.clear();
    try {
        std::ifstream in(fileName, std::ios::binary);
        if (!in) return false;
        TID3v2Header header;
        if (!ReadTagHeader(in, header)) return false;
        if (!header.HasID3()) return true;
        Exists = true;
        Version = header.Version();
        TagSize = GetTagSize(header);
        if (Version < 2 || Version > 4 || TagSize <= 0) return true;
        // The frames lie between the header and the footer; GetTagSize checked them against the file.
        const int64_t bodySize = TagSize - 10 - ((header.Flags() & 0x10) ? 10 : 0);
        if (bodySize <= 0) return true;
        TBytes body(static_cast<size_t>(bodySize));
        in.clear();
        in.seekg(10);
        in.read(reinterpret_cast<char*>(body.data()), bodySize);
        body.resize(static_cast<size_t>(std::max<std::streamsize>(0, in.gcount())));
        const uint8_t flags = header.Flags();
        if (Version < 4 && (flags & 0x80)) body = RemoveUnsync(body.data(), body.size());
        if (Version == 2) {
            if (!(flags & 0x40)) ReadFrames22(body.data(), body.size());  // 0x40: compressed, unreadable
        } else {
            ReadFrames23(body.data(), body.size(), flags);
        }
    } catch (const std::exception&) {
        // What was read so far stays.
    }
    return true;
}

void TID3v2Tag::ReadFrames23(const uint8_t* body, size_t length, uint8_t tagFlags) {
    size_t pos = 0;
    if (tagFlags & 0x40) {
        // Extended header: 2.3 gives a size without its own 4 bytes, 2.4 a sync-safe size with them.
        if (length < 4) return;
        const uint64_t size = Version == 3 ? uint64_t(BigEndianValue(body, 4)) + 4 : UnSyncSafe(body);
        if (size >= 4 && size <= length)
            pos = static_cast<size_t>(size);
        else if (!IsFrameHeaderAt(body, length, 0))
            return;
        // else: the flag lies and the frames start right after the header
    }
    const TSizeReading reading = Version == 4 ? ChooseSizeReading(body, length, pos) : TSizeReading::Plain;
    while (pos + 10 <= length) {
        const uint8_t* h = body + pos;
        if (h[0] < 'A' || h[0] > 'Z') break;  // padding or footer
        if (!IsFrameIDChar(h[1]) || !IsFrameIDChar(h[2]) || !IsFrameIDChar(h[3])) break;
        const uint32_t plainSize = BigEndianValue(h + 4, 4);
        uint32_t size = Version == 3 || reading == TSizeReading::Plain ? plainSize : UnSyncSafe(h + 4);
        if (Version == 4 && reading == TSizeReading::PerFrame) {
            // Take the plain size when only it lands on the next frame, the padding or the end.
            const bool syncSafeValid = ((h[4] | h[5] | h[6] | h[7]) & 0x80) == 0;
            if (plainSize != size && (!syncSafeValid || !LandsOnFrameOrEnd(body, length, pos + 10 + uint64_t(size))) &&
                LandsOnFrameOrEnd(body, length, pos + 10 + uint64_t(plainSize)))
                size = plainSize;
        }
        if (size > length - pos - 10) break;
        uint16_t flags = uint16_t((h[8] << 8) | h[9]);
        const uint8_t* data = h + 10;
        size_t dataLength = size;
        TBytes plain;
        const std::string id(reinterpret_cast<const char*>(h), 4);
        pos += 10 + size;

        bool raw;
        if (Version == 3) {
            raw = (flags & 0x00E0) != 0;  // compressed, encrypted or grouped
        } else {
            if ((flags & 0x0002) || (tagFlags & 0x80)) {
                plain = RemoveUnsync(data, dataLength);
                data = plain.data();
                dataLength = plain.size();
                flags &= ~0x0002;
            }
            raw = (flags & 0x004C) != 0;  // grouped, compressed or encrypted
            if (!raw && (flags & 0x0001)) {
                // A data length indicator on plain data says nothing the size doesn't.
                if (dataLength < 4) continue;
                data += 4;
                dataLength -= 4;
                flags &= ~0x0001;
            }
        }
        std::unique_ptr<TBaseFrame> frame;
        if (raw)
            frame = std::make_unique<TDataFrame>(id);
        else
            frame = CreateFrame(id);
        frame->Init();
        frame->Version = Version;
        frame->ReadFrom(flags, data, dataLength);
        AddFrame(std::move(frame));
    }
}

void TID3v2Tag::ReadFrames22(const uint8_t* body, size_t length) {
    size_t pos = 0;
    while (pos + 6 <= length) {
        const uint8_t* h = body + pos;
        if (h[0] < 'A' || h[0] > 'Z') break;
        if (!IsFrameIDChar(h[1]) || !IsFrameIDChar(h[2])) break;
        const uint32_t size = BigEndianValue(h + 3, 3);
        if (size > length - pos - 6) break;
        const std::string id(reinterpret_cast<const char*>(h), 3);
        for (const auto& map : kFrames22) {
            if (id == map[0]) {
                // Read by the 2.3 frame's own rules, so encodings, comments and "3/12" decode right.
                auto frame = CreateFrame(map[1]);
                frame->Version = 2;
                frame->ReadFrom(0, h + 6, size);
                frame->Version = 3;
                AddFrame(std::move(frame));
                break;
            }
        }
        pos += 6 + size;
    }
}

std::string TID3v2Tag::GetFrameValue(const std::string& id) const {
    const TBaseFrame* frame = FindFrame(id);
    if (!frame) return {};
    if (auto* number = dynamic_cast<const TNumberFrame*>(frame)) return std::to_string(number->Value());
    if (auto* text = dynamic_cast<const TStringFrame*>(frame)) return text->Text;
    if (auto* desc = dynamic_cast<const TTextDescFrame1*>(frame)) return desc->Text;
    return {};
}

void TID3v2Tag::SetFrameValue(const std::string& id, const std::string& value) {
    TBaseFrame* frame = FindFrame(id);
    if (dynamic_cast<TDataFrame*>(frame)) {
        // A text frame kept raw because it was compressed or encrypted: the new value replaces
        // what we couldn't read. Frames raw by their ID stay raw and refuse below.
        auto fresh = CreateFrame(id);
        if (!dynamic_cast<TDataFrame*>(fresh.get())) {
            fresh->ReadFrom(0, nullptr, 0);
            for (auto& f : FFrames)
                if (f.get() == frame) {
                    f = std::move(fresh);
                    frame = f.get();
                    break;
                }
        }
    }
    if (!frame) {
        auto created = CreateFrame(id);
        created->ReadFrom(0, nullptr, 0);
        frame = AddFrame(std::move(created));
    }
    if (auto* number = dynamic_cast<TNumberFrame*>(frame)) {
        int64_t v = 0;
        number->SetValue(TryParseInt64(value, v) ? v : 0);
    } else if (auto* text = dynamic_cast<TStringFrame*>(frame)) {
        text->Text = value;
    } else if (auto* desc = dynamic_cast<TTextDescFrame1*>(frame)) {
        desc->Text = value;
    } else if (dynamic_cast<TPictureFrame*>(frame)) {
        // Pictures go through SetPicture.
    } else {
        throw ETagError("Unable to write to a raw data frame using this method");
    }
}

std::string TID3v2Tag::Year() const {
    if (FindFrame("TYER")) return GetFrameValue("TYER");
    const std::string date = GetFrameValue("TDRC");
    int64_t v = 0;
    return date.size() >= 4 && TryParseInt64(date.substr(0, 4), v) ? std::to_string(v) : std::string();
}

TBaseFrame* TID3v2Tag::CommentFrame() const {
    for (const auto& f : FFrames)
        if (auto* comment = dynamic_cast<const TTextDescFrame1*>(f.get());
            comment && f->ID == "COMM" && comment->Description.empty())
            return f.get();
    return FindFrame("COMM");
}

std::string TID3v2Tag::Comment() const {
    const auto* frame = dynamic_cast<const TTextDescFrame1*>(CommentFrame());
    return frame ? frame->Text : GetFrameValue("COMM");
}

void TID3v2Tag::SetComment(const std::string& v) {
    if (auto* frame = dynamic_cast<TTextDescFrame1*>(CommentFrame()))
        frame->Text = v;
    else
        SetFrameValue("COMM", v);
}

TBaseFrame* TID3v2Tag::FindFrame(const std::string& id) const {
    const std::string key = UpperAscii(id);
    for (const auto& f : FFrames)
        if (f->ID == key) return f.get();
    return nullptr;
}

IPictureInfoPtr TID3v2Tag::GetPicture() const {
    auto* frame = dynamic_cast<const TPictureFrame*>(FindFrame("APIC"));
    if (!frame) return nullptr;
    return std::make_shared<TID3v2PictureInfo>(frame);
}

void TID3v2Tag::SetPicture(const IPictureInfo& picture) {
    auto* frame = dynamic_cast<TPictureFrame*>(FindFrame("APIC"));
    if (!frame) {
        auto created = CreateFrame("APIC");
        created->ReadFrom(0, nullptr, 0);
        frame = dynamic_cast<TPictureFrame*>(AddFrame(std::move(created)));
    }
    if (frame) frame->Assign(picture);
}

bool TID3v2Tag::LoadPictureFromFile(const std::string& fileName) {
    try {
        TPictureInfo picture(fileName);
        SetPicture(picture);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

TTextDescFrame1* TID3v2Tag::FindUserText(const std::string& description) const {
    for (const auto& f : FFrames)
        if (f->ID == "TXXX")
            if (auto* desc = dynamic_cast<TTextDescFrame1*>(f.get()); desc && desc->Description == description)
                return desc;
    return nullptr;
}

std::string TID3v2Tag::GetUserText(const std::string& description) const {
    const TTextDescFrame1* frame = FindUserText(description);
    return frame ? frame->Text : std::string();
}

void TID3v2Tag::SetUserText(const std::string& description, const std::string& value) {
    TTextDescFrame1* frame = FindUserText(description);
    if (!frame) {
        auto created = CreateFrame("TXXX");
        created->ReadFrom(0, nullptr, 0);
        frame = dynamic_cast<TTextDescFrame1*>(AddFrame(std::move(created)));
        frame->Description = description;
    }
    frame->Text = value;
}

int64_t TID3v2Tag::BPM() const {
    // The frame's own text: its number value would turn "120.5" into 0.
    const auto* frame = dynamic_cast<const TStringFrame*>(FindFrame("TBPM"));
    return frame ? RoundedNumber(frame->Text) : 0;
}

int64_t TID3v2Tag::TrackNo() const {
    int64_t v = 0;
    return TryParseInt64(GetFrameValue("TRCK"), v) ? v : 0;
}

bool TID3v2Tag::SaveToFile() {
    try {
        TID3v2Header old;
        ReadTagHeaderFromFile(FileName, old);
        uint8_t version = WriteVersion == 3 || WriteVersion < 3 ? 3 : 4;
        // A raw frame whose layout depends on its version is kept in that version.
        for (const auto& f : FFrames)
            if (auto* data = dynamic_cast<TDataFrame*>(f.get());
                data && data->HasFormatFlags() && (data->FlagsVersion == 3 || data->FlagsVersion == 4))
                version = data->FlagsVersion;
        TBytes tag(10, 0);
        for (const auto& f : FFrames) {
            f->Version = version;
            f->WriteTo(tag);
        }
        const int64_t frames = static_cast<int64_t>(tag.size()) - 10;
        const int64_t needed = frames + 10;
        const int64_t oldSize = old.HasID3() ? GetTagSize(old) : 0;
        const bool inPlace = old.HasID3() && needed <= oldSize && oldSize <= PaddingSize;
        const int64_t padding = inPlace ? oldSize - needed : std::max<int64_t>(0, PaddingSize - needed);
        if (frames + padding > kMaxSyncSafe) return false;
        tag.resize(static_cast<size_t>(needed + padding), 0);
        const auto size = SyncSafe(static_cast<uint32_t>(frames + padding));
        const uint8_t header[10] = {'I', 'D', '3', version, 0, 0, size[0], size[1], size[2], size[3]};
        std::memcpy(tag.data(), header, 10);
        return RebuildTagFile(FileName, tag, oldSize);
    } catch (const std::exception&) {
        return false;
    }
}

bool TID3v2KelvarTag::Overlay() const { return UpperAscii(GetUserText("Overlay")) == "YES"; }

int64_t TID3v2KelvarTag::Rating() const {
    int64_t v = 0;
    return TryParseInt64(GetUserText("Rating"), v) ? v : 0;
}

std::string TID3v2KelvarTag::SongType() const { return FirstCharacter(GetUserText("SongType")); }

void TID3v2KelvarTag::SetSongType(const std::string& v) { SetUserText("SongType", FirstCharacter(v)); }

int64_t RoundedNumber(const std::string& text) {
    int64_t whole = 0;
    if (TryParseInt64(text, whole)) return whole;
    double value = 0;
    if (!TryParseDouble(text, value) || !std::isfinite(value) || std::fabs(value) > 1e15) return 0;
    return std::llround(value);
}

std::string FirstCharacter(const std::string& text) {
    if (text.empty()) return "?";
    size_t n = 1;
    while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
    return text.substr(0, n);
}

}  // namespace kelvar
