#include "audio/dsp/DspFX.h"

#include <gtest/gtest.h>

#include <cmath>

#include "TestSignals.h"

namespace kelvar {
namespace {

using namespace dspfx;

// Runs a whole signal through a stream in 4410-frame blocks and drains it.
std::vector<int16_t> RunFX(const std::vector<int16_t>& in, float rate, float tempo, float semitones) {
    int32_t h = 0;
    FX_Open(&h);
    EXPECT_NE(h, 0);
    FX_setChannels(h, 2);
    FX_setSampleRate(h, 44100);
    FX_setRateChange(h, rate);
    FX_setTempoChange(h, tempo);
    FX_setPitchSemiTonesF(h, semitones);
    std::vector<int16_t> out, block(2 * 8192);
    for (size_t pos = 0; pos < in.size() / 2; pos += 4410) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(4410, in.size() / 2 - pos));
        FX_putSamples(h, in.data() + 2 * pos, n);
        while (FX_numSamples(h) > 0) {
            const int32_t got = FX_receiveSamples(h, block.data(), 8192);
            out.insert(out.end(), block.begin(), block.begin() + 2 * got);
        }
    }
    FX_flush(h);
    int32_t got;
    while ((got = FX_receiveSamples(h, block.data(), 8192)) > 0)
        out.insert(out.end(), block.begin(), block.begin() + 2 * got);
    FX_Close(&h);
    EXPECT_EQ(h, 0);
    return out;
}

TEST(DspFX, TempoRateAndPitchChangeLengthAndPitchAsSet) {
    const auto in = test::Sine(440, 0.5, 44100 * 4);
    struct Case {
        float Rate, Tempo, Semitones;
        double LengthRatio, PitchRatio;
    } cases[] = {
        {0, 25, 0, 1 / 1.25, 1.0}, {0, -20, 0, 1 / 0.8, 1.0},
        {0, 0, 12, 1.0, 2.0},      {0, 0, -5, 1.0, std::pow(2.0, -5 / 12.0)},
        {50, 0, 0, 1 / 1.5, 1.5},
    };
    for (const auto& c : cases) {
        const auto out = RunFX(in, c.Rate, c.Tempo, c.Semitones);
        const double ratio = static_cast<double>(out.size()) / in.size();
        EXPECT_NEAR(ratio, c.LengthRatio, 0.03 * c.LengthRatio) << c.Rate << "/" << c.Tempo << "/" << c.Semitones;
        EXPECT_NEAR(test::ZeroCrossingFrequency(out, 2, 44100, 8820) / 440.0, c.PitchRatio, 0.02 * c.PitchRatio)
            << c.Rate << "/" << c.Tempo << "/" << c.Semitones;
    }
}

TEST(DspFX, ClearDropsBufferedAudioAndBadCallsAreHarmless) {
    int32_t h = 0;
    FX_Open(&h);
    std::vector<int16_t> block(2 * 1000, 100);
    FX_putSamples(h, block.data(), 1000);  // no format yet: ignored, no exception
    EXPECT_EQ(FX_numSamples(h), 0);
    FX_setChannels(h, 2);
    FX_setSampleRate(h, 44100);
    FX_setTempoChange(h, std::nanf(""));
    for (int i = 0; i < 20; ++i) FX_putSamples(h, block.data(), 1000);
    EXPECT_GT(FX_numSamples(h), 0);
    FX_clear(h);
    EXPECT_EQ(FX_numSamples(h), 0);
    EXPECT_NE(FX_isEmpty(h), 0);
    FX_Close(&h);
    // A closed or unknown handle is ignored.
    FX_putSamples(h, block.data(), 1000);
    EXPECT_EQ(FX_receiveSamples(12345, block.data(), 1000), 0);
    FX_Close(nullptr);
}

TEST(DspFX, BeatsOfAClickTrackWithinOneBpm) {
    for (double bpm : {96.0, 128.0}) {
        const auto clicks = test::ClickTrack(bpm, 30);
        int32_t h = 0;
        BPM_Open(&h, 44100, 2);
        ASSERT_NE(h, 0);
        std::vector<int16_t> copy(clicks);
        for (size_t pos = 0; pos < copy.size(); pos += 8820)
            BPM_Process(h, copy.data() + pos, static_cast<int32_t>(std::min<size_t>(8820, copy.size() - pos) * 2));
        EXPECT_NEAR(BPM_Close(&h), bpm, 1.0);
        EXPECT_EQ(h, 0);
    }
}

TEST(DspFX, BeatDetectionWithoutAudioAnswersZero) {
    int32_t h = 0;
    BPM_Open(&h, 44100, 2);
    EXPECT_EQ(BPM_Close(&h), 0.0);
    int32_t bad = 0;
    BPM_Open(&bad, 0, 2);  // no rate: no detector
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(BPM_Close(&bad), 0.0);
}

}  // namespace
}  // namespace kelvar
