// SBR analysis bank, frequency band tables and configuration.
#include "encoder/SbrConfig.h"
#include "encoder/SbrDeltaCoding.h"
#include "encoder/SbrElementWriter.h"
#include "encoder/SbrEncoder.h"
#include "encoder/SbrEnvelope.h"
#include "encoder/SbrFrequencyTables.h"
#include "encoder/SbrHeaderControl.h"
#include "encoder/SbrMidSide.h"
#include "encoder/SbrQmf.h"
#include "encoder/SbrSinusoids.h"
#include "encoder/SbrTimeGrid.h"
#include "encoder/SbrTonality.h"
#include "encoder/SbrTransient.h"
#include "encoder/SbrWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace brannoc;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<float> Sine(double frequency, int rate, int count, double amplitude = 1.0) {
    std::vector<float> x(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        x[static_cast<size_t>(i)] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * i / rate));
    return x;
}

// Energies of the second of two frames, so that the delay line is full.
std::vector<float> SteadyEnergies(const std::vector<float>& input) {
    SbrQmfBank bank;
    EXPECT_TRUE(SbrQmfInit(bank, 1152));
    std::vector<float> re(1152), im(1152), e(1152);
    SbrQmfAnalyse(bank, input.data(), re.data(), im.data());
    SbrQmfAnalyse(bank, input.data() + 1152, re.data(), im.data());
    SbrQmfEnergies(e.data(), re.data(), im.data(), 64, 18);
    return e;
}

SbrBandTables Tables(int rate, int start, int stop, int scale, int alter, bool& ok) {
    SbrBandTables t;
    t.sbrRate = rate;
    SbrBandSettings s;
    s.startIndex = start;
    s.stopIndex = stop;
    s.frequencyScale = scale;
    s.alterScale = alter;
    s.dualRate = true;
    ok = SbrResetTables(t, s, 64, true);
    return t;
}

}  // namespace

TEST(SbrQmf, AToneLandsInItsBandWithSteadyEnergy) {
    // The decoder's analysis gain: a unit sine in the middle of a band gives (sum of the window / 2)^2.
    const float gain = 2045.6f;
    const int rate = 44100;
    for (int band : {1, 17, 40, 62}) {
        const auto e = SteadyEnergies(Sine((band + 0.5) * rate / 128.0, rate, 2304));
        for (int slot = 0; slot < 18; ++slot) {
            const float* row = &e[static_cast<size_t>(slot * 64)];
            EXPECT_NEAR(row[band], gain, 0.01f * gain) << "band " << band << " slot " << slot;
            for (int other = 0; other < 64; ++other) {
                if (other == band) continue;
                EXPECT_LT(row[other], 1e-4f * gain) << "band " << band << " leaks into " << other;
            }
        }
    }
}

TEST(SbrQmf, SilenceIsZeroAndTheDelayLineCarriesAcrossCalls) {
    const auto silent = SteadyEnergies(std::vector<float>(2304, 0.0f));
    for (float v : silent) ASSERT_EQ(v, 0.0f);

    // One bank over two half frames equals one bank over the whole frame.
    const auto x = Sine(5000.0, 44100, 1152);
    SbrQmfBank whole, halves;
    ASSERT_TRUE(SbrQmfInit(whole, 1152));
    ASSERT_TRUE(SbrQmfInit(halves, 576));
    std::vector<float> re1(1152), im1(1152), re2(1152), im2(1152);
    SbrQmfAnalyse(whole, x.data(), re1.data(), im1.data());
    SbrQmfAnalyse(halves, x.data(), re2.data(), im2.data());
    SbrQmfAnalyse(halves, x.data() + 576, re2.data() + 576, im2.data() + 576);
    for (size_t i = 0; i < re1.size(); ++i) {
        ASSERT_EQ(re1[i], re2[i]);
        ASSERT_EQ(im1[i], im2[i]);
    }
    SbrQmfBank bad;
    EXPECT_FALSE(SbrQmfInit(bad, 1000));
}

TEST(SbrBands, StartAndStopBandsAndTheirFrequencies) {
    EXPECT_EQ(SbrStartBand(5, 64, 44100), 17);
    EXPECT_EQ(SbrStartBand(4, 64, 32000), 20);
    EXPECT_EQ(SbrStopBand(64, 32000, 14, 20), 40);
    EXPECT_EQ(SbrStopBand(64, 44100, 15, 20), 60);
    EXPECT_EQ(SbrStopBand(64, 44100, 13, 17), 64);
    EXPECT_EQ(SbrStartBand(6, 64, 44100), 18);
    EXPECT_EQ(SbrStopBand(64, 44100, 9, 18), 47);
    EXPECT_EQ(SbrStopFrequency(9, 44100), 16192);
    EXPECT_EQ(SbrStartFrequency(6, 44100), 6201);
    EXPECT_EQ(SbrStartFrequency(16, 44100), -1);
    EXPECT_EQ(SbrStopFrequency(14, 44100), -1);
    EXPECT_EQ(SbrStopFrequency(-1, 44100), -1);
}

TEST(SbrBands, WidthLimitsOfTheSbrRange) {
    struct Case {
        int rate, start, stop;
        bool ok;
        int k0, k2;
    };
    const Case cases[] = {
        {44100, 6, 9, true, 18, 47},    // mono 32 kbit/s at core 22050
        {44100, 11, 13, true, 28, 64},  // 36 bands: the widest allowed at 44100
        {48000, 12, 13, true, 31, 64},  // 33 bands: the widest allowed from 48000
        {44100, 10, 13, false, 0, 0},   // 37 bands
        {48000, 11, 13, false, 0, 0},   // 34 bands
        {32000, 15, 13, false, 0, 0},   // k0 = 49 beyond the dual-rate limit of 32
        {44100, 15, 0, false, 0, 0},    // stop below start
    };
    for (const Case& c : cases) {
        bool ok = false;
        const SbrBandTables t = Tables(c.rate, c.start, c.stop, 2, 1, ok);
        EXPECT_EQ(ok, c.ok) << c.rate << " " << c.start << " " << c.stop;
        if (!c.ok) continue;
        EXPECT_EQ(t.k0, c.k0);
        EXPECT_EQ(t.k2, c.k2);
    }
    bool ok = false;
    const SbrBandTables t = Tables(44100, 6, 9, 2, 1, ok);
    ASSERT_TRUE(ok);
    EXPECT_FLOAT_EQ(t.crossoverHz, 6201.5625f);
}

TEST(SbrBands, MasterTablesSpanTheRangeWithGrowingWidths) {
    for (int scale = 0; scale <= 3; ++scale)
        for (int alter = 0; alter <= 1; ++alter)
            for (int start : {0, 4, 8})
                for (int stop : {5, 9, 13}) {
                    bool ok = false;
                    const SbrBandTables t = Tables(44100, start, stop, scale, alter, ok);
                    if (!ok) continue;
                    SCOPED_TRACE(testing::Message() << scale << " " << alter << " " << start << " " << stop);
                    ASSERT_GE(t.masterCount, 1);
                    EXPECT_EQ(t.master[0], t.k0);
                    EXPECT_EQ(t.master[t.masterCount], t.k2);
                    if (scale != 0) {
                        EXPECT_EQ(t.masterCount % 2, 0);
                    }
                    for (int i = 1; i <= t.masterCount; ++i) EXPECT_GT(t.master[i], t.master[i - 1]);
                    // Single region: widths never shrink.
                    if (scale != 0 && t.k2 <= 2.2449 * t.k0) {
                        for (int i = 2; i <= t.masterCount; ++i)
                            EXPECT_GE(t.master[i] - t.master[i - 1], t.master[i - 1] - t.master[i - 2]);
                    }
                }
    // Linear scale with alter scale: steps of two, corrected towards k2.
    bool ok = false;
    const SbrBandTables lin = Tables(44100, 5, 9, 0, 1, ok);
    ASSERT_TRUE(ok);
    for (int i = 1; i <= lin.masterCount; ++i) EXPECT_LE(std::abs(lin.master[i] - lin.master[i - 1] - 2), 1);
}

