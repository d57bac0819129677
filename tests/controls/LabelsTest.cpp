#include "QtApp.h"
#include "controls/KcLabel.h"
#include "controls/ScrollLabel.h"
#include "foundation/Clock.h"

#include <gtest/gtest.h>

namespace kelvar {
namespace {

using test::Render;

class StepClock : public IClock {
public:
    int64_t MsSinceStart() const override { return Ms; }
    std::chrono::system_clock::time_point Now() const override { return {}; }
    int64_t Ms = 0;
};

class ScrollLabelTest : public ::testing::Test {
protected:
    void SetUp() override { SetClock(&Clock); }
    void TearDown() override { SetClock(nullptr); }
    void Advance(int Ms) {
        Clock.Ms += Ms;
        Label->Tick();
    }
    StepClock Clock;
    std::unique_ptr<TScrollLabel> Label = std::make_unique<TScrollLabel>();
};

TEST_F(ScrollLabelTest, NarrowCaptionNeverMoves) {
    Label->SetCaption("Hi");
    Label->show();
    for (int I = 0; I < 5; ++I) Advance(100);
    EXPECT_EQ(Label->Offset(), 0);
}

TEST_F(ScrollLabelTest, WideCaptionSlidesToItsEndRestsAndComesBack) {
    Label->SetCaption("A rather long song title that does not fit");
    Label->show();
    Label->repaint();
    const int Overhang = test::TextWidth(Label->font(), Label->Caption()) + 5 - Label->width();
    Advance(99);
    EXPECT_EQ(Label->Offset(), 0);
    Advance(1);
    EXPECT_EQ(Label->Offset(), 2);
    int Steps = 1;
    while (!Label->Waiting() && Steps < 1000) {
        Advance(100);
        ++Steps;
    }
    EXPECT_GE(Label->Offset(), Overhang);
    EXPECT_LT(Label->Offset(), Overhang + 2);
    const int AtEnd = Label->Offset();
    Advance(999);  // resting
    EXPECT_EQ(Label->Offset(), AtEnd);
    Advance(1);
    EXPECT_EQ(Label->Offset(), AtEnd - 2);
}

TEST_F(ScrollLabelTest, WithoutWaitTheScrollTurnsAtOnce) {
    Label->SetWaitOnEnd(0);
    Label->SetCaption("Another long title for the deck display");
    Label->show();
    Label->repaint();
    int Max = 0;
    for (int I = 0; I < 200; ++I) {
        Advance(100);
        EXPECT_FALSE(Label->Waiting());
        Max = std::max(Max, Label->Offset());
    }
    EXPECT_GT(Max, 0);
    EXPECT_LT(Label->Offset(), Max);  // came back
}

TEST_F(ScrollLabelTest, NewCaptionRestartsFromTheStart) {
    Label->SetCaption("A rather long song title that does not fit");
    Label->show();
    Label->repaint();
    for (int I = 0; I < 5; ++I) Advance(100);
    ASSERT_GT(Label->Offset(), 0);
    Label->SetCaption("Another rather long song title that does not fit");
    Label->repaint();
    EXPECT_EQ(Label->Offset(), 0);
}

TEST(KcLabel, QuarterTurnSwapsTheNaturalSize) {
    TKcLabel L;
    L.SetCaption("Kelvar");
    L.SetAutoSize(true);
    const QSize Text = MeasureText(L.font(), "Kelvar");
    EXPECT_EQ(L.size(), Text + QSize(4, 4));
    L.SetAngle(90);
    EXPECT_EQ(L.size(), QSize(Text.height() + 4, Text.width() + 4));
}

TEST(KcLabel, LoweredStyleHasItsHighlightBottomRight) {
    TKcLabel L;
    L.SetCaption("I");
    L.SetColor(0x000000);
    L.SetFontColor(0x000000);
    L.SetColorHighlight(0x0000FF);
    L.SetColorShadow(0xFF0000);
    L.SetStyle(TKcLabelStyle::lsLowered);
    L.show();
    const QImage Img = Render(L);
    // Find the first and last coloured columns: blue (shadow) leads, red (highlight) trails.
    int FirstRed = -1, FirstBlue = -1;
    for (int X = 0; X < Img.width(); ++X)
        for (int Y = 0; Y < Img.height(); ++Y) {
            const QRgb P = Img.pixel(X, Y);
            if (FirstRed < 0 && qRed(P) > 128 && qBlue(P) < 64) FirstRed = X;
            if (FirstBlue < 0 && qBlue(P) > 128 && qRed(P) < 64) FirstBlue = X;
        }
    ASSERT_GE(FirstRed, 0);
    ASSERT_GE(FirstBlue, 0);
    EXPECT_LT(FirstBlue, FirstRed);
}

}  // namespace
}  // namespace kelvar
