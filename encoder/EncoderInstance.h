#pragma once
#include "encoder/BrannocApi.h"
#include "encoder/DelayLine.h"
#include "encoder/Mp3Core.h"
#include "encoder/Resampler.h"
#include "encoder/SbrConfig.h"
#include "encoder/SbrEncoder.h"
#include "encoder/SbrSideData.h"
#include "encoder/VbriWriter.h"

#include <memory>
#include <vector>

namespace brannoc {

// One encoder stream: the host's input format, its configuration and the processing chain from input
// conversion through the rate converter to the Layer III core; in SBR mode the full-rate signal also
// feeds the SBR encoder, and a second converter halves it for the core.
class EncoderInstance {
public:
    static EncoderInstance* Open(uint32_t inputRate, uint32_t inputChannels, uint32_t sampleFormat);

    int32_t Encode(const void* pcm, int32_t pcmBytes, int32_t* consumed, uint8_t* out, int32_t outSize,
                   const uint8_t* ancillary, int32_t* ancillaryLength);
    const StreamConfigList* EnumConfigs(uint32_t rate, int32_t mode, int32_t codec, uint32_t bitrate, uint32_t quality,
                                        int32_t includeMono, int32_t includeMode3);
    int32_t SetConfig(StreamConfig* config);
    int32_t GetConfig(StreamConfig* config) const;
    AdvancedSettings* Advanced() { return &advanced_; }
    int32_t SetAdvanced(const AdvancedSettings* settings);
    int32_t GetVbriHeader(uint8_t* buffer, int32_t size) const;
    int32_t GetVersion(char* buffer80) const;
    int32_t GetBlockSize(int32_t* bytes) const;

private:
    EncoderInstance(uint32_t rate, int channels, int format);
    bool Rebuild();
    void DestroyStages();
    // Copies whole input samples into the stage buffer; true when the block is full.
    bool ConvertInputBlock(const uint8_t* src, int bytes, int& consumed, bool flush);
    bool SbrMode() const { return sbrChain_; }
    bool BuildSbrStages();
    // One full-rate block (1152 frames): into the SBR delay line, through the downsampler into the
    // core's block, and one SBR frame from the delay line into the side data.
    bool RunSbrBlock(const float* full);

    uint32_t inputRate_;
    int inputChannels_;
    int format_;  // 0 16-bit integers, 1 32-bit floats
    int sampleBytes_;
    StreamConfig config_{};
    AdvancedSettings advanced_{};

    std::unique_ptr<Mp3Core> core_;
    Mp3CoreInfo info_{};
    std::unique_ptr<Resampler> converter_;
    std::vector<float> pcmBlock_;  // the core's input for one granule
    std::vector<float> stage_;     // the converter's input block
    int codedChannels_ = 1;
    bool downmix_ = false;
    int stageFill_ = 0;   // values in the current block
    int stageBlock_ = 0;  // values in a whole block
    int blockBytes_ = 0;
    int wantedBytes_ = 0;
    int converterDelay_ = 0;  // D, in input samples
    bool flush_ = false;
    int flushCounter_ = -1;
    bool finished_ = false;
    int64_t frames_ = 0;
    // SBR mode.
    bool sbrChain_ = false;
    SbrConfig sbrConfig_;
    std::unique_ptr<SbrEncoder> sbr_;
    std::unique_ptr<SbrSideData> side_;
    std::unique_ptr<Resampler> downsampler_;
    std::unique_ptr<DelayLine> sbrDelay_;
    std::vector<float> converted_;  // the input converter's output at full rate
    std::vector<float> downIn_;     // the downsampler's input block (the mid signal in mode 3)
    std::vector<float> sbrWork_;    // 2 x 1152: the SBR encoder's input, channel after channel
    std::vector<float> pairs_;      // 1152 channel pairs on their way into the delay line
    int fullValues_ = 1;            // values per full-rate frame: 2 for two coded channels and mode 3
    std::unique_ptr<VbriWriter> vbri_;
    uint32_t vbriTotal_ = 0;
    StreamConfigList list_{};
};

}  // namespace brannoc
