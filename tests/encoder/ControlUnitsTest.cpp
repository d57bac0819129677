// Frame-size control, the VBRI seek table and the rate converter.
#include "encoder/FrameSizeControl.h"
#include "encoder/Mp3Tables.h"
#include "encoder/RateControl.h"
#include "encoder/Resampler.h"
#include "encoder/VbriWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

using namespace brannoc;

TEST(FrameSizeControl, PaddingTracksTheExactAverage) {
    struct Row {
        int bitrate, mode;
        std::set<int> sizes;
    };
    for (const Row& r : {Row{128000, 0, {417, 418}}, Row{128000, 1, {417}}, Row{128000, 2, {418}},
                         Row{100000, 0, {313, 314, 365, 366}}}) {
        FrameSizeControl f;
        ASSERT_TRUE(f.Configure(r.bitrate, 44100, r.mode));
        const int frames = 44100 * 10 / 1152;
        double bits = 0;
        std::set<int> seen;
        for (int i = 0; i < frames; ++i) {
            int index = 0, pad = 0;
            f.Next(index, pad);
            const int size = f.FrameBits(index) / 8 + pad;
            seen.insert(size);
            bits += 8.0 * size;
        }
        for (int s : seen) EXPECT_TRUE(r.sizes.count(s)) << r.bitrate << " mode " << r.mode << " size " << s;
        if (r.mode == 0) {
            EXPECT_NEAR(bits / (frames * 1152.0 / 44100), r.bitrate, r.bitrate * 0.002);
        }
    }
}

TEST(VbriSeekTable, ThinsToOneSpacing) {
    VbriSeekTable t;
    for (uint32_t i = 0; i < 251; ++i) t.Push(i * 100);
    EXPECT_EQ(t.Count(), 126);
    EXPECT_EQ(t.Step(), 2);
    for (int i = 1; i < t.Count(); ++i) EXPECT_EQ(t.Get(i) - t.Get(i - 1), 200u) << i;

    VbriSeekTable exact;
    for (uint32_t i = 0; i < 200; ++i) exact.Push(i * 100);
    EXPECT_EQ(exact.Count(), 200);
    EXPECT_EQ(exact.Step(), 1) << "the header states the spacing of the entries it lists";
}

TEST(VbriWriter, ClampsDeltasThatDoNotFitSixteenBits) {
    VbriWriter w(8000, 1, false);
    for (uint32_t i = 0; i < 420; ++i) w.Record(i * 1440u * 20u, 1440);
    std::vector<uint8_t> frame(static_cast<size_t>(w.Size()));
    w.Build(frame.data(), false, false, false);
    const int entries = (frame[54] << 8) | frame[55];
    ASSERT_GT(entries, 0);
    for (int i = 0; i < entries && 62 + 2 * i + 1 < w.Size(); ++i) {
        const int d = (frame[static_cast<size_t>(62 + 2 * i)] << 8) | frame[static_cast<size_t>(63 + 2 * i)];
        EXPECT_LE(d, 65535);
        EXPECT_GT(d, 0);
    }
}

namespace {
std::vector<float> Convert(Resampler& r, const std::vector<float>& input, int channels) {
    std::vector<float> out, block(static_cast<size_t>(r.InputBlock() + 64)),
        produced(static_cast<size_t>(r.OutputBlock()));
    size_t pos = 0;
    int fill = 0;
    while (pos < input.size()) {
        const int take =
            static_cast<int>(std::min<size_t>(static_cast<size_t>(r.InputBlock() - fill), input.size() - pos));
        std::copy(input.begin() + static_cast<long>(pos), input.begin() + static_cast<long>(pos) + take,
                  block.begin() + fill);
        fill += take;
        pos += static_cast<size_t>(take);
        if (fill < r.InputBlock()) break;
        int in = fill, n = 0;
        r.Process(block.data(), produced.data(), in, n);
        EXPECT_EQ(n % channels, 0);
        out.insert(out.end(), produced.begin(), produced.begin() + n);
        std::copy(block.begin() + in, block.begin() + fill, block.begin());
        fill -= in;
    }
    return out;
}

double ToneLevel(const std::vector<float>& x, int channels, double freq, int rate) {
    double re = 0, im = 0;
    const size_t n = x.size() / static_cast<size_t>(channels);
    for (size_t i = n / 4; i < n; ++i) {
        re += x[i * static_cast<size_t>(channels)] * std::cos(2 * M_PI * freq * static_cast<double>(i) / rate);
        im += x[i * static_cast<size_t>(channels)] * std::sin(2 * M_PI * freq * static_cast<double>(i) / rate);
    }
    return 2 * std::sqrt(re * re + im * im) / static_cast<double>(n - n / 4);
}
}  // namespace

