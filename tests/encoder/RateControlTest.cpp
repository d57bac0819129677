// The granule targets of constant bit rate: the bit-demand curve over the reservoir's fill and the
// entropy, the correction from what granules used, and the floor that keeps bands from holes.
#include "encoder/Mp3Tables.h"
#include "encoder/RateControl.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace brannoc;

namespace {
TEST(RateControlTarget, DemandFollowsTheReservoirAndTheEntropy) {
    // Room 4000 bits, 1500 per granule. An empty reservoir and a quiet granule ask for 0.7 of the
    // mean, a full one and a busy granule for 1.5 times it; the mixed cases lie between.
    const double room = 4000, mean = 1500;
    struct Row {
        double fill, pe, factor;
    };
    for (const Row& r : {Row{400, 0, 0.7}, Row{400, 1e5, 0.97}, Row{3800, 0, 1.05}, Row{3800, 1e5, 1.5}}) {
        RateControl rc;
        rc.Configure(44100, 16000.0f, 64000, false, 0);
        EXPECT_NEAR(rc.DesiredCbr(r.fill, room, mean, r.pe, false), r.factor * mean * 1.18, 1e-6)
            << r.fill << " " << r.pe;
    }
}

TEST(RateControlTarget, GranulesThatUsedLessRaiseTheNextTarget) {
    RateControl rc;
    rc.Configure(44100, 16000.0f, 64000, false, 0);
    const double first = rc.DesiredCbr(2000, 4000, 1500, 1e5, false);
    EXPECT_DOUBLE_EQ(rc.CorrectionFactor(), 1.0);
    rc.LearnUsed(static_cast<int>(first / 1.18 / 1.1));  // 10 % under what was asked
    rc.DesiredCbr(2000, 4000, 1500, 1e5, false);
    EXPECT_NEAR(rc.CorrectionFactor(), 0.8 + 0.2 * 1.1, 0.002);
}

TEST(RateControlTarget, ATinyTargetHoldsTheLowestBandsAtTheirMinimumSignalToNoise) {
    RateControl rc;
    rc.Configure(44100, 16000.0f, 64000, false, 0);
    BandLayout layout;
    layout.count = 22;
    const int* edges = LongBandEdges(44100);
    for (int b = 0; b <= 22; ++b) layout.edges[b] = edges[b];
    layout.lowpassBand = 20;
    ChannelAnalysis a{};
    for (int i = 0; i < 576; ++i) a.lines[i] = static_cast<float>(3000.0 * std::sin(i * 0.37) / (1 + i / 40.0));
    for (int b = 0; b < 22; ++b) {
        double e = 0;
        for (int i = edges[b]; i < edges[b + 1]; ++i) e += double(a.lines[i]) * a.lines[i];
        a.energy[b] = e;
        a.threshold[b] = std::max(1.0, e * 1e-3);
    }
    BandEstimates est;
    rc.Estimate(a, layout, 20, est);
    rc.Adapt(a, layout, 20, est.totalPe * 0.02, est);
    // Bands 0..4 keep their guard whatever the target; their floors are 0.004 to 0.02 of the
    // energy (at least 0.01 at 64000 bit/s per channel).
    const double floor[5] = {0.01, 0.01, 0.01, 0.011, 0.02};
    for (int b = 0; b < 5; ++b) EXPECT_LE(a.threshold[b], a.energy[b] * floor[b] * 1.0001) << b;
    EXPECT_GT(a.threshold[10], a.energy[10] * 0.02) << "an unguarded band rises far above its start (0.001)";
}
}  // namespace
