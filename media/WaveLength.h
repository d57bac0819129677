#pragma once
// The playing time of compressed WAV data. Writers often get the header's bytes per second
// wrong, so the "fact" chunk's sample count and, for MPEG data, the frames' own bit rate
// come first.
#include <cstdint>

namespace kelvar {

constexpr uint16_t WaveFormatMpeg = 0x0050;
constexpr uint16_t WaveFormatMpegLayer3 = 0x0055;

// Head: the first bytes of the data (for MPEG data), may be null. FactSamples: 0 when there is
// no "fact" chunk. Seconds; 0 when nothing tells.
double CompressedWaveSeconds(uint16_t formatTag, uint32_t sampleRate, uint32_t bytesPerSecond, int64_t dataSize,
                             uint32_t factSamples, const uint8_t* head, int32_t headSize);

}  // namespace kelvar
