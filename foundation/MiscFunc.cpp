#include "foundation/MiscFunc.h"

#include "foundation/Clock.h"
#include "foundation/TextUtil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace kelvar {

namespace {

// The index where the extension of path's file name starts, or npos. A leading dot of the
// name (a hidden file) is no extension.
size_t ExtensionStart(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) return std::string::npos;
    return dot;
}

int64_t IntOrZero(const std::string& text) {
    int64_t v = 0;
    return TryParseInt64(text, v) ? v : 0;
}

}  // namespace

int64_t MsSinceStart() { return GetClock().MsSinceStart(); }

bool TryParseInt64(const std::string& text, int64_t& value) {
    const std::string t = TrimText(text);
    if (t.empty()) return false;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    // from_chars takes no "+", so allow one sign of our own (but not "+-").
    if (*first == '+' && ++first != last && *first == '-') return false;
    if (first == last) return false;
    int64_t v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || ptr != last) return false;
    value = v;
    return true;
}

bool TryParseDouble(const std::string& text, double& value) {
    std::string t = TrimText(text);
    if (t.empty()) return false;
    std::replace(t.begin(), t.end(), ',', '.');
    const char* first = t.data();
    const char* last = t.data() + t.size();
    // from_chars takes no "+", so allow one sign of our own (but not "+-").
    if (*first == '+' && ++first != last && *first == '-') return false;
    if (first == last) return false;
    double v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || ptr != last) return false;
    value = v;
    return true;
}

int64_t TimeTextToMs(const std::string& text) {
    int64_t whole = 0;
    if (TryParseInt64(text, whole) && whole >= 1000) return whole;

    const bool hasColon = text.find(':') != std::string::npos;
    const bool hasDot = text.find('.') != std::string::npos;
    if (!hasColon) {
        if (hasDot) {
            double seconds = 0;
            if (!TryParseDouble(text, seconds) || !std::isfinite(seconds)) return 0;
            const double ms = std::nearbyint(seconds * 1000.0);
            if (std::fabs(ms) >= 9.2e18) return 0;
            return static_cast<int64_t>(ms);
        }
        const int64_t seconds = IntOrZero(text);
        if (seconds > INT64_MAX / 1000 || seconds < INT64_MIN / 1000) return 0;
        return seconds * 1000;
    }

    std::string t = hasDot ? text : text + ".000";
    std::replace(t.begin(), t.end(), '.', ':');
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t colon = t.find(':', start);
        fields.push_back(t.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    // From the right: milliseconds, seconds, minutes, hours.
    int64_t parts[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4 && i < fields.size(); ++i) parts[i] = IntOrZero(fields[fields.size() - 1 - i]);
    // Wrapping arithmetic keeps absurd inputs defined; real time texts are far from the limits.
    const uint64_t total = (static_cast<uint64_t>(parts[3]) * 3600u + static_cast<uint64_t>(parts[2]) * 60u +
                            static_cast<uint64_t>(parts[1])) *
                               1000u +
                           static_cast<uint64_t>(parts[0]);
    return static_cast<int64_t>(total);
}

std::string FormatTimeMs(int style, int64_t ms) {
    const char* prefix = ms < 0 ? "-" : "";
    // The magnitude in unsigned arithmetic, so INT64_MIN does not overflow.
    const uint64_t v = ms < 0 ? 0u - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
    const unsigned long long hours = v / 3600000u;
    const unsigned long long minutes = (v % 3600000u) / 60000u;
    const unsigned long long seconds = (v % 60000u) / 1000u;
    const unsigned long long tenths = (v % 1000u) / 100u;
    const unsigned long long totalMinutes = hours * 60u + minutes;
    char buf[96];
    switch (style) {
        case 0: std::snprintf(buf, sizeof buf, "%s%llu:%02llu", prefix, hours, minutes); break;
        case 1: std::snprintf(buf, sizeof buf, "%s%llu:%02llu:%02llu", prefix, hours, minutes, seconds); break;
        case 2: std::snprintf(buf, sizeof buf, "%s%llu:%02llu", prefix, totalMinutes, seconds); break;
        case 3: std::snprintf(buf, sizeof buf, "%s%llu:%02llu.%llu", prefix, totalMinutes, seconds, tenths); break;
        case 4: std::snprintf(buf, sizeof buf, "%s%llu", prefix, static_cast<unsigned long long>(v / 1000u)); break;
        default: return "Unknown time format";
    }
    return buf;
}

bool IsHTTPURLOfType(const std::string& address, const std::string& ext) {
    const std::string a = UpperAscii(address);
    const std::string e = UpperAscii(ext);
    if (a.rfind("HTTP://", 0) != 0) return false;
    const size_t q = a.find('?');
    const std::string path = a.substr(0, q);
    const std::string query = q == std::string::npos ? std::string() : a.substr(q + 1);
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.compare(dot, std::string::npos, "." + e) == 0) return true;
    return !e.empty() && query.find(e) != std::string::npos;
}

bool ForceDeleteFile(const std::string& name) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    if (S_ISREG(st.st_mode)) ::chmod(name.c_str(), st.st_mode | S_IWUSR);
    return ::unlink(name.c_str()) == 0;
}

int FirstCharOf(const std::string& text, int def) { return text.empty() ? def : static_cast<unsigned char>(text[0]); }

bool IsFileReadOnly(const std::string& name) {
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return true;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool SetFileReadOnly(const std::string& name, bool value) {
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    mode = value ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return ::chmod(name.c_str(), mode) == 0;
}

std::string ExtractFileNameNoExt(const std::string& path) {
    if (path.find("://") != std::string::npos) return path;
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t ext = ExtensionStart(path);
    return path.substr(nameStart, ext == std::string::npos ? std::string::npos : ext - nameStart);
}

std::string RemoveFileExt(const std::string& path) { return path.substr(0, ExtensionStart(path)); }

std::string ExtractFilePathEx(const std::string& path) {
    const size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string TrimText(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

std::string JoinArtistTitle(const std::string& artist, const std::string& title) {
    return artist.empty() ? title : artist + " - " + title;
}

std::string JoinArtistTitleTrimmed(const std::string& artist, const std::string& title) {
    return JoinArtistTitle(TrimText(artist), TrimText(title));
}

void SplitArtistTitle(std::string& artist, std::string& title) {
    if (!artist.empty()) return;
    const size_t dash = title.find('-');
    if (dash == std::string::npos || dash == 0) return;
    const std::string before = title.substr(0, dash);
    const std::string after = title.substr(dash + 1);
    artist = TrimText(before);
    title = TrimText(after);
}

std::string ProgramPath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string ProgramFolder() {
    const std::string path = ProgramPath();
    if (path.empty()) {
        std::error_code ec;
        const auto cwd = std::filesystem::current_path(ec);
        return ec ? std::string("./") : cwd.string() + "/";
    }
    return ExtractFilePathEx(path);
}

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        }
        int len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
            min = 0x10000;
        }
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (ok) {
            out.push_back(static_cast<wchar_t>(cp));
            i += len;
        } else {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
        }
    }
    return out;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        uint32_t cp = static_cast<uint32_t>(w);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace kelvar
