#include "encoder/Resampler.h"

#include <algorithm>
#include <cmath>

namespace brannoc {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kAttenuation = 90.0;

const float kB[9] = {0.021835933f, 0.072357543f, 0.15606825f,  0.2352377f,  0.26907015f,
                     0.2352377f,   0.15606825f,  0.072357543f, 0.021835933f};
const float kA[9] = {1.0f,         -1.1310506f, 1.7547014f,     -0.9621793f,   0.68280804f,
                     -0.16827838f, 0.06693919f, -0.0038563511f, 0.00098495639f};

int Gcd(int a, int b) {
    if (a < b) std::swap(a, b);
    while (b) {
        const int t = a % b;
        a = b;
        b = t;
    }
    return a;
}

double I0(double x) {
    double sum = 1.0, term = 1.0;
    const double half = x / 2.0;
    for (int k = 1; k < 500; ++k) {
        term *= (half / k) * (half / k);
        sum += term;
        if (term < sum * 1e-21) break;
    }
    return sum;
}

std::vector<double> KaiserLowpass(double fc, double df, int& n) {
    const double a = kAttenuation;
    n = static_cast<int>((a - 7.95) / (14.36 * df) + 1);
    double beta = 0;
    if (a > 50 && a <= 140)
        beta = 0.1102 * (a - 8.7);
    else if (a >= 25 && a <= 50)
        beta = 0.5842 * std::pow(a - 21, 0.4) + 0.07886 * (a - 21);
    std::vector<double> w(static_cast<size_t>(n)), h(static_cast<size_t>(n));
    const double i0b = I0(beta);
    const double cut = fc - 0.5 * df;
    if (n % 2 == 1) {
        const int c = (n - 1) / 2;
        w[c] = 1.0;
        for (int i = 1; i <= c; ++i) {
            const double r = static_cast<double>(i) / c;
            const double v = I0(beta * std::sqrt(std::max(0.0, 1 - r * r))) / i0b;
            w[c + i] = w[c - i] = v;
        }
        h[c] = w[c] * 2 * kPi * cut;
        for (int i = 1; i <= c; ++i) {
            const double s = std::sin(2 * kPi * cut * i) / i;
            h[c + i] = w[c + i] * s;
            h[c - i] = w[c - i] * s;
        }
    } else {
        const int half = n / 2;
        for (int i = 0; i < half; ++i) {
            const double r = (i + 0.5) / half;
            const double v = I0(beta * std::sqrt(std::max(0.0, 1 - r * r))) / i0b;
            const double s = std::sin(2 * kPi * cut * (i + 0.5)) / (i + 0.5);
            h[half + i] = v * s;
            h[half - 1 - i] = v * s;
        }
    }
    double sum = 0;
    for (double v : h) sum += v;
    for (double& v : h) v /= sum;
    return h;
}
}  // namespace

