#pragma once
// The plain C interface of libBrannoc.so: GetAPI returns a table of eleven entry points.
#include <cstdint>

extern "C" {

struct StreamConfig {
    uint32_t OutRate;     // Hz, 0 = let the library choose
    int32_t ChannelMode;  // 0 choose, 1 mono, 2 joint stereo, 3 SBR mid/side from two inputs, 4 dual channel
    int32_t CodecMode;    // 0 choose, 1 MP3 with SBR, 2 plain MP3
    uint32_t Bitrate;     // bit/s
    uint32_t VbrQuality;  // 0 constant bit rate, 1..100 VBR
};

struct AdvancedSettings {
    int32_t Option0;  // quantizer refinement level 0..2
    int32_t Option1;  // allow intensity stereo
    int32_t Option2;  // allow M/S stereo
    int32_t Option3;  // allow the stereo-width control
    float LowPass;    // Hz, 0 = automatic; the effective value after every rebuild
    int32_t Crc;
    int32_t PaddingMode;  // 0 track the average, 1 never, 2 always
    int32_t Private;
    int32_t Copyright;
    int32_t Original;
    int32_t EncoderDelay;  // written by the library
    uint32_t TotalLength;  // input samples, sent once in the next frame
};

struct StreamConfigList {
    uint32_t Count;
    StreamConfig Configs[250];
};

typedef void* EncoderHandle;

struct EncoderApi {
    EncoderHandle (*EncoderOpen)(uint32_t inputRate, uint32_t inputChannels, uint32_t sampleFormat);
    int32_t (*EncoderClose)(EncoderHandle handle);
    int32_t (*EncoderEncode)(EncoderHandle handle, const void* pcm, int32_t pcmBytes, int32_t* consumedBytes,
                             uint8_t* output, int32_t outputSize, const uint8_t* ancillary, int32_t* ancillaryLength);
    const StreamConfigList* (*EncoderEnumConfigs)(EncoderHandle handle, uint32_t outRate, int32_t channelMode,
                                                  int32_t codecMode, uint32_t bitrate, uint32_t vbrQuality,
                                                  int32_t includeMono, int32_t includeMode3);
    int32_t (*EncoderSetConfig)(EncoderHandle handle, StreamConfig* config);
    int32_t (*EncoderGetConfig)(EncoderHandle handle, StreamConfig* config);
    AdvancedSettings* (*EncoderGetAdvanced)(EncoderHandle handle);
    int32_t (*EncoderSetAdvanced)(EncoderHandle handle, const AdvancedSettings* settings);
    int32_t (*EncoderGetVbriHeader)(EncoderHandle handle, uint8_t* buffer, int32_t size);
    int32_t (*EncoderGetVersion)(EncoderHandle handle, char* buffer80);
    int32_t (*EncoderGetBlockSize)(EncoderHandle handle, int32_t* bytes);
};

typedef const EncoderApi* (*GetApiFunction)();

}  // extern "C"

static_assert(sizeof(StreamConfig) == 20, "five 32-bit fields");
static_assert(sizeof(AdvancedSettings) == 48, "twelve 32-bit fields");
static_assert(sizeof(EncoderApi) == 11 * sizeof(void*), "eleven entry points");
