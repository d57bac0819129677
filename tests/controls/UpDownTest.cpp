#include "QtApp.h"
#include "controls/KcUpDown.h"

#include <QTest>
#include <gtest/gtest.h>

namespace kelvar {
namespace {

using test::Render;

class KcUpDownTest : public ::testing::Test {
protected:
    void SetUp() override {
        Control.show();
        Control.OnUpClick = [&](TKcCustomControl&) { Events.push_back('u'); };
        Control.OnDownClick = [&](TKcCustomControl&) { Events.push_back('d'); };
    }
    TKcUpDown Control;  // vertical, 20 x 30: up half above y = 15
    std::string Events;
};

TEST_F(KcUpDownTest, HeldButtonRepeatsAfterTheFirstPauseAndOnceOnRelease) {
    QTest::mousePress(&Control, Qt::LeftButton, {}, QPoint(10, 5));
    TKcTimer& T = Control.RepeatTimer();
    EXPECT_TRUE(T.Running());
    EXPECT_EQ(T.Interval(), 400u);
    EXPECT_EQ(Events, "");
    T.Timer();  // 400 ms
    EXPECT_EQ(T.Interval(), 100u);
    T.Timer();  // then every 100 ms
    T.Timer();
    EXPECT_EQ(Events, "uuu");
    QTest::mouseRelease(&Control, Qt::LeftButton, {}, QPoint(10, 5));
    EXPECT_EQ(Events, "uuuu");
    T.Timer();  // a late tick after the release does nothing
    EXPECT_EQ(Events, "uuuu");
}

TEST_F(KcUpDownTest, SlidingOntoTheOtherHalfStopsTheEvents) {
    QTest::mousePress(&Control, Qt::LeftButton, {}, QPoint(10, 5));
    Control.RepeatTimer().Timer();
    QTest::mouseMove(&Control, QPoint(10, 25));
    Control.RepeatTimer().Timer();
    QTest::mouseRelease(&Control, Qt::LeftButton, {}, QPoint(10, 25));
    EXPECT_EQ(Events, "u");
}

TEST_F(KcUpDownTest, WithoutRepeatOnePressIsOneEvent) {
    Control.SetRepeatClick(false);
    QTest::mousePress(&Control, Qt::LeftButton, {}, QPoint(10, 25));
    Control.RepeatTimer().Timer();
    QTest::mouseRelease(&Control, Qt::LeftButton, {}, QPoint(10, 25));
    EXPECT_EQ(Events, "d");
}

TEST_F(KcUpDownTest, GlyphStatesAndBuiltInStrips) {
    Control.SetGlyphsUp(QImage(8, 6, QImage::Format_RGB32));
    EXPECT_EQ(Control.GlyphsUp().width(), 8);
    Control.SetGlyphsUp(QImage());
    EXPECT_EQ(Control.GlyphsUp().size(), QSize(36, 6));
    QTest::mouseMove(&Control, QPoint(10, 5));
    EXPECT_EQ(Control.GlyphState(0), 1);
    EXPECT_EQ(Control.GlyphState(1), 0);
    Control.setEnabled(false);
    EXPECT_EQ(Control.GlyphState(0), 3);
    Control.SetNumGlyphs(2);
    EXPECT_EQ(Control.GlyphState(0), 0);
    // The disabled frame of the built-in strip is grey.
    Control.SetNumGlyphs(4);
    const QImage Img = Render(Control);
    EXPECT_EQ(Img.pixel(10, (15 - 6) / 2 + 4), qRgb(0x80, 0x80, 0x80));
}

}  // namespace
}  // namespace kelvar
