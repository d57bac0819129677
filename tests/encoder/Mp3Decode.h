#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Decodes an MP3 stream with an outside decoder; errors counts every error the decoder reported.
struct DecodedAudio {
    std::vector<float> samples;  // interleaved, full scale 1.0
    int rate = 0;
    int channels = 0;
    int errors = 0;
    std::string firstError;
};

DecodedAudio DecodeWithMpg123(const std::vector<uint8_t>& mp3);
DecodedAudio DecodeWithLibav(const std::vector<uint8_t>& mp3);
