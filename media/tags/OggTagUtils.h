#pragma once
// Vorbis comment lists as name/value records, and the text conversions the tag formats need.
// Text inside the program is UTF-8.
#include <cstdint>
#include <string>
#include <vector>

struct vorbis_comment;

namespace kelvar {

// How comment values are converted. Values stay UTF-8 on this platform in every mode but
// cmASCII, which turns each byte at or above 0x80 into "?"; a byte that starts no valid UTF-8
// sequence is read as Windows-1252.
enum TCommentMode : int { cmASCII = 0, cmANSI = 1, cmOEM = 2, cmUnicode = 3 };

struct TStrComment {
    std::string Name;  // empty when the comment has no usable name
    std::string Value;
    std::string Full;  // Name "=" Value, or Value alone without a name
};
using TStrComments = std::vector<TStrComment>;

TStrComments ParseComments(const vorbis_comment& comments, TCommentMode mode, bool* nonASCII = nullptr);
TStrComments ParseComments(const std::vector<std::string>& comments, TCommentMode mode, bool* nonASCII = nullptr);

// UTF-8 <-> UTF-16. Invalid input becomes U+FFFD; nothing throws.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
// Text of no declared encoding (ID3v1 fields, ID3v2 encoding 0): kept when it is valid UTF-8,
// otherwise read as Windows-1252.
std::string AnsiToUtf8(const std::string& text);
// Latin-1 bytes of a UTF-8 text; false (and Out undefined) when some character is above U+00FF.
bool Utf8ToLatin1(const std::string& text, std::string& out);
bool IsValidUtf8(const std::string& text);

}  // namespace kelvar
