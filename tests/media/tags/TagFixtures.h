#pragma once
// Fixtures for the tag tests: a temporary folder, files of given bytes, hand-made ID3v2 tags,
// MPEG audio frames and Ogg Vorbis files encoded at test time.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TempFolder.h"

namespace kelvar::test {

using Bytes = std::vector<uint8_t>;
using TempDir = TTempFolder;

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);

Bytes operator+(Bytes a, const Bytes& b);
Bytes Text(const std::string& s);

// Four sync-safe or big-endian size bytes.
Bytes SyncSafeBytes(uint32_t v);
Bytes BigEndianBytes(uint32_t v);

// A frame of a 2.3 (big-endian size) or 2.4 (sync-safe size) tag.
Bytes Id3Frame(const std::string& id, const Bytes& payload, int version, uint16_t flags = 0);
// A 2.2 frame: three-character ID, 24-bit size.
Bytes Id3Frame22(const std::string& id, const Bytes& payload);
// "ID3", version, 0, flags, sync-safe size of Body (plus Padding zero bytes).
Bytes Id3Tag(int version, uint8_t flags, const Bytes& body, size_t padding = 0);
// The 128-byte ID3v1 block.
Bytes Id3v1Block(const std::string& title, const std::string& artist, const std::string& album, const std::string& year,
                 const Bytes& comment30, uint8_t genre);

// Count MPEG-1 Layer III frames at 128 kbit/s, 44100 Hz, stereo (417 bytes each).
Bytes Mp3Frames(int count);
// The same with a Xing header in the first frame claiming Frames frames and Bytes bytes.
Bytes Mp3FramesWithXing(int count, uint32_t frames, uint32_t bytes);

// A mono 44100 Hz Ogg Vorbis file of Seconds of a tone, with the given comments.
Bytes OggVorbisFile(double seconds, const std::vector<std::string>& comments, int serial = 1234);
// Decodes a whole Ogg Vorbis file; the sample frames per channel, or -1 when it can't be read.
int64_t DecodeOggSamples(const std::string& path);
// Each link of a chained Ogg Vorbis file: its length in sample frames and its title comment.
std::vector<std::pair<int64_t, std::string>> OggLinks(const std::string& path);

}  // namespace kelvar::test
