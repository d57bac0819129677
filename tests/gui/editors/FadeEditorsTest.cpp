// The fade and crossfade editors: what they save in plain and override mode, the fixed
// crossfade point notice, and the graph's geometry, curves, areas and trigger line.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QSpinBox>

#include "audio/nodes/Node_Volume.h"
#include "common/GuiTestKit.h"
#include "controls/KcTrackBar.h"
#include "gui/editors/funFade.h"
#include "gui/editors/funFadeSettings.h"
#include "gui/editors/funXFade.h"
#include "gui/editors/funXFadeGraph.h"

namespace kelvar {
namespace {

class FadeEditors : public guitest::GuiTest {};

TSongSettings AllDefaultMarks() {
    TSongSettings s;
    s.FadeIn = s.FadeOut = TFadeParams{-1, -1, -1, 0};
    s.XFadeMode = -1;
    s.XFade = -1;
    s.XFadeLevel = s.XFadeMinTime = s.XFadeMaxTime = -1;
    return s;
}

TEST_F(FadeEditors, PlainModeSavesWhatItShows) {
    TfrmFadeSettings f;
    TSongSettings defaults;
    defaults.FadeOut = {1, 4000, 70, 3};
    defaults.FadeIn = {0, 800, 60, 1};
    defaults.XFadeMode = 2;
    defaults.XFade = -2500;
    defaults.XFadeLevel = 6;
    defaults.XFadeMinTime = 1200;
    defaults.XFadeMaxTime = 7000;
    f.Init(false, defaults, defaults);
    EXPECT_TRUE(f.frmFadeOut->oEnabled->isHidden());
    EXPECT_TRUE(f.frmXFade1->oXFade->isHidden());
    EXPECT_EQ(f.frmFadeIn->eEnabled->text(), "Enable fade in");
    EXPECT_EQ(f.frmFadeOut->eEnabled->text(), "Enable fade out");
    EXPECT_EQ(f.frmFadeOut->lbTime->text(), "4.0 sec");
    EXPECT_EQ(f.frmFadeOut->lbLevel->text(), "70%");
    EXPECT_EQ(f.frmXFade1->eTrigger->value(), -6);

    f.frmXFade1->eTime->SetPosition(3100);
    TSongSettings out = AllDefaultMarks();
    out.Gain = 42;
    f.SaveTo(out);
    EXPECT_EQ(out.FadeOut.Enabled, 1);
    EXPECT_EQ(out.FadeOut.Time, 4000);
    EXPECT_EQ(out.FadeOut.Level, 70);
    EXPECT_EQ(out.FadeOut.Curve, 3);
    EXPECT_EQ(out.FadeIn.Enabled, 0);
    EXPECT_EQ(out.FadeIn.Curve, 1);
    EXPECT_EQ(out.XFadeMode, 2);
    EXPECT_EQ(out.XFade, -3100);  // the time before the end
    EXPECT_EQ(out.XFadeLevel, 6);
    EXPECT_EQ(out.XFadeMinTime, 1200);
    EXPECT_EQ(out.XFadeMaxTime, 7000);
    EXPECT_EQ(out.Gain, 42);  // not a fade field
    f.Done();
}

TEST_F(FadeEditors, OverrideModeKeepsTheMarksOfUncheckedBoxes) {
    TfrmFadeSettings f;
    f.Init(true, TSongSettings{}, AllDefaultMarks());
    EXPECT_FALSE(f.frmFadeIn->oTime->isHidden());
    for (QCheckBox* b : {f.frmFadeIn->oEnabled, f.frmFadeIn->oCurve, f.frmXFade1->oXFade, f.frmXFade1->oFadeMax})
        EXPECT_FALSE(b->isChecked());
    TSongSettings out;
    f.SaveTo(out);
    for (const TFadeParams& p : {out.FadeIn, out.FadeOut}) {
        EXPECT_EQ(p.Enabled, -1);
        EXPECT_EQ(p.Time, -1);
        EXPECT_EQ(p.Level, -1);
        EXPECT_EQ(p.Curve, 0);
    }
    EXPECT_EQ(out.XFadeMode, -1);
    EXPECT_EQ(out.XFade, -1);
    EXPECT_EQ(out.XFadeLevel, -1);
    EXPECT_EQ(out.XFadeMinTime, -1);
    EXPECT_EQ(out.XFadeMaxTime, -1);

    // A value changed without its box stays a default; a ticked box stores the value.
    f.frmFadeOut->eTime->SetPosition(2000);
    f.frmFadeOut->eLevel->SetPosition(50);
    f.frmFadeOut->oLevel->setChecked(true);
    f.SaveTo(out);
    EXPECT_EQ(out.FadeOut.Time, -1);
    EXPECT_EQ(out.FadeOut.Level, 50);

    // Own values of ticked boxes show over the defaults; a stored trigger of 6 dB shows as -6.
    TSongSettings own = AllDefaultMarks();
    own.FadeIn.Time = 1500;
    own.XFadeLevel = 6;
    f.Init(true, TSongSettings{}, own);
    EXPECT_TRUE(f.frmFadeIn->oTime->isChecked());
    EXPECT_EQ(f.frmFadeIn->eTime->Position(), 1500);
    EXPECT_EQ(f.frmXFade1->eTrigger->value(), -6);
    f.SaveTo(out);
    EXPECT_EQ(out.XFadeLevel, 6);
    f.Done();
}

TEST_F(FadeEditors, FixedCrossfadePointShowsTheNotice) {
    TfrmXFade x;
    TSongSettings own = AllDefaultMarks();
    own.XFade = 83000;
    x.Init(true, TSongSettings{}, own);
    EXPECT_TRUE(x.NoticeShown());
    EXPECT_EQ(x.lbNotice4->text(), "[ XFade point 1:23.0 ]");
    EXPECT_TRUE(x.eTime->isHidden());
    EXPECT_TRUE(x.lbTime->isHidden());
    EXPECT_TRUE(x.lbTimeCaption->isHidden());

    TSongSettings out;
    out.XFade = 83000;
    x.SaveTo(out);
    EXPECT_EQ(out.XFade, 83000);  // the caller's fixed point stays
    EXPECT_EQ(out.XFadeMode, 1);  // unchecked mode box with a fixed point

    // The same point again changes nothing; clearing it hides the notice.
    int changes = 0;
    x.OnChange = [&](QWidget&) { ++changes; };
    x.SetXFadePoint(83000);
    EXPECT_EQ(changes, 0);
    x.SetXFadePoint(-1);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(x.NoticeShown());
    EXPECT_FALSE(x.eTime->isHidden());

    // A time before the end moves the time control only when its box is ticked.
    x.oTime->setChecked(true);
    x.SetXFadePoint(-4200);
    EXPECT_EQ(x.eTime->Position(), 4200);

    // Init always makes the next call act.
    x.Init(true, TSongSettings{}, own);
    changes = 0;
    x.OnChange = [&](QWidget&) { ++changes; };
    x.SetXFadePoint(83000);
    EXPECT_EQ(changes, 0);
}

TEST_F(FadeEditors, GraphSpanAndMapping) {
    TSongSettings s;
    s.FadeOut = {1, 5000, 90, 2};
    s.FadeIn = {1, 500, 80, 2};
    s.XFade = -3000;
    struct TCase {
        int32_t Mode;
        int64_t XFade;
        int64_t Span;
    } cases[] = {{2, -3000, 7000}, {0, -3000, 7500}, {1, 83000, 7500}, {2, -6000, 8000}};
    for (const TCase& c : cases) {
        s.XFadeMode = c.Mode;
        s.XFade = c.XFade;
        EXPECT_EQ(XFadeGraphSpan(s), c.Span) << c.Mode << " " << c.XFade;
    }
    const TXFadeGraphGeometry g(700, 100, 7000);
    EXPECT_EQ(g.Y(100), 5);
    EXPECT_EQ(g.Y(0), 98);
    EXPECT_EQ(g.X(1000), 100);
    EXPECT_EQ(g.X(7000), 700);
}

TEST_F(FadeEditors, ScanLineFillStaysInsideItsRegion) {
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Qt::black);
    for (int y = 0; y < 10; ++y) img.setPixel(10, y, QColor(Qt::white).rgb());  // a wall
    img.setPixel(3, 3, QColor(Qt::red).rgb());                                  // an island
    const QImage mask = ScanLineFill(img, QPoint(0, 0), QColor(Qt::green));
    EXPECT_EQ(img.pixel(9, 9), QColor(Qt::green).rgb());
    EXPECT_EQ(img.pixel(11, 0), QColor(Qt::black).rgb());
    EXPECT_EQ(img.pixel(3, 3), QColor(Qt::red).rgb());
    EXPECT_EQ(mask.constScanLine(0)[0], 1);
    EXPECT_EQ(mask.constScanLine(0)[11], 0);
    EXPECT_TRUE(ScanLineFill(img, QPoint(40, 40), QColor(Qt::blue)).isNull());

