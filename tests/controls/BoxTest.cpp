#include "QtApp.h"
#include "controls/BoxButton.h"
#include "controls/BoxPanel.h"
#include "controls/BoxShape.h"
#include "controls/unColorTools.h"

#include <gtest/gtest.h>
#include <QTest>

namespace kelvar {
namespace {

using test::Render;

TEST(unColorTools, ShiftColorClampsBelow255) {
    EXPECT_EQ(ShiftColor(clWhite, 30), 0xFEFEFEu);
    EXPECT_EQ(ShiftColor(clBlack, -30), 0u);
    EXPECT_EQ(ShiftColor(0x102030, 16), 0x203040u);
}

TEST(BoxPanel, FrameFollowsTheStyle) {
    TBoxPanel Panel;
    Panel.SetColor(0x808080);
    Panel.show();
    const QRgb Light = qRgb(0x9E, 0x9E, 0x9E), Dark = qRgb(0x62, 0x62, 0x62), Face = qRgb(0x80, 0x80, 0x80);
    QImage Img = Render(Panel);  // lowered: dark at the top and left
    EXPECT_EQ(Img.pixel(5, 1), Dark);
    EXPECT_EQ(Img.pixel(1, 5), Dark);
    EXPECT_EQ(Img.pixel(5, Panel.height() - 2), Light);
    Panel.SetStyle(TBoxStyle::bsRaised);
    Img = Render(Panel);
    EXPECT_EQ(Img.pixel(5, 1), Light);
    EXPECT_EQ(Img.pixel(Panel.width() - 2, 5), Dark);
    Panel.SetStyle(TBoxStyle::bsNone);
    Img = Render(Panel);
    EXPECT_EQ(Img.pixel(5, 1), Face);
    EXPECT_EQ(Panel.contentsRect(), Panel.rect().adjusted(4, 4, -4, -4));
}

TEST(BoxButton, PressedButtonShowsALoweredFrameInsideItsOutline) {
    TBoxButton B("Browse...", nullptr);
    B.SetColor(0x808080);
    B.resize(80, 24);
    B.show();
    const QRgb Light = qRgb(0x9E, 0x9E, 0x9E), Dark = qRgb(0x62, 0x62, 0x62);
    EXPECT_EQ(Render(B).pixel(5, 1), Light);
    B.setDown(true);
    const QImage Img = Render(B);
    EXPECT_EQ(Img.pixel(5, 1), Dark);
    EXPECT_EQ(Img.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(Img.pixel(79, 23), qRgb(0, 0, 0));
}

TEST(BoxShape, FrameInTheBrushColour) {
    TBoxShape S;
    S.SetBrush(QColor(0x80, 0x80, 0x80));
    S.show();
    EXPECT_EQ(Render(S).pixel(5, 1), qRgb(0xBC, 0xBC, 0xBC));
    S.SetStyle(TBoxStyle::bsNone);
    EXPECT_EQ(Render(S).pixel(5, 1), qRgb(0x80, 0x80, 0x80));
}

}  // namespace
}  // namespace kelvar
