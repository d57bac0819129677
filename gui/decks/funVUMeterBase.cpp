#include "gui/decks/funVUMeterBase.h"

#include <QLabel>
#include <cmath>
#include <cstdlib>

#include "controls/KcLevelBar.h"
#include "foundation/dButils.h"

namespace kelvar {

namespace {

constexpr int BarWidth = 7;
constexpr int BarGap = 3;
constexpr int BarTop = 4;
constexpr int LabelHeight = 11;
constexpr int ScaleWidth = 20;
constexpr TColor FrameColor = 0xDBEAEE;  // the deck's face, RGB 238, 234, 219

QLabel* SmallLabel(QWidget* Parent, const QString& Text, const char* Name, Qt::Alignment Align) {
    auto* l = new QLabel(Text, Parent);
    l->setObjectName(Name);
    QFont f = l->font();
    f.setPixelSize(9);
    l->setFont(f);
    l->setAlignment(Align | Qt::AlignVCenter);
    l->resize(ScaleWidth, LabelHeight);
    return l;
}

TKcLevelBar* PeakBar(QWidget* Parent, const char* Name) {
    auto* b = new TKcLevelBar(Parent);
    b->setObjectName(Name);
    b->BeginLoading();
    b->SetOrientation(TKcOrientation::voVertical);
    b->SetMinValue(0);
    b->SetMaxValue(100);
    b->SetPalette1(TKcPalette(clGreen, clLime));
    b->SetPalette2(TKcPalette(clOlive, clYellow));
    b->SetPalette3(TKcPalette(clMaroon, clRed));
    b->SetColor(clBlack);
    b->EndLoading();
    b->resize(BarWidth, 120);
    return b;
}

int BarPercent(double Db) { return static_cast<int>(std::lround(DbToLinear100(Db))); }

}  // namespace

TfrmVUMeterBase::TfrmVUMeterBase(QWidget* Parent) : QWidget(Parent) {
    setObjectName("frmVUMeterBase");
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(FrameColor));
    setPalette(pal);
    ePeakL = PeakBar(this, "ePeakL");
    ePeakR = PeakBar(this, "ePeakR");
    lbL = SmallLabel(this, "L", "lbL", Qt::AlignHCenter);
    lbR = SmallLabel(this, "R", "lbR", Qt::AlignHCenter);
    lbdB = SmallLabel(this, "dB", "lbdB", Qt::AlignRight);
    static const char* const Names[] = {"lb30", "lb20", "lb15", "lb10", "lb7", "lb5", "lb3", "lb2", "lb1", "lb0"};
    for (size_t i = 0; i < VUScaleMarks.size(); ++i)
        ScaleLabels[i] = SmallLabel(this, QString("-%1").arg(std::abs(VUScaleMarks[i])), Names[i], Qt::AlignRight);
    resize(104, 169);
}

void TfrmVUMeterBase::Init() {
    FrameResize();
    const int green = BarPercent(-6);
    const int yellow = static_cast<int>(std::lround(DbToLinear100(-2) - DbToLinear100(-6)));
    ePeakL->SetPercent1(green);
    ePeakL->SetPercent2(yellow);
    ePeakR->SetPercent1(ePeakL->Percent1());
    ePeakR->SetPercent2(ePeakL->Percent2());
}

void TfrmVUMeterBase::Done() {}

void TfrmVUMeterBase::SetLevels(double Scale, double Right, double Left) {
    ePeakL->SetPosition(static_cast<int>(std::lround(DbToLinear100(Left) * Scale)));
    ePeakR->SetPosition(static_cast<int>(std::lround(DbToLinear100(Right) * Scale)));
}

void TfrmVUMeterBase::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    FrameResize();
}

void TfrmVUMeterBase::FrameResize() {
    const int content = ScaleWidth + 2 + BarWidth + BarGap + BarWidth;
    const int x0 = std::max(0, (width() - content) / 2);
    const int xL = x0 + ScaleWidth + 2;
    const int xR = xL + BarWidth + BarGap;

    const int labelTop = height() - 4 - lbL->height();
    // A caption wider than its bar ("Out") grows outwards, away from the other bar's.
    const int wideL = std::max(BarWidth + 4, lbL->fontMetrics().horizontalAdvance(lbL->text()) + 2);
    const int wideR = std::max(BarWidth + 4, lbR->fontMetrics().horizontalAdvance(lbR->text()) + 2);
    lbL->setAlignment((wideL > BarWidth + 4 ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignVCenter);
    lbR->setAlignment((wideR > BarWidth + 4 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
    lbL->setGeometry(xL + BarWidth + 2 - wideL, labelTop, wideL, LabelHeight);
    lbR->setGeometry(xR - 2, labelTop, wideR, LabelHeight);
    lbdB->setGeometry(x0, labelTop, ScaleWidth, LabelHeight);

    const int barHeight = std::max(0, labelTop - 4 - BarTop);
    ePeakL->setGeometry(xL, BarTop, BarWidth, barHeight);
    ePeakR->setGeometry(xR, BarTop, BarWidth, barHeight);

    QLabel* previous = nullptr;
    for (size_t i = 0; i < VUScaleMarks.size(); ++i) {
        QLabel* label = ScaleLabels[i];
        const int fill = static_cast<int>(std::lround(DbToLinear100(VUScaleMarks[i]) * barHeight / 100.0));
        const int top = BarTop + 1 + barHeight - fill - label->height() / 2;
        label->move(x0, top);
        // Visibility is decided against the label just before, as last placed.
        const bool overlaps = previous && !previous->isHidden() && previous->y() < top + label->height();
        label->setHidden(overlaps);
        previous = label;
    }
}

}  // namespace kelvar
