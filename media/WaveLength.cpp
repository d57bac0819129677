#include "media/WaveLength.h"

namespace kelvar {

namespace {

// The bit rate of the first MPEG audio frame header in Head, in kbit/s; 0 when there is none.
int32_t MpegBitrate(const uint8_t* head, int32_t size) {
    static const int16_t kRates[2][3][16] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    };
    if (!head) return 0;
    for (int32_t i = 0; i + 4 <= size; ++i) {
        const uint8_t* h = head + i;
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) continue;
        const int version = (h[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
        const int layer = (h[1] >> 1) & 3;    // 3: layer I ... 1: layer III
        const int index = h[2] >> 4;
        if (version == 1 || layer == 0 || ((h[2] >> 2) & 3) == 3) continue;
        const int rate = kRates[version == 3 ? 0 : 1][3 - layer][index];
        if (rate > 0) return rate;
    }
    return 0;
}

}  // namespace

double CompressedWaveSeconds(uint16_t formatTag, uint32_t sampleRate, uint32_t bytesPerSecond, int64_t dataSize,
                             uint32_t factSamples, const uint8_t* head, int32_t headSize) {
    if (factSamples > 0 && sampleRate > 0) return static_cast<double>(factSamples) / sampleRate;
    if (formatTag == WaveFormatMpeg || formatTag == WaveFormatMpegLayer3) {
        const int32_t kbps = MpegBitrate(head, headSize);
        if (kbps > 0) return static_cast<double>(dataSize) * 8.0 / (kbps * 1000.0);
    }
    if (bytesPerSecond > 0) return static_cast<double>(dataSize) / bytesPerSecond;
    return 0;
}

}  // namespace kelvar
