#pragma once
// Small shared helpers: the program's millisecond clock, time texts, file and address helpers,
// artist/title joining, and the program's own location.
#include <chrono>
#include <cstdint>
#include <string>

namespace kelvar {

// Milliseconds since the helpers initialised at start-up, on a monotonic clock, so a wall-clock
// step never makes timers jump.
int64_t MsSinceStart();

// (A - B) in whole milliseconds, truncated towards zero; negative when B is later than A.
template <class Clock, class Duration>
int64_t MsBetween(std::chrono::time_point<Clock, Duration> a, std::chrono::time_point<Clock, Duration> b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(a - b).count();
}

// Time parameter text as milliseconds: "1500" (>= 1000: ms), "2.5" (seconds), "90" (seconds),
// "1:02.500" ([[h:]m:]s[.ms]). Unreadable numbers count as 0.
int64_t TimeTextToMs(const std::string& text);

// Styles: 0 h:mm, 1 h:mm:ss, 2 m:ss, 3 m:ss.t, 4 seconds; others give "Unknown time format".
std::string FormatTimeMs(int style, int64_t ms);

// True for an "http://" address whose path ends in "." + ext or whose query holds ext
// anywhere; case-insensitive.
bool IsHTTPURLOfType(const std::string& address, const std::string& ext);

// Deletes a file, making it writable first; true when it is gone (or never existed).
bool ForceDeleteFile(const std::string& name);

// The code (0..255) of the first byte of text; def for an empty text.
int FirstCharOf(const std::string& text, int def);

// Read-only means no write bit at all. A missing file counts as read-only.
bool IsFileReadOnly(const std::string& name);
// True makes the file read-only (clears every write bit); false gives the owner write access.
bool SetFileReadOnly(const std::string& name, bool value);

// The file name without folder and extension; an address holding "://" is answered unchanged.
std::string ExtractFileNameNoExt(const std::string& path);
// Folder and file name without the extension.
std::string RemoveFileExt(const std::string& path);
// The text up to and including its last "\" or "/"; empty when there is none.
std::string ExtractFilePathEx(const std::string& path);

// Removes control characters and blanks at both ends.
std::string TrimText(const std::string& text);

// "Artist - Title", or the title alone when the artist is empty.
std::string JoinArtistTitle(const std::string& artist, const std::string& title);
std::string JoinArtistTitleTrimmed(const std::string& artist, const std::string& title);
// With an empty artist, splits "Artist - Title" at the first "-" (not at the first character).
void SplitArtistTitle(std::string& artist, std::string& title);

// The running executable (/proc/self/exe) and its folder with a trailing "/".
std::string ProgramPath();
std::string ProgramFolder();

// UTF-8 <-> wide text. Invalid input becomes U+FFFD; nothing throws.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// Strict whole-text number reads (surrounding blanks allowed); false when unreadable.
bool TryParseInt64(const std::string& text, int64_t& value);
// Accepts "." or "," as decimal separator.
bool TryParseDouble(const std::string& text, double& value);

}  // namespace kelvar