TEST(SbrBands, CrossoverMovesTheHighTableAndAnOddCountKeepsTheFirstLowBorder) {
    bool ok = false;
    SbrBandTables t = Tables(44100, 6, 9, 2, 1, ok);
    ASSERT_TRUE(ok);
    SbrBandSettings s;
    s.startIndex = 6;
    s.stopIndex = 9;
    for (int x = 0; x < 4; ++x) {
        s.crossoverBand = x;
        ASSERT_TRUE(SbrResetTables(t, s, 64, false));
        EXPECT_EQ(t.high[0], t.master[x]);
        EXPECT_EQ(t.highCount, t.masterCount - x);
        EXPECT_EQ(t.high[t.highCount], t.k2);
        EXPECT_EQ(t.low[0], t.high[0]);
        EXPECT_EQ(t.low[t.lowCount], t.k2);
        if (t.highCount % 2 == 1) {
            EXPECT_EQ(t.lowCount, (t.highCount + 1) / 2);
            for (int i = 1; i <= t.lowCount; ++i) EXPECT_EQ(t.low[i], t.high[2 * i - 1]);
        } else {
            EXPECT_EQ(t.lowCount, t.highCount / 2);
            for (int i = 0; i <= t.lowCount; ++i) EXPECT_EQ(t.low[i], t.high[2 * i]);
        }
        EXPECT_FLOAT_EQ(t.crossoverHz, static_cast<float>(t.high[0] * 44100 * 0.5 / 64));
        int noise[6] = {};
        int count = 0;
        ASSERT_TRUE(SbrNoiseBands(t, 2, noise, count));
        EXPECT_GE(count, 1);
        EXPECT_EQ(noise[0], t.low[0]);
        EXPECT_EQ(noise[count], t.k2);
    }
    // A crossover above the dual-rate limit falls back to the last border below band 32.
    s.crossoverBand = t.masterCount;
    ASSERT_TRUE(SbrResetTables(t, s, 64, false));
    EXPECT_LT(t.high[0], 32);
    EXPECT_GE(t.master[t.masterCount - t.highCount + 1], 32);
}

