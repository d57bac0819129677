#include "media/tags/ID3v2Types.h"

#include <fstream>

#include "media/tags/AtomicFile.h"
#include "media/tags/OggTagUtils.h"

namespace kelvar {

uint32_t UnSyncSafe(const uint8_t* b) {
    if ((b[0] | b[1] | b[2] | b[3]) & 0x80) return 0;
    return (uint32_t(b[0]) << 21) | (uint32_t(b[1]) << 14) | (uint32_t(b[2]) << 7) | b[3];
}

std::array<uint8_t, 4> SyncSafe(uint32_t v) {
    return {uint8_t((v >> 21) & 0x7F), uint8_t((v >> 14) & 0x7F), uint8_t((v >> 7) & 0x7F), uint8_t(v & 0x7F)};
}

std::array<uint8_t, 4> BigEndian32(uint32_t v) {
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

namespace {

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
    return s.substr(b, e - b);
}

std::string DecodeUtf16(const uint8_t* p, size_t length, bool bigEndian) {
    std::u16string units;
    units.reserve(length / 2);
    for (size_t i = 0; i + 1 < length; i += 2) {
        char16_t u = bigEndian ? char16_t((p[i] << 8) | p[i + 1]) : char16_t(p[i] | (p[i + 1] << 8));
        if (u == 0) break;
        if (u == 0xFEFF) continue;  // a byte-order mark in our order
        if (u == 0xFFFE) {          // one in the other order: switch
            bigEndian = !bigEndian;
            continue;
        }
        units += u;
    }
    return Utf16ToUtf8(units);
}

std::string CutAtZero(const uint8_t* p, size_t length) {
    size_t n = 0;
    while (n < length && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Length of the text from P up to and including its terminator; 0 when there is none.
size_t TerminatedLength(const uint8_t* p, size_t length, uint8_t encoding) {
    if (encoding == 1 || encoding == 2) {
        for (size_t i = 0; i + 1 < length; i += 2)
            if (p[i] == 0 && p[i + 1] == 0) return i + 2;
    } else {
        for (size_t i = 0; i < length; ++i)
            if (p[i] == 0) return i + 1;
    }
    return 0;
}

std::string DecodeBody(uint8_t encoding, const uint8_t* p, size_t length) {
    std::string text;
    switch (encoding) {
        case 1: {
            bool bigEndian = length >= 2 && p[0] == 0xFE && p[1] == 0xFF;
            text = DecodeUtf16(p, length, bigEndian);
            break;
        }
        case 2: {
            bool littleEndian = length >= 2 && p[0] == 0xFF && p[1] == 0xFE;
            text = DecodeUtf16(p, length, !littleEndian);
            break;
        }
        case 3: {
            std::string s = CutAtZero(p, length);
            if (s.size() >= 3 && s.compare(0, 3, "\xEF\xBB\xBF") == 0) s.erase(0, 3);
            text = AnsiToUtf8(s);
            break;
        }
        default: text = AnsiToUtf8(CutAtZero(p, length)); break;
    }
    return TrimBlanks(text);
}

}  // namespace

std::string DecodeText(const uint8_t* raw, size_t length) {
    if (length == 0) return {};
    if (raw[0] <= 3) return DecodeBody(raw[0], raw + 1, length - 1);
    return DecodeBody(0, raw, length);
}

TTextDesc DecodeTextDesc(const uint8_t* raw, size_t length, bool withLanguage) {
    TTextDesc r;
    if (length == 0) return r;
    const uint8_t encoding = raw[0] <= 3 ? raw[0] : 0;
    size_t pos = 1;
    if (withLanguage) {
        size_t n = std::min<size_t>(3, length - pos);
        r.Language.assign(reinterpret_cast<const char*>(raw + pos), n);
        pos += n;
    }
    const size_t term = TerminatedLength(raw + pos, length - pos, encoding);
    if (term > 0) {
        r.Description = DecodeBody(encoding, raw + pos, term);
        pos += term;
    }
    r.Text = DecodeBody(encoding, raw + pos, length - pos);
    return r;
}

TPictureHeader DecodePicture(const uint8_t* raw, size_t length) {
    TPictureHeader r;
    if (length == 0) return r;
    const uint8_t encoding = raw[0] <= 3 ? raw[0] : 0;
    size_t pos = 1;
    size_t mimeEnd = pos;
    while (mimeEnd < length && raw[mimeEnd] != 0) ++mimeEnd;
    r.MimeType.assign(reinterpret_cast<const char*>(raw + pos), mimeEnd - pos);
    pos = mimeEnd + 1;  // after the zero byte
    if (pos >= length) {
        r.Offset = length;
        return r;
    }
    r.PictureType = raw[pos++];
    const size_t term = TerminatedLength(raw + pos, length - pos, encoding);
    if (term == 0) {
        r.Offset = length;
        return r;
    }
    r.Description = DecodeBody(encoding, raw + pos, term);
    r.Offset = pos + term;
    return r;
}

uint8_t ChooseTextEncoding(uint8_t version, std::initializer_list<const std::string*> texts) {
    std::string latin;
    for (const std::string* t : texts) {
        if (!Utf8ToLatin1(*t, latin)) return version >= 4 ? 3 : 1;
        // Latin-1 bytes that happen to form UTF-8 would read back as other characters.
        bool high = false;
        for (char c : latin) high |= static_cast<unsigned char>(c) >= 0x80;
        if (high && IsValidUtf8(latin)) return version >= 4 ? 3 : 1;
    }
    return 0;
}

void AppendText(TBytes& out, const std::string& text, uint8_t encoding) {
    if (encoding == 1) {
        if (text.empty()) return;
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (char16_t u : Utf8ToUtf16(text)) {
            out.push_back(uint8_t(u & 0xFF));
            out.push_back(uint8_t(u >> 8));
        }
    } else if (encoding == 3) {
        out.insert(out.end(), text.begin(), text.end());
    } else {
        std::string latin;
        if (!Utf8ToLatin1(text, latin)) latin = text;  // bytes kept from a tag as they were (MIME types)
        out.insert(out.end(), latin.begin(), latin.end());
    }
}

void AppendTerminator(TBytes& out, uint8_t encoding) {
    out.push_back(0);
    if (encoding == 1 || encoding == 2) out.push_back(0);
}

TBytes RemoveUnsync(const uint8_t* data, size_t length) {
    TBytes out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        out.push_back(data[i]);
        if (data[i] == 0xFF && i + 1 < length && data[i + 1] == 0x00) ++i;
    }
    return out;
}

int64_t GetTagSize(const TID3v2Header& h) {
    if (!h.HasID3()) return 0;
    const uint32_t size = UnSyncSafe(&h.Bytes[6]);
    if (size == 0) return 0;
    const int64_t total = int64_t(size) + ((h.Flags() & 0x10) ? 20 : 10);
    if (h.FileSize > 0 && h.FileSize < total) return 0;
    return total;
}

bool ReadTagHeader(std::istream& stream, TID3v2Header& header) {
    header = TID3v2Header{};
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    if (size < 0) return false;
    header.FileSize = size;
    stream.seekg(0);
    if (!stream.read(reinterpret_cast<char*>(header.Bytes.data()), 10)) {
        header.Bytes = {};
        return false;
    }
    return true;
}

bool ReadTagHeaderFromFile(const std::string& fileName, TID3v2Header& header) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        header = TID3v2Header{};
        return false;
    }
    return ReadTagHeader(in, header);
}

bool RebuildTagFile(const std::string& fileName, const TBytes& newTag, int64_t skip) {
    try {
        if (!IsWritableFile(fileName)) return false;
        std::ifstream in(fileName, std::ios::binary);
        if (!in) return false;
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        if (size < 0 || skip < 0 || skip > size) return false;
        in.seekg(skip);
        TAtomicFile out(fileName);
        out.Write(newTag.data(), newTag.size());
        std::vector<char> buffer(1 << 16);
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const std::streamsize n = in.gcount();
            if (n > 0) out.Write(buffer.data(), static_cast<size_t>(n));
        }
        if (in.bad()) return false;
        out.Commit();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace kelvar
