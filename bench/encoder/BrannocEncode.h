#pragma once
#include "WavFile.h"
#include "encoder/BrannocApi.h"

#include <string>
#include <vector>

// Drives one stream through the library's entry points: configure, feed the whole input block by
// block, flush, and put the VBRI frame first for VBR streams.
struct EncodeResult {
    std::vector<uint8_t> mp3;
    double seconds = 0;  // time spent in the encode calls
    StreamConfig config{};
    std::string error;
};

// Whether the library takes the file's rate and channel count; error names what is wrong and what
// is accepted.
bool CheckInput(const WavFile& wav, std::string& error);

// Float samples are taken at full scale 1.0 and handed to the library in its 16-bit integer scale.
bool EncodeWav(const EncoderApi& api, const WavFile& wav, const StreamConfig& requested, EncodeResult& result);