TEST(SbrConfig, TuningRowsAndTheirEdges) {
    struct Case {
        int bitrate, channels, coreRate, quality;
        bool ok;
        int start, stop, scale, fixfix, stereo, effective;
    };
    const Case cases[] = {
        {20000, 1, 16000, 0, true, 4, 12, 3, 1, 0, 20000},  {19999, 1, 16000, 0, true, 4, 12, 3, 0, 0, 19999},
        {96000, 2, 22050, 0, true, 11, 13, 2, 1, 1, 96000}, {96001, 2, 22050, 0, false, 0, 0, 0, 0, 0, 0},
        {56000, 1, 16000, 0, true, 10, 13, 2, 1, 0, 56000}, {56000, 2, 16000, 0, true, 10, 13, 2, 1, 3, 56000},
        {0, 1, 22050, 35, true, 6, 9, 2, 1, 0, 32000},      {0, 1, 16000, 35, true, 5, 12, 2, 1, 0, 28000},
    };
    for (const Case& c : cases) {
        SbrConfig config;
        ASSERT_TRUE(SbrConfigInit(config, 2, 2.0f, 576));
        EXPECT_EQ(config.frameLength, 1152);
        const bool ok = SbrConfigure(config, c.bitrate, c.channels, c.coreRate, c.quality);
        SCOPED_TRACE(testing::Message() << c.bitrate << " " << c.channels << " " << c.coreRate << " q" << c.quality);
        EXPECT_EQ(config.bitrate, c.effective == 0 ? c.bitrate : c.effective);
        EXPECT_EQ(ok, c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(config.startIndex, c.start);
        EXPECT_EQ(config.stopIndex, c.stop);
        EXPECT_EQ(config.frequencyScale, c.scale);
        EXPECT_EQ(config.fixfixFrequencyResolution, c.fixfix);
        EXPECT_EQ(config.stereoMode, c.stereo);
    }
    SbrConfig refused;
    EXPECT_FALSE(SbrConfigInit(refused, 1, 2.0f, 576));
}

TEST(SbrConfig, SupportedRatesFallBackToLowerCoreRates) {
    int core = 0;
    EXPECT_TRUE(SbrIsSupported(2, 64000, 2, 44100, core));
    EXPECT_EQ(core, 22050);
    EXPECT_TRUE(SbrIsSupported(2, 64000, 2, 48000, core));
    EXPECT_EQ(core, 24000);
    // 20000 bit/s mono exists only at core 16000.
    EXPECT_TRUE(SbrIsSupported(2, 20000, 1, 48000, core));
    EXPECT_EQ(core, 16000);
    EXPECT_TRUE(SbrIsSupported(2, 20000, 1, 44100, core));
    EXPECT_EQ(core, 16000);
    EXPECT_TRUE(SbrIsSupported(2, 20000, 1, 32000, core));
    EXPECT_EQ(core, 16000);
    EXPECT_FALSE(SbrIsSupported(2, 64000, 2, 24000, core));
    EXPECT_FALSE(SbrIsSupported(2, 200000, 2, 44100, core));
    EXPECT_FALSE(SbrIsSupported(3, 64000, 2, 44100, core));
}

namespace {

// Runs the detector frame by frame over a mono signal at 44100 Hz, as a channel does: the energy
// buffer holds the previous and the current frame.
std::vector<SbrTransientInfo> DetectFrames(const std::vector<float>& signal, int highStart = 17) {
    SbrQmfBank bank;
    EXPECT_TRUE(SbrQmfInit(bank, 1152));
    SbrTransientDetector d;
    SbrTransientInit(d, 1152, 44100, 32000, 1, 32000, 14000.0f);
    int table[8];
    for (int i = 0; i < 8; ++i) table[i] = highStart + 4 * i;
    std::vector<float> buffer(36 * 64, 0.0f), re(1152), im(1152);
    std::vector<SbrTransientInfo> result;
    for (size_t pos = 0; pos + 1152 <= signal.size(); pos += 1152) {
        std::copy(buffer.begin() + 18 * 64, buffer.end(), buffer.begin());
        SbrQmfAnalyse(bank, signal.data() + pos, re.data(), im.data());
        SbrQmfEnergies(buffer.data() + 18 * 64, re.data(), im.data(), 64, 18);
        SbrTransientInfo info;
        SbrDetectTransient(buffer.data(), d, info, 2, 4);
        SbrSplitFrame(buffer.data(), d, table, 7, 2, 9, info);
        result.push_back(info);
    }
    return result;
}

}  // namespace

TEST(SbrTransient, SplitThresholdFollowsRateAndBitrate) {
    SbrTransientDetector d;
    SbrTransientInit(d, 1152, 44100, 32000, 1, 32000, 14000.0f);
    EXPECT_NEAR(d.splitThreshold, 0.2886f, 0.001f);
    EXPECT_FLOAT_EQ(d.peakLimit, 218.75f);
    SbrTransientInit(d, 1152, 44100, 64000, 2, 32000, 14000.0f);
    EXPECT_NEAR(d.splitThreshold, 0.2886f, 0.001f);
}

TEST(SbrTransient, AClickIsATransientAndSteadyToneOrSilenceIsNot) {
    const int frames = 12;
    std::vector<float> silence(static_cast<size_t>(frames * 1152), 0.0f);
    for (const auto& info : DetectFrames(silence)) {
        EXPECT_EQ(info.flag, 0);
        EXPECT_EQ(info.value, 0);
    }

    const auto tone = Sine(10000.0, 44100, frames * 1152, 8000.0);
    const auto toneInfo = DetectFrames(tone);
    for (size_t f = 3; f < toneInfo.size(); ++f) {
        EXPECT_EQ(toneInfo[f].flag, 0) << "frame " << f;
        EXPECT_EQ(toneInfo[f].value, 0) << "frame " << f;
    }

    auto click = std::vector<float>(static_cast<size_t>(frames * 1152), 0.0f);
    for (int i = 0; i < 8; ++i) click[static_cast<size_t>(6 * 1152 + 500 + i)] = (i % 2 ? -30000.0f : 30000.0f);
    const auto clickInfo = DetectFrames(click);
    int transients = 0;
    for (size_t f = 0; f < clickInfo.size(); ++f) {
        if (clickInfo[f].flag == 0) continue;
        ++transients;
        EXPECT_GE(f, 5u);
        EXPECT_LE(f, 7u);
        EXPECT_LE(clickInfo[f].value, 8);
    }
    EXPECT_EQ(transients, 1);
}

TEST(SbrTransient, ALevelStepWithinAFrameSplitsIt) {
    // Quiet noise whose level jumps by 20 dB mid-frame, slowly enough to be no transient. The splitter's
    // fixed energy offsets keep noise this quiet from splitting by its own fluctuation.
    auto splits = [](double stepLevel) {
        std::vector<float> x(12 * 1152, 0.0f);
        unsigned seed = 1;
        for (size_t i = 0; i < x.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            const float noise = static_cast<float>(static_cast<int>((seed >> 16) & 0x7fff) - 16384) / 16384.0f;
            x[i] = static_cast<float>(noise * (i < 6 * 1152 + 576 ? 10.0 : stepLevel));
        }
        int count = 0;
        const auto info = DetectFrames(x);
        for (size_t f = 2; f < info.size(); ++f) count += info[f].flag == 0 && info[f].value == 1;
        return count;
    };
    EXPECT_EQ(splits(10.0), 0) << "steady noise keeps one envelope";
    EXPECT_GE(splits(100.0), 1);

    SbrTransientInfo a{3, 1}, b{5, 1};
    SbrShareTransient(a, b);
    EXPECT_EQ(a.value, 3);
    EXPECT_EQ(b.value, 3);
    SbrTransientInfo c{0, 0}, e{6, 1};
    SbrShareTransient(c, e);
    EXPECT_EQ(c.flag, 1);
    EXPECT_EQ(c.value, 6);
    SbrTransientInfo g{1, 0}, h{0, 0};
    SbrShareTransient(g, h);
    EXPECT_EQ(h.value, 1);
}

namespace {

// Checks one frame's grid against what its control record can carry and against the previous frame.
void CheckGrid(const SbrGridGenerator& g, const SbrFrameInfo& f, int& previousEnd, const SbrTransientInfo& info) {
    const SbrGridControl& c = g.control;
    ASSERT_GE(f.envelopes, 1);
    ASSERT_LE(f.envelopes, 5);
    EXPECT_EQ(f.borders[0], previousEnd - 9) << "the frame starts where the previous one ended";
    for (int i = 0; i < f.envelopes; ++i) EXPECT_GE(f.borders[i + 1] - f.borders[i], 1);
    EXPECT_GE(f.borders[f.envelopes], 9);
    EXPECT_LE(f.borders[f.envelopes], 12);
    EXPECT_LE(f.borders[0], 3);
    EXPECT_LE(c.leadCount, 3);
    EXPECT_LE(c.trailCount, 3);
    for (int i = 0; i < c.leadCount; ++i) EXPECT_TRUE(c.lead[i] >= 2 && c.lead[i] <= 8 && c.lead[i] % 2 == 0);
    for (int i = 0; i < c.trailCount; ++i) EXPECT_TRUE(c.trail[i] >= 2 && c.trail[i] <= 8 && c.trail[i] % 2 == 0);
    if (c.frameClass == kFixVar || c.frameClass == kVarFix) {
        EXPECT_LE(f.envelopes, 4);
    }
    if (info.flag == 1 && f.transientEnvelope > 0) {
        EXPECT_EQ(f.borders[f.transientEnvelope], info.value + 4);
    }
    EXPECT_EQ(f.noiseEnvelopes, f.envelopes > 1 ? 2 : 1);
    EXPECT_EQ(f.noiseBorders[0], f.borders[0]);
    EXPECT_EQ(f.noiseBorders[f.noiseEnvelopes], f.borders[f.envelopes]);
    previousEnd = f.borders[f.envelopes];
}

}  // namespace

TEST(SbrTimeGrid, StationaryFramesAreFixFixAndStaticFramingAlwaysTwoEnvelopes) {
    SbrGridGenerator g;
    SbrGridInit(g, 0, 1, 1);
    SbrFrameInfo f = SbrMakeGrid(g, SbrTransientInfo{0, 0});
    EXPECT_EQ(g.control.frameClass, kFixFix);
    EXPECT_EQ(f.envelopes, 1);
    EXPECT_EQ(f.borders[1], 9);
    f = SbrMakeGrid(g, SbrTransientInfo{1, 0});
    EXPECT_EQ(f.envelopes, 2);
    EXPECT_EQ(f.borders[1], 5);
    EXPECT_EQ(f.noiseBorders[1], 5);

    SbrGridInit(g, 1, 1, 0);
    for (int frame = 0; frame < 4; ++frame) {
        f = SbrMakeGrid(g, SbrTransientInfo{frame % 9, frame % 2});
        EXPECT_EQ(g.control.frameClass, kFixFix);
        EXPECT_EQ(f.envelopes, 2);
        EXPECT_EQ(f.resolution[0], 0) << "low-bitrate FIXFIX uses the low resolution";
        EXPECT_EQ(f.resolution[1], 0);
    }
}

TEST(SbrTimeGrid, ATransientGivesFixVarThenTheKeptBordersStartTheNextFrame) {
    for (int position = 0; position <= 8; ++position) {
        SCOPED_TRACE(position);
        SbrGridGenerator g;
        SbrGridInit(g, 0, 1, 1);
        int end = 9;
        SbrTransientInfo none{0, 0}, hit{position, 1};
        CheckGrid(g, SbrMakeGrid(g, none), end, none);
        const SbrFrameInfo f = SbrMakeGrid(g, hit);
        EXPECT_EQ(g.control.frameClass, kFixVar);
        CheckGrid(g, f, end, hit);
        if (position + 4 < f.borders[f.envelopes]) {
            ASSERT_GT(f.transientEnvelope, 0);
            EXPECT_EQ(f.resolution[f.transientEnvelope], 0);
        }
        const SbrFrameInfo next = SbrMakeGrid(g, none);
        EXPECT_EQ(g.control.frameClass, kVarFix);
        CheckGrid(g, next, end, none);
        EXPECT_EQ(next.borders[next.envelopes], 9);
        const SbrFrameInfo after = SbrMakeGrid(g, none);
        EXPECT_EQ(g.control.frameClass, kFixFix);
        CheckGrid(g, after, end, none);
    }
}

TEST(SbrTimeGrid, AnySequenceOfDecisionsStaysCodable) {
    unsigned seed = 7;
    for (int run = 0; run < 200; ++run) {
        SbrGridGenerator g;
        SbrGridInit(g, 0, 1, run % 2);
        int end = 9;
        for (int frame = 0; frame < 12; ++frame) {
            seed = seed * 1103515245u + 12345u;
            const int r = static_cast<int>((seed >> 16) % 20);
            const SbrTransientInfo info = r < 9 ? SbrTransientInfo{r, 1} : SbrTransientInfo{r % 2, 0};
            const int before = g.previousClass;
            const SbrFrameInfo f = SbrMakeGrid(g, info);
            SCOPED_TRACE(testing::Message()
                         << "run " << run << " frame " << frame << " class " << g.control.frameClass);
            CheckGrid(g, f, end, info);
            if (info.flag == 1) {
                EXPECT_EQ(g.control.frameClass, (before == kFixFix || before == kVarFix) ? kFixVar : kVarVar);
            }
            const SbrFrameInfo again = SbrFrameInfoFromControl(g.control, g.fixfixResolution);
            EXPECT_EQ(again.envelopes, f.envelopes);
            if (HasFailure()) return;
        }
    }
}

namespace {

// 36 QMF slots of energies (the frame being coded, then the next) of a signal at 44100 Hz.
std::vector<float> CodedFrameEnergies(const std::vector<float>& signal) {
    SbrQmfBank bank;
    EXPECT_TRUE(SbrQmfInit(bank, 1152));
    std::vector<float> buffer(36 * 64, 0.0f), re(1152), im(1152);
    for (size_t pos = 0; pos + 1152 <= signal.size(); pos += 1152) {
        std::copy(buffer.begin() + 18 * 64, buffer.end(), buffer.begin());
        SbrQmfAnalyse(bank, signal.data() + pos, re.data(), im.data());
        SbrQmfEnergies(buffer.data() + 18 * 64, re.data(), im.data(), 64, 18);
    }
    return buffer;
}

}  // namespace

TEST(SbrEnvelope, LevelsFollowTheHighBandEnergiesWithinAStep) {
    bool ok = false;
    const SbrBandTables t = Tables(44100, 6, 9, 2, 1, ok);
    ASSERT_TRUE(ok);
    SbrEnvelopeBands bands;
    bands.table[0] = t.low;
    bands.count[0] = t.lowCount;
    bands.table[1] = t.high;
    bands.count[1] = t.highCount;

    // One tone in the first QMF band of every high-resolution band, each at its own level.
    std::vector<float> x(4 * 1152, 0.0f);
    std::vector<double> amplitude(static_cast<size_t>(t.highCount));
    for (int b = 0; b < t.highCount; ++b) {
        amplitude[static_cast<size_t>(b)] = 200.0 * std::pow(1.7, b % 7);
        const auto tone = Sine((t.high[b] + 0.5) * 44100 / 128.0, 44100, 4 * 1152, amplitude[static_cast<size_t>(b)]);
        for (size_t i = 0; i < x.size(); ++i) x[i] += tone[i];
    }
    const auto energies = CodedFrameEnergies(x);
    SbrGridGenerator g;
    for (int split = 0; split <= 1; ++split)
        for (int resolution = 0; resolution <= 1; ++resolution) {
            SbrGridInit(g, 0, 1, 1);
            const SbrFrameInfo info = SbrMakeGrid(g, SbrTransientInfo{split, 0});
            SbrQuantised q;
            SbrQuantiseEnvelope(energies.data(), nullptr, info, bands, resolution, q, nullptr, nullptr);
            const double step = resolution == 1 ? 1.0 : 0.5;  // in log2 of energy
            for (int e = 0; e < info.envelopes; ++e)
                for (int b = 0; b < t.highCount; ++b) {
                    // A unit sine in the middle of a QMF band has the energy 2045.6 there.
                    const double expected = 2045.6 * amplitude[static_cast<size_t>(b)] *
                                            amplitude[static_cast<size_t>(b)] / (t.high[b + 1] - t.high[b]);
                    EXPECT_NEAR(std::log2(SbrDequantiseLevel(q.levels[e][b], resolution)), std::log2(expected), step)
                        << "band " << b << " envelope " << e << " resolution " << resolution;
                }
        }

    SbrQuantised silent;
    SbrGridInit(g, 0, 1, 1);
    const SbrFrameInfo info = SbrMakeGrid(g, SbrTransientInfo{1, 0});
    const auto quiet = CodedFrameEnergies(std::vector<float>(4 * 1152, 0.0f));
    silent.levels[0][0] = 99;
    SbrQuantiseEnvelope(quiet.data(), nullptr, info, bands, 1, silent, nullptr, nullptr);
    for (int e = 0; e < info.envelopes; ++e)
        for (int b = 0; b < t.highCount; ++b) EXPECT_EQ(silent.levels[e][b], 0);
}

TEST(SbrEnvelope, BalancesAndNoiseLevels) {
    float err = 0.0f;
    EXPECT_EQ(SbrQuantiseBalance(5.0f, 0, err), 28) << "4 and 6 tie: the first wins";
    EXPECT_FLOAT_EQ(err, 1.0f);
    EXPECT_EQ(SbrQuantiseBalance(-5.0f, 0, err), 20);
    EXPECT_EQ(SbrQuantiseBalance(0.0f, 1, err), 12);
    EXPECT_EQ(SbrQuantiseBalance(30.0f, 1, err), 24);
    EXPECT_FLOAT_EQ(err, 18.0f);
    EXPECT_EQ(SbrQuantiseBalance(-9.0f, 1, err), 4);

    // Left twice the amplitude of right: 6 dB, a balance of 2 steps of 3 dB.
    bool ok = false;
    const SbrBandTables t = Tables(44100, 6, 9, 2, 1, ok);
    ASSERT_TRUE(ok);
    SbrEnvelopeBands bands;
    bands.table[0] = t.low;
    bands.count[0] = t.lowCount;
    bands.table[1] = t.high;
    bands.count[1] = t.highCount;
    const auto left = CodedFrameEnergies(Sine(12000.0, 44100, 4 * 1152, 4000.0));
    const auto right = CodedFrameEnergies(Sine(12000.0, 44100, 4 * 1152, 2000.0));
    SbrGridGenerator g;
    SbrGridInit(g, 0, 1, 1);
    const SbrFrameInfo info = SbrMakeGrid(g, SbrTransientInfo{0, 0});
    SbrQuantised levels, balances;
    float largest = -1.0f;
    SbrQuantiseEnvelope(left.data(), right.data(), info, bands, 1, levels, &balances, &largest);
    int band = 0;
    while (t.high[band + 1] <= static_cast<int>(12000.0 * 128 / 44100)) ++band;
    EXPECT_EQ(balances.levels[0][band], 14);
    EXPECT_LT(largest, 1.0f);

    EXPECT_EQ(SbrQuantiseNoise(3.2f), 4);
    EXPECT_EQ(SbrQuantiseNoise(45.0f), 30);
    EXPECT_EQ(SbrQuantiseNoise(-3.0f), 0);
    int level = 0, balance = 0;
    SbrQuantiseNoisePair(4.0f, 4.0f, level, balance);
    EXPECT_EQ(level, 4);
    EXPECT_EQ(balance, 12);
    SbrQuantiseNoisePair(8.0f, 4.0f, level, balance);
    EXPECT_EQ(balance, 16);
}

namespace {

int CeilLog2(int n) {
    int bits = 0;
    while ((1 << bits) < n) ++bits;
    return bits;
}

// Reads a grid back as a decoder would and derives its borders and resolutions.
struct ReadGrid {
    int frameClass = 0, envelopes = 0, pointer = 0;
    int borders[7] = {};
    int resolution[5] = {};
};

ReadGrid ParseGrid(BitBuffer& in, int fixfixBits) {
    ReadGrid g;
    g.frameClass = static_cast<int>(in.Read(2));
    if (g.frameClass == 0) {
        g.envelopes = 1 << in.Read(2);
        const int res = static_cast<int>(in.Read(1));
        EXPECT_EQ(res, fixfixBits);
        static const int kBorders[3][5] = {{0, 9}, {0, 5, 9}, {0, 2, 5, 7, 9}};
        const int row = g.envelopes == 4 ? 2 : g.envelopes - 1;
        for (int i = 0; i <= g.envelopes; ++i) g.borders[i] = kBorders[row][i];
        for (int i = 0; i < g.envelopes; ++i) g.resolution[i] = res;
        return g;
    }
    int start = 0, end = 9, lead = 0, trail = 0;
    int leadLen[3] = {}, trailLen[3] = {};
    if (g.frameClass == 1) {
        end = 9 + static_cast<int>(in.Read(3));
        trail = static_cast<int>(in.Read(2));
        for (int i = 0; i < trail; ++i) trailLen[i] = 2 * static_cast<int>(in.Read(2)) + 2;
    } else if (g.frameClass == 2) {
        start = static_cast<int>(in.Read(3));
        lead = static_cast<int>(in.Read(2));
        for (int i = 0; i < lead; ++i) leadLen[i] = 2 * static_cast<int>(in.Read(2)) + 2;
    } else {
        start = static_cast<int>(in.Read(3));
        end = 9 + static_cast<int>(in.Read(3));
        lead = static_cast<int>(in.Read(2));
        trail = static_cast<int>(in.Read(2));
        for (int i = 0; i < lead; ++i) leadLen[i] = 2 * static_cast<int>(in.Read(2)) + 2;
        for (int i = 0; i < trail; ++i) trailLen[i] = 2 * static_cast<int>(in.Read(2)) + 2;
    }
    g.envelopes = lead + trail + 1;
    g.pointer = static_cast<int>(in.Read(CeilLog2(lead + trail + 2)));
    for (int i = 0; i < g.envelopes; ++i) {
        const int r = static_cast<int>(in.Read(1));
        g.resolution[g.frameClass == 1 ? g.envelopes - 1 - i : i] = r;
    }
    g.borders[0] = start;
    g.borders[g.envelopes] = end;
    for (int i = 0; i < lead; ++i) g.borders[i + 1] = g.borders[i] + leadLen[i];
    for (int i = 0; i < trail; ++i) g.borders[g.envelopes - 1 - i] = g.borders[g.envelopes - i] - trailLen[i];
    return g;
}

}  // namespace

TEST(SbrWriter, HeaderFieldsAndProtectedCounts) {
    SbrHeader h;
    h.startIndex = 6;
    h.stopIndex = 9;
    h.crossoverBand = 3;
    h.midSideClass = 2;
    BitBuffer buffer(4096);
    EXPECT_EQ(SbrWriteHeader(&buffer, h, true), 21);
    EXPECT_EQ(SbrWriteHeader(nullptr, h, false), 19);
    EXPECT_EQ(buffer.BitCount(), 21);
    EXPECT_EQ(buffer.Read(2), 0u);
    EXPECT_EQ(buffer.Read(1), 1u);
    EXPECT_EQ(buffer.Read(4), 6u);
    EXPECT_EQ(buffer.Read(4), 9u);
    EXPECT_EQ(buffer.Read(3), 3u);
    EXPECT_EQ(buffer.Read(2), 0u);
    EXPECT_EQ(buffer.Read(3), 0u);  // header flag, no extensions
    EXPECT_EQ(buffer.Read(2), 2u);

    h.extension1 = 1;
    h.frequencyScale = 3;
    h.extension2 = 1;
    h.smoothing = 1;
    EXPECT_EQ(SbrWriteHeader(nullptr, h, false), 19 + 5 + 7);

    EXPECT_EQ(SbrProtectedBits(true, false, true), 88);
    EXPECT_EQ(SbrProtectedBits(true, false, false), 56);
    EXPECT_EQ(SbrProtectedBits(true, true, true), 136);
    EXPECT_EQ(SbrProtectedBits(true, true, false), 104);
    EXPECT_EQ(SbrProtectedBits(false, true, true), 0);
}

TEST(SbrWriter, GridsReadBackToTheFrameInfo) {
    SbrGridControl fixfix;
    fixfix.envelopes = 2;
    BitBuffer b(4096);
    EXPECT_EQ(SbrWriteGrid(&b, fixfix, 1), 5);
    EXPECT_EQ(b.Read(5), 0b00011u);

    unsigned seed = 11;
    for (int run = 0; run < 100; ++run) {
        SbrGridGenerator g;
        SbrGridInit(g, 0, 1, 1);
        for (int frame = 0; frame < 10; ++frame) {
            seed = seed * 1103515245u + 12345u;
            const int r = static_cast<int>((seed >> 16) % 16);
            const SbrTransientInfo info = r < 9 ? SbrTransientInfo{r, 1} : SbrTransientInfo{r % 2, 0};
            const SbrFrameInfo f = SbrMakeGrid(g, info);
            BitBuffer out(4096);
            const int bits = SbrWriteGrid(&out, g.control, g.fixfixResolution);
            EXPECT_EQ(bits, out.BitCount());
            EXPECT_EQ(SbrWriteGrid(nullptr, g.control, g.fixfixResolution), bits);
            const ReadGrid read = ParseGrid(out, g.fixfixResolution);
            EXPECT_EQ(out.BitCount(), 0) << "the reader consumes exactly what was written";
            ASSERT_EQ(read.frameClass, g.control.frameClass);
            ASSERT_EQ(read.envelopes, f.envelopes);
            for (int i = 0; i <= f.envelopes; ++i) EXPECT_EQ(read.borders[i], f.borders[i]);
            for (int i = 0; i < f.envelopes; ++i) EXPECT_EQ(read.resolution[i], f.resolution[i]);
            if (g.control.frameClass == kFixVar && f.borders[f.envelopes] == 11) {
                BitBuffer again(64);
                SbrWriteGrid(&again, g.control, 1);
                again.Read(2);
                EXPECT_EQ(again.Read(3), 2u);
            }
            if (HasFailure()) return;
        }
    }
}

namespace {

struct TonalityRun {
    SbrTonalityEstimator t;
    SbrBandTables tables;
    float q[5] = {};
};

// Feeds frames of a mono signal at 44100 Hz (start 6, stop 9) and runs the per-frame decisions.
TonalityRun RunTonality(const std::vector<float>& signal) {
    TonalityRun run;
    bool ok = false;
    run.tables = Tables(44100, 6, 9, 2, 1, ok);
    EXPECT_TRUE(ok);
    const int levels[5] = {};
    EXPECT_TRUE(SbrTonalityCreate(run.t, 44100, run.tables.master, run.tables.masterCount, run.tables.low,
                                  run.tables.lowCount, 2, levels, 6, 2));
    SbrQmfBank bank;
    SbrQmfInit(bank, 1152);
    std::vector<float> re(1152), im(1152);
    for (size_t pos = 0; pos + 1152 <= signal.size(); pos += 1152) {
        SbrQmfAnalyse(bank, signal.data() + pos, re.data(), im.data());
        SbrTonalityQuotas(run.t, re.data(), im.data(), 18);
        SbrTonalityFrame(run.t, false, false, run.q);
    }
    return run;
}

}  // namespace

TEST(SbrTonality, PatchesCoverTheRangeFromTheCoreBand) {
    bool ok = false;
    const SbrBandTables tables = Tables(44100, 6, 9, 2, 1, ok);
    ASSERT_TRUE(ok);
    SbrTonalityEstimator t;
    t.sbrRate = 44100;
    ASSERT_TRUE(SbrBuildPatches(t, tables.master, tables.masterCount, tables.high[0]));
    ASSERT_FALSE(t.patches.empty());
    EXPECT_LE(t.patches.size(), 6u);
    int next = tables.high[0];
    for (const SbrPatch& p : t.patches) {
        EXPECT_EQ(p.targetStart, next) << "patches follow each other";
        EXPECT_GE(p.sourceStart, 1);
        EXPECT_LE(p.sourceEnd, tables.k0) << "sources stay in the core band";
        EXPECT_EQ(p.sourceEnd - p.sourceStart, p.width);
        next += p.width;
    }
    EXPECT_EQ(next, tables.k2);
    for (int k = 0; k < 64; ++k) {
        if (k < tables.high[0]) {
            EXPECT_EQ(t.patchMap[k], k);
        } else if (k < tables.k2) {
            EXPECT_LT(t.patchMap[k], tables.k0);
        }
    }
}

TEST(SbrTonality, ASineIsTonalInItsBandAndSilenceHasNoNoise) {
    const auto run = RunTonality(Sine(10000.0, 44100, 6 * 1152, 8000.0));
    const int band = static_cast<int>(10000.0 * 128 / 44100);
    EXPECT_GT(run.t.rows[0][band], 128.0f) << "a pure tone stands far above the top threshold";
    for (int k = 0; k < run.tables.k2; ++k) {
        if (std::abs(k - band) <= 1) continue;
        EXPECT_LT(run.t.rows[0][k], run.t.rows[0][band] / 100.0f) << k;
    }
    for (int b = 0; b < run.t.noiseCount; ++b) EXPECT_GE(run.q[b], 4.0f) << "the noise ratio never exceeds 4";

    const auto quiet = RunTonality(std::vector<float>(6 * 1152, 0.0f));
    for (int b = 0; b < quiet.t.noiseCount; ++b)
        EXPECT_NEAR(quiet.q[b], 6.0f + std::log2(101.593666f), 1e-3f) << "silence: a tiny noise ratio";
}

TEST(SbrTonality, NoiseIsNotTonalAndGetsANoiseFloor) {
    std::vector<float> x(8 * 1152);
    unsigned seed = 3;
    for (float& v : x) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<float>(static_cast<int>((seed >> 16) & 0x7fff) - 16384) / 4.0f;
    }
    const auto run = RunTonality(x);
    for (int k = 1; k < run.tables.k2; ++k) EXPECT_LT(run.t.rows[0][k], 10.0f) << k;
    const auto tone = RunTonality(Sine(10000.0, 44100, 8 * 1152, 8000.0));
    const int band = static_cast<int>(10000.0 * 128 / 44100);
    for (int b = 0; b < run.t.noiseCount; ++b) {
        EXPECT_GE(run.q[b], 4.0f);
        EXPECT_LT(run.q[b], 9.0f) << "noise keeps a real noise floor";
        if (band < tone.t.noiseBorders[b] || band >= tone.t.noiseBorders[b + 1]) continue;
        EXPECT_GT(tone.q[b], run.q[b] + 3.0f) << "a tone needs far less noise than noise does";
    }
}

