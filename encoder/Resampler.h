#pragma once
#include "encoder/RealFft1024.h"

#include <complex>
#include <memory>
#include <vector>

namespace brannoc {

// Converts blocks of interleaved float PCM from one rate to another by the exact rational factor
// L/M, channel by channel, with Kaiser-windowed sinc lowpass filters designed at creation.
class Resampler {
public:
    // outBlock: output samples per block, all channels together. Null on a refused design.
    static std::unique_ptr<Resampler> Create(int channels, int outBlock, int inRate, int outRate, float cutoff,
                                             float relativeWidth, bool halfBand);

    // inCount: samples offered (all channels) on entry, consumed on return; the buffer must hold a full
    // input block, since a short block is padded in place.
    void Process(float* in, float* out, int& inCount, int& outCount);

    int InputBlock() const { return inBlock_; }
    int OutputBlock() const { return outBlock_; }
    int Delay() const { return taps_ / 2; }
    int Mode() const { return mode_; }
    int FilterLength() const { return length_; }
    bool UsesHalfBand() const { return kind_ == 0; }
    bool UsesFft() const { return fft_; }

private:
    Resampler() = default;
    struct Channel {
        int phase = 0;
        int need = 1;
        int e = 512;
        int f = 0;
        int pos = 0;
        std::vector<float> ring;
        float iirIn[16] = {}, iirOut[16] = {};
        int iirIndex = 0;
        float lastIir = 0;
        std::vector<float> block;  // FFT path: inputs waiting for the next convolution
        int blockFill = 0;
        int readOffset = 0;  // FFT path: where the next output lies in the convolved block
    };
    float RingFir(const Channel& c, int branch, int position) const;
    float HalfBand(Channel& c, float x) const;
    void RunPolyphase(Channel& c, const float* in, int inCount, float* out, int limit, int& consumed,
                      int& produced) const;
    void RunFftBlocks(Channel& c, const float* in, int inCount, float* out, int& consumed, int& produced) const;
    void FftConvolve(Channel& c, int n, float* out, int& produced) const;
    void RunFractional(Channel& c, const float* in, int inCount, float* out, int limit, int& consumed,
                       int& produced) const;

    int channels_ = 1;
    int mode_ = 0;  // 0 copy, 1 polyphase, 2 fractional
    int kind_ = 1;  // 1 FIR, 0 half-band recursive filter
    int inBlock_ = 0, outBlock_ = 0;
    int l_ = 1, m_ = 1;
    int lf_ = 1, mf_ = 1;  // fractional mode: reduced step in phases
    int phases_ = 1;
    int taps_ = 0;
    int length_ = 0;
    std::vector<std::vector<float>> branches_;
    std::vector<Channel> state_;
    bool fft_ = false;  // one phase and a short filter: block convolution by FFT
    int hop_ = 0;
    std::unique_ptr<RealFft1024> transform_;
    std::vector<std::complex<float>> spectrum_;
};

}  // namespace brannoc
