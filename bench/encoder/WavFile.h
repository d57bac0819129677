#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A RIFF WAVE file of 16-bit integer or 32-bit float samples, kept as raw interleaved bytes.
struct WavFile {
    uint32_t rate = 0;
    int channels = 0;
    int format = 0;             // 0 16-bit integers, 1 32-bit floats
    std::vector<uint8_t> data;  // whole sample frames only
    std::string warning;        // what was left out of a damaged file, empty when nothing was

    size_t Frames() const { return data.size() / (static_cast<size_t>(channels) * (format ? 4 : 2)); }
};

// Any sample rate and channel count is read; what the encoder takes is checked where it is used.
bool ReadWav(const std::string& path, WavFile& wav, std::string& error);
bool WriteWav(const std::string& path, const WavFile& wav);