TEST(SbrMidSide, IdenticalChannelsAreMidQuietSideNarrowAndIndependentChannelsWide) {
    EXPECT_EQ(SbrMidSideAnalyser::Create(22050), nullptr);
    for (int rate : {32000, 44100, 48000}) {
        SCOPED_TRACE(rate);
        std::vector<float> left(1152), right(1152), mid(1152), side(1152);
        auto classes = [&](double sideGain, bool independent) {
            auto a = SbrMidSideAnalyser::Create(rate);
            EXPECT_NE(a, nullptr);
            unsigned seed = 5, seed2 = 9;
            std::vector<int> result;
            for (int frame = 0; frame < 12; ++frame) {
                for (int i = 0; i < 1152; ++i) {
                    seed = seed * 1103515245u + 12345u;
                    seed2 = seed2 * 1103515245u + 12345u;
                    const float l = static_cast<float>(static_cast<int>((seed >> 16) & 0x7fff) - 16384) / 2.0f;
                    const float r2 = static_cast<float>(static_cast<int>((seed2 >> 16) & 0x7fff) - 16384) / 2.0f;
                    const float r = independent ? r2 : l + static_cast<float>(sideGain) * r2;
                    mid[static_cast<size_t>(i)] = (l + r) / 2.0f;
                    side[static_cast<size_t>(i)] = (l - r) / 2.0f;
                }
                result.push_back(a->Analyse(mid.data(), side.data()));
            }
            return result;
        };
        const auto same = classes(0.0, false);
        for (size_t f = 2; f < same.size(); ++f) EXPECT_EQ(same[f], 0) << "identical channels, frame " << f;
        const auto quiet = classes(0.02, false);
        for (size_t f = 3; f < quiet.size(); ++f) EXPECT_EQ(quiet[f], 1) << "quiet side, frame " << f;
        const auto wide = classes(0.0, true);
        EXPECT_EQ(wide.back(), 3) << "independent channels";
    }
}

