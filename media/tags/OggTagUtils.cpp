#include "media/tags/OggTagUtils.h"

#include <vorbis/codec.h>

namespace kelvar {

namespace {

// Decodes one UTF-8 sequence at I; false for an invalid one (I then moves one byte on).
bool NextCodePoint(const std::string& s, size_t& i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    }
    int extra;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (s.size() - i <= static_cast<size_t>(extra)) {
        ++i;
        return false;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += extra + 1;
    return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252 at 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr char16_t kCp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

}  // namespace

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    char32_t cp;
    while (i < text.size())
        if (!NextCodePoint(text, i, cp)) return false;
    return true;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        if (!NextCodePoint(text, i, cp)) cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 | (cp >> 10));
            out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string AnsiToUtf8(const std::string& text) {
    if (IsValidUtf8(text)) return text;
    // Valid UTF-8 sequences stay; each byte that starts none is a Windows-1252 character, so a
    // stray byte in UTF-8 text costs that character only.
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    size_t i = 0;
    while (i < text.size()) {
        const size_t at = i;
        char32_t cp;
        if (NextCodePoint(text, i, cp)) {
            out.append(text, at, i - at);
            continue;
        }
        const auto b = static_cast<unsigned char>(text[at]);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? char32_t(kCp1252High[b - 0x80]) : char32_t(b));
    }
    return out;
}

bool Utf8ToLatin1(const std::string& text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        if (!NextCodePoint(text, i, cp) || cp > 0xFF) return false;
        out += static_cast<char>(cp);
    }
    return true;
}

namespace {

TStrComment ParseOne(const char* data, size_t length, TCommentMode mode, bool& nonASCII) {
    TStrComment c;
    std::string raw(data, length);
    const size_t eq = raw.find('=');
    // An empty name counts as none, so "=x" is kept whole instead of losing its "=".
    bool named = eq != std::string::npos && eq > 0;
    if (named)
        for (size_t k = 0; k < eq; ++k)
            if (raw[k] < 0x20 || raw[k] > 0x7D) named = false;
    if (named) {
        c.Name = raw.substr(0, eq);
        c.Value = raw.substr(eq + 1);
    } else {
        c.Value = raw;
    }
    if (mode == cmASCII) {
        for (char& ch : c.Value)
            if (static_cast<unsigned char>(ch) >= 0x80) {
                ch = '?';
                nonASCII = true;
            }
    } else {
        // Comments are UTF-8 by definition: a bad byte is read as Windows-1252 and costs that
        // character only, so no invalid text reaches the song record.
        c.Value = AnsiToUtf8(c.Value);
    }
    c.Full = c.Name.empty() ? c.Value : c.Name + "=" + c.Value;
    return c;
}

}  // namespace

TStrComments ParseComments(const vorbis_comment& comments, TCommentMode mode, bool* nonASCII) {
    bool any = false;
    TStrComments list;
    if (comments.user_comments && comments.comment_lengths)
        for (int i = 0; i < comments.comments; ++i)
            if (comments.user_comments[i] && comments.comment_lengths[i] >= 0)
                list.push_back(
                    ParseOne(comments.user_comments[i], static_cast<size_t>(comments.comment_lengths[i]), mode, any));
    if (nonASCII) *nonASCII = any;
    return list;
}

TStrComments ParseComments(const std::vector<std::string>& comments, TCommentMode mode, bool* nonASCII) {
    bool any = false;
    TStrComments list;
    list.reserve(comments.size());
    for (const auto& c : comments) list.push_back(ParseOne(c.data(), c.size(), mode, any));
    if (nonASCII) *nonASCII = any;
    return list;
}

}  // namespace kelvar
