#pragma once
// The ten-band graphic equaliser: a 65-tap linear-phase FIR built from the band gains and run as a
// 256-point FFT convolution (192 new frames per transform, a 64-sample overlap tail per channel).
#include <cstdint>
#include <vector>

namespace kelvar {

constexpr int EQBandCount = 10;
constexpr int EQFFTSize = 256;
constexpr int EQSegmentFrames = 192;
constexpr int EQTailLength = 64;
constexpr int EQDelayFrames = 32;
// Flat gain of a band; band value V maps to 2 x 10^(V / 100).
constexpr float EQFlatGain = 2.0f;
// Band values are held to +-60 dB: far beyond any useful setting, and the gains stay finite.
constexpr int EQMinValue = -300;
constexpr int EQMaxValue = 300;

// Band edges in bins of the 256-point transform: band j covers bins edge[j] .. edge[j+1] - 1.
extern const int EQBandEdges[EQBandCount + 1];

// Band value (V/5 dB) to linear gain and back.
float EQValueToGain(int value);
int EQGainToValue(float gain);

// One equaliser's working memory; allocated once, reused by every block.
class TEQState {
public:
    // Overlap tails for `channels` channels (at least ten).
    explicit TEQState(int channels);
    ~TEQState();
    TEQState(const TEQState&) = delete;
    TEQState& operator=(const TEQState&) = delete;

    int Channels() const { return FChannels; }
    // Zeroes the overlap tails (a seek or a new stream).
    void ClearTails();

    // Builds the kernel from ten linear band gains.
    void BuildKernel(const float gains[EQBandCount]);
    // Filters interleaved samples in place: 8 bit (unsigned PCM), 16 bit (signed) or 32 bit
    // (float; a sample that is not a finite number counts as silence). Other sample sizes, and
    // channels beyond the state's, pass unchanged.
    void Process(void* buffer, int32_t bytes, int channels, int bitsPerSample);

    // The kernel's magnitude at a bin 0..255 (for tests and the user interface's curve).
    float KernelMagnitude(int bin) const;

private:
    float* FWork;    // 256 complex values (re, im)
    float* FKernel;  // 256 complex values
    std::vector<float> FTails;
    std::vector<float> FWindow;
    int FChannels;
};

}  // namespace kelvar