namespace {

// Runs the sinusoid coder on the second frame of a signal; energies of that frame are returned.
SbrSinusoidState RunSinusoids(const std::vector<float>& signal, int bitrate, std::vector<float>& before,
                              std::vector<float>& after) {
    SbrSinusoidState s;
    SbrSinusoidCreate(s, bitrate);
    SbrQmfBank bank;
    SbrQmfInit(bank, 1152);
    std::vector<float> re(1152), im(1152);
    before.assign(1152, 0.0f);
    for (size_t pos = 0; pos + 1152 <= signal.size(); pos += 1152) {
        SbrQmfAnalyse(bank, signal.data() + pos, re.data(), im.data());
        SbrQmfEnergies(before.data(), re.data(), im.data(), 64, 18);
        after = before;
        SbrSinusoidFrame(s, re.data(), im.data(), after.data());
    }
    return s;
}

// Reads the sinusoid syntax back; returns the component count (0 for the single 0 bit).
int ParseSinusoids(BitBuffer& in, std::vector<int>& startBands) {
    if (in.Read(1) == 0) return 0;
    const int count = static_cast<int>(in.Read(2)) + 1;
    for (int i = 0; i < count; ++i) {
        startBands.push_back(static_cast<int>(in.Read(6)));
        const int bands = static_cast<int>(in.Read(2)) + 1;
        const int field = static_cast<int>(in.Read(2));
        EXPECT_GE(field, 1);
        const int segments = field == 3 ? 2 : 1;
        in.Read(1);
        for (int b = 0; b < bands; ++b) {
            const int width = static_cast<int>(in.Read(1)) + 4;
            EXPECT_LE(in.Read(5), 31u);
            for (int n = 0; n < segments * 9; ++n)
                if (in.Read(width - 1) != 0) in.Read(1);
        }
    }
    return count;
}

}  // namespace