TEST(Resampler, ChoosesItsModeAndFilterFromTheRatio) {
    auto copy = Resampler::Create(2, 1152, 44100, 44100, 22050.0f, 0.1f, false);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Mode(), 0);
    EXPECT_EQ(copy->Delay(), 0);
    auto half = Resampler::Create(1, 576, 44100, 22050, 11025.0f, 0.1f, false);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->FilterLength(), 229);
    EXPECT_FALSE(half->UsesHalfBand());
    auto iir = Resampler::Create(1, 576, 44100, 22050, 11025.0f, 0.218f, true);
    ASSERT_TRUE(iir);
    EXPECT_TRUE(iir->UsesHalfBand());
    auto frac = Resampler::Create(1, 576, 11025, 16000, 5512.0f, 0.1f, false);
    ASSERT_TRUE(frac);
    EXPECT_EQ(frac->Mode(), 2);
    EXPECT_FALSE(Resampler::Create(1, 576, 8000, 8000 * 513, 1000.0f, 0.1f, false));
    EXPECT_FALSE(Resampler::Create(2, 575, 44100, 22050, 11025.0f, 0.1f, false));
}

TEST(Resampler, KeepsAToneAndRemovesWhatCannotBeRepresented) {
    struct Case {
        int in, out, channels;
    };
    for (const Case c : {Case{48000, 44100, 2}, Case{44100, 22050, 1}, Case{11025, 16000, 1}, Case{32000, 24000, 2}}) {
        const int frames = c.in;
        std::vector<float> x(static_cast<size_t>(frames * c.channels));
        const double keep = 1000.0, drop = c.in * 0.5 * 0.97;
        for (int i = 0; i < frames; ++i)
            for (int ch = 0; ch < c.channels; ++ch)
                x[static_cast<size_t>(i * c.channels + ch)] = static_cast<float>(
                    std::sin(2 * M_PI * keep * i / c.in) + (c.out < c.in ? std::sin(2 * M_PI * drop * i / c.in) : 0.0));
        auto r =
            Resampler::Create(c.channels, 576 * c.channels, c.in, c.out, std::min(c.in, c.out) * 0.5f, 0.1f, false);
        ASSERT_TRUE(r);
        const std::vector<float> y = Convert(*r, x, c.channels);
        EXPECT_NEAR(static_cast<double>(y.size()) / c.channels, static_cast<double>(c.out), 576.0 * 2)
            << c.in << "->" << c.out;
        EXPECT_NEAR(ToneLevel(y, c.channels, keep, c.out), 1.0, 0.01) << c.in << "->" << c.out;
        double energy = 0;
        for (float v : y) energy += static_cast<double>(v) * v;
        EXPECT_NEAR(energy / static_cast<double>(y.size()), 0.5, 0.02) << "the folded tone is gone";
    }
}

#include "encoder/StereoWidthControl.h"