std::unique_ptr<Resampler> Resampler::Create(int channels, int outBlock, int inRate, int outRate, float cutoff,
                                             float relativeWidth, bool halfBand) {
    if (inRate <= 0 || outRate <= 0 || channels < 1 || channels > 2 || outBlock <= 0 || outBlock % channels != 0)
        return nullptr;
    if (!(cutoff >= 0) || !(relativeWidth > 0)) return nullptr;
    std::unique_ptr<Resampler> r(new Resampler());
    r->channels_ = channels;
    r->outBlock_ = outBlock;
    const float lowest = static_cast<float>(std::min(inRate, outRate));
    float cut = std::min(cutoff, lowest * 0.5f);
    bool copy = false;
    if (inRate == outRate && cut == inRate / 2) {
        copy = true;
        cut = 0;
    }
    const float width = cut * relativeWidth;
    const int g = Gcd(inRate, outRate);
    r->l_ = outRate / g;
    r->m_ = inRate / g;
    if (copy) {
        r->mode_ = 0;
        r->inBlock_ = outBlock;
        r->taps_ = 0;
        return r;
    }
    if (static_cast<long long>(r->l_) > 512LL * r->m_) return nullptr;
    r->mode_ = r->l_ < 512 ? 1 : 2;
    r->phases_ = std::min(r->l_, 512);
    const double design = static_cast<double>(inRate) * r->phases_;
    const double fc = cut / design, df = width / design;
    if (!(df > 0)) return nullptr;
    int n = 0;
    std::vector<double> h = KaiserLowpass(fc, df, n);
    r->length_ = n;
    const double gain = r->phases_;
    r->kind_ = 1;
    if (halfBand && outRate * 2 == inRate && static_cast<float>(2 * fc) == 0.5f && static_cast<float>(df) >= 0.0545f)
        r->kind_ = 0;

    const int perChannelOut = outBlock / channels;
    r->inBlock_ = static_cast<int>((static_cast<long long>(perChannelOut) * r->m_ + r->l_ - 1) / r->l_) * channels;
    const int perChannelIn = r->inBlock_ / channels;
    if (r->mode_ == 1) {
        r->taps_ = (n + r->l_ - 1) / r->l_;
    } else {
        r->taps_ = (n + 511) / 512;
        if (perChannelIn < r->taps_ - 1) return nullptr;
        const int d = Gcd(r->l_, 512 * r->m_);
        r->lf_ = r->l_ / d;
        r->mf_ = 512 * r->m_ / d;
    }
    r->branches_.assign(static_cast<size_t>(r->phases_), {});
    if (r->kind_ == 1) {
        for (int j = 0; j < r->phases_; ++j) {
            std::vector<float>& b = r->branches_[static_cast<size_t>(j)];
            for (int i = j; i < n; i += r->phases_) b.push_back(static_cast<float>(h[static_cast<size_t>(i)] * gain));
            if (b.size() < 3) return nullptr;
        }
    }
    r->state_.assign(static_cast<size_t>(channels), Channel());
    for (Channel& c : r->state_) c.ring.assign(static_cast<size_t>(r->taps_ + (r->mode_ == 2 ? 1 : 0)), 0.0f);
    if (r->mode_ == 1 && r->phases_ == 1 && r->taps_ < RealFft1024::kSize && r->kind_ == 1) {
        // Integer decimation with a short filter: overlap-add block convolution. The spectrum holds the
        // taps scaled by 1/1024, so that the unnormalised inverse gives the plain convolution.
        r->fft_ = true;
        r->hop_ = RealFft1024::kSize - r->taps_;
        r->transform_ = std::make_unique<RealFft1024>();
        std::vector<float> padded(RealFft1024::kSize, 0.0f);
        const std::vector<float>& taps = r->branches_[0];
        for (size_t i = 0; i < taps.size(); ++i) padded[i] = taps[i] / RealFft1024::kSize;
        r->spectrum_.assign(RealFft1024::kSize / 2 + 1, {});
        r->transform_->Forward(padded.data(), r->spectrum_.data());
        for (Channel& c : r->state_) c.block.assign(RealFft1024::kSize, 0.0f);
    }
    return r;
}

float Resampler::RingFir(const Channel& c, int branch, int position) const {
    const std::vector<float>& taps = branches_[static_cast<size_t>(branch)];
    const int size = static_cast<int>(c.ring.size());
    float acc = 0;
    int p = position;
    for (float t : taps) {
        acc += t * c.ring[static_cast<size_t>(p)];
        p = p == 0 ? size - 1 : p - 1;
    }
    return acc;
}

float Resampler::HalfBand(Channel& c, float x) const {
    const int i = c.iirIndex;
    c.iirIn[i] = x;
    const int t = (i - 7 + 16) % 16;
    float y = 0;
    for (int k = 0; k <= 8; ++k) y += kB[k] * c.iirIn[(t - k + 16) % 16];
    for (int k = 1; k <= 8; ++k) y -= kA[k] * c.iirOut[(t - k + 16) % 16];
    c.iirOut[t] = y;
    c.iirIndex = (i + 1) % 16;
    return y;
}

void Resampler::RunPolyphase(Channel& c, const float* in, int inCount, float* out, int limit, int& consumed,
                             int& produced) const {
    const int k = taps_;
    const int stepInt = m_ / l_, stepFrac = m_ % l_;
    for (;;) {
        if (c.need > 0) {
            if (consumed >= inCount) break;
            const float x = in[consumed * channels_];
            c.pos = (c.pos + 1) % k;
            c.ring[static_cast<size_t>(c.pos)] = x;
            if (kind_ == 0) c.lastIir = HalfBand(c, x);
            ++consumed;
            --c.need;
            continue;
        }
        if (produced >= limit) break;
        out[produced * channels_] = kind_ == 1 ? RingFir(c, c.phase, c.pos) : c.lastIir;
        ++produced;
        c.need += stepInt;
        c.phase += stepFrac;
        if (c.phase >= l_) {
            c.phase -= l_;
            ++c.need;
        }
    }
}