TEST(SbrSinusoids, AnIsolatedToneIsCodedAndTakenOutOfTheEnvelope) {
    std::vector<float> before, after;
    const SbrSinusoidState s = RunSinusoids(Sine(10000.0, 44100, 2 * 1152, 8000.0), 32000, before, after);
    ASSERT_EQ(s.count, 1);
    const SbrSinusoidItem& it = s.items[0];
    const int band = static_cast<int>(10000.0 * 128 / 44100);
    EXPECT_LE(it.startBand, band);
    EXPECT_GE(it.startBand + it.bands - 1, band);
    EXPECT_EQ(it.segments, 2) << "present in both halves";
    EXPECT_LE(SbrSinusoidCost(s.items, s.count), 350);
    for (int n = 0; n < 18; ++n)
        EXPECT_LT(after[static_cast<size_t>(n * 64 + band)], before[static_cast<size_t>(n * 64 + band)] * 1e-6f);

    BitBuffer out(4096);
    const int bits = SbrWriteSinusoids(&out, s);
    EXPECT_EQ(bits, out.BitCount());
    std::vector<int> starts;
    EXPECT_EQ(ParseSinusoids(out, starts), 1);
    EXPECT_EQ(out.BitCount(), 0);
    EXPECT_EQ(starts[0], it.startBand);
}

TEST(SbrSinusoids, NoiseSilenceAndLowBitratesSendNothing) {
    std::vector<float> before, after;
    std::vector<float> noise(2 * 1152);
    unsigned seed = 3;
    for (float& v : noise) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<float>(static_cast<int>((seed >> 16) & 0x7fff) - 16384) / 2.0f;
    }
    EXPECT_EQ(RunSinusoids(noise, 32000, before, after).count, 0);
    EXPECT_EQ(after, before);
    EXPECT_EQ(RunSinusoids(std::vector<float>(2 * 1152, 0.0f), 32000, before, after).count, 0);
    const SbrSinusoidState low = RunSinusoids(Sine(10000.0, 44100, 2 * 1152, 8000.0), 16000, before, after);
    EXPECT_FALSE(low.enabled);
    EXPECT_EQ(low.count, 0);
    EXPECT_EQ(SbrWriteSinusoids(nullptr, low), 1);
    SbrSinusoidState mid;
    SbrSinusoidCreate(mid, 16001);
    EXPECT_EQ(mid.budget, 230);
}

TEST(SbrDeltaCoding, ChoosesTheCheaperDirectionAndDecodesBack) {
    // Stand-in code lengths that grow with the magnitude.
    static int lengths[63];
    for (int d = -31; d <= 31; ++d) lengths[d + 31] = 1 + 2 * std::abs(d);
    SbrEnvCoder c;
    SbrEnvCoderInit(c, 4, 7);  // odd high count: offset 1
    c.levelFreq = c.levelTime = c.balanceFreq = c.balanceTime = SbrLengthTable{lengths, 31};
    const int resolution[3] = {1, 1, 0};
    int values[3][48] = {{10, 20, 5, 30, 12, 0, 7}, {10, 20, 5, 30, 12, 0, 7}, {10, 20, 12, 7}};
    int original[3][48];
    std::copy(&values[0][0], &values[0][0] + 3 * 48, &original[0][0]);
    int flags[3] = {};
    SbrDeltaCode(values, resolution, c, flags, false, 3, false, true);
    EXPECT_EQ(flags[0], 0) << "after a header the first envelope is frequency coded";
    EXPECT_EQ(flags[1], 1) << "an unchanged envelope is cheaper across time";
    // Decode as a reader would: frequency sums, or the previous envelope in high resolution.
    int previous[48] = {};
    for (int e = 0; e < 3; ++e) {
        const int n = resolution[e] ? 7 : 4;
        int decoded[48];
        for (int b = 0; b < n; ++b) {
            if (flags[e] == 0)
                decoded[b] = b == 0 ? values[e][0] : decoded[b - 1] + values[e][b];
            else
                decoded[b] = values[e][b] + previous[resolution[e] ? b : (b < 1 ? b : 2 * b - 1)];
        }
        for (int b = 0; b < n; ++b) EXPECT_EQ(decoded[b], original[e][b]) << "envelope " << e << " band " << b;
        for (int b = 0; b < n; ++b) {
            if (resolution[e] || b < 1) {
                previous[b] = decoded[b];
            } else {
                previous[2 * b - 1] = previous[2 * b] = decoded[b];
            }
        }
    }

    // Without the switch, and for a first frame, time deltas are never used.
    SbrEnvCoderInit(c, 4, 7);
    c.timeDeltasAllowed = false;
    int again[2][48] = {{1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}};
    SbrDeltaCode(again, resolution, c, flags, false, 2, false, false);
    EXPECT_EQ(flags[0], 0);
    EXPECT_EQ(flags[1], 0);
}