TEST(StereoWidthControl, NarrowsAWideLoadedSignalWithinItsLimits) {
    StereoWidthControl w(44100, 48000);
    std::vector<float> pairs(2 * 576);
    for (int g = 0; g < 200; ++g) {
        for (int i = 0; i < 576; ++i) {
            pairs[static_cast<size_t>(2 * i)] = 1000.0f * std::sin(0.05f * static_cast<float>(i));
            pairs[static_cast<size_t>(2 * i + 1)] = 1000.0f * std::cos(0.031f * static_cast<float>(i));
        }
        w.Apply(pairs.data());
        // Side as strong as mid, balanced levels, and a coding load well above the granule's bits.
        w.Learn(1e9, 1e9, 1e9, 1e9, 900, 900);
        ASSERT_GE(w.Width(), 0.0);
        ASSERT_LE(w.Width(), 15.0);
    }
    EXPECT_GT(w.Width(), 3.0) << "the narrowing grows from its start of 1.5 dB";
    EXPECT_NEAR(w.Mix(), std::pow(10.0, -w.Width() * 0.025), 1e-9);
    EXPECT_NEAR(std::pow(10.0, -15.0 * 0.025), 0.4217, 1e-4);
}

TEST(Resampler, BlockConvolutionEqualsDirectConvolution) {
    // Equal rates with a lower cutoff: one phase and a short filter, convolved block by block.
    auto probe = Resampler::Create(1, 576, 44100, 44100, 8000.0f, 0.1f, false);
    ASSERT_TRUE(probe);
    ASSERT_TRUE(probe->UsesFft());
    std::vector<float> impulse(576 * 2, 0.0f);
    impulse[0] = 1.0f;
    const std::vector<float> h = Convert(*probe, impulse, 1);
    ASSERT_GE(h.size(), static_cast<size_t>(probe->FilterLength()));

    auto r = Resampler::Create(1, 576, 44100, 44100, 8000.0f, 0.1f, false);
    std::vector<float> x(576 * 9);
    uint32_t seed = 7;
    for (float& v : x) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int32_t>(seed >> 8) % 20000) / 10000.0f;
    }
    const std::vector<float> y = Convert(*r, x, 1);
    ASSERT_EQ(y.size(), x.size());
    double worst = 0;
    for (size_t i = 0; i < y.size(); ++i) {
        double expected = 0;
        for (size_t j = 0; j < static_cast<size_t>(probe->FilterLength()) && j <= i; ++j) expected += h[j] * x[i - j];
        worst = std::max(worst, std::fabs(expected - y[i]));
    }
    EXPECT_LT(worst, 1e-4);
}

// Raising the thresholds to a smaller entropy: the entropy falls towards the target but not below
// it, no threshold falls, and a band kept from holes never gets noisier than its minimum
// signal-to-noise ratio allows.
TEST(RateControl, ThresholdAdaptationLowersTheEntropyTowardsTheTarget) {
    brannoc::RateControl rc;
    rc.Configure(44100, 16000.0f, 64000, false, 0);
    brannoc::BandLayout layout;
    layout.count = 22;
    const int* edges = brannoc::LongBandEdges(44100);
    for (int b = 0; b <= 22; ++b) layout.edges[b] = edges[b];
    layout.lowpassBand = 20;
    brannoc::ChannelAnalysis a{};
    for (int i = 0; i < 576; ++i) a.lines[i] = static_cast<float>(3000.0 * std::sin(i * 0.37) / (1 + i / 40.0));
    for (int b = 0; b < 22; ++b) {
        double e = 0;
        for (int i = edges[b]; i < edges[b + 1]; ++i) e += double(a.lines[i]) * a.lines[i];
        a.energy[b] = e;
        a.threshold[b] = std::max(1.0, e * 1e-3);
    }
    brannoc::BandEstimates est;
    rc.Estimate(a, layout, 20, est);
    const double before = est.totalPe;
    double old[39];
    std::copy(a.threshold, a.threshold + 39, old);
    const double desired = before / 2;
    rc.Adapt(a, layout, 20, desired, est);
    EXPECT_LT(est.totalPe, before * 0.8);
    EXPECT_GE(est.totalPe, desired * 0.9);
    for (int b = 0; b < 20; ++b) {
        EXPECT_GE(a.threshold[b], old[b] * 0.999) << b;
        if (a.threshold[b] > old[b] * 1.001) {
            EXPECT_LE(a.threshold[b], a.energy[b] * 0.63 * 1.0001) << b;
        }
    }
}
