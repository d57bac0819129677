#include "audio/dsp/ProcAGC.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "TestSignals.h"

namespace kelvar {
namespace {

struct Block {
    TAGCParams* P = nullptr;
    Block() { API_AGC_Init(&P); }
    ~Block() { API_AGC_Quit(&P); }
    // The switches the processor node turns on at creation.
    void NodeDefaults() {
        P->HostFlag = 1;
        P->GatedAGC = P->StereoExpander = P->BassEQ = P->DualBand = P->Clipper = 1;
        P->PreEmphasis = P->MultiBand = 0;
        P->OutputLevel = 100.0f;
        API_AGC_Apply(P, AGCApply::All);
    }
    void Run(std::vector<int16_t>& audio, int block = 1024) {
        for (size_t pos = 0; pos < audio.size() / 2; pos += block) {
            const int32_t n = static_cast<int32_t>(std::min<size_t>(block, audio.size() / 2 - pos));
            ASSERT_EQ(API_AGC_Process(P, audio.data() + 2 * pos, n, 16, 2, 44100), n);
        }
    }
};

TEST(ProcAGC, InitQuitAndBlockLayout) {
    TAGCParams* p = nullptr;
    API_AGC_Init(&p);
    ASSERT_NE(p, nullptr);
    EXPECT_FLOAT_EQ(p->OutputLevel, 100.0f);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(&p->MultiBandProc[4][2]) - reinterpret_cast<uint8_t*>(p),
              84 + 264 * 4 + 88 * 2);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(&p->DualBandProc[1][1]) - reinterpret_cast<uint8_t*>(p), 1428 + 264 + 88);
    API_AGC_Quit(&p);
    EXPECT_EQ(p, nullptr);
    API_AGC_Quit(&p);  // twice is harmless
    API_AGC_Apply(nullptr, -1);
    API_AGC_Flush(nullptr);
    int16_t s[4] = {};
    EXPECT_EQ(API_AGC_Process(nullptr, s, 2, 16, 2, 44100), 2);
}

TEST(ProcAGC, EveryStageOffPassesTheAudioDelayedByTheLookAhead) {
    Block b;
    b.P->GatedAGC = b.P->StereoExpander = b.P->BassEQ = b.P->DualBand = b.P->Clipper = 0;
    auto in = test::Programme(0, -14, 1.0);
    auto out = in;
    b.Run(out, 333);
    const size_t delay = 88;  // 2 ms at 44100 Hz
    for (size_t i = 2 * delay; i < in.size(); ++i) ASSERT_EQ(out[i], in[i - 2 * delay]) << i;
}

// With their processors off, the band splitters sum back to the input's level at every
// frequency (the crossovers are phase matched).
TEST(ProcAGC, BandSplittersSumFlat) {
    for (bool five : {true, false}) {
        Block b;
        b.P->GatedAGC = b.P->StereoExpander = b.P->BassEQ = b.P->Clipper = 0;
        b.P->MultiBand = five;
        b.P->DualBand = !five;
        b.P->MultiBandDrive = b.P->DualBandDrive = 0;
        for (auto& band : b.P->MultiBandProc)
            for (auto& proc : band) proc.Enabled = 0;
        for (auto& band : b.P->DualBandProc)
            for (auto& proc : band) proc.Enabled = 0;
        API_AGC_Apply(b.P, AGCApply::All);
        for (double freq : {40.0, 100.0, 180.0, 420.0, 1600.0, 5000.0, 6500.0, 15000.0}) {
            auto tone = test::Sine(freq, 0.5, 44100);
            const double in = test::RmsDb(tone, 2, 0, 22050, 22050);
            b.Run(tone);
            EXPECT_NEAR(test::RmsDb(tone, 2, 0, 22050, 22050), in, 0.05)
                << freq << (five ? " five-band" : " dual-band");
        }
    }
}

// The meter the loudness tests rely on reads the reference tone right: a 1 kHz sine at
// -23 dBFS in both channels is -23 LUFS.
TEST(ProcAGC, LoudnessMeterReadsTheReferenceTone) {
    const auto tone = test::Sine(997, std::pow(10.0, -23 / 20.0), 44100 * 5);
    EXPECT_NEAR(test::IntegratedLoudness(tone.data(), tone.size() / 2, 2, 44100), -23.0, 0.01);
}

