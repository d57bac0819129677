#include "controls/KcNavigator.h"

#include "controls/KcResources.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kelvar {

TKcMediaButton::TKcMediaButton(QWidget* Parent)
    : TKcCustomImageControl(Parent),
      FEnabledGlyphs(KcResourceImage("EN_IMAGES")),
      FDisabledGlyphs(KcResourceImage("DI_IMAGES")) {
    resize(40, 15);
}

void TKcMediaButton::SetButtonType(TKcButtonType Value) {
    if (FButtonType == Value) return;
    FButtonType = Value;
    PropertyChanged();
}

void TKcMediaButton::SetFocusColor(TColor Value) {
    if (FFocusColor == Value) return;
    FFocusColor = Value;
    PropertyChanged();
}

void TKcMediaButton::SetBorderColor(TColor Value) {
    if (FBorderColor == Value) return;
    FBorderColor = Value;
    PropertyChanged();
}

void TKcMediaButton::SetDown(bool Value) {
    if (FDown == Value) return;
    FDown = Value;
    update();
}

void TKcMediaButton::PaintBitmap(QPainter& Canvas) {
    const TColor Start = FDown ? clBtnFace : clBtnHighlight, End = FDown ? clBtnHighlight : clBtnShadow;
    FillGradient(Canvas, rect().adjusted(2, 2, -2, -2), Start, End, 0, std::max(2, height() / 10));
    const QImage& Strip = isEnabled() ? FEnabledGlyphs : FDisabledGlyphs;
    const int GlyphWidth = Strip.width() / 10;
    const QPoint At(width() / 2 - GlyphWidth / 2, height() / 2 - Strip.height() / 2 + (FDown ? 1 : 0));
    DrawTransparent(Canvas, At, Strip, QRect(static_cast<int>(FButtonType) * GlyphWidth, 0, GlyphWidth, Strip.height()),
                    ToQColor(0x008080).rgb());
    QRect R = rect();
    const TColor Ring = hasFocus() ? FFocusColor : FBorderColor;
    DrawFrame3D(Canvas, R, Ring, Ring, 1);
    if (FDown)
        DrawFrame3D(Canvas, R, clBtnShadow, clBtnFace, 1);
    else
        DrawFrame3DFlush(Canvas, R, clBtnHighlight, clBtnShadow, 1);
}

void TKcMediaButton::mousePressEvent(QMouseEvent* Event) {
    FireMouseDown(Event);
    if (Event->button() != Qt::LeftButton || !rect().contains(Event->position().toPoint())) return;
    FTracking = true;
    SetDown(true);
    if (TabStop()) setFocus(Qt::MouseFocusReason);
}

void TKcMediaButton::mouseDoubleClickEvent(QMouseEvent* Event) { mousePressEvent(Event); }

void TKcMediaButton::mouseMoveEvent(QMouseEvent* Event) {
    if (FTracking) SetDown(rect().contains(Event->position().toPoint()));
}

void TKcMediaButton::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton) {
        const bool Click = FTracking && FDown && rect().contains(Event->position().toPoint());
        FTracking = false;
        SetDown(false);
        FireMouseUp(Event);
        if (Click) TKcCustomControl::Click();
        return;
    }
    FireMouseUp(Event);
}

void TKcMediaButton::keyPressEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Space && !Event->isAutoRepeat() && !FDown) {
        FTracking = true;
        SetDown(true);
        return;
    }
    TKcCustomImageControl::keyPressEvent(Event);
}

void TKcMediaButton::keyReleaseEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Space && !Event->isAutoRepeat()) {
        const bool Click = FTracking && FDown;
        FTracking = false;
        SetDown(false);
        if (Click) TKcCustomControl::Click();
        return;
    }
    TKcCustomImageControl::keyReleaseEvent(Event);
}

}  // namespace kelvar
