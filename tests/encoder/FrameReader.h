#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A test-side reader of Layer III streams: frame headers, CRC, side information, the bit reservoir
// and the ancillary data that follows each frame's granules.
struct FrameInfo {
    int version = 0;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int bitrateIndex = 0;
    int rate = 0;
    int padding = 0;
    int mode = 0;
    int modeExtension = 0;
    bool hasCrc = false;
    bool crcOk = true;
    bool privateBit = false, copyright = false, original = false;
    int size = 0;
    int granules = 0, channels = 0;
    int mainDataBegin = 0;
    int part23[2][2] = {};
    int blockType[2][2] = {};
    bool vbri = false;
    std::vector<uint8_t> ancillary;  // the ancillaryBits after the granules, from the first one on
    int ancillaryBits = 0;
};

struct StreamInfo {
    std::vector<FrameInfo> frames;
    std::string error;  // empty when every frame parsed and every reservoir reference was valid
};

StreamInfo ReadStream(const std::vector<uint8_t>& mp3);

// Finds the 8-byte info block (0xB0, delay, value, CRC-8) in the ancillary bits of the stream.
bool FindInfoBlock(const StreamInfo& stream, int& delay, uint32_t& value);
