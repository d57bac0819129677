#pragma once

#include "encoder/SbrConfig.h"
#include "encoder/SbrDeltaCoding.h"
#include "encoder/SbrElementWriter.h"
#include "encoder/SbrEnvelope.h"
#include "encoder/SbrFrequencyTables.h"
#include "encoder/SbrMidSide.h"
#include "encoder/SbrQmf.h"
#include "encoder/SbrSideData.h"
#include "encoder/SbrTonality.h"
#include "encoder/SbrTransient.h"

#include <memory>
#include <vector>

namespace brannoc {

struct SbrChannel {
    SbrQmfBank bank;
    std::vector<float> energies = std::vector<float>(36 * 64, 0.0f);
    std::vector<float> re = std::vector<float>(18 * 64), im = std::vector<float>(18 * 64);
    SbrTransientDetector detector;
    SbrGridGenerator grid;
    SbrTonalityEstimator tonality;
    SbrEnvCoder envelopeCoder, noiseCoder;
    SbrSinusoidState sinusoids;
    SbrChannelFrame frame;
    SbrTransientInfo transient;
    SbrQuantised levels;
    float q[5] = {};
};

// The SBR encoder of one stream: analysis, coding and the element of every frame.
struct SbrEncoder {
    SbrConfig config;
    int sbrRate = 44100;
    int channels = 1;
    int stereoMode = 0;
    SbrHeader header;
    SbrHeaderState state;
    SbrBandTables tables;
    int noiseBands = 1;
    SbrHuffmanSet huffman;
    std::vector<SbrChannel> channel;
    std::unique_ptr<SbrMidSideAnalyser> midSide;
    bool previousCoupled = false;
    bool coupled = false;
    // Crossover adaptation: the host's request and the last applied one, in Hz.
    bool adaptation = false;
    float requestedCrossover = 0.0f;
    float appliedCrossover = 0.0f;
};

// Null for a refused configuration (channels, kind, frame length, band limits, patches, rate).
std::unique_ptr<SbrEncoder> SbrEncoderCreate(const SbrConfig& config, const SbrHuffmanSet& huffman);
// The same with the standard's code tables for the configured amplitude resolution.
std::unique_ptr<SbrEncoder> SbrEncoderCreate(const SbrConfig& config);

// samples: two blocks of frame length floats (first channel, then second or the side signal).
// The element goes to out; bits receives header, payload and protected counts.
bool SbrEncodeFrame(SbrEncoder& encoder, const float* samples, BitBuffer& out, SbrElementBits& bits);

// The side data receives the crossover, the adaptation flag and the channel count of a new encoder.
void SbrAttachSideData(const SbrEncoder& encoder, SbrSideData& side);

// One frame into the side data (whose earlier bits are dropped); the host's requested crossover is
// applied first when adaptation is on. An absent encoder succeeds at once and leaves no data.
bool SbrEncodeFrame(SbrEncoder* encoder, SbrSideData& side, const float* samples);

// Upper edge of the SBR range in Hz.
float SbrStopFrequencyOf(const SbrEncoder& encoder);

}  // namespace brannoc
