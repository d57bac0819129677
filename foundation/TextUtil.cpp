#include "foundation/TextUtil.h"

#include <locale.h>
#include <wctype.h>

#include <cstring>

namespace kelvar {

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) c = FoldAscii(c);
    return text;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

size_t FindText(std::string_view text, std::string_view what, size_t from) {
    if (from > text.size() || what.size() > text.size() - from) return std::string::npos;
    for (size_t i = from; i + what.size() <= text.size(); ++i)
        if (SameText(text.substr(i, what.size()), what)) return i;
    return std::string::npos;
}

std::string TrimSpace(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && IsSpace(text[first])) ++first;
    while (last > first && IsSpace(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
}

std::string ErrnoText(int error) {
    char buffer[256];
    // The GNU strerror_r answers a pointer: either into the buffer or to a static text.
    return ::strerror_r(error, buffer, sizeof buffer);
}

namespace {

// The C library's UTF-8 locale, made once; null where the system has none (ASCII only then).
locale_t Utf8Locale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

bool ValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > text.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
        i += n;
    }
    return true;
}

std::string FoldUtf8(std::string_view text, bool upper) {
    locale_t locale = Utf8Locale();
    if (!locale || !ValidUtf8(text)) return upper ? UpperAscii(std::string(text)) : LowerAscii(std::string(text));
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        char32_t code = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k < n; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += n;
        code = static_cast<char32_t>(upper ? towupper_l(static_cast<wint_t>(code), locale)
                                           : towlower_l(static_cast<wint_t>(code), locale));
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

}  // namespace

std::string LowerUtf8(std::string_view text) { return FoldUtf8(text, false); }
std::string UpperUtf8(std::string_view text) { return FoldUtf8(text, true); }

bool SameTextUtf8(std::string_view a, std::string_view b) {
    if (SameText(a, b)) return true;
    return LowerUtf8(a) == LowerUtf8(b);
}

}  // namespace kelvar