    HatchFill(img, QPoint(15, 5), QColor(0x33, 0x33, 0x33));
    int hatched = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 11; x < 20; ++x) hatched += img.pixel(x, y) == QColor(0x33, 0x33, 0x33).rgb();
    EXPECT_GT(hatched, 0);
    EXPECT_LT(hatched, 90);  // lines only, the ground stays
    EXPECT_EQ(img.pixel(9, 9), QColor(Qt::green).rgb());
}

// Finds the rows of Color in column X.
std::vector<int> RowsOf(const QImage& img, int x, QColor color) {
    std::vector<int> rows;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixel(x, y) == color.rgb()) rows.push_back(y);
    return rows;
}

TEST_F(FadeEditors, GraphDrawsTheCurvesAreasAndTriggerLine) {
    TfrmXFadeGraph graph;
    graph.resize(700, 100);
    graph.Init();
    TSongSettings s;
    s.FadeOut = {1, 5000, 90, 1};  // linear, down to 10 %
    s.FadeIn = {1, 500, 80, 2};
    s.XFadeMode = 2;
    s.XFade = -3000;
    s.XFadeLevel = 7;
    graph.Draw(s);
    const QImage& img = graph.Bitmap();
    const TXFadeGraphGeometry g(700, 100, 7000);
    const QColor lime(0x00, 0xFF, 0x00), blue(0x00, 0x00, 0xFF), red(0xFF, 0x00, 0x00);

    // The fade-out line follows its curve: half way down the linear fade is at 55 %.
    const int xHalf = g.X(1000) + g.X(2500);
    const auto limeRows = RowsOf(img, xHalf, lime);
    ASSERT_FALSE(limeRows.empty());
    const int want = g.Y(FadeCurveValue(1, 2500, 5000, 90, false));
    EXPECT_LE(std::abs(limeRows.front() - want), 2) << limeRows.front() << " vs " << want;

    // The fade-in starts 3000 ms before the fade-out ends, from 20 %.
    const int x2 = g.X(1000 + 5000 - 3000);
    EXPECT_FALSE(RowsOf(img, x2, blue).empty());
    EXPECT_TRUE(RowsOf(img, x2 - 8, blue).empty());

    // Trigger line at level 45 (7 dB), dotted red across the width.
    int redPixels = 0;
    for (int x = 0; x < 700; ++x) redPixels += img.pixel(x, g.Y(45)) == red.rgb();
    EXPECT_GT(redPixels, 100);

    // Before the change: green ground with its hatch; after it: navy with blue hatch.
    const QRgb before = img.pixel(30, g.Y(100) + 10);
    EXPECT_TRUE(before == QColor(0x00, 0x80, 0x00).rgb() || before == QColor(0x00, 0xDD, 0x00).rgb());
    const QRgb after = img.pixel(690, g.Y(100) + 10);
    EXPECT_TRUE(after == QColor(0x00, 0x00, 0x80).rgb() || after == blue.rgb());
    // The overlap between the start of the fade-in and the end of the fade-out is teal.
    const QRgb overlap = img.pixel((x2 + g.X(6000)) / 2, g.Y(0));
    EXPECT_TRUE(overlap == QColor(0x00, 0x80, 0x80).rgb() || overlap == QColor(0x00, 0xDD, 0xDD).rgb())
        << std::hex << overlap;

    // No trigger level, no red line.
    s.XFadeLevel = 0;
    graph.Draw(s);
    int anyRed = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 700; ++x) anyRed += graph.Bitmap().pixel(x, y) == red.rgb();
    EXPECT_EQ(anyRed, 0);
}

TEST_F(FadeEditors, ChangesRedrawOnceAfterTheWait) {
    TfrmFadeSettings f;
    f.Init(false, DefaultSongSettings, DefaultSongSettings);
    f.DrawTimerTimer();
    const QImage first = f.frmXFadeGraph1->Bitmap().copy();
    f.frmFadeOut->eTime->SetPosition(1000);
    f.frmFadeOut->eTime->SetPosition(2000);
    EXPECT_TRUE(f.DrawTimer->isActive());
    EXPECT_EQ(f.frmXFadeGraph1->Bitmap(), first);  // nothing drawn yet
    f.DrawTimerTimer();
    EXPECT_FALSE(f.DrawTimer->isActive());
    EXPECT_NE(f.frmXFadeGraph1->Bitmap(), first);
    f.Done();
    f.frmFadeOut->eTime->SetPosition(3000);
    EXPECT_FALSE(f.DrawTimer->isActive());  // detached
}

}  // namespace
}  // namespace kelvar