TEST(SbrHeaderControl, RepetitionFieldsAndCrossover) {
    SbrConfig config;
    ASSERT_TRUE(SbrConfigInit(config, 2, 2.0f, 576));
    ASSERT_TRUE(SbrConfigure(config, 32000, 1, 22050, 0));
    SbrHeaderState s = SbrHeaderStateFromConfig(config, 44100);
    EXPECT_EQ(s.period, 38);
    std::vector<int> sent;
    for (int frame = 0; frame < 80; ++frame)
        if (SbrNextHeader(s)) sent.push_back(frame);
    EXPECT_EQ(sent, (std::vector<int>{0, 38, 76}));

    config.headerPeriod = 0.0f;
    s = SbrHeaderStateFromConfig(config, 44100);
    int headers = 0;
    for (int frame = 0; frame < 50; ++frame) headers += SbrNextHeader(s);
    EXPECT_EQ(headers, 1) << "a period of 0 sends the header in the first frame only";

    SbrHeader h = SbrHeaderFromConfig(config);
    EXPECT_EQ(h.extension1, 0);
    EXPECT_EQ(h.extension2, 0);
    EXPECT_EQ(h.headerFlag, 0);
    EXPECT_EQ(h.dualRate, 1);
    config.frequencyScale = 3;
    config.smoothing = 1;
    config.perChannelMode = 1;
    h = SbrHeaderFromConfig(config);
    EXPECT_EQ(h.extension1, 1);
    EXPECT_EQ(h.extension2, 1);
    EXPECT_EQ(h.headerFlag, 1);

    bool ok = false;
    const SbrBandTables t = Tables(44100, 6, 9, 2, 1, ok);
    ASSERT_TRUE(ok);
    EXPECT_FLOAT_EQ(SbrGetStopFrequency(t.k2, 44100), 16192.0f);
    EXPECT_FLOAT_EQ(SbrSnapCrossover(t.crossoverHz, 44100, t.master, t.masterCount), 6201.5625f);
    const float third = static_cast<float>(t.master[3] * 44100 * 0.5 / 64);
    EXPECT_FLOAT_EQ(SbrSnapCrossover(third + 100.0f, 44100, t.master, t.masterCount), third);
    EXPECT_EQ(SbrCrossoverIndex(third, 44100, t.master, t.masterCount), 3);
    ASSERT_GT(t.master[4], t.master[3] + 1);
    const float between = static_cast<float>((t.master[3] + 1) * 44100 * 0.5 / 64);
    EXPECT_EQ(SbrCrossoverIndex(between, 44100, t.master, t.masterCount), t.masterCount + 1);
    EXPECT_STREQ(SbrGetVersion().version, "1.0");
}

TEST(SbrEnvelope, StereoChecksBeforeCounting) {
    SbrFrameInfo a, b;
    SbrQuantised la, lb;
    la.levels[0][0] = 3;
    lb.levels[0][1] = 2;
    EXPECT_EQ(SbrStereoPrecheck(a, b, 0.5f, 1, la, lb, 4, 8), SbrStereoChoice::kCompareBits);
    EXPECT_EQ(SbrStereoPrecheck(a, b, 14.0f, 1, la, lb, 4, 8), SbrStereoChoice::kLeftRightNoTimeDelta);
    EXPECT_EQ(SbrStereoPrecheck(a, b, 7.0f, 0, la, lb, 4, 8), SbrStereoChoice::kLeftRightNoTimeDelta);
    EXPECT_EQ(SbrStereoPrecheck(a, b, 6.0f, 0, la, lb, 4, 8), SbrStereoChoice::kCompareBits);
    SbrQuantised silent;
    EXPECT_EQ(SbrStereoPrecheck(a, b, 0.0f, 1, la, silent, 4, 8), SbrStereoChoice::kLeftRightNoTimeDelta)
        << "one silent channel";
    b.envelopes = 2;
    b.borders[1] = 5;
    b.borders[2] = 9;
    EXPECT_EQ(SbrStereoPrecheck(a, b, 0.0f, 1, la, lb, 4, 8), SbrStereoChoice::kLeftRight);
}

namespace {

// A stand-in prefix code: value v as zigzag(v) ones and a closing zero.
struct UnaryCode {
    uint32_t codes[25];
    int lengths[25];
    UnaryCode() {
        for (int v = -12; v <= 12; ++v) {
            const int z = v >= 0 ? 2 * v : -2 * v - 1;
            codes[v + 12] = ((1u << z) - 1u) << 1;
            lengths[v + 12] = z + 1;
        }
    }
    int Read(BitBuffer& in) const {
        int z = 0;
        while (in.Read(1) == 1) ++z;
        return z % 2 == 0 ? z / 2 : -(z + 1) / 2;
    }
};

const UnaryCode& Unary() {
    static const UnaryCode code;
    return code;
}

SbrHuffmanSet UnarySet() {
    const SbrHuffmanTable t{Unary().codes, Unary().lengths, 12};
    SbrHuffmanSet set;
    set.levelFreq = set.levelTime = set.balanceFreq = set.balanceTime = t;
    set.noiseLevelFreq = set.noiseLevelTime = set.noiseBalanceFreq = set.noiseBalanceTime = t;
    set.amplitudeResolution = 1;
    return set;
}

SbrChannelFrame MakeChannel(const SbrTransientInfo& decision, int seed) {
    SbrChannelFrame c;
    SbrGridGenerator g;
    SbrGridInit(g, 0, 1, 1);
    c.info = SbrMakeGrid(g, decision);
    c.grid = g.control;
    c.bandsLow = 4;
    c.bandsHigh = 7;
    c.noiseBands = 2;
    for (int e = 0; e < 5; ++e) {
        c.envelopeFlags[e] = (e + seed) % 2;
        for (int b = 0; b < 48; ++b) c.envelope[e][b] = c.envelopeFlags[e] || b > 0 ? (b + seed) % 7 - 3 : 20 + b;
    }
    for (int q = 0; q < 2; ++q) {
        c.noiseFlags[q] = q;
        for (int b = 0; b < 5; ++b) c.noise[q][b] = q == 0 && b == 0 ? 9 : (b + seed) % 5 - 2;
    }
    c.invfMode = seed % 4;
    return c;
}

// Reads one channel's envelope and noise data and compares them with what was written.
void ReadChannelData(BitBuffer& in, const SbrChannelFrame& c, int firstBits) {
    for (int e = 0; e < c.info.envelopes; ++e) {
        const int n = c.info.resolution[e] ? c.bandsHigh : c.bandsLow;
        for (int b = 0; b < n; ++b) {
            const int v = (c.envelopeFlags[e] == 0 && b == 0) ? static_cast<int>(in.Read(firstBits)) : Unary().Read(in);
            EXPECT_EQ(v, c.envelope[e][b]) << "envelope " << e << " band " << b;
        }
    }
}

void ReadNoiseData(BitBuffer& in, const SbrChannelFrame& c) {
    for (int q = 0; q < c.info.noiseEnvelopes; ++q)
        for (int b = 0; b < c.noiseBands; ++b) {
            const int v = (c.noiseFlags[q] == 0 && b == 0) ? static_cast<int>(in.Read(5)) : Unary().Read(in);
            EXPECT_EQ(v, c.noise[q][b]) << "noise " << q << " band " << b;
        }
}

void ReadFlags(BitBuffer& in, const SbrChannelFrame& c) {
    for (int e = 0; e < c.info.envelopes; ++e) EXPECT_EQ(static_cast<int>(in.Read(1)), c.envelopeFlags[e]);
    for (int q = 0; q < c.info.noiseEnvelopes; ++q) EXPECT_EQ(static_cast<int>(in.Read(1)), c.noiseFlags[q]);
}

}  // namespace

TEST(SbrElementWriter, SingleChannelElementsReadBack) {
    const SbrHuffmanSet set = UnarySet();
    for (int withHeader = 0; withHeader <= 1; ++withHeader) {
        SbrHeader h;
        h.headerFlag = withHeader;  // the 3-bit mode value only follows a set header flag
        h.midSideClass = 3;
        SbrHeaderState st;
        st.sendHeader = withHeader != 0;
        const SbrChannelFrame c = MakeChannel(SbrTransientInfo{1, 0}, withHeader);
        BitBuffer out(4096);
        const SbrElementBits bits = SbrWriteSingle(&out, h, st, c, set);
        EXPECT_EQ(bits.header, withHeader ? 21 : 0);
        EXPECT_EQ(bits.header + bits.payload, out.BitCount());
        EXPECT_EQ(bits.protectedBits, withHeader ? 88 : 56);
        const SbrElementBits counted = SbrWriteSingle(nullptr, h, st, c, set);
        EXPECT_EQ(counted.payload, bits.payload);

        if (withHeader) {
            out.Read(19);
            EXPECT_EQ(out.Read(2), 3u) << "mid/side class";
        }
        EXPECT_EQ(out.Read(1), 1u) << "dual rate";
        EXPECT_EQ(out.Read(1), 0u) << "mode 3";
        const ReadGrid grid = ParseGrid(out, 1);
        EXPECT_EQ(grid.envelopes, c.info.envelopes);
        ReadFlags(out, c);
        EXPECT_EQ(static_cast<int>(out.Read(2)), c.invfMode);
        EXPECT_EQ(out.Read(2), 2u);
        if (withHeader) {
            EXPECT_EQ(out.Read(3), 2u);
        }
        ReadChannelData(out, c, 6);
        ReadNoiseData(out, c);
        EXPECT_EQ(out.Read(1), 0u) << "no sinusoids";
        EXPECT_EQ(out.Read(1), 0u) << "no extended data";
        EXPECT_EQ(out.BitCount(), 0);
    }
}

