// The VU meter frame: its colour zones, the bar positions for levels and the scale labels that
// give way when the bars are short.
#include <gtest/gtest.h>

#include <QLabel>

#include "common/GuiTestKit.h"
#include "controls/KcLevelBar.h"
#include "gui/decks/funVUMeterBase.h"

namespace kelvar {
namespace {

TEST(VUMeterFrame, ZonesAndLevels) {
    guitest::EnsureApplication();
    TfrmVUMeterBase vu;
    vu.Init();
    EXPECT_EQ(vu.ePeakL->Percent1(), 50);
    EXPECT_EQ(vu.ePeakL->Percent2(), 29);
    EXPECT_EQ(vu.ePeakR->Percent1(), 50);
    EXPECT_EQ(vu.ePeakR->Percent2(), 29);

    struct {
        double Scale, Right, Left;
        int L, R;
    } cases[] = {
        {1, 0, 0, 100, 100},  {1, -6, -20, 10, 50},  // the argument order is Right before Left
        {1, 6, 20, 10, 50},                          // levels below full scale may come as positive numbers
        {0.5, -6, 0, 50, 25}, {1, -240, -120, 0, 0},
    };
    for (const auto& c : cases) {
        vu.SetLevels(c.Scale, c.Right, c.Left);
        EXPECT_EQ(vu.ePeakL->Position(), c.L) << c.Left;
        EXPECT_EQ(vu.ePeakR->Position(), c.R) << c.Right;
    }
}

TEST(VUMeterFrame, ScaleLabelsFollowTheBarAndGiveWayWhenCrowded) {
    guitest::EnsureApplication();
    TfrmVUMeterBase vu;
    vu.resize(48, 178);
    vu.show();
    vu.Init();
    // Texts read "-" and the mark's size, the 0 mark too.
    EXPECT_EQ(vu.ScaleLabels[0]->text(), "-30");
    EXPECT_EQ(vu.ScaleLabels[9]->text(), "-0");
    EXPECT_EQ(vu.lbL->y() + vu.lbL->height(), vu.height() - 4);
    EXPECT_EQ(vu.ePeakL->y() + vu.ePeakL->height(), vu.lbL->y() - 4);
    // The -0 label's middle sits at the bar's top.
    const QLabel* zero = vu.ScaleLabels[9];
    EXPECT_NEAR(zero->y() + zero->height() / 2, vu.ePeakL->y() + 1, 1);
    // Marks go up the bar in order.
    for (int i = 1; i < 10; ++i) EXPECT_LT(vu.ScaleLabels[i]->y(), vu.ScaleLabels[i - 1]->y());

    // A short bar: labels that would overlap the one below them are hidden, and one hidden
    // label lets the next show again.
    vu.resize(48, 60);
    int hidden = 0;
    for (int i = 1; i < 10; ++i) {
        const QLabel* prev = vu.ScaleLabels[i - 1];
        const QLabel* label = vu.ScaleLabels[i];
        const bool overlaps = !prev->isHidden() && prev->y() < label->y() + label->height();
        EXPECT_EQ(label->isHidden(), overlaps) << i;
        hidden += label->isHidden();
    }
    EXPECT_GT(hidden, 0);
    EXPECT_FALSE(vu.ScaleLabels[0]->isHidden());
}

}  // namespace
}  // namespace kelvar
