#include "QtApp.h"
#include "controls/KcSlider.h"
#include "controls/KcTrackBar.h"

#include <gtest/gtest.h>
#include <QTest>

namespace kelvar {
namespace {

using test::Render;

TEST(KcTrackBar, PositionClampsAndFiresOncePerChange) {
    TKcTrackBar Bar;
    int Changes = 0;
    Bar.OnChange = [&](TKcCustomControl&) { ++Changes; };
    Bar.SetPosition(500);
    EXPECT_EQ(Bar.Position(), 100);
    EXPECT_EQ(Changes, 1);
    Bar.SetPosition(100);
    EXPECT_EQ(Changes, 1);
    Bar.SetPosition(-5);
    EXPECT_EQ(Bar.Position(), 0);
    EXPECT_EQ(Changes, 2);
}

TEST(KcTrackBar, RangeLoadedFromAFormMovesPositionOnlyWhenNeeded) {
    TKcTrackBar Bar;
    int Changes = 0;
    Bar.OnChange = [&](TKcCustomControl&) { ++Changes; };
    Bar.BeginLoading();
    Bar.SetMaxValue(0);
    Bar.SetMinValue(-90);
    Bar.EndLoading();
    EXPECT_EQ(Bar.Position(), 0);
    EXPECT_EQ(Changes, 0);
    Bar.SetMaxValue(-10);
    EXPECT_EQ(Bar.Position(), -10);
    EXPECT_EQ(Changes, 1);
    Bar.SetMinValue(20);  // above the maximum: accepted, Position follows the maximum
    EXPECT_EQ(Bar.MinValue(), 20);
    EXPECT_EQ(Bar.Position(), -10);
    Bar.SetPosition(0);
    EXPECT_EQ(Bar.Position(), -10);
}

TEST(KcTrackBar, KeysStepByFrequencyAndHomeIsTheMaximum) {
    struct Case {
        TKcOrientation Orientation;
        TKcProgressStyle Style;
        int Key;
        int Expected;
    };
    const Case Cases[] = {
        {TKcOrientation::voHorizontal, TKcProgressStyle::psBottomLeft, Qt::Key_Right, 60},
        {TKcOrientation::voHorizontal, TKcProgressStyle::psBottomLeft, Qt::Key_Left, 40},
        {TKcOrientation::voHorizontal, TKcProgressStyle::psTopRight, Qt::Key_Right, 40},
        {TKcOrientation::voHorizontal, TKcProgressStyle::psBottomLeft, Qt::Key_Up, 50},
        {TKcOrientation::voVertical, TKcProgressStyle::psBottomLeft, Qt::Key_Up, 60},
        {TKcOrientation::voVertical, TKcProgressStyle::psBottomLeft, Qt::Key_Down, 40},
        {TKcOrientation::voVertical, TKcProgressStyle::psTopRight, Qt::Key_Up, 40},
        {TKcOrientation::voVertical, TKcProgressStyle::psBottomLeft, Qt::Key_Home, 100},
        {TKcOrientation::voVertical, TKcProgressStyle::psBottomLeft, Qt::Key_End, 0},
    };
    for (const Case& C : Cases) {
        TKcTrackBar Bar;
        Bar.SetOrientation(C.Orientation);
        Bar.SetStyle(C.Style);
        Bar.SetPosition(50);
        int Changes = 0;
        Bar.OnChange = [&](TKcCustomControl&) { ++Changes; };
        QTest::keyClick(&Bar, static_cast<Qt::Key>(C.Key));
        EXPECT_EQ(Bar.Position(), C.Expected) << C.Key;
        EXPECT_EQ(Changes, C.Expected == 50 ? 0 : 1);
        QTest::keyClick(&Bar, static_cast<Qt::Key>(C.Key), Qt::ShiftModifier);  // shifted keys do nothing
        EXPECT_EQ(Bar.Position(), C.Expected);
    }
}

TEST(KcTrackBar, TicksThinOutUntilFourPixelsApart) {
    TKcTrackBar Bar;
    Bar.SetFrequency(1);
    Bar.SetMaxValue(150);
    Bar.resize(70 + 9 + 20, 45);  // a 70-pixel track with the 9-pixel thumb and 10 pixels of border
    ASSERT_EQ(Bar.Geometry().Length(), 70);
    const std::vector<int> Ticks = Bar.TickValues();
    ASSERT_EQ(Ticks.size(), 18u);
    EXPECT_EQ(Ticks[1], 9);
    EXPECT_EQ(Ticks[16], 144);
    EXPECT_EQ(Ticks[17], 150);
}

TEST(KcTrackBar, VerticalBarHasItsMinimumAtTheBottomAndDragsToTheMaximum) {
    TKcTrackBar Bar;
    Bar.SetOrientation(TKcOrientation::voVertical);
    Bar.show();
    ASSERT_EQ(Bar.size(), QSize(45, 175));
    const QRect Thumb = Bar.ThumbRect();
    EXPECT_EQ(Thumb.size(), QSize(17, 9));  // the built-in vertical thumb
    EXPECT_EQ(Thumb.bottom(), 175 - 10 - 1);
    int Changes = 0;
    Bar.OnChange = [&](TKcCustomControl&) { ++Changes; };
    QTest::mousePress(&Bar, Qt::LeftButton, {}, Thumb.center());
    QTest::mouseMove(&Bar, QPoint(Thumb.center().x(), 80));
    QTest::mouseMove(&Bar, QPoint(Thumb.center().x(), 0));
    QTest::mouseRelease(&Bar, Qt::LeftButton, {}, QPoint(Thumb.center().x(), 0));
    EXPECT_EQ(Bar.Position(), 100);
    EXPECT_EQ(Changes, 2);
    EXPECT_EQ(Bar.ThumbRect().top(), 10);
}

TEST(KcTrackBar, ActiveClickCentresTheThumbOnThePointer) {
    TKcTrackBar Bar;  // horizontal, 175 wide: track from 10, 146 pixels long
    Bar.show();
    QTest::mouseClick(&Bar, Qt::LeftButton, {}, QPoint(10 + 73 + 4, 22));
    EXPECT_EQ(Bar.Position(), 50);
    Bar.SetOptions(Bar.Options() & ~toActiveClick);
    QTest::mouseClick(&Bar, Qt::LeftButton, {}, QPoint(150, 22));
    EXPECT_EQ(Bar.Position(), 50);
}

TEST(KcTrackBar, WindowGutterIsTanTenPixelsOnTheParentFace) {
    QWidget Parent;
    QPalette Face = Parent.palette();
    Face.setColor(QPalette::Window, QColor(200, 210, 220));
    Parent.setPalette(Face);
    auto* Bar = new TKcTrackBar(&Parent);
    Bar->SetOrientation(TKcOrientation::voVertical);
    Bar->SetTickMarks(TKcTickMarks::tmNone);
    Bar->resize(30, 120);
    UseWindowGutter(*Bar);
    const QImage Image = Render(*Bar);
    // Across the middle row, away from the thumb at the bottom: face, bevel, tan, bevel, face.
    int Tan = 0;
    for (int X = 0; X < Image.width(); ++X)
        if (QColor(Image.pixel(X, 40)) == QColor(0xD6, 0xCD, 0xA9)) ++Tan;
    EXPECT_EQ(Tan, 10 - 2) << "the lowered bevel takes one pixel either side";
    EXPECT_EQ(QColor(Image.pixel(1, 40)), QColor(200, 210, 220));
}

TEST(KcTrackBar, DegenerateGeometryPaintsWithoutFailing) {
    TKcTrackBar Bar;
    Bar.SetMaxValue(0);  // Max = Min
    Bar.SetFrequency(0);
    Bar.resize(12, 12);  // track shorter than the thumb
    EXPECT_FALSE(Render(Bar).isNull());
    Bar.MoveThumbTo(5);
    EXPECT_EQ(Bar.Position(), 0);
}

TEST(KcTrackBar, BitmapListThumbReplacesTheBuiltInOne) {
    TKcBitmapList List;
    QImage Thumb(14, 18, QImage::Format_RGB32);
    Thumb.fill(Qt::red);
    List.Bitmaps().Add(QImage(18, 14, QImage::Format_RGB32));
    List.Bitmaps().Add(Thumb);
    {
        TKcTrackBar Bar;
        Bar.SetBitmapList(&List);
        Bar.SetThumbImageIndex(1);
        EXPECT_EQ(Bar.ThumbRect().size(), QSize(14, 18));
        EXPECT_EQ(List.LinkCount(), 1);
        const QImage Img = Render(Bar);
        EXPECT_EQ(Img.pixel(Bar.ThumbRect().center()), qRgb(255, 0, 0));
    }
    EXPECT_EQ(List.LinkCount(), 0);
    EXPECT_EQ(List.GetBitmap(-1), nullptr);
    EXPECT_EQ(List.GetBitmap(2), nullptr);
}

TEST(KcSlider, HomeIsTheMinimumAndKeysStepByKeyIncrement) {
    TKcSlider S;  // vertical
    S.SetPosition(50);
    QTest::keyClick(&S, Qt::Key_Home);
    EXPECT_EQ(S.Position(), 0);
    QTest::keyClick(&S, Qt::Key_End);
    EXPECT_EQ(S.Position(), 100);
    QTest::keyClick(&S, Qt::Key_Down);
    EXPECT_EQ(S.Position(), 95);
    S.SetStyle(TKcSliderStyle::ssTopRight);
    QTest::keyClick(&S, Qt::Key_Down);
    EXPECT_EQ(S.Position(), 100);
}

TEST(KcSlider, LowerMaximumMovesPositionOnce) {
    TKcSlider S;
    S.SetPosition(80);
    int Changes = 0;
    S.OnChange = [&](TKcCustomControl&) { ++Changes; };
    S.SetMaxValue(60);
    EXPECT_EQ(S.Position(), 60);
    EXPECT_EQ(Changes, 1);
}

TEST(KcSlider, InvalidSegmentSettingsChangeNothing) {
    TKcSlider S;
    const int Builds = S.RebuildCount();
    S.SetTickWidth(0);
    S.SetSpacing(-1);
    S.SetBorderWidth(-2);
    EXPECT_EQ(S.TickWidth(), 1);
    EXPECT_EQ(S.Spacing(), 1);
    EXPECT_EQ(S.BorderWidth(), 1);
    EXPECT_EQ(S.RebuildCount(), Builds);
}

TEST(KcSlider, SquareSliderRebuildsWhenTurned) {
    TKcSlider S;
    S.resize(60, 60);
    const int Builds = S.RebuildCount();
    S.SetOrientation(TKcOrientation::voHorizontal);
    EXPECT_EQ(S.size(), QSize(60, 60));
    EXPECT_GT(S.RebuildCount(), Builds);
    EXPECT_EQ(S.OffImage().size(), S.OnImage().size());
}

TEST(KcSlider, DitheredSegmentsStartTheirPatternAtTheirOwnCorner) {
    TKcSlider S;  // vertical, from the bottom
    S.SetSolidFill(false);
    S.SetTickWidth(3);
    const QImage& On = S.OnImage();
    const QRgb Lit = ToQColor(S.Palette().High()).rgb();
    const int H = On.height();
    // Segments every 4 pixels from the bottom; each starts with the colour at its top-left pixel.
    for (int Seg = 0; Seg < 5; ++Seg) {
        const int Top = H - 3 - Seg * 4;
        EXPECT_EQ(On.pixel(0, Top), Lit) << Seg;
        EXPECT_NE(On.pixel(1, Top), Lit) << Seg;
    }
}

TEST(KcSlider, LightsTheBarUpToTheThumbMiddle) {
    TKcSlider S;
    S.SetOrientation(TKcOrientation::voHorizontal);
    S.SetSpacing(0);  // solid bar
    S.resize(225, 33);
    S.SetPosition(50);
    const QImage Img = Render(S);
    const QRect Thumb = S.ThumbRect();
    const QRgb Lit = ToQColor(S.Palette().High()).rgb(), Unlit = ToQColor(S.Palette().Low()).rgb();
    const int Y = 6;  // inside the bar, above the thumb
    EXPECT_EQ(Img.pixel(8, Y), Lit);
    EXPECT_EQ(Img.pixel(Thumb.left() - 1, Y), Lit);
    EXPECT_EQ(Img.pixel(Thumb.right() + 1, Y), Unlit);
    EXPECT_EQ(Img.pixel(215, Y), Unlit);
}

}  // namespace
}  // namespace kelvar