TEST(SbrElementWriter, PairElementsReadBackCoupledAndIndependent) {
    const SbrHuffmanSet set = UnarySet();
    SbrHeader h;
    SbrHeaderState st;
    st.sendHeader = true;
    for (int coupled = 0; coupled <= 1; ++coupled) {
        const SbrChannelFrame l = MakeChannel(SbrTransientInfo{1, 0}, 1);
        const SbrChannelFrame r = MakeChannel(coupled ? SbrTransientInfo{1, 0} : SbrTransientInfo{0, 0}, 2);
        BitBuffer out(4096);
        const SbrElementBits bits = SbrWritePair(&out, h, st, l, r, coupled != 0, set);
        EXPECT_EQ(bits.header, 19);
        EXPECT_EQ(bits.protectedBits, 136);
        EXPECT_EQ(bits.header + bits.payload, out.BitCount());
        out.Read(19);
        EXPECT_EQ(out.Read(1), 1u);
        EXPECT_EQ(static_cast<int>(out.Read(1)), coupled);
        if (coupled) {
            ParseGrid(out, 1);
            ReadFlags(out, l);
            ReadFlags(out, r);
            EXPECT_EQ(static_cast<int>(out.Read(2)), l.invfMode);
            out.Read(2);
            ReadChannelData(out, l, 6);
            ReadNoiseData(out, l);
            ReadChannelData(out, r, 5);
            ReadNoiseData(out, r);
            EXPECT_EQ(out.Read(3), 0u);
        } else {
            EXPECT_EQ(ParseGrid(out, 1).envelopes, l.info.envelopes);
            EXPECT_EQ(ParseGrid(out, 1).envelopes, r.info.envelopes);
            ReadFlags(out, l);
            ReadFlags(out, r);
            EXPECT_EQ(static_cast<int>(out.Read(2)), l.invfMode);
            EXPECT_EQ(static_cast<int>(out.Read(2)), r.invfMode);
            out.Read(4);
            ReadChannelData(out, l, 6);
            ReadChannelData(out, r, 6);
            ReadNoiseData(out, l);
            ReadNoiseData(out, r);
            EXPECT_EQ(out.Read(4), 0u);
        }
        EXPECT_EQ(out.BitCount(), 0);
    }
}

namespace {

struct EncodedFrame {
    SbrElementBits bits;
    int frameClass[2] = {};
    bool coupled = false;
    int midSideClass = 0;
    bool header = false;
    int maxLevel = 0;
};

std::vector<EncodedFrame> EncodeSbr(int bitrate, int channels, int mode3, const std::vector<float>& left,
                                    const std::vector<float>& right) {
    SbrConfig config;
    EXPECT_TRUE(SbrConfigInit(config, 2, 2.0f, 576));
    EXPECT_TRUE(SbrConfigure(config, bitrate, channels, 22050, 0));
    config.mode3 = mode3;
    auto encoder = SbrEncoderCreate(config, UnarySet());
    EXPECT_NE(encoder, nullptr);
    std::vector<EncodedFrame> frames;
    if (!encoder) return frames;
    std::vector<float> block(2 * 1152);
    for (size_t pos = 0; pos + 1152 <= left.size(); pos += 1152) {
        std::copy(left.begin() + static_cast<long>(pos), left.begin() + static_cast<long>(pos + 1152), block.begin());
        std::copy(right.begin() + static_cast<long>(pos), right.begin() + static_cast<long>(pos + 1152),
                  block.begin() + 1152);
        BitBuffer out(8192);
        EncodedFrame f;
        EXPECT_TRUE(SbrEncodeFrame(*encoder, block.data(), out, f.bits));
        EXPECT_EQ(f.bits.header + f.bits.payload, out.BitCount());
        for (int c = 0; c < encoder->channels; ++c) {
            const SbrChannel& ch = encoder->channel[static_cast<size_t>(c)];
            f.frameClass[c] = ch.frame.grid.frameClass;
            for (int e = 0; e < ch.frame.info.envelopes; ++e)
                for (int b = 0; b < encoder->tables.highCount; ++b)
                    f.maxLevel = std::max(f.maxLevel, ch.levels.levels[e][b]);
        }
        f.coupled = encoder->coupled;
        f.midSideClass = encoder->header.midSideClass;
        f.header = encoder->state.sendHeader;
        frames.push_back(f);
    }
    return frames;
}

}  // namespace

TEST(SbrEncoder, FramesCarryHeadersLevelsTransientsAndClasses) {
    const int n = 40 * 1152;
    const std::vector<float> silence(n, 0.0f);
    const auto quiet = EncodeSbr(32000, 1, 0, silence, silence);
    ASSERT_EQ(quiet.size(), 40u);
    std::vector<int> headers;
    for (size_t i = 0; i < quiet.size(); ++i) {
        EXPECT_EQ(quiet[i].maxLevel, 0) << "silence gives zero levels";
        if (quiet[i].header) headers.push_back(static_cast<int>(i));
    }
    EXPECT_EQ(headers, (std::vector<int>{0, 38}));

    std::vector<float> click(12 * 1152, 0.0f);
    for (int i = 0; i < 8; ++i) click[static_cast<size_t>(6 * 1152 + 300 + i)] = i % 2 ? -30000.0f : 30000.0f;
    const auto clicked = EncodeSbr(32000, 1, 0, click, click);
    bool transientFrame = false;
    for (const auto& f : clicked) transientFrame = transientFrame || f.frameClass[0] == kFixVar;
    EXPECT_TRUE(transientFrame) << "a click gives a transient frame";

    // Mode 3: identical channels give a silent side and the mid class.
    std::vector<float> music(12 * 1152);
    unsigned seed = 21;
    for (float& v : music) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<float>(static_cast<int>((seed >> 16) & 0x7fff) - 16384) / 2.0f;
    }
    const std::vector<float> noSide(music.size(), 0.0f);
    const auto mid = EncodeSbr(32000, 1, 1, music, noSide);
    EXPECT_EQ(mid.back().midSideClass, 0);
    EXPECT_TRUE(mid[0].header);

    // Stereo at 64 kbit/s chooses per frame: identical channels couple, one silent channel does not.
    const auto same = EncodeSbr(64000, 2, 0, music, music);
    for (size_t i = 1; i < same.size(); ++i) EXPECT_TRUE(same[i].coupled) << i;
    const auto oneSided = EncodeSbr(64000, 2, 0, music, noSide);
    for (size_t i = 1; i < oneSided.size(); ++i) EXPECT_FALSE(oneSided[i].coupled) << i;
}

TEST(SbrEncoder, ACrossoverChangeMovesTheTablesAndForcesAHeader) {
    SbrConfig config;
    ASSERT_TRUE(SbrConfigInit(config, 2, 2.0f, 576));
    ASSERT_TRUE(SbrConfigure(config, 32000, 1, 22050, 0));
    config.crossoverAdaptation = config.adaptiveCrossover = 1;
    auto e = SbrEncoderCreate(config, UnarySet());
    ASSERT_NE(e, nullptr);
    EXPECT_FLOAT_EQ(e->appliedCrossover, 6201.5625f);
    std::vector<float> block(2 * 1152, 0.0f);
    BitBuffer out(8192);
    SbrElementBits bits;
    for (int i = 0; i < 3; ++i) {
        out.Clear();
        ASSERT_TRUE(SbrEncodeFrame(*e, block.data(), out, bits));
    }
    EXPECT_EQ(bits.header, 0);
    const int target = e->tables.master[2];
    e->requestedCrossover = static_cast<float>(target * 44100 * 0.5 / 64);
    out.Clear();
    ASSERT_TRUE(SbrEncodeFrame(*e, block.data(), out, bits));
    EXPECT_GT(bits.header, 0) << "the change is announced";
    EXPECT_EQ(e->header.crossoverBand, 2);
    EXPECT_EQ(e->tables.high[0], target);
    EXPECT_EQ(e->channel[0].tonality.patchMap[target - 1], target - 1);
    EXPECT_EQ(e->channel[0].frame.bandsHigh, e->tables.highCount);
    out.Clear();
    ASSERT_TRUE(SbrEncodeFrame(*e, block.data(), out, bits));
    EXPECT_EQ(bits.header, 0);
}
