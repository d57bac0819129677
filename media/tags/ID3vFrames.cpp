#include "media/tags/ID3vFrames.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "foundation/MiscFunc.h"
#include "media/tags/ID3v1.h"
#include "media/tags/OggTagUtils.h"

namespace kelvar {

int TBaseFrame::WriteFrame(TBytes& stream, uint16_t flags, const TBytes& payload) const {
    std::string id = ID;
    id.resize(4, ' ');
    stream.insert(stream.end(), id.begin(), id.end());
    const auto size = static_cast<uint32_t>(payload.size());
    const auto sizeBytes = Version == 3 ? BigEndian32(size) : SyncSafe(size);
    stream.insert(stream.end(), sizeBytes.begin(), sizeBytes.end());
    stream.push_back(uint8_t(flags >> 8));
    stream.push_back(uint8_t(flags & 0xFF));
    stream.insert(stream.end(), payload.begin(), payload.end());
    return static_cast<int>(payload.size()) + 10;
}

int TStringFrame::WriteTo(TBytes& stream) {
    TBytes payload;
    if (!ID.empty() && ID[0] == 'W') {
        // Link frames carry no encoding byte: the link's bytes are the whole payload.
        AppendText(payload, Text, ChooseTextEncoding(3, {&Text}) == 0 ? 0 : 3);
    } else {
        const uint8_t encoding = ChooseTextEncoding(Version, {&Text});
        payload.push_back(encoding);
        AppendText(payload, Text, encoding);
    }
    return WriteFrame(stream, 0, payload);
}

void TStringFrame::ReadFrom(uint16_t, const uint8_t* data, size_t length) {
    Text = data ? DecodeText(data, length) : std::string();
}

void TfrmGenre::ReadFrom(uint16_t flags, const uint8_t* data, size_t length) {
    TStringFrame::ReadFrom(flags, data, length);
    // "(n)" refers to the ID3v1 genre list: "(17)Rock" refines it with text, a bare "(17)" (or a
    // bare "17" in newer tags) names it. Brackets anywhere else are part of the text.
    int code = -1;
    size_t close;
    while (Text.size() > 2 && Text[0] == '(' && (close = Text.find(')')) != std::string::npos && close > 1 &&
           std::all_of(Text.begin() + 1, Text.begin() + static_cast<ptrdiff_t>(close),
                       [](char c) { return c >= '0' && c <= '9'; })) {
        int64_t n = 0;
        code = close <= 4 && TryParseInt64(Text.substr(1, close - 1), n) ? static_cast<int>(n) : -1;
        Text.erase(0, close + 1);
    }
    if (Text.empty() && code >= 0) {
        Text = GenreName(code);
    } else if (!Text.empty() && Text.size() <= 3 &&
               std::all_of(Text.begin(), Text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const std::string name = GenreName(std::stoi(Text));
        if (!name.empty()) Text = name;
    }
}

int64_t TNumberFrame::Value() const {
    int64_t v = 0;
    return TryParseInt64(Text, v) ? v : 0;
}

int64_t TfrmTrack::Value() const {
    int64_t v = 0;
    return TryParseInt64(Text.substr(0, Text.find('/')), v) ? v : 0;
}

int64_t TfrmYear::Value() const {
    int64_t v = 0;
    return TryParseInt64(Text.substr(0, 4), v) ? v : 0;
}

int TDataFrame::WriteTo(TBytes& stream) {
    uint16_t flags = Flags;
    if (FlagsVersion != Version && !HasFormatFlags()) {
        // Only the status flags remain; they sit one bit apart in 2.3 and 2.4.
        const uint8_t status = Flags >> 8;
        uint8_t converted = 0;
        if (FlagsVersion == 3 && Version == 4)
            converted = (status >> 1) & 0x70;
        else if (FlagsVersion == 4 && Version == 3)
            converted = (status << 1) & 0xE0;
        flags = uint16_t(converted) << 8;
    }
    return WriteFrame(stream, flags, Data);
}

void TDataFrame::ReadFrom(uint16_t flags, const uint8_t* data, size_t length) {
    Flags = flags;
    FlagsVersion = Version;
    if (data)
        Data.assign(data, data + length);
    else
        Data.clear();
}

bool TDataFrame::HasFormatFlags() const {
    const uint8_t format = Flags & 0xFF;
    return FlagsVersion == 3 ? (format & 0xE0) != 0 : (format & 0x4F) != 0;
}

int TTextDescFrame1::WriteTo(TBytes& stream) {
    TBytes payload;
    const uint8_t encoding = ChooseTextEncoding(Version, {&Description, &Text});
    payload.push_back(encoding);
    if (HasLanguage) {
        std::string lang = Language.empty() ? "eng" : Language;
        lang.resize(3, ' ');
        payload.insert(payload.end(), lang.begin(), lang.end());
    }
    AppendText(payload, Description, encoding);
    AppendTerminator(payload, encoding);
    AppendText(payload, Text, encoding);
    return WriteFrame(stream, 0, payload);
}

void TTextDescFrame1::ReadFrom(uint16_t, const uint8_t* data, size_t length) {
    if (!data || length == 0) {
        Text.clear();
        Description.clear();
        Language = "eng";
        return;
    }
    TTextDesc d = DecodeTextDesc(data, length, HasLanguage);
    if (HasLanguage) Language = d.Language;
    Description = std::move(d.Description);
    Text = std::move(d.Text);
}

int TPrivateFrame::WriteTo(TBytes& stream) {
    TBytes payload(Owner.begin(), Owner.end());
    payload.push_back(0);
    payload.insert(payload.end(), Data.begin(), Data.end());
    return WriteFrame(stream, 0, payload);
}

void TPrivateFrame::ReadFrom(uint16_t, const uint8_t* data, size_t length) {
    Owner.clear();
    Data.clear();
    if (!data) return;
    const auto* zero = std::find(data, data + length, uint8_t(0));
    if (zero == data + length) return;
    Owner.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(zero - data));
    Data.assign(reinterpret_cast<const char*>(zero + 1), static_cast<size_t>(data + length - zero - 1));
}

int TPictureFrame::WriteTo(TBytes& stream) {
    TBytes payload;
    const uint8_t encoding = ChooseTextEncoding(Version, {&Description});
    payload.push_back(encoding);
    AppendText(payload, MimeType, 0);
    payload.push_back(0);
    payload.push_back(PictureType);
    AppendText(payload, Description, encoding);
    AppendTerminator(payload, encoding);
    payload.insert(payload.end(), Picture.begin(), Picture.end());
    return WriteFrame(stream, 0, payload);
}

void TPictureFrame::ReadFrom(uint16_t, const uint8_t* data, size_t length) {
    if (!data) return;
    TPictureHeader h = DecodePicture(data, length);
    MimeType = std::move(h.MimeType);
    PictureType = h.PictureType;
    Description = std::move(h.Description);
    Picture.clear();
    if (h.Offset < length) Picture.assign(data + h.Offset, data + length);
}

void TPictureFrame::Assign(const IPictureInfo& picture) {
    MimeType = picture.GetMimeType();
    PictureType = picture.GetPictureType();
    Description = picture.GetDescription();
    const uint8_t* bytes = picture.GetData();
    if (bytes)
        Picture.assign(bytes, bytes + picture.GetSize());
    else
        Picture.clear();
}

namespace {

using TFrameMaker = std::unique_ptr<TBaseFrame> (*)(const std::string&);

template <class T>
std::unique_ptr<TBaseFrame> Make(const std::string& id) {
    return std::make_unique<T>(id);
}

const std::map<std::string, TFrameMaker>& Registry() {
    static const std::map<std::string, TFrameMaker> registry = {
        {"TRCK", &Make<TfrmTrack>},       {"TYER", &Make<TfrmYear>},      {"TCON", &Make<TfrmGenre>},
        {"TBPM", &Make<TNumberFrame>},    {"TLEN", &Make<TNumberFrame>},  {"TXXX", &Make<TTextDescFrame2>},
        {"WXXX", &Make<TTextDescFrame2>}, {"COMM", &Make<TfrmComment>},   {"USLT", &Make<TfrmLyrics>},
        {"PRIV", &Make<TPrivateFrame>},   {"APIC", &Make<TPictureFrame>},
    };
    return registry;
}

}  // namespace

std::unique_ptr<TBaseFrame> CreateFrame(const std::string& id) {
    std::string upper = id;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::unique_ptr<TBaseFrame> frame;
    const auto& registry = Registry();
    if (auto it = registry.find(upper); it != registry.end())
        frame = it->second(upper);
    else if (!upper.empty() && (upper[0] == 'T' || upper[0] == 'W'))
        frame = std::make_unique<TStringFrame>(upper);
    else
        frame = std::make_unique<TDataFrame>(upper);
    frame->Init();
    return frame;
}

}  // namespace kelvar
