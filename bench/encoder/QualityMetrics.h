#pragma once
#include <cstdint>
#include <vector>

// Test material and measures for comparing encoders on the same input.
std::vector<int16_t> MakeMaterial(int rate, int channels, double seconds);

std::vector<float> DecodeMp3(const std::vector<uint8_t>& mp3, int& rate, int& channels);

struct Quality {
    int lag = 0;
    double snr = 0;       // dB, within [20 Hz, bandTop]
    double nmr = 0;       // dB, mean noise-to-mask ratio over critical bands and blocks
    double nmrAbove = 0;  // share of bands whose noise exceeds the mask
};

// Aligns decoded against input (both interleaved, input full scale 32768) and measures.
Quality Measure(const std::vector<int16_t>& input, const std::vector<float>& decoded, int channels, int rate,
                double bandTop);
