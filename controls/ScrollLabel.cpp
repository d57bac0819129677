#include "controls/ScrollLabel.h"

#include "controls/KcSysUtils.h"
#include "foundation/Clock.h"

#include <QPainter>
#include <cstdlib>

namespace kelvar {

TScrollLabel::TScrollLabel(QWidget* Parent) : QWidget(Parent) {
    resize(100, 20);
    StartScroll();
}

void TScrollLabel::SetActive(bool Value) {
    if (FActive == Value) return;
    if (Value)
        StartScroll();
    else
        StopScroll();
    FWaiting = false;
}

void TScrollLabel::SetInterval(std::uint32_t Value) {
    if (FInterval == Value) return;
    FInterval = Value;
    FLastStep = GetClock().MsSinceStart();
}

void TScrollLabel::SetCaption(const QString& Value) {
    if (FCaption == Value) return;
    FCaption = Value;
    // A new caption starts over from offset 0 with an image of its own width.
    if (FActive) StartScroll();
    update();
}

void TScrollLabel::SetColor(TColor Value) {
    if (FColor == Value) return;
    FColor = Value;
    if (FActive) BuildImage();
    update();
}

void TScrollLabel::StartScroll() {
    FActive = true;
    FWaiting = false;
    FLastStep = GetClock().MsSinceStart();
    FOffset = 0;
    BuildImage();
}

void TScrollLabel::StopScroll() {
    FImage = QImage();
    FActive = false;
    update();
}

void TScrollLabel::BuildImage() {
    const int TextWidth = MeasureText(font(), FCaption).width();
    const int W = width() < TextWidth + 5 ? TextWidth + 5 : width();
    FImage = QImage(std::max(1, W), std::max(1, height()), QImage::Format_RGB32);
    FImage.fill(ToQColor(FColor));
    QPainter P(&FImage);
    P.setFont(font());
    P.setPen(palette().color(QPalette::WindowText));
    P.drawText(QPoint(1, QFontMetrics(font()).ascent()), FCaption);
    FBuiltCaption = FCaption;
}

void TScrollLabel::Tick() {
    if (!FActive) return;
    const std::int64_t Now = GetClock().MsSinceStart();
    const std::int64_t Due = FWaiting ? FWaitOnEnd : static_cast<std::int64_t>(FInterval);
    if (Now - FLastStep >= Due) Step();
}

void TScrollLabel::Step() {
    FWaiting = false;
    Advance();
    repaint();
    FLastStep = GetClock().MsSinceStart();
}

void TScrollLabel::Advance() {
    if (MeasureText(font(), FCaption).width() <= width()) return;
    FOffset += FScrollBy;
    if (FOffset < 1) {
        FScrollBy = std::abs(FScrollBy);
        if (FWaitOnEnd != 0) FWaiting = true;
    }
    if (width() >= FImage.width() - FOffset) {
        FScrollBy = -std::abs(FScrollBy);
        if (FWaitOnEnd != 0) FWaiting = true;
    }
}

void TScrollLabel::paintEvent(QPaintEvent*) {
    ++FPaintCount;
    QPainter P(this);
    if (!FActive) {
        P.fillRect(rect(), ToQColor(FColor));
        P.setPen(palette().color(QPalette::WindowText));
        P.drawText(QPoint(0, QFontMetrics(font()).ascent()), FCaption);
        return;
    }
    if (FCaption != FBuiltCaption) {
        StopScroll();
        StartScroll();
    }
    P.drawImage(QPoint(0, 0), FImage, QRect(FOffset, 0, width(), height()));
}

}  // namespace kelvar
