#include "QtApp.h"
#include "controls/KcAnalog.h"
#include "controls/KcGraphs.h"
#include "controls/KcHyperCtrls.h"

#include <gtest/gtest.h>
#include <QTest>

namespace kelvar {
namespace {

using test::Render;

TEST(KcPercentPie, SegmentsFollowClockwiseFromTheTop) {
    TKcPercentPie Pie;
    Pie.resize(100, 100);
    auto& A = Pie.Segments().Add();
    A.SetValue(15);
    A.SetColor(clRed);
    auto& Empty = Pie.Segments().Add();
    Empty.SetColor(clYellow);
    auto& B = Pie.Segments().Add();
    B.SetValue(45);
    B.SetColor(clBlue);
    Pie.show();
    const QImage Img = Render(Pie);
    EXPECT_EQ(Img.pixel(70, 30), qRgb(255, 0, 0));  // 12 to 3 o'clock
    EXPECT_EQ(Img.pixel(70, 70), qRgb(0, 0, 255));
    EXPECT_EQ(Img.pixel(30, 30), qRgb(0, 0, 255));
    EXPECT_NE(Img.pixel(50, 50), qRgb(255, 255, 0));
}

TEST(KcPercentPie, NothingToShowLeavesTheBackground) {
    TKcPercentPie Pie;
    Pie.SetColor(0x00FF00);
    auto& A = Pie.Segments().Add();
    A.SetValue(5);
    auto& B = Pie.Segments().Add();
    B.SetValue(-5);  // total 0
    Pie.show();
    const QImage Img = Render(Pie);
    EXPECT_EQ(Img.pixel(60, 30), qRgb(0, 255, 0));
    EXPECT_EQ(Img.pixel(30, 60), qRgb(0, 255, 0));
}

TEST(KcPercentPie, ChangeFiresOnlyWhenTheTotalChanges) {
    TKcPercentPie Pie;
    int Changes = 0;
    Pie.OnChange = [&](TKcCustomControl&) { ++Changes; };
    auto& A = Pie.Segments().Add();
    auto& B = Pie.Segments().Add();
    A.SetValue(10);
    EXPECT_EQ(Changes, 1);
    A.SetColor(clBlue);
    EXPECT_EQ(Changes, 1);
    A.SetValue(5);
    B.SetValue(5);
    EXPECT_EQ(Changes, 3);
    EXPECT_EQ(Pie.Total(), 10);
}

TEST(KcHotImage, DisabledImageKeepsItsLeaveLookButShowsTheFrame) {
    TKcHotImage H;
    H.SetColorLeave(0x000080);
    H.SetColorEnter(0x800000);
    H.show();
    QEnterEvent Enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&H, &Enter);
    QImage Img = Render(H);
    EXPECT_EQ(Img.pixel(40, 20), qRgb(0, 0, 128));
    EXPECT_EQ(Img.pixel(0, 0), qRgb(255, 255, 0));
    H.setEnabled(false);
    Img = Render(H);
    EXPECT_EQ(Img.pixel(40, 20), qRgb(128, 0, 0));
    EXPECT_EQ(Img.pixel(0, 0), qRgb(255, 255, 0));
}

TEST(KcAnalogClock, GeometryAndRefusedTickWidth) {
    TKcAnalogClock C;
    C.resize(200, 100);
    EXPECT_EQ(C.Radius(), 40);
    EXPECT_EQ(C.Centre(), QPoint(100, 50));
    C.SetTickWidth(0);
    EXPECT_EQ(C.TickWidth(), 2);
    C.SetActive(true);
    EXPECT_TRUE(C.Timer().Running());
    EXPECT_FALSE(Render(C).isNull());
}

}  // namespace
}  // namespace kelvar
