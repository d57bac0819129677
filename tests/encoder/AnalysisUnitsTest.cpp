// Block-type decisions, the VBR mapping and the psychoacoustic bands.
#include "encoder/Mp3Tables.h"
#include "encoder/PsychoModel.h"
#include "encoder/RateControl.h"
#include "encoder/TransientDetector.h"

#include <gtest/gtest.h>

#include <vector>

using namespace brannoc;

TEST(TransientDetector, SilenceStaysLongAndAClickRunsStartShortStop) {
    TransientDetector d;
    std::vector<float> silence(576, 0.0f);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(d.Analyse(silence.data(), 1), 0);
    std::vector<float> click(576, 0.0f);
    for (int i = 500; i < 510; ++i) click[static_cast<size_t>(i)] = 30000.0f;
    std::vector<int> types = {d.Analyse(click.data(), 1)};
    for (int i = 0; i < 5; ++i) types.push_back(d.Analyse(silence.data(), 1));
    EXPECT_EQ(types[0], 1) << "the coded granule becomes a start block";
    EXPECT_EQ(types[1], 2);
    // A short run ends with a stop block before long blocks return.
    size_t k = 1;
    while (k < types.size() && types[k] == 2) ++k;
    ASSERT_LT(k + 1, types.size());
    EXPECT_EQ(types[k], 3);
    EXPECT_EQ(types[k + 1], 0);
}

TEST(TransientDetector, TwoChannelsShareTheShorterBlocks) {
    EXPECT_EQ(TransientDetector::Combine(0, 1), 1);
    EXPECT_EQ(TransientDetector::Combine(1, 0), 1);
    EXPECT_EQ(TransientDetector::Combine(0, 2), 2);
    EXPECT_EQ(TransientDetector::Combine(3, 1), 2);
    EXPECT_EQ(TransientDetector::Combine(3, 3), 3);
    EXPECT_EQ(TransientDetector::Combine(0, 0), 0);
}

TEST(RateControl, VbrQualityMapsToValueAndBitrate) {
    RateControl mpeg1, mpeg2;
    mpeg1.Configure(44100, 16000.0f, 0, true, 70);
    mpeg2.Configure(22050, 8000.0f, 0, true, 70);
    EXPECT_DOUBLE_EQ(mpeg1.VbrValue(), 1650.0);
    EXPECT_EQ(mpeg1.BitratePerChannel(), 72000);
    EXPECT_EQ(mpeg2.BitratePerChannel(), 36000);
}

TEST(PsychoModel, BandsAndLowpassOfTheCoreRate) {
    PsychoModel p;
    p.Configure(44100, 16000.0f);
    const int widths[22] = {4, 4, 4, 4, 4, 4, 6, 6, 8, 8, 10, 12, 16, 20, 24, 28, 34, 42, 50, 54, 76, 158};
    for (int b = 0; b < 22; ++b) EXPECT_EQ(p.Long().edges[b + 1] - p.Long().edges[b], widths[b]) << b;
    EXPECT_EQ(p.Long().lowpassLine, static_cast<int>(16000.0 * 2 / 44100 * 576));
    // A band of silence gets its threshold of hearing; bands above the lowpass are not coded.
    ChannelAnalysis a;
    a.blockType = 0;
    for (float& x : a.lines) x = 0;
    p.Analyse(0, a);
    EXPECT_GT(a.threshold[5], 0.0);
    EXPECT_LT(a.threshold[5], 1e3);
    EXPECT_GE(a.threshold[21], 1e19);
}