// Programme at levels spread over 18 dB comes out within a narrow loudness range and never
// beyond the clipper's ceiling. Loudness is read by libebur128, independent of our own meter,
// which must agree with it.
TEST(ProcAGC, NodeDefaultsBringProgrammeToOneLoudness) {
    std::vector<double> inputs, results;
    for (int flavour : {0, 1, 2}) {
        for (double lufs : {-26.0, -20.0, -14.0, -8.0}) {
            Block b;
            b.NodeDefaults();
            auto audio = test::Programme(flavour, lufs, 40.0);
            const std::string name = "flavour" + std::to_string(flavour) + "_" + std::to_string(static_cast<int>(lufs));
            const double in = test::EburIntegratedLoudness(audio.data(), audio.size() / 2, 2, 44100);
            EXPECT_NEAR(in, lufs, 0.5) << name;  // the material really is spread out
            EXPECT_NEAR(test::IntegratedLoudness(audio.data(), audio.size() / 2, 2, 44100), in, 0.01) << name;
            b.Run(audio);
            const size_t from = 25 * 44100;
            const double out = test::EburIntegratedLoudness(audio.data() + 2 * from, audio.size() / 2 - from, 2, 44100);
            EXPECT_NEAR(test::IntegratedLoudness(audio.data() + 2 * from, audio.size() / 2 - from, 2, 44100), out, 0.01)
                << name;
            const double ceiling = std::min(32767.0, std::ceil(32768.0 * std::pow(10.0, b.P->ClipperLevel / 20.0)));
            int peak = 0;
            for (int16_t v : audio) peak = std::max(peak, std::abs(static_cast<int>(v)));
            EXPECT_LE(peak, 32767) << name;
            EXPECT_LE(peak, ceiling) << name;
            inputs.push_back(in);
            results.push_back(out);
            RecordProperty(name + "_in", std::to_string(in));
            RecordProperty(name + "_out", std::to_string(out));
        }
    }
    const auto [inLo, inHi] = std::minmax_element(inputs.begin(), inputs.end());
    EXPECT_GE(*inHi - *inLo, 17.0) << "input from " << *inLo << " to " << *inHi << " LUFS";
    const auto [lo, hi] = std::minmax_element(results.begin(), results.end());
    EXPECT_LE(*hi - *lo, 3.0) << "from " << *lo << " to " << *hi << " LUFS";
    RecordProperty("output_spread", std::to_string(*hi - *lo));
}

TEST(ProcAGC, ClipperCeilingHoldsForHotInput) {
    for (float level : {-6.0f, -3.0f, 0.0f}) {
        Block b;
        b.NodeDefaults();
        b.P->ClipperLevel = level;
        b.P->PreEmphasis = 1;  // the hardest case: emphasised highs
        b.P->BassEQGain = 20;
        API_AGC_Apply(b.P, AGCApply::All);
        auto audio = test::Programme(2, -6, 6.0);
        b.Run(audio, 517);
        const double ceiling = 32768.0 * std::pow(10.0, level / 20.0);
        int peak = 0;
        for (int16_t v : audio) peak = std::max(peak, std::abs(static_cast<int>(v)));
        EXPECT_LE(peak, std::ceil(ceiling)) << level;
        EXPECT_GT(peak, 0.8 * ceiling) << level;
    }
}

