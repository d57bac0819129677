#include "QtApp.h"
#include "controls/KcLcd.h"
#include "controls/KcLeds.h"
#include "controls/KcLevelBar.h"
#include "controls/KcThreads.h"
#include "foundation/Clock.h"

#include <gtest/gtest.h>
#include <QTest>
#include <stdexcept>

namespace kelvar {
namespace {

using test::Render;

TEST(KcLevelBar, ZoneSharesNeverExceedTheWhole) {
    TKcLevelBar Bar;
    Bar.SetPercent2(50);
    EXPECT_EQ(Bar.Percent2(), 40);
    Bar.SetPercent1(90);
    EXPECT_EQ(Bar.Percent1(), 60);
    TKcLevelBar Loaded;
    Loaded.BeginLoading();
    Loaded.SetPercent1(90);
    Loaded.SetPercent2(50);
    Loaded.EndLoading();
    EXPECT_EQ(Loaded.Percent1(), 90);
    EXPECT_EQ(Loaded.Percent2(), 50);
}

TEST(KcLevelBar, RangeSettersRefuseAnEmptyRange) {
    TKcLevelBar Bar;
    Bar.SetMinValue(100);
    Bar.SetMaxValue(0);
    EXPECT_EQ(Bar.MinValue(), 0);
    EXPECT_EQ(Bar.MaxValue(), 100);
    Bar.SetPosition(70);
    Bar.SetMaxValue(50);
    EXPECT_EQ(Bar.Position(), 50);
}

TEST(KcLevelBar, EventsFollowEachPositionChange) {
    TKcLevelBar Bar;
    std::vector<std::string> Events;
    Bar.OnChange = [&](TKcCustomControl&) { Events.push_back("change"); };
    Bar.OnMinValue = [&](TKcCustomControl&) { Events.push_back("min"); };
    Bar.OnMaxValue = [&](TKcCustomControl&) { Events.push_back("max"); };
    Bar.SetPosition(100);
    Bar.SetPosition(100);
    Bar.SetPosition(-4);
    EXPECT_EQ(Events, (std::vector<std::string>{"change", "max", "change", "min"}));
}

TEST(KcLevelBar, SegmentsFillTheAreaExactly) {
    TKcLevelBar Bar;  // 20 x 170 with a 5-pixel bevel
    EXPECT_EQ(Bar.SegmentCount(), 80);
    EXPECT_EQ(Bar.height(), 169);
    TKcLevelBar Wide;
    Wide.BeginLoading();
    Wide.SetSpacing(2);
    Wide.resize(20, 170);
    Wide.EndLoading();
    EXPECT_EQ(Wide.SegmentCount(), 54);
    EXPECT_EQ(Wide.height(), 170);
}

TEST(KcLevelBar, SegmentColoursByZoneAndLevel) {
    TKcLevelBar Bar;
    Bar.SetTickHeight(15);
    Bar.resize(20, 10 + 10 * 16 - 1);
    ASSERT_EQ(Bar.SegmentCount(), 10);
    Bar.SetPosition(50);
    EXPECT_EQ(Bar.LitCount(), 5);
    EXPECT_EQ(Bar.Zone1End(), 5);
    EXPECT_EQ(Bar.Zone2End(), 7);
    const TColor Expected[10] = {clLime,  clLime,  clLime,   clLime,   clLime,
                                 clOlive, clOlive, clMaroon, clMaroon, clMaroon};
    Bar.show();
    const QImage Img = Render(Bar);
    for (int N = 0; N < 10; ++N) {
        EXPECT_EQ(Bar.SegmentColor(N), Expected[N]) << N;
        EXPECT_EQ(Img.pixel(Bar.SegmentRect(N).center()), ToQColor(Expected[N]).rgb()) << N;
    }
    EXPECT_GT(Bar.SegmentRect(0).top(), Bar.SegmentRect(9).top());  // segment 0 at the bottom
    Bar.SetStyle(TKcProgressStyle::psTopRight);
    EXPECT_LT(Bar.SegmentRect(0).top(), Bar.SegmentRect(9).top());
}

TEST(KcLevelBar, BevelChangeKeepsTheSegmentArea) {
    TKcLevelBar Bar;
    const QSize Before = Bar.size();
    Bar.Bevel().SetBorderWidth(3);
    EXPECT_EQ(Bar.size(), Before + QSize(6, 6));
    EXPECT_EQ(Bar.SegmentCount(), 80);
}

TEST(KcLevelBar, ZeroPitchPaintsWithoutFailing) {
    TKcLevelBar Bar;
    Bar.SetSpacing(-1);  // pitch 0
    EXPECT_EQ(Bar.SegmentCount(), 0);
    EXPECT_FALSE(Render(Bar).isNull());
}

TEST(KcUserLed, InactiveLedRunsFromMaroonToBlack) {
    TKcUserLed Led;
    Led.resize(20, 40);
    Led.show();
    int Changes = 0;
    Led.OnChange = [&](TKcCustomControl&) { ++Changes; };
    const QImage Img = Render(Led);
    // The default bevel takes 3 pixels; the gradient's 34 bands run from maroon towards black.
    EXPECT_EQ(Img.pixel(10, 3), qRgb(128, 0, 0));
    EXPECT_EQ(Img.pixel(10, 36), qRgb(128 - 33 * 128 / 34, 0, 0));
    Led.SetActive(true);
    Led.SetActive(true);
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Render(Led).pixel(10, 3), qRgb(255, 0, 0));
}

class FixedClock : public IClock {
public:
    int64_t MsSinceStart() const override { return 0; }
    std::chrono::system_clock::time_point Now() const override { return At; }
    std::chrono::system_clock::time_point At{};
};

class KcClockTest : public ::testing::Test {
protected:
    void SetUp() override { SetClock(&Clock); }
    void TearDown() override { SetClock(nullptr); }
    void SetTime(int H, int M, int S) {
        Clock.At = std::chrono::system_clock::time_point(std::chrono::hours(24 * 20000) + std::chrono::hours(H) +
                                                         std::chrono::minutes(M) + std::chrono::seconds(S));
    }
    FixedClock Clock;
};

TEST_F(KcClockTest, CustomClockNeverRunsOrBlinks) {
    TKcClock C;
    C.SetClockType(TKcClockType::ctCustom);
    C.SetActive(true);
    EXPECT_FALSE(C.Active());
    EXPECT_FALSE(C.Timer().Enabled());
    TKcClock Running;
    Running.SetActive(true);
    EXPECT_TRUE(Running.Timer().Running());
    Running.SetClockType(TKcClockType::ctCustom);
    EXPECT_FALSE(Running.Active());
    EXPECT_FALSE(Running.Timer().Enabled());
}

TEST_F(KcClockTest, TwelveHourDisplay) {
    TKcClock C;
    C.SetHours24(false);
    C.SetShowSeconds(true);
    SetTime(0, 30, 0);
    C.UpdateTime();
    EXPECT_EQ(C.DisplayText(), "12:30:00");
    SetTime(13, 5, 9);
    C.UpdateTime();
    EXPECT_EQ(C.DisplayText(), "01:05:09");
}

TEST_F(KcClockTest, ChangeEventsInOrderOnlyForChangedParts) {
    TKcClock C;
    std::vector<std::pair<char, int>> Events;
    C.OnHoursChanged = [&](TKcClock&, int V) { Events.push_back({'h', V}); };
    C.OnMinutesChanged = [&](TKcClock&, int V) { Events.push_back({'m', V}); };
    C.OnSecondsChanged = [&](TKcClock&, int V) { Events.push_back({'s', V}); };
    SetTime(10, 0, 5);
    C.UpdateTime();
    SetTime(10, 0, 6);
    C.UpdateTime();
    EXPECT_EQ(Events, (std::vector<std::pair<char, int>>{{'h', 10}, {'s', 5}, {'s', 6}}));
}

TEST_F(KcClockTest, ColonBlinksOnEveryOtherTick) {
    TKcClock C;
    C.SetBlink(true);
    C.SetActive(true);
    std::vector<bool> Shown;
    for (int I = 0; I < 4; ++I) {
        C.Timer().Timer();
        Shown.push_back(C.SeparatorVisible());
    }
    EXPECT_EQ(Shown, (std::vector<bool>{false, true, false, true}));
}

TEST_F(KcClockTest, ElapsedClockCountsFromActivation) {
    TKcClock C;
    C.SetClockType(TKcClockType::ctElapsed);
    SetTime(9, 0, 0);
    C.SetActive(true);
    SetTime(10, 2, 3);
    C.SetShowSeconds(true);
    C.Timer().Timer();
    EXPECT_EQ(C.DisplayText(), "01:02:03");
}

TEST_F(KcClockTest, DrawsTheDigitsOfItsTime) {
    TKcClock C;
    C.SetClockType(TKcClockType::ctCustom);
    C.SetHours(12);
    C.SetMinutes(34);
    C.show();
    const QImage Img = Render(C);
    const int DW = C.DigitWidth(), DH = C.DigitHeight();
    ASSERT_EQ(DW, 13);
    ASSERT_EQ(DH, 24);
    int X = (C.width() - C.NaturalWidth()) / 2;
    const int Y = (C.height() - DH) / 2;
    const int Digits[] = {1, 2, -1, 3, 4};
    const QImage& Strip = C.Digits();
    for (int D : Digits) {
        if (D < 0) {
            X += C.NaturalWidth() - 4 * DW - 4 * C.Spacing() + C.Spacing();
            continue;
        }
        // Every lit and unlit pixel of the cell matches the strip's cell.
        for (int YY = 0; YY < DH; ++YY)
            for (int XX = 0; XX < DW; ++XX) {
                const QRgb S = Strip.pixel(D * DW + XX, YY);
                if (qRed(S) + qGreen(S) + qBlue(S) == 0) continue;
                ASSERT_EQ(Img.pixel(X + XX, Y + YY), S) << "digit " << D << " at " << XX << "," << YY;
            }
        X += DW + C.Spacing();
    }
    // Lit segments take the palette's High colour.
    EXPECT_EQ(Strip.pixel(DW * 8 + DW / 2, 0), ToQColor(clLime).rgb());
}

TEST(KcTimer, TicksOnlyWithAnIntervalAHandlerAndWhileEnabled) {
    TKcTimer T;
    T.SetTimerType(TKcTimerType::ttSystem);
    T.UpdateTimer();
    EXPECT_FALSE(T.Running());  // no handler
    int Ticks = 0;
    T.OnTimer = [&](TKcTimer&) { ++Ticks; };
    T.SetInterval(0);
    EXPECT_FALSE(T.Running());
    T.SetInterval(50);
    EXPECT_TRUE(T.Running());
    T.SetEnabled(false);
    T.Timer();
    EXPECT_EQ(Ticks, 0);
    T.SetEnabled(true);
    T.Timer();
    EXPECT_EQ(Ticks, 1);
    T.OnTimer = [](TKcTimer&) { throw std::runtime_error("boom"); };
    EXPECT_NO_THROW(T.Timer());
}

}  // namespace
}  // namespace kelvar

namespace kelvar {
namespace {

TEST(KcGraphicImageControl, TransparentControlLetsTheParentShowThrough) {
    QWidget Parent;
    Parent.setAutoFillBackground(true);
    QPalette Pal = Parent.palette();
    Pal.setColor(QPalette::Window, QColor(0, 0, 255));
    Parent.setPalette(Pal);
    Parent.resize(60, 60);
    auto* Clock = new TKcClock(&Parent);
    Clock->SetClockType(TKcClockType::ctCustom);
    Clock->setGeometry(0, 0, 60, 30);
    Parent.show();
    EXPECT_EQ(test::Render(Parent).pixel(1, 1), qRgb(0, 0, 0));  // opaque: the clock's black
    Clock->SetTransparent(true);
    EXPECT_EQ(test::Render(Parent).pixel(1, 1), qRgb(0, 0, 255));
}

}  // namespace
}  // namespace kelvar
