#include "gui/lists/unStatusSection.h"

#include <QLabel>
#include <QPainter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kelvar {

TProgressPanel::TProgressPanel(QWidget* Parent) : QWidget(Parent) { setFixedWidth(100); }

void TProgressPanel::SetProgress(int Percent, const QString& Text) {
    Percent = std::clamp(Percent, 0, 100);
    if (Percent == FPercent && Text == FText) return;
    FPercent = Percent;
    FText = Text;
    repaint();
}

void TProgressPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    const int a = static_cast<int>(std::lround(r.width() * FPercent / 100.0));
    painter.fillRect(QRect(r.left(), r.top(), a, r.height()), BgrColor(8388608));
    painter.fillRect(QRect(r.left() + a, r.top(), r.width() - a, r.height()), palette().color(QPalette::Button));
    if (FText.isEmpty()) return;
    QFont plain = font();
    plain.setBold(false);
    plain.setItalic(false);
    painter.setFont(plain);
    painter.setPen(BgrColor(8421504));
    const QFontMetrics metrics(plain);
    const int x = r.left() + (r.width() - metrics.horizontalAdvance(FText)) / 2;
    const int y = r.top() + (r.height() - metrics.height()) / 2;
    painter.drawText(x, y + metrics.ascent(), FText);
}

TfoStatusSection::TfoStatusSection(QWidget* Parent) : TfoBigSection(Parent) {
    StatusBar = new QStatusBar(this);
    StatusBar->setFixedHeight(19);
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setAutoFillBackground(true);
    QPalette p = StatusBar->palette();
    p.setColor(QPalette::Window, BgrColor(10668498));
    StatusBar->setPalette(p);
    StatusText = new QLabel(StatusBar);
    StatusText->setMinimumWidth(150);
    StatusProgress = new TProgressPanel(StatusBar);
    // Panel 0 takes the width panel 1 leaves.
    StatusBar->addWidget(StatusText, 1);
    StatusBar->addPermanentWidget(StatusProgress, 0);
    Body()->addWidget(StatusBar);
}

void TfoStatusSection::SetStatusText(const QString& Value) { StatusText->setText(Value); }

void TfoStatusSection::SetProgress(uint8_t Percent, const QString& Text) {
    FProgress = std::min<uint8_t>(Percent, 100);
    FProgressText = Text;
    StatusProgress->SetProgress(FProgress, Text);
    StatusBar->repaint();
}

}  // namespace kelvar