// Any value a preset can put into the block: the processor neither crashes nor lets
// non-finite values through (16-bit output of a NaN would be garbage, not silence).
TEST(ProcAGC, ToleratesAnyParameterValue) {
    const float floats[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            0.0f,
                            -1e30f,
                            1e30f,
                            1.0f,
                            1e-30f};
    const int32_t ints[] = {0, -1, 1, 2, INT32_MIN, INT32_MAX, 100000};
    std::mt19937 gen(99);
    auto pickF = [&] { return floats[gen() % std::size(floats)]; };
    auto pickI = [&] { return ints[gen() % std::size(ints)]; };
    for (int round = 0; round < 40; ++round) {
        Block b;
        auto* raw = reinterpret_cast<int32_t*>(b.P);
        // every public field, as integer or float, keeping the processor's own bytes
        for (int off = 4; off < 1972; off += 4) {
            if (off == 68) continue;
            const int rel = off >= 1428 ? (off - 1428) % 88 : (off - 84) % 88;
            if (((off >= 84 && off < 1404) || (off >= 1428 && off < 1956)) && rel >= 32) continue;
            if (gen() % 2)
                raw[off / 4] = pickI();
            else {
                const float f = pickF();
                std::memcpy(&raw[off / 4], &f, 4);
            }
        }
        // switches on, so every stage runs with its garbage
        b.P->GatedAGC = b.P->StereoExpander = b.P->BassEQ = b.P->PreEmphasis = b.P->MultiBand = b.P->DualBand =
            b.P->Clipper = 1;
        for (auto& band : b.P->MultiBandProc)
            for (auto& proc : band) proc.Enabled = 1;
        API_AGC_Apply(b.P, AGCApply::All);
        auto audio = test::Programme(round % 3, -10, 0.5);
        b.Run(audio, 100 + round);
        // the processor is still alive and answers for new audio
        auto sine = test::Sine(1000, 0.5, 4410);
        b.Run(sine);
    }
}

TEST(ProcAGC, HostileFormatsPassUnchanged) {
    Block b;
    std::vector<int16_t> audio(64, 1234);
    EXPECT_EQ(API_AGC_Process(b.P, audio.data(), 8, 12, 2, 44100), 8);   // odd sample size
    EXPECT_EQ(API_AGC_Process(b.P, audio.data(), 2, 16, 32, 44100), 2);  // too many channels
    EXPECT_EQ(API_AGC_Process(b.P, audio.data(), 8, 16, 2, 0), 8);       // no rate
    EXPECT_EQ(API_AGC_Process(b.P, audio.data(), 0, 16, 2, 44100), 0);
    for (int16_t v : audio) EXPECT_EQ(v, 1234);
    // 8-bit, 24-bit and 32-bit PCM and other rates run.
    std::vector<uint8_t> any(4 * 2 * 1000, 0);
    EXPECT_EQ(API_AGC_Process(b.P, any.data(), 1000, 8, 2, 8000), 1000);
    EXPECT_EQ(API_AGC_Process(b.P, any.data(), 1000, 24, 2, 96000), 1000);
    EXPECT_EQ(API_AGC_Process(b.P, any.data(), 1000, 32, 2, 192000), 1000);
    EXPECT_EQ(API_AGC_Process(b.P, any.data(), 1000, 16, 1, 22050), 1000);
}

TEST(ProcAGC, GateFreezesTheGainInQuietPassages) {
    Block b;
    b.NodeDefaults();
    b.P->GateLevel = -30;
    API_AGC_Apply(b.P, AGCApply::GatedAGC);
    // Music at -20 LUFS, then a long quiet passage below the gate, then the same music again:
    // its level after the pause is what it was before (not pulled up by the pause).
    auto music = test::Programme(0, -20, 20.0);
    auto quiet = test::Programme(0, -50, 15.0);
    std::vector<int16_t> all(music);
    all.insert(all.end(), quiet.begin(), quiet.end());
    all.insert(all.end(), music.begin(), music.begin() + 2 * 5 * 44100);
    b.Run(all);
    const size_t before = 15 * 44100, after = 35 * 44100, quietPart = 25 * 44100;
    const double lBefore = test::IntegratedLoudness(all.data() + 2 * before, 3 * 44100, 2, 44100);
    const double lAfter = test::IntegratedLoudness(all.data() + 2 * after, 3 * 44100, 2, 44100);
    const double lQuiet = test::IntegratedLoudness(all.data() + 2 * quietPart, 5 * 44100, 2, 44100);
    EXPECT_NEAR(lAfter, lBefore, 1.5);
    EXPECT_LT(lQuiet, -40.0);  // not lifted by the maximum gain
}

}  // namespace
}  // namespace kelvar
