#pragma once
#include "encoder/BrannocApi.h"

#include <cstdint>
#include <string>
#include <vector>

// The library loaded the way a host loads it, and streams encoded through its entry points.
const EncoderApi& Api();

// Music-like test material: a few notes with harmonics and envelopes, a noise burst and clicks.
std::vector<int16_t> MakeMusic(int rate, int channels, double seconds);

struct StreamSettings {
    StreamConfig config{};
    bool crc = false;
    uint32_t totalLength = 0;
    int paddingMode = 0;
    bool allowIntensity = true;
    int option0 = 1;  // quantizer refinement level
};

struct EncodedStream {
    std::vector<uint8_t> bytes;
    StreamConfig config{};
    int delay = 0;
    bool ok = false;
    std::string error;
};

EncodedStream EncodeStream(const std::vector<int16_t>& pcm, int rate, int channels, const StreamSettings& settings);

// Signal-to-noise ratio of decoded against input (full scale 32768), at the best lag found near
// the expected one.
double AlignedSnr(const std::vector<int16_t>& input, const std::vector<float>& decoded, int channels, int expectedLag);
