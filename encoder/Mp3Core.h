#pragma once
#include "encoder/AnalysisFilterbank.h"
#include "encoder/DelayLine.h"
#include "encoder/FrameSizeControl.h"
#include "encoder/FrameWriter.h"
#include "encoder/GranuleRecord.h"
#include "encoder/IntensityStereo.h"
#include "encoder/PsychoModel.h"
#include "encoder/Quantizer.h"
#include "encoder/RateControl.h"
#include "encoder/StereoDecision.h"
#include "encoder/StereoWidthControl.h"
#include "encoder/TransientDetector.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace brannoc {

struct Mp3CoreConfig {
    int32_t rate;
    int32_t bitrate;  // 0 in VBR
    int32_t inputChannels;
    int32_t codedChannels;
    float lowpass;  // Hz, 0 = automatic
    int32_t intensityOff;
    int32_t msOff;
    int32_t dualChannel;
    int32_t vbr;
    int32_t quality;
    int32_t refinementOn;
    int32_t refinementLevel;
    int32_t paddingMode;
    int32_t crc;
    int32_t privateBit;
    int32_t copyright;
    int32_t original;
    int32_t stereoWidth;
    int32_t sbrPresent;
};
static_assert(sizeof(Mp3CoreConfig) == 76, "19 fields of 32 bits");

struct Mp3CoreInfo {
    float lowpass;
    int32_t delay;
    int32_t minOutputBytes;
    int32_t paddingPeriod;
    int32_t bytesPerPeriod;
};

// What one encode call hands the core besides the samples.
struct Mp3BlockState {
    bool sendValue = false;  // a value waits for the info block
    uint32_t value = 0;
    int written = 0;
};

// The Layer III core: one granule per call at one of the nine MPEG rates, frames out through the
// frame writer once their main data is complete.
class Mp3Core {
public:
    static constexpr int kDelay = 1201;

    // 0, or 1 for a refused configuration.
    static int Create(const Mp3CoreConfig& config, std::unique_ptr<Mp3Core>& core);

    // Encodes one granule (count 0 = flush). 0, 1 bad count, 2 output below the minimum, 4 a frame
    // did not fit the output (it stays queued). sbr: the granule's SBR data, moved into its frame.
    int EncodeFrame(Mp3BlockState& state, int delay, const float* samples, int count, uint8_t* out, int outSize,
                    const uint8_t* ancillary, int* ancillaryLength, SbrSideData* sbr = nullptr);

    Mp3CoreInfo Info() const { return info_; }
    const std::vector<int>& FrameSizes() const { return writer_.FrameSizes(); }
    bool CompletesFrame() const { return granule_ % granules_ == granules_ - 1; }

private:
    explicit Mp3Core(const Mp3CoreConfig& config);
    bool Setup();
    void Analyse(int index);
    void CodeGranule(int index, Mp3BlockState& state, int delay, const uint8_t* ancillary, int* ancillaryLength,
                     int& hostOffset, SbrSideData* sbr);
    int FinishFrame(uint8_t* out, int outSize, int& written, SbrSideData* sbr);
    int EncodeOne(Mp3BlockState& state, int delay, const float* samples, int count, uint8_t* out, int outSize,
                  int& written, const uint8_t* ancillary, int* ancillaryLength, int& hostOffset, SbrSideData* sbr);

    Mp3CoreConfig config_;
    Mp3CoreInfo info_{};
    int granules_ = 2;
    int channels_ = 1;
    int headerBits_ = 0;
    int granule_ = 0;
    int modeExtension_ = 0;
    int frameIndex_ = 0;
    int framePadding_ = 0;
    int frameBits_ = 0;
    int frameUsed_ = 0;
    int silentSamples_ = 0;
    bool flushed_ = false;
    bool msFrame_ = false;

    // Rate control state in bits.
    double meanFrame_ = 0;
    double meanGranule_ = 0;
    double largestFrame_ = 0;
    double reservoirBits_ = 0;
    double deviation_ = 0;
    double smoothedSbr_ = 0;  // SBR bits per granule, smoothed over frames

    FrameSizeControl frameSize_;
    FrameWriter writer_;
    PsychoModel psycho_;
    RateControl rate_;
    StereoDecision stereo_;
    IntensityStereo intensity_;
    bool intensityAllowed_ = false;
    bool intensityFrame_ = false;
    IntensityInfo intensityInfo_;
    ChannelAnalysis original_[2];  // the granule's L/R analysis before stereo coding
    std::unique_ptr<Quantizer> quantizer_;
    std::unique_ptr<StereoWidthControl> width_;
    DelayLine input_;
    AnalysisFilterbank filterbank_[2];
    TransientDetector transient_[2];
    ChannelAnalysis analysis_[2];
    BandEstimates estimates_[2];
    GranuleRecord records_[2];
    float work_[2 * 576];
    double pairTotals_[4] = {0, 0, 0, 0};  // left, right, mid, side of the last granule
};

}  // namespace brannoc
