#include "foundation/TextUtil.h"

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

}  // namespace kelvar
