#pragma once
// Text helpers the layers share: ASCII and UTF-8 case folding, case-insensitive comparison and search,
// trimming, and the text of an errno value.
#include <string>
#include <string_view>

namespace kelvar {

// Case folding of the ASCII letters only; other bytes (UTF-8 sequences too) stay as they are.
std::string UpperAscii(std::string text);
std::string LowerAscii(std::string text);

// Equality, prefix test and search that ignore the case of ASCII letters.
bool SameText(std::string_view a, std::string_view b);
bool StartsWithText(std::string_view text, std::string_view prefix);
// The position of the first match at or after from; std::string::npos when there is none.
size_t FindText(std::string_view text, std::string_view what, size_t from = 0);

// Case folding of every letter the system's Unicode tables know (Latin, Greek, Cyrillic, ...), for
// names people type in any language; invalid UTF-8 stays as it is.
std::string LowerUtf8(std::string_view text);
std::string UpperUtf8(std::string_view text);
// Equality that ignores the case of any letter.
bool SameTextUtf8(std::string_view a, std::string_view b);

// Without leading and trailing white space (space, tab, CR, LF, VT, FF).
std::string TrimSpace(std::string_view text);

// The system's text for an errno value; unlike strerror, safe from any thread.
std::string ErrnoText(int error);

}  // namespace kelvar
