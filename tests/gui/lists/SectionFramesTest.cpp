// The section frames: the caption and its shadow, the buttons at the caption bar's edge, and
// the status bar's progress panel as painted.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

#include "common/GuiTestKit.h"
#include "gui/lists/unStatusSection.h"

namespace kelvar {
namespace {

class SectionFrames : public guitest::GuiTest {};

TEST_F(SectionFrames, CaptionBarKeepsShadowAndEdgeButtons) {
    TfoStatusSection section;
    section.pCaptionBar->show();
    section.resize(300, 200);
    section.show();
    QCoreApplication::processEvents();
    section.SetCaption("Queue");
    EXPECT_EQ(section.lbCaptionShadow->text(), "Queue");
    EXPECT_EQ(section.lbCaptionShadow->pos() - section.lbCaption->pos(), QPoint(2, 2));
    section.resize(420, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(section.btNext->x() + section.btNext->width(), section.pCaptionBar->width());
    EXPECT_EQ(section.btPrevious->x(), section.btNext->x() - section.btPrevious->width() + 1);
    // Panel 1 keeps its width; panel 0 takes the rest.
    EXPECT_EQ(section.StatusProgress->width(), 100);
    EXPECT_GT(section.StatusText->width(), 250);
}

TEST_F(SectionFrames, ProgressPanelPaintsItsShareInNavy) {
    TProgressPanel panel;
    panel.resize(100, 17);
    const QColor navy(0, 0, 0x80);
    auto navyColumns = [&] {
        const QImage image = panel.grab().toImage();
        int columns = 0;
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, image.height() - 1) == navy) ++columns;
        return columns;
    };
    struct Case {
        int Percent;
        int Navy;
    } cases[] = {{0, 0}, {37, 37}, {100, 100}, {140, 100}};
    for (const Case& c : cases) {
        panel.SetProgress(c.Percent, "");
        EXPECT_EQ(navyColumns(), c.Navy) << c.Percent;
    }
    // Text is drawn in grey on top, centred.
    panel.SetProgress(0, "Loading");
    const QImage image = panel.grab().toImage();
    int grey = 0, left = image.width(), right = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != panel.palette().color(QPalette::Button)) {
                ++grey;
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_GT(grey, 0);
    EXPECT_NEAR(left, image.width() - 1 - right, 3);

    TfoStatusSection section;
    section.SetProgress(55, "Adding");
    EXPECT_EQ(section.Progress(), 55);
    EXPECT_EQ(section.StatusProgress->Text(), "Adding");
    section.SetStatusText("12 tracks");
    EXPECT_EQ(section.StatusText->text(), "12 tracks");
}

}  // namespace
}  // namespace kelvar