void Resampler::FftConvolve(Channel& c, int n, float* out, int& produced) const {
    std::fill(c.block.begin() + n, c.block.end(), 0.0f);
    std::complex<float> bins[RealFft1024::kSize / 2 + 1];
    transform_->Forward(c.block.data(), bins);
    for (int i = 0; i <= RealFft1024::kSize / 2; ++i) bins[i] *= spectrum_[static_cast<size_t>(i)];
    float result[RealFft1024::kSize];
    transform_->Inverse(bins, result);
    const int k = taps_;
    for (int i = 0; i < k; ++i) result[i] += c.ring[static_cast<size_t>(i)];
    for (int i = 0; i < k; ++i) c.ring[static_cast<size_t>(i)] = result[n + i];
    int offset = c.readOffset;
    int last = offset - m_;
    for (; offset < n; offset += m_) {
        out[produced * channels_] = result[offset];
        ++produced;
        last = offset;
    }
    c.readOffset = last + m_ - n;
    c.blockFill = 0;
}

void Resampler::RunFftBlocks(Channel& c, const float* in, int inCount, float* out, int& consumed, int& produced) const {
    while (consumed < inCount) {
        c.block[static_cast<size_t>(c.blockFill++)] = in[consumed * channels_];
        ++consumed;
        if (c.blockFill == hop_) FftConvolve(c, hop_, out, produced);
    }
    if (c.blockFill > 0) FftConvolve(c, c.blockFill, out, produced);
}

void Resampler::RunFractional(Channel& c, const float* in, int inCount, float* out, int limit, int& consumed,
                              int& produced) const {
    const int size = static_cast<int>(c.ring.size());
    const int stepInt = mf_ / lf_, stepFrac = mf_ % lf_;
    for (;;) {
        if (c.e >= 512) {
            if (consumed >= inCount) break;
            c.pos = (c.pos + 1) % size;
            c.ring[static_cast<size_t>(c.pos)] = in[consumed * channels_];
            ++consumed;
            c.e -= 512;
            continue;
        }
        if (produced >= limit) break;
        const float y1 = RingFir(c, c.e, c.pos);
        const float y0 = c.e == 0 ? RingFir(c, 511, (c.pos - 1 + size) % size) : RingFir(c, c.e - 1, c.pos);
        out[produced * channels_] = y0 + (y1 - y0) * static_cast<float>(c.f) / static_cast<float>(lf_);
        ++produced;
        c.f += stepFrac;
        c.e += stepInt;
        if (c.f > lf_ - 1) {
            ++c.e;
            c.f -= lf_;
        }
    }
}

void Resampler::Process(float* in, float* out, int& inCount, int& outCount) {
    if (mode_ == 0) {
        std::copy(in, in + inCount, out);
        outCount = inCount;
        return;
    }
    int offered = inCount;
    if (offered < inBlock_) {
        const int pad = std::min(taps_, inBlock_ - offered);
        std::fill(in + offered, in + offered + pad, 0.0f);
        offered += pad;
    }
    const int perChannel = offered / channels_;
    int limit = outBlock_ / channels_;
    int totalIn = 0, totalOut = 0;
    for (int ch = 0; ch < channels_; ++ch) {
        int consumed = 0, produced = 0;
        Channel& c = state_[static_cast<size_t>(ch)];
        if (fft_)
            RunFftBlocks(c, in + ch, perChannel, out + ch, consumed, produced);
        else if (mode_ == 1)
            RunPolyphase(c, in + ch, perChannel, out + ch, limit, consumed, produced);
        else
            RunFractional(c, in + ch, perChannel, out + ch, limit, consumed, produced);
        totalIn += consumed;
        totalOut += produced;
        limit = produced;
    }
    inCount = std::min(totalIn, inCount);
    outCount = totalOut;
}

}  // namespace brannoc
