// The psychoacoustic model measured on spectra built band by band: the masking offset, the spreading
// between bands on the Bark scale, the threshold of hearing and the limit on rising thresholds.
#include "encoder/Mp3Tables.h"
#include "encoder/PsychoModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <utility>

using namespace brannoc;

namespace {
constexpr int kRate = 44100;

double Bark(double f) {
    const double a = std::atan(f / 7500.0);
    return 13.0 * std::atan(0.00076 * f) + 3.5 * a * a;
}

// Centre of a long band on the Bark scale.
double Centre(int band) {
    const int* e = LongBandEdges(kRate);
    return (Bark(kRate / 2.0 * e[band] / 576) + Bark(kRate / 2.0 * e[band + 1] / 576)) / 2;
}

// A long or short block whose listed bands hold the given energy, spread evenly over their lines
// (short blocks: in every window); everything else silent.
ChannelAnalysis Block(int blockType, std::initializer_list<std::pair<int, double>> bands) {
    ChannelAnalysis a{};
    a.blockType = blockType;
    for (float& x : a.lines) x = 0;
    for (const auto& [band, energy] : bands) {
        if (blockType != 2) {
            const int* e = LongBandEdges(kRate);
            const int width = e[band + 1] - e[band];
            for (int i = e[band]; i < e[band + 1]; ++i) a.lines[i] = static_cast<float>(std::sqrt(energy / width));
        } else {
            const int* e = ShortBandEdges(kRate);
            const int width = e[band + 1] - e[band];
            for (int i = 3 * e[band]; i < 3 * e[band + 1]; ++i)
                a.lines[i] = static_cast<float>(std::sqrt(energy / width));
        }
    }
    return a;
}

double Db(double ratio) { return 10 * std::log10(ratio); }

class PsychoModelTest : public testing::Test {
protected:
    void SetUp() override { model.Configure(kRate, 16000.0f); }
    ChannelAnalysis Analysed(ChannelAnalysis a, int channel = 0) {
        model.Analyse(channel, a);
        return a;
    }
    PsychoModel model;
};

TEST_F(PsychoModelTest, AToneMasksNoiseInTheNextBandsAsTheSpreadingSays) {
    // A tone band 29 dB under its energy (7 dB more, as a lone peak) spreads 15 dB per Bark upward
    // and 30 dB per Bark downward.
    const int tone = 10;
    const double e = 1e5;  // below the threshold cap
    const ChannelAnalysis a = Analysed(Block(0, {{tone, e}}));
    const double own = e * std::pow(10.0, -2.9);
    EXPECT_NEAR(Db(a.threshold[tone] / (0.2 * own)), 0.0, 0.1);
    EXPECT_NEAR(Db(a.threshold[tone + 1] / own), -15 * (Centre(tone + 1) - Centre(tone)), 0.3);
    EXPECT_NEAR(Db(a.threshold[tone + 2] / own), -15 * (Centre(tone + 2) - Centre(tone)), 0.3);
    EXPECT_NEAR(Db(a.threshold[tone - 1] / own), -30 * (Centre(tone) - Centre(tone - 1)), 0.3);

    // Narrow-band noise 3 dB under the spread threshold is masked next to the tone and not five
    // bands away.
    const double near = 0.5 * own * std::pow(10.0, -1.5 * (Centre(tone + 1) - Centre(tone)));
    for (const auto& [band, masked] : {std::pair{tone + 1, true}, std::pair{tone + 5, false}}) {
        PsychoModel fresh;
        fresh.Configure(kRate, 16000.0f);
        ChannelAnalysis b = Block(0, {{tone, e}, {band, near}});
        fresh.Analyse(0, b);
        EXPECT_EQ(b.energy[band] <= b.threshold[band], masked) << "band " << band;
    }
}

TEST_F(PsychoModelTest, SilenceGetsTheThresholdOfHearingScaledByTheBandWidth) {
    const ChannelAnalysis a = Analysed(Block(0, {}));
    const int* e = LongBandEdges(kRate);
    // Bands 6..14 lie where the threshold of hearing is flat (0 dB).
    for (int b = 6; b <= 14; ++b) EXPECT_NEAR(a.threshold[b] / (e[b + 1] - e[b]), 1e-7 * 16887.8, 1e-7) << "band " << b;
    EXPECT_NEAR(Db(a.threshold[0] / (e[1] - e[0]) / (1e-7 * 16887.8)), 10.0, 0.01) << "the lowest band hears less";
    EXPECT_GE(a.threshold[21], 1e19) << "above the lowpass nothing is coded";
}

TEST_F(PsychoModelTest, AThresholdRisesAtMostThreefoldAfterAQuietBlockUnlessAStopBlockResets) {
    const ChannelAnalysis quiet = Analysed(Block(0, {{10, 1e-3}}));
    const ChannelAnalysis loud = Analysed(Block(0, {{10, 1e5}}));
    EXPECT_NEAR(loud.threshold[10] / quiet.threshold[10], 3.0, 1e-6);

    PsychoModel fresh;
    fresh.Configure(kRate, 16000.0f);
    ChannelAnalysis unlimited = Block(0, {{10, 1e5}});
    fresh.Analyse(0, unlimited);
    (void)Analysed(Block(0, {{10, 1e-3}}));
    const ChannelAnalysis stop = Analysed(Block(3, {{10, 1e5}}));
    EXPECT_DOUBLE_EQ(stop.threshold[10], unlimited.threshold[10]);
    // The other channel keeps its own memory.
    const ChannelAnalysis other = Analysed(Block(0, {{10, 1e5}}), 1);
    EXPECT_DOUBLE_EQ(other.threshold[10], unlimited.threshold[10]);
}

TEST_F(PsychoModelTest, TheFirstShortWindowAfterAStartBlockIsUnlimited) {
    // A quiet short run, long blocks, then a start block and a loud transient: the transient's first
    // window is not limited by the thresholds the old short run left.
    (void)Analysed(Block(2, {{5, 1e-3}}));
    (void)Analysed(Block(3, {}));
    (void)Analysed(Block(0, {{5, 1e4}}));
    (void)Analysed(Block(1, {{5, 1e4}}));
    const ChannelAnalysis transient = Analysed(Block(2, {{5, 1e4}}));

    PsychoModel fresh;
    fresh.Configure(kRate, 16000.0f);
    ChannelAnalysis unlimited = Block(2, {{5, 1e4}});
    fresh.Analyse(0, unlimited);
    for (int w = 0; w < 3; ++w) EXPECT_DOUBLE_EQ(transient.threshold[5 * 3 + w], unlimited.threshold[5 * 3 + w]) << w;
    // Within the run each window is limited by the one before.
    const ChannelAnalysis quietRun = Analysed(Block(2, {{5, 1e-3}}));
    const ChannelAnalysis loudRun = Analysed(Block(2, {{5, 1e4}}));
    EXPECT_NEAR(loudRun.threshold[5 * 3] / quietRun.threshold[5 * 3 + 2], 3.0, 1e-6);
}
}  // namespace
