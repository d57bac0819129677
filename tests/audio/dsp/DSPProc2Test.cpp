#include "audio/dsp/DSPProc2.h"

#include <gtest/gtest.h>

#include <cmath>

#include "TestSignals.h"

namespace kelvar {
namespace {

using test::RmsDb;
using test::Sine;

float Flat[EQBandCount] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2};

TEST(Equaliser, BandValuesMapToFifthsOfADecibel) {
    EXPECT_FLOAT_EQ(EQValueToGain(0), 2.0f);
    EXPECT_NEAR(20 * std::log10(EQValueToGain(-100) / 2.0f), -20.0, 1e-4);
    for (int v : {-100, -37, 0, 1, 55, 100}) EXPECT_EQ(EQGainToValue(EQValueToGain(v)), v) << v;
    EXPECT_EQ(EQGainToValue(0.0f), -1000);
    EXPECT_EQ(EQGainToValue(INFINITY), 1000);
}

TEST(Equaliser, FlatIsUnityWithA32SampleDelay) {
    TEQState eq(2);
    eq.BuildKernel(Flat);
    // A broadband test: every frequency from the lowest band up passes at unity.
    for (double freq : {60.0, 440.0, 1000.0, 5000.0, 12000.0}) {
        eq.ClearTails();
        auto in = Sine(freq, 0.5, 4410);
        auto out = in;
        eq.Process(out.data(), static_cast<int32_t>(out.size() * 2), 2, 16);
        double maxErr = 0;
        for (size_t i = 1000; i < 4410; ++i) maxErr = std::max<double>(maxErr, std::abs(out[2 * i] - in[2 * (i - 32)]));
        EXPECT_LT(maxErr, 0.02 * 16384) << freq << " Hz";
    }
}

TEST(Equaliser, CutBandLowersItsToneByTheSetGain) {
    TEQState eq(2);
    float gains[EQBandCount];
    std::copy(Flat, Flat + EQBandCount, gains);
    gains[9] = EQValueToGain(-100);  // -20 dB from about 12 kHz up
    eq.BuildKernel(gains);
    auto high = Sine(16000, 0.5, 8820), low = Sine(1000, 0.5, 8820);
    const double highIn = RmsDb(high, 2, 0, 2000, 6000), lowIn = RmsDb(low, 2, 0, 2000, 6000);
    eq.Process(high.data(), static_cast<int32_t>(high.size() * 2), 2, 16);
    eq.ClearTails();
    eq.Process(low.data(), static_cast<int32_t>(low.size() * 2), 2, 16);
    EXPECT_NEAR(RmsDb(high, 2, 0, 2000, 6000) - highIn, -20.0, 1.5);
    EXPECT_NEAR(RmsDb(low, 2, 0, 2000, 6000) - lowIn, 0.0, 0.2);
}

TEST(Equaliser, CutTopBandReachesItsNeighboursThroughTheSmoothing) {
    TEQState flat(2), cut(2);
    flat.BuildKernel(Flat);
    float gains[EQBandCount];
    std::copy(Flat, Flat + EQBandCount, gains);
    gains[9] = EQValueToGain(-100);
    cut.BuildKernel(gains);
    auto changeDb = [&](int bin) { return 20 * std::log10(cut.KernelMagnitude(bin) / flat.KernelMagnitude(bin)); };
    for (int bin : {90, 110}) EXPECT_NEAR(changeDb(bin), -20.0, 1.5) << bin;
    // The smoothing widens with frequency: the cut sets in gradually from below bin 70 on, and
    // flat band 8 (bins 52..69) comes down part of the way near its top.
    for (int bin = 56; bin < 90; ++bin) EXPECT_LE(changeDb(bin + 1), changeDb(bin) + 0.05) << bin;
    EXPECT_LT(changeDb(66), -1.0);
    EXPECT_GT(changeDb(66), -10.0);
    EXPECT_LT(changeDb(75), -6.0);
    EXPECT_GT(changeDb(75), -18.0);
    for (int bin : {1, 10, 30, 45}) EXPECT_NEAR(changeDb(bin), 0.0, 0.3) << bin;
}

TEST(Equaliser, TailCarriesAcrossBlocksOfAnySize) {
    float gains[EQBandCount];
    for (int j = 0; j < EQBandCount; ++j) gains[j] = EQValueToGain(j % 2 ? -60 : 40);
    auto whole = Sine(3000, 0.3, 5000);
    for (size_t i = 0; i < whole.size(); ++i) whole[i] = static_cast<int16_t>(whole[i] + (i * 7919 % 2001) - 1000);
    auto pieces = whole;
    TEQState a(2), b(2);
    a.BuildKernel(gains);
    b.BuildKernel(gains);
    a.Process(whole.data(), static_cast<int32_t>(whole.size() * 2), 2, 16);
    // 100-frame blocks (each a short segment) and odd sizes give the same stream.
    size_t pos = 0;
    const int sizes[] = {100, 100, 1, 192, 193, 7, 384};
    for (int k = 0; pos < pieces.size() / 2; ++k) {
        const size_t n = std::min<size_t>(sizes[k % 7], pieces.size() / 2 - pos);
        b.Process(pieces.data() + 2 * pos, static_cast<int32_t>(n * 4), 2, 16);
        pos += n;
    }
    for (size_t i = 0; i < whole.size(); ++i) ASSERT_NEAR(whole[i], pieces[i], 1) << i;
}

TEST(Equaliser, ManyChannelsAndOtherSampleSizesAreSafe) {
    TEQState eq(12);
    eq.BuildKernel(Flat);
    std::vector<int16_t> wide(12 * 500, 1000);
    eq.Process(wide.data(), static_cast<int32_t>(wide.size() * 2), 12, 16);
    EXPECT_NEAR(wide[12 * 400 + 11], 1000, 40);  // the eleventh and twelfth channel are filtered too
    TEQState small(2);
    std::vector<int16_t> more(16 * 300, 500);
    small.Process(more.data(), static_cast<int32_t>(more.size() * 2), 16, 16);  // beyond its tails: untouched
    EXPECT_EQ(more[16 * 200 + 15], 500);
    small.ClearTails();
    std::vector<uint8_t> u8(2 * 600, 128);  // unsigned 8-bit silence stays silence
    small.Process(u8.data(), static_cast<int32_t>(u8.size()), 2, 8);
    for (uint8_t v : u8) ASSERT_EQ(v, 128);
    std::vector<float> f32(2 * 600, 0.25f);
    small.ClearTails();
    small.Process(f32.data(), static_cast<int32_t>(f32.size() * 4), 2, 32);
    EXPECT_NEAR(f32[2 * 500], 0.25f, 0.02f);
    // A float sample that is no number counts as silence instead of spoiling its neighbours.
    f32.assign(2 * 600, 0.25f);
    f32[2 * 100] = std::nanf("");
    f32[2 * 300 + 1] = INFINITY;
    small.ClearTails();
    small.Process(f32.data(), static_cast<int32_t>(f32.size() * 4), 2, 32);
    for (float v : f32) ASSERT_TRUE(std::isfinite(v));
    EXPECT_NEAR(f32[2 * 500], 0.25f, 0.02f);
}

}  // namespace
}  // namespace kelvar
