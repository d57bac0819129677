#include "QtApp.h"
#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "controls/KcNavigator.h"

#include <gtest/gtest.h>
#include <QTest>

namespace kelvar {
namespace {

using test::Render;

template <typename Button>
void ExpectClickOnlyWhenReleasedInside() {
    Button B;
    B.show();
    int Clicks = 0;
    B.OnClick = [&](TKcCustomControl&) { ++Clicks; };
    QTest::mouseClick(&B, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Clicks, 1);
    QTest::mousePress(&B, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(B.Down());
    QTest::mouseMove(&B, QPoint(-20, 5));
    EXPECT_FALSE(B.Down());
    QTest::mouseRelease(&B, Qt::LeftButton, {}, QPoint(-20, 5));
    EXPECT_EQ(Clicks, 1);
    QTest::mouseClick(&B, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(Clicks, 1);
    QTest::keyPress(&B, Qt::Key_Space);
    EXPECT_TRUE(B.Down());
    QTest::keyRelease(&B, Qt::Key_Space);
    EXPECT_EQ(Clicks, 2);
}

TEST(KcMediaButton, ClicksOnlyWhenReleasedInside) { ExpectClickOnlyWhenReleasedInside<TKcMediaButton>(); }
TEST(KcDemoButton, ClicksOnlyWhenReleasedInside) { ExpectClickOnlyWhenReleasedInside<TKcDemoButton>(); }

TEST(KcMediaButton, DrawsTheGlyphOfItsTypeAndMovesItWhenDown) {
    TKcMediaButton B;
    B.SetButtonType(TKcButtonType::btStop);  // a filled 7 x 7 square
    B.show();
    const QImage Up = Render(B);
    // Glyph cell at (40/2 - 5, 15/2 - 4); the square fills cell pixels 2..8 x 1..7.
    EXPECT_EQ(Up.pixel(15 + 5, 3 + 4), qRgb(0, 0, 0));
    QTest::mousePress(&B, Qt::LeftButton, {}, QPoint(5, 5));
    const QImage Down = Render(B);
    EXPECT_EQ(Down.pixel(15 + 5, 3 + 8), qRgb(0, 0, 0));
    EXPECT_NE(Up.pixel(15 + 5, 3 + 8), qRgb(0, 0, 0));
    QTest::mouseRelease(&B, Qt::LeftButton, {}, QPoint(5, 5));
}

TEST(KcDemoButton, FlatButtonShowsItsBevelOnlyWhenHot) {
    TKcDemoButton B;
    B.SetColor(0x00FF00);
    B.SetOutlineWidth(0);
    B.SetFlat(true);
    B.SetHighlightColor(0xFFFFFF);
    B.show();
    EXPECT_EQ(Render(B).pixel(0, 0), qRgb(0, 255, 0));
    QEnterEvent Enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&B, &Enter);
    EXPECT_TRUE(B.Hot());
    EXPECT_EQ(Render(B).pixel(0, 0), qRgb(255, 255, 255));
}

TEST(KcPowerButton, ClickSeesTheNewStateAndCodeFiresNothing) {
    TKcPowerButton B;
    B.show();
    std::vector<bool> Seen;
    B.OnClick = [&](TKcCustomControl&) { Seen.push_back(B.Active()); };
    B.SetActive(true);
    EXPECT_TRUE(Seen.empty());
    QTest::mouseClick(&B, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(&B, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Seen, (std::vector<bool>{false, true}));
    // Dragging out before the release lifts the button: no toggle, no click.
    QTest::mousePress(&B, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(&B, QPoint(200, 5));
    EXPECT_FALSE(B.Pressed());
    QTest::mouseRelease(&B, Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_EQ(Seen.size(), 2u);
    EXPECT_TRUE(B.Active());
}

TEST(KcPowerButton, LedShowsThePaletteOrTheColourWhenDisabled) {
    TKcPowerButton B;
    B.SetCaption("Air");
    B.SetPalette(TKcPalette(0x000080, 0x0000FF));
    B.SetColor(0x00FFFF);
    B.show();
    const QPoint Led = B.LedRect().center();
    EXPECT_EQ(Render(B).pixel(Led), qRgb(128, 0, 0));
    B.SetActive(true);
    EXPECT_EQ(Render(B).pixel(Led), qRgb(255, 0, 0));
    B.setEnabled(false);
    EXPECT_EQ(Render(B).pixel(Led), qRgb(255, 255, 0));
    // The group of LED, spacing and caption is centred in the button.
    const int Left = B.LedRect().left() - 3, Right = 125 - 3 - (B.CaptionRect().right() + 1);
    EXPECT_LE(std::abs(Left - Right), 1);
}

TEST(KcPowerButton, AcceleratorClicksWithoutToggling) {
    QWidget Form;
    auto* B = new TKcPowerButton(&Form);
    B->SetCaption("&Cue");
    Form.show();
    QApplication::setActiveWindow(&Form);
    int Clicks = 0;
    B->OnClick = [&](TKcCustomControl&) { ++Clicks; };
    QTest::keyClick(&Form, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(Clicks, 1);
    EXPECT_FALSE(B->Active());
}

TEST(FxFancyButton, SettersClampTheirValues) {
    TFxFancyButton B;
    struct Case {
        int Set, Expected;
    };
    for (const Case& C : {Case{1, 3}, Case{20, 14}, Case{5, 5}}) {
        B.FancyEffects().SetFrameWidth(C.Set);
        EXPECT_EQ(B.FancyEffects().FrameWidth(), C.Expected);
    }
    for (const Case& C : {Case{-5, 0}, Case{200, 145}}) {
        B.FancyEffects().SetCornerRadius(C.Set);
        EXPECT_EQ(B.FancyEffects().CornerRadius(), C.Expected);
    }
    for (const Case& C : {Case{0, 1}, Case{9, 4}}) {
        B.Glyphs().SetNumber(C.Set);
        EXPECT_EQ(B.Glyphs().Number(), C.Expected);
    }
}

TEST(FxFancyButton, GlyphColumnFollowsTheState) {
    QWidget Form;
    auto* B = new TFxFancyButton("OK", &Form);
    B->Glyphs().SetGlyph(QImage(64, 16, QImage::Format_RGB32));
    B->Glyphs().SetNumber(4);
    Form.show();
    QTest::mouseMove(B, QPoint(48, 12));
    EXPECT_EQ(B->ImageState(), 4);
    EXPECT_EQ(B->GlyphColumn(), 3);
    B->Glyphs().SetNumber(2);
    EXPECT_EQ(B->GlyphColumn(), 0);
    B->Glyphs().SetNumber(4);
    B->setEnabled(false);
    EXPECT_EQ(B->GlyphColumn(), 1);
}

TEST(FxFancyButton, ClicksOnReleaseAfterAPressOnTheShape) {
    TFxFancyButton B("OK", nullptr);
    B.show();
    int Clicks = 0;
    B.OnClick = [&](TFxFancyButton&) { ++Clicks; };
    QTest::mouseClick(&B, Qt::RightButton, {}, QPoint(48, 12));
    EXPECT_FALSE(B.Pressed());
    QTest::mouseMove(&B, QPoint(48, 12));
    QTest::mouseClick(&B, Qt::LeftButton, {}, QPoint(48, 12));
    EXPECT_EQ(Clicks, 1);
    // Leaving the control before the release ends the press.
    QTest::mousePress(&B, Qt::LeftButton, {}, QPoint(48, 12));
    QTest::mouseMove(&B, QPoint(200, 12));
    QTest::mouseRelease(&B, Qt::LeftButton, {}, QPoint(200, 12));
    EXPECT_EQ(Clicks, 1);
    EXPECT_FALSE(B.Pressed());
    // A press in the corner outside the rounded shape does nothing.
    QTest::mousePress(&B, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_FALSE(B.Pressed());
}

TEST(FxFancyButton, SquareCornersAndNoFaceWithoutFrame) {
    TFxFancyButton B;
    B.FancyEffects().SetCornerRadius(0);
    B.FancyEffects().SetFrameColor(0x0000FF);
    B.show();
    EXPECT_EQ(Render(B).pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_TRUE(B.PtInShape(0, 0));
    B.FancyEffects().SetFrameStyle(TFrameStyle::fmNone);
    EXPECT_NE(Render(B).pixel(0, 0), qRgb(255, 0, 0));
}

TEST(FxFancyButton, LayoutPlacesGlyphBesideTheCaption) {
    TFxFancyButton B("Go", nullptr);
    B.Glyphs().SetGlyph(QImage(16, 16, QImage::Format_RGB32));
    B.Glyphs().SetDistance(4);
    B.ComputeLayout();
    EXPECT_EQ(B.CaptionPos().x(), B.GlyphPos().x() + 16 + 4);
    EXPECT_EQ(B.GlyphPos().y(), (25 - 16) / 2);
    B.Glyphs().SetLayout(TBmpLayout::lyRight);
    B.ComputeLayout();
    EXPECT_EQ(B.CaptionPos().x() + test::TextWidth(B.font(), "Go") + 4, B.GlyphPos().x());
}

}  // namespace
}  // namespace kelvar
