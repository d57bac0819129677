#include "QtApp.h"
#include "controls/KcUpDown.h"

#include <gtest/gtest.h>
#include <QTest>

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

#include "controls/KcSpinner.h"

namespace kelvar {
namespace {

class KcSpinnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Spinner.SetTabStop(true);
        Spinner.show();
        Spinner.OnUpClick = [&](TKcCustomControl&) { Events.push_back('u'); };
        Spinner.OnDownClick = [&](TKcCustomControl&) { Events.push_back('d'); };
    }
    TKcSpinner Spinner;  // vertical, 35 x 40
    std::string Events;
};

TEST_F(KcSpinnerTest, ButtonsShareARowAndANarrowSpinnerWidens) {
    EXPECT_EQ(Spinner.FirstButton()->geometry(), QRect(0, 0, 35, 20));
    EXPECT_EQ(Spinner.SecondButton()->geometry(), QRect(0, 19, 35, 21));
    Spinner.resize(10, 40);
    EXPECT_EQ(Spinner.width(), 15);
}

TEST_F(KcSpinnerTest, ClicksOnlyOnTheArrow) {
    TKcTimerSpinButton* Up = Spinner.FirstButton();
    const QPoint Centre = Up->rect().center();
    ASSERT_TRUE(Up->OnArrow(Centre));
    ASSERT_FALSE(Up->OnArrow(QPoint(1, 1)));
    QTest::mouseClick(Up, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(Events, "");
    QTest::mousePress(Up, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_FALSE(Up->Pressed());
    QTest::mouseRelease(Up, Qt::LeftButton, {}, Centre);  // released on the arrow: still a click
    EXPECT_EQ(Events, "u");
}

TEST_F(KcSpinnerTest, HeldButtonRepeats) {
    TKcTimerSpinButton* Down = Spinner.SecondButton();
    QTest::mousePress(Down, Qt::LeftButton, {}, Down->rect().center());
    ASSERT_NE(Down->RepeatTimer(), nullptr);
    EXPECT_EQ(Down->RepeatTimer()->Interval(), 400u);
    Down->RepeatTimer()->Timer();
    Down->RepeatTimer()->Timer();
    EXPECT_EQ(Down->RepeatTimer()->Interval(), 100u);
    QTest::mouseRelease(Down, Qt::LeftButton, {}, Down->rect().center());
    EXPECT_EQ(Events, "ddd");
}

TEST_F(KcSpinnerTest, KeysClickTheButtonsAndFollowTheOrientation) {
    QTest::keyClick(&Spinner, Qt::Key_Down);
    QTest::keyClick(&Spinner, Qt::Key_Space);
    QTest::keyClick(&Spinner, Qt::Key_Up);
    QTest::keyClick(&Spinner, Qt::Key_Left);
    EXPECT_EQ(Events, "ddu");
    Spinner.SetOrientation(TKcOrientation::voHorizontal);
    EXPECT_EQ(Spinner.CurrentButton(), Spinner.FirstButton());
    EXPECT_EQ(Spinner.FirstButton()->Kind(), 2);
    QTest::keyClick(&Spinner, Qt::Key_Right);
    QTest::keyClick(&Spinner, Qt::Key_Down);
    EXPECT_EQ(Events, "ddud");
}

TEST_F(KcSpinnerTest, PaletteColoursTheArrows) {
    Spinner.SetPalette(TKcPalette(0x0000FF, 0xFF0000));
    Spinner.resize(35, 40);
    const QImage Img = test::Render(*Spinner.FirstButton());
    EXPECT_EQ(Img.pixel(Spinner.FirstButton()->rect().center() + QPoint(0, 2)), qRgb(255, 0, 0));
}

}  // namespace
}  // namespace kelvar
