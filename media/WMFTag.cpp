#include "media/WMFTag.h"

#include <taglib/asfattribute.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asfproperties.h>
#include <taglib/asftag.h>
#include <taglib/tfilestream.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

#include "foundation/Errors.h"
#include "foundation/Logger.h"
#include "media/tags/AtomicFile.h"
#include "media/tags/ID3v2Ex.h"

namespace kelvar {

namespace {

using TagLib::ASF::Attribute;
using TagLib::ASF::AttributeList;

// The header's content description holds these five outside the attribute list.
enum class TContentField { None, Title, Author, Copyright, Description, Rating };

TContentField ContentField(const std::string& name) {
    if (name == "Title") return TContentField::Title;
    if (name == "Author") return TContentField::Author;
    if (name == "Copyright") return TContentField::Copyright;
    if (name == "Description") return TContentField::Description;
    if (name == "Rating") return TContentField::Rating;
    return TContentField::None;
}

TagLib::String ToTagString(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

std::string FromTagString(const TagLib::String& text) { return text.to8Bit(true); }

TWMAttrType TypeOf(const Attribute& attribute) {
    switch (attribute.type()) {
        case Attribute::UnicodeType: return TWMAttrType::String;
        case Attribute::BytesType: return TWMAttrType::Binary;
        case Attribute::BoolType: return TWMAttrType::Bool;
        case Attribute::DWordType: return TWMAttrType::DWord;
        case Attribute::QWordType: return TWMAttrType::QWord;
        case Attribute::WordType: return TWMAttrType::Word;
        case Attribute::GuidType: return TWMAttrType::Guid;
    }
    return TWMAttrType::Binary;
}

std::string GuidText(const TagLib::ByteVector& bytes) {
    if (bytes.size() != 16) return {};
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    char text[40];
    std::snprintf(text, sizeof(text), "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

// A whole decimal number, sign allowed; false for anything else.
bool ParseInt64(const std::string& text, int64_t& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(*first))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(last[-1]))) --last;
    if (first < last && *first == '+') ++first;
    if (first == last) return false;
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

void AppendLE(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The value's bytes as the header stores them.
std::string RawBytes(const Attribute& attribute) {
    std::string out;
    switch (attribute.type()) {
        case Attribute::UnicodeType: {
            const TagLib::ByteVector utf16 = attribute.toString().data(TagLib::String::UTF16LE);
            out.assign(utf16.data(), utf16.size());
            out.append(2, '\0');
            break;
        }
        case Attribute::BytesType:
        case Attribute::GuidType: {
            const TagLib::ByteVector bytes = attribute.toByteVector();
            out.assign(bytes.data(), bytes.size());
            break;
        }
        case Attribute::BoolType: AppendLE(out, attribute.toBool(), 4); break;
        case Attribute::DWordType: AppendLE(out, attribute.toUInt(), 4); break;
        case Attribute::QWordType: AppendLE(out, attribute.toULongLong(), 8); break;
        case Attribute::WordType: AppendLE(out, attribute.toUShort(), 2); break;
    }
    return out;
}

}  // namespace

TWMPictureInfo::TWMPictureInfo(const TagLib::ASF::Picture& picture) {
    FMimeType = FromTagString(picture.mimeType());
    FDescription = FromTagString(picture.description());
    FPictureType = static_cast<uint8_t>(picture.type());
    const TagLib::ByteVector data = picture.picture();
    FData.assign(reinterpret_cast<const uint8_t*>(data.data()),
                 reinterpret_cast<const uint8_t*>(data.data()) + data.size());
}

TWMFTagBase::TWMFTagBase() = default;

TWMFTagBase::~TWMFTagBase() { Close(); }

bool TWMFTagBase::Open(const std::string& fileName) {
    Close();
    try {
        auto stream = std::make_unique<TagLib::FileStream>(fileName.c_str(), true);
        if (!stream->isOpen()) return false;
        auto file = std::make_unique<TagLib::ASF::File>(stream.get(), true);
        if (!file->isValid() || file->tag() == nullptr) return false;
        FStream = std::move(stream);
        FFile = std::move(file);
        FFileName = fileName;
        return true;
    } catch (const std::exception& e) {
        LogMessage("Windows Media attributes of " + fileName + ": " + e.what(), "Tags", LogKind::Warning);
        return false;
    }
}

void TWMFTagBase::Close() {
    FFile.reset();
    FStream.reset();
    FPending.clear();
    FFileName.clear();
}

void TWMFTagBase::Change(TChange change) {
    if (!FFile) return;
    change(FFile->tag());
    FPending.push_back(std::move(change));
}

bool TWMFTagBase::Flush() {
    if (!FFile) return false;
    try {
        if (!IsWritableFile(FFileName)) throw EFileError("file is not writable");
        TAtomicFile out(FFileName);
        {
            std::ifstream in(FFileName, std::ios::binary);
            if (!in) throw EFileError("the file could not be read");
            std::vector<char> buffer(1 << 16);
            while (in) {
                in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                if (in.gcount() > 0) out.Write(buffer.data(), static_cast<size_t>(in.gcount()));
            }
            if (in.bad()) throw EFileError("the file could not be read");
        }
        {
            TagLib::FileStream stream(out.TempPath().c_str(), false);
            if (!stream.isOpen() || stream.readOnly()) throw EFileError("the copy could not be opened");
            TagLib::ASF::File copy(&stream, false);
            if (!copy.isValid() || copy.tag() == nullptr) throw EFileError("the header could not be read again");
            for (const TChange& change : FPending) change(copy.tag());
            if (!copy.save()) throw EFileError("the header could not be written");
        }
        out.Commit();
        FPending.clear();
        return true;
    } catch (const std::exception& e) {
        LogMessage("Unable to flush data to " + FFileName + ": " + e.what(), "Tags", LogKind::Error);
        return false;
    }
}

namespace {

// Attributes are the file's when they sit on stream 0; others belong to one stream only.
const Attribute* FileLevel(const AttributeList& list) {
    for (const Attribute& a : list)
        if (a.stream() == 0) return &a;
    return nullptr;
}

// The first attribute of Name, the content description's fields and the header's figures
// included; false when there is none.
bool FindAttribute(TagLib::ASF::File* file, const std::string& name, Attribute& found) {
    if (file == nullptr) return false;
    TagLib::ASF::Tag* tag = file->tag();
    TagLib::String text;
    switch (ContentField(name)) {
        case TContentField::Title: text = tag->title(); break;
        case TContentField::Author: text = tag->artist(); break;
        case TContentField::Copyright: text = tag->copyright(); break;
        case TContentField::Description: text = tag->comment(); break;
        case TContentField::Rating: text = tag->rating(); break;
        case TContentField::None: {
            const TagLib::ASF::AttributeListMap& map = tag->attributeListMap();
            const auto it = map.find(ToTagString(name));
            if (it != map.end()) {
                if (const Attribute* a = FileLevel(it->second)) {
                    found = *a;
                    return true;
                }
            }
            const TagLib::ASF::Properties* properties = file->audioProperties();
            if (properties == nullptr) return false;
            if (name == "Duration" && properties->lengthInMilliseconds() > 0) {
                found = Attribute(static_cast<unsigned long long>(properties->lengthInMilliseconds()) * 10000ULL);
                return true;
            }
            if (name == "Bitrate" && properties->bitrate() > 0) {
                found = Attribute(static_cast<unsigned int>(properties->bitrate()) * 1000U);
                return true;
            }
            return false;
        }
    }
    if (text.isEmpty()) return false;
    found = Attribute(text);
    return true;
}

}  // namespace

std::string TWMFTagBase::GetString(const std::string& name, const std::string& defaultValue) {
    Attribute attribute;
    if (!FindAttribute(FFile.get(), name, attribute)) return defaultValue;
    switch (TypeOf(attribute)) {
        case TWMAttrType::DWord: return std::to_string(attribute.toUInt());
        case TWMAttrType::String: return FromTagString(attribute.toString());
        case TWMAttrType::Binary: return defaultValue;
        case TWMAttrType::Bool: return std::to_string(attribute.toBool());
        case TWMAttrType::QWord: return std::to_string(attribute.toULongLong());
        case TWMAttrType::Word: return std::to_string(attribute.toUShort());
        case TWMAttrType::Guid: return GuidText(attribute.toByteVector());
    }
    return {};
}

int64_t TWMFTagBase::GetNumber(const std::string& name, int64_t defaultValue) {
    Attribute attribute;
    if (!FindAttribute(FFile.get(), name, attribute)) return defaultValue;
    switch (TypeOf(attribute)) {
        case TWMAttrType::DWord: return attribute.toUInt();
        case TWMAttrType::Bool: return attribute.toBool();
        case TWMAttrType::QWord: return static_cast<int64_t>(attribute.toULongLong());
        case TWMAttrType::Word: return attribute.toUShort();
        case TWMAttrType::String: {
            int64_t value = 0;
            return ParseInt64(FromTagString(attribute.toString()), value) ? value : defaultValue;
        }
        case TWMAttrType::Binary:
        case TWMAttrType::Guid: return defaultValue;
    }
    return defaultValue;
}

int32_t TWMFTagBase::GetBinary(const std::string& name, void* buffer, int32_t bufferSize) {
    Attribute attribute;
    if (!FindAttribute(FFile.get(), name, attribute)) return 0;
    const std::string raw = RawBytes(attribute);
    if (buffer == nullptr) return static_cast<int32_t>(raw.size());
    const size_t n = std::min<size_t>(raw.size(), static_cast<size_t>(std::max(bufferSize, 0)));
    std::memcpy(buffer, raw.data(), n);
    return static_cast<int32_t>(n);
}

namespace {

void ReplaceFirst(TagLib::ASF::Tag* tag, const std::string& name, Attribute value) {
    const TagLib::String key = ToTagString(name);
    const TagLib::ASF::AttributeListMap& map = tag->attributeListMap();
    const auto it = map.find(key);
    if (it == map.end() || it->second.isEmpty()) {
        tag->setAttribute(key, value);
        return;
    }
    // Entries of other streams stay as they are.
    AttributeList list = it->second;
    for (Attribute& a : list) {
        if (a.stream() != 0) continue;
        value.setLanguage(a.language());
        a = value;
        tag->setAttribute(key, list);
        return;
    }
    value.setStream(0);
    list.append(value);
    tag->setAttribute(key, list);
}

bool SetContentField(TagLib::ASF::Tag* tag, const std::string& name, const std::string& text) {
    const TagLib::String value = ToTagString(text);
    switch (ContentField(name)) {
        case TContentField::Title: tag->setTitle(value); return true;
        case TContentField::Author: tag->setArtist(value); return true;
        case TContentField::Copyright: tag->setCopyright(value); return true;
        case TContentField::Description: tag->setComment(value); return true;
        case TContentField::Rating: tag->setRating(value); return true;
        case TContentField::None: return false;
    }
    return false;
}

}  // namespace

void TWMFTagBase::SetString(const std::string& name, const std::string& text) {
    Change([name, text](TagLib::ASF::Tag* tag) {
        if (!SetContentField(tag, name, text)) ReplaceFirst(tag, name, Attribute(ToTagString(text)));
    });
}

void TWMFTagBase::SetBinary(const std::string& name, const void* data, int32_t size) {
    const TagLib::ByteVector bytes(static_cast<const char*>(data), static_cast<unsigned int>(std::max(size, 0)));
    Change([name, bytes](TagLib::ASF::Tag* tag) { ReplaceFirst(tag, name, Attribute(bytes)); });
}

void TWMFTagBase::DeleteAttribute(const std::string& name) {
    Change([name](TagLib::ASF::Tag* tag) {
        if (SetContentField(tag, name, "")) return;
        const TagLib::String key = ToTagString(name);
        const TagLib::ASF::AttributeListMap& map = tag->attributeListMap();
        const auto it = map.find(key);
        if (it == map.end()) return;
        AttributeList list = it->second;
        const auto first = std::find_if(list.begin(), list.end(), [](const Attribute& a) { return a.stream() == 0; });
        if (first == list.end()) return;
        list.erase(first);
        if (list.isEmpty())
            tag->removeItem(key);
        else
            tag->setAttribute(key, list);
    });
}

int64_t TWMFTag::BPM() { return RoundedNumber(GetString("WM/BeatsPerMinute")); }

std::string TWMFTag::Artist() {
    const std::string author = GetString("Author");
    return author.empty() ? GetString("WM/AlbumArtist") : author;
}

int64_t TWMFTag::TrackNo() {
    // Text numbers may come as "6/15", track of tracks.
    const std::string text = GetString("WM/TrackNumber");
    int64_t v = 0;
    if (ParseInt64(text.substr(0, text.find('/')), v)) return v;
    return GetNumber("WM/TrackNumber", 0);
}

void TWMFTag::SetTrackNo(int64_t v) {
    if (v > 0)
        SetString("WM/TrackNumber", std::to_string(v));
    else
        DeleteAttribute("WM/TrackNumber");
}

IPictureInfoPtr TWMFTag::GetPicture() {
    if (!FFile) return nullptr;
    const TagLib::ASF::AttributeListMap& map = FFile->tag()->attributeListMap();
    const auto it = map.find("WM/Picture");
    const Attribute* a = it == map.end() ? nullptr : FileLevel(it->second);
    if (a == nullptr || a->type() != Attribute::BytesType) return nullptr;
    const TagLib::ASF::Picture picture = a->toPicture();
    if (!picture.isValid() || picture.picture().isEmpty()) return nullptr;
    return std::make_shared<TWMPictureInfo>(picture);
}

void TWMFTag::SetPicture(const IPictureInfo& picture) {
    if (!FFile) return;
    TagLib::ASF::Picture value;
    value.setMimeType(ToTagString(picture.GetMimeType()));
    value.setDescription(ToTagString(picture.GetDescription()));
    const uint8_t type = picture.GetPictureType();
    value.setType(type <= TagLib::ASF::Picture::PublisherLogo ? static_cast<TagLib::ASF::Picture::Type>(type)
                                                              : TagLib::ASF::Picture::Other);
    value.setPicture(TagLib::ByteVector(reinterpret_cast<const char*>(picture.GetData()), picture.GetSize()));
    Change([value](TagLib::ASF::Tag* tag) { ReplaceFirst(tag, "WM/Picture", Attribute(value)); });
}

bool TWMFTag::LoadPictureFromFile(const std::string& fileName) {
    try {
        const TPictureInfo picture(fileName);
        SetPicture(picture);
        return true;
    } catch (const std::exception& e) {
        LogMessage("Picture " + fileName + ": " + e.what(), "Tags", LogKind::Warning);
        return false;
    }
}

char TWMFTagKelvar::SongType() {
    const std::string text = GetString("kelvarSongType");
    return text.empty() ? '?' : text[0];
}

int64_t TWMFTagKelvar::Rating() {
    int64_t value = 0;
    return ParseInt64(GetString("kelvarRating"), value) ? value : 0;
}

bool TWMFTagKelvar::Overlay() {
    std::string text = GetString("kelvarOverlay", "NO");
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text == "YES";
}

}  // namespace kelvar
