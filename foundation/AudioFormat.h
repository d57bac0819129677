#pragma once
// The PCM format record, stream time and the byte/millisecond conversions that buffers, the
// audio graph, nodes, outputs, decoders and decks share, so they agree on every rounding.
#include <cstdint>

namespace kelvar {

// Milliseconds of stream position; the time stamp of every push, pull, chunk and event.
using TStreamTime = int64_t;

constexpr uint16_t WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
// The 18-byte wave format record: two formats are the same when these bytes are equal.
struct TWaveFormat {
    uint16_t FormatTag = 0;
    uint16_t Channels = 0;
    uint32_t SamplesPerSec = 0;
    uint32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
    uint16_t ExtraSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormat) == 18, "the format record is 18 bytes");
// The record under the name the wave-format structure has in the audio interfaces.
using WAVEFORMATEX = TWaveFormat;

// The format of a DSP filter plug-in's stream.
struct TFilterFormat {
    int32_t SampleRate = 0;
    int32_t BitsPerSample = 0;
    int32_t Channels = 0;
};

// A PCM format record with its derived fields filled in.
constexpr TWaveFormat MakePcmFormat(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample) {
    TWaveFormat f;
    f.FormatTag = WAVE_FORMAT_PCM;
    f.Channels = channels;
    f.SamplesPerSec = samplesPerSec;
    f.BitsPerSample = bitsPerSample;
    f.BlockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
    f.AvgBytesPerSec = samplesPerSec * f.BlockAlign;
    f.ExtraSize = 0;
    return f;
}

// PCM, 2 channels, 44100 Hz, 16 bit: the format of channels, the mixer and the outputs.
constexpr TWaveFormat DefaultAudioFormat = MakePcmFormat(44100, 2, 16);

// channels x (bits per sample div 8)
inline uint32_t FrameSize(const TWaveFormat& format) {
    return static_cast<uint32_t>(format.Channels) * (format.BitsPerSample / 8u);
}

// Whole frames of Bytes as milliseconds; 0 for a format without frame size or rate.
double BytesToMs(const TWaveFormat& format, int32_t bytes);
// BytesToMs rounded to the nearest integer, halves to even.
int64_t BytesToMsRounded(const TWaveFormat& format, int32_t bytes);
// Milliseconds as bytes, rounded, not aligned to whole frames.
int64_t MsToBytes(const TWaveFormat& format, int64_t ms);
// BytesToMs for a filter format; 0 when its frame size or rate is 0 or negative.
double FilterBytesToMs(const TFilterFormat& format, int32_t bytes);
// The byte comparison of the two 18-byte records.
bool SameFormat(const TWaveFormat& a, const TWaveFormat& b);

}  // namespace kelvar
