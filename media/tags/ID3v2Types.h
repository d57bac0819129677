#pragma once
// Numbers, text encodings and the tag header of ID3v2, and the file rewrite under a new tag.
#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace kelvar {

using TBytes = std::vector<uint8_t>;

// The value of four sync-safe bytes; 0 when any of them has its high bit set.
uint32_t UnSyncSafe(const uint8_t* bytes);
std::array<uint8_t, 4> SyncSafe(uint32_t value);
std::array<uint8_t, 4> BigEndian32(uint32_t value);

// An encoding byte (0 Latin-1, 1 UTF-16 with byte-order mark, 2 UTF-16BE, 3 UTF-8) followed by
// text, as UTF-8: cut at the first terminator, control characters and blanks removed at both
// ends. Data without a known encoding byte is read whole as 8-bit text.
std::string DecodeText(const uint8_t* raw, size_t length);

struct TTextDesc {
    std::string Language;
    std::string Description;
    std::string Text;
};
// Encoding byte, [three language characters], description ended by the encoding's
// terminator, text to the end. Without a terminator the description is empty.
TTextDesc DecodeTextDesc(const uint8_t* raw, size_t length, bool withLanguage);

struct TPictureHeader {
    std::string MimeType = "jpg";
    uint8_t PictureType = 3;
    std::string Description;
    size_t Offset = 0;  // of the picture bytes; Length when they are missing
};
TPictureHeader DecodePicture(const uint8_t* raw, size_t length);

// The encoding a frame of Version is written in: 0 when every character is at most U+00FF,
// otherwise 1 (UTF-16 with byte-order mark) for version 3 and 3 (UTF-8) for version 4.
uint8_t ChooseTextEncoding(uint8_t version, std::initializer_list<const std::string*> texts);
void AppendText(TBytes& out, const std::string& text, uint8_t encoding);
void AppendTerminator(TBytes& out, uint8_t encoding);

// Undoes unsynchronisation: every FF 00 becomes FF.
TBytes RemoveUnsync(const uint8_t* data, size_t length);

struct TID3v2Header {
    std::array<uint8_t, 10> Bytes{};
    int64_t FileSize = 0;
    bool HasID3() const { return Bytes[0] == 'I' && Bytes[1] == 'D' && Bytes[2] == '3'; }
    uint8_t Version() const { return Bytes[3]; }
    uint8_t Flags() const { return Bytes[5]; }
};

// The whole tag's size in the file: header, frames and footer; 0 when there is none or the
// tag claims more than the file holds.
int64_t GetTagSize(const TID3v2Header& header);
// True when 10 bytes could be read; the stream is left at its end position's start.
bool ReadTagHeader(std::istream& stream, TID3v2Header& header);
bool ReadTagHeaderFromFile(const std::string& fileName, TID3v2Header& header);

// Writes NewTag followed by the file's bytes from Skip on, replacing the file atomically.
// False (and the file untouched) when anything fails or the file may not be written.
bool RebuildTagFile(const std::string& fileName, const TBytes& newTag, int64_t skip);

}  // namespace kelvar
