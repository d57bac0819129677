#include "controls/KcUpDown.h"

#include "controls/KcResources.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kelvar {

TKcUpDown::TKcUpDown(QWidget* Parent)
    : TKcGraphicImageControl(Parent),
      FGlyphsUp(KcResourceImage("UPDOWN_UP")),
      FGlyphsDown(KcResourceImage("UPDOWN_DOWN")) {
    SetColor(clBlack);
    resize(20, 30);
    setMouseTracking(true);
    FTimer.SetEnabled(false);
    FTimer.SetTimerType(TKcTimerType::ttSystem);
    FTimer.SetInterval(400);
    FTimer.OnTimer = [this](TKcTimer&) { RepeatTick(); };
}

void TKcUpDown::SetGlyphsUp(const QImage& Value) {
    FGlyphsUp = Value.isNull() ? KcResourceImage("UPDOWN_UP") : Value;
    PropertyChanged();
}

void TKcUpDown::SetGlyphsDown(const QImage& Value) {
    FGlyphsDown = Value.isNull() ? KcResourceImage("UPDOWN_DOWN") : Value;
    PropertyChanged();
}

void TKcUpDown::SetNumGlyphs(int Value) {
    Value = std::clamp(Value, 1, 4);
    if (FNumGlyphs == Value) return;
    FNumGlyphs = Value;
    PropertyChanged();
}

void TKcUpDown::SetOrientation(TKcOrientation Value) {
    if (FOrientation == Value) return;
    FOrientation = Value;
    if (!Loading()) resize(height(), width());
    PropertyChanged();
}

QRect TKcUpDown::ButtonRect(int Index) const {
    if (FOrientation == TKcOrientation::voHorizontal) return QRect(Index * (width() / 2), 0, width() / 2, height());
    return QRect(0, Index * (height() / 2), width(), height() / 2);
}

int TKcUpDown::ButtonAt(const QPoint& P) const {
    for (int I = 0; I < 2; ++I)
        if (ButtonRect(I).contains(P)) return I;
    return -1;
}

int TKcUpDown::GlyphState(int Index) const {
    int State = 0;
    if (Index == FHot) State = FInside ? 2 : 1;
    if (!isEnabled()) State = 3;
    return State > FNumGlyphs - 1 ? 0 : State;
}

void TKcUpDown::PaintBitmap(QPainter& Canvas) {
    for (int I = 0; I < 2; ++I) {
        const QImage& Strip = I == 0 ? FGlyphsUp : FGlyphsDown;
        if (Strip.isNull()) continue;
        const int GW = Strip.width() / FNumGlyphs, GH = Strip.height();
        if (GW <= 0) continue;
        const QRect B = ButtonRect(I);
        const QPoint At(B.left() + (B.width() - GW) / 2, B.top() + (B.height() - GH) / 2);
        DrawTransparent(Canvas, At, Strip, QRect(GlyphState(I) * GW, 0, GW, GH), Strip.pixel(0, GH - 1));
    }
}

void TKcUpDown::FireButton(int Index) {
    if (Index == 0 && OnUpClick) OnUpClick(*this);
    if (Index == 1 && OnDownClick) OnDownClick(*this);
}

void TKcUpDown::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton && isEnabled()) {
        FHeld = true;
        FInside = true;
        FPressed = ButtonAt(Event->position().toPoint());
        FHot = FPressed;
        FTimer.SetEnabled(false);
        FTimer.SetInterval(400);
        FTimer.SetEnabled(FRepeatClick);
        update();
    }
    FireMouseDown(Event);
}

void TKcUpDown::mouseMoveEvent(QMouseEvent* Event) {
    const int Under = ButtonAt(Event->position().toPoint());
    if (FHeld) FInside = Under == FPressed;
    if (Under != FHot) {
        FHot = Under;
        update();
    }
}

void TKcUpDown::mouseReleaseEvent(QMouseEvent* Event) {
    FTimer.SetEnabled(false);
    if (FHeld) {
        FHeld = false;
        const bool WasInside = FInside;
        FInside = false;
        update();
        if (WasInside) FireButton(FPressed);
    }
    FireMouseUp(Event);
}

void TKcUpDown::RepeatTick() {
    FTimer.SetInterval(static_cast<std::uint32_t>(FRepeatPause));
    if (!FHeld || !FInside) return;
    try {
        FireButton(FPressed);
    } catch (...) {
        FTimer.SetEnabled(false);
        throw;
    }
}

void TKcUpDown::MouseLeave() {
    FHot = -1;
    update();
    TKcGraphicImageControl::MouseLeave();
}

}  // namespace kelvar
