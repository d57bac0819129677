#include "controls/KcButtons.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kelvar {

namespace {

TKcFont DefaultFont(TColor Color) {
    QFont F("Arial");
    F.setPointSize(12);
    F.setBold(true);
    return TKcFont{F, Color};
}

int AlignmentFlags(TKcTextAlignment A) {
    switch (A) {
        case TKcTextAlignment::vtaLeft: return Qt::AlignVCenter | Qt::AlignLeft;
        case TKcTextAlignment::vtaCenter: return Qt::AlignVCenter | Qt::AlignHCenter;
        case TKcTextAlignment::vtaRight: return Qt::AlignVCenter | Qt::AlignRight;
        case TKcTextAlignment::vtaTopLeft: return Qt::AlignTop | Qt::AlignLeft;
        case TKcTextAlignment::vtaTop: return Qt::AlignTop | Qt::AlignHCenter;
        case TKcTextAlignment::vtaTopRight: return Qt::AlignTop | Qt::AlignRight;
        case TKcTextAlignment::vtaBottomLeft: return Qt::AlignBottom | Qt::AlignLeft;
        case TKcTextAlignment::vtaBottom: return Qt::AlignBottom | Qt::AlignHCenter;
        case TKcTextAlignment::vtaBottomRight: return Qt::AlignBottom | Qt::AlignRight;
    }
    return Qt::AlignCenter;
}

}  // namespace

TKcDemoButton::TKcDemoButton(QWidget* Parent)
    : TKcCustomImageControl(Parent), FFontEnter(DefaultFont(clRed)), FFontLeave(DefaultFont(clBlack)) {
    resize(150, 25);
    FFont3D.OnChange = [this](TKcPersistent&) { PropertyChanged(); };
}

void TKcDemoButton::SetBitmap(const QImage& Value) {
    FTile = Value;
    PropertyChanged();
}

void TKcDemoButton::TextChanged() {
    TKcCustomImageControl::TextChanged();
    PropertyChanged();
}

void TKcDemoButton::MouseEnter() {
    FHot = true;
    update();
    TKcCustomImageControl::MouseEnter();
}

void TKcDemoButton::MouseLeave() {
    FHot = false;
    update();
    TKcCustomImageControl::MouseLeave();
}

void TKcDemoButton::SetDown(bool Value) {
    if (FDown == Value) return;
    FDown = Value;
    update();
}

void TKcDemoButton::PaintBitmap(QPainter& Canvas) {
    if (!FTile.isNull()) TileBitmap(Canvas, FDown ? rect().translated(1, 1) : rect(), FTile);
    QRect R = rect();
    const TColor Outline = hasFocus() ? FFocusColor : FOutlineColor;
    if (FOutlineWidth > 0) DrawFrame3D(Canvas, R, Outline, Outline, FOutlineWidth);
    if (FDown)
        DrawFrame3D(Canvas, R, FShadowColor, FHighlightColor, FBevelWidth);
    else if (!FFlat || FHot)
        DrawFrame3D(Canvas, R, FHighlightColor, FShadowColor, FBevelWidth);
    else
        R.adjust(FBevelWidth, FBevelWidth, -FBevelWidth, -FBevelWidth);
    const TKcFont& F = (FHot && isEnabled()) ? FFontEnter : FFontLeave;
    Canvas.setFont(F.Font);
    Canvas.setPen(ToQColor(isEnabled() ? F.Color : FDisabledTextColor));
    if (FDown) R.translate(1, 1);
    FFont3D.DrawText3D(Canvas, R, AlignmentFlags(FTextAlignment) | Qt::TextSingleLine, Caption());
}

void TKcDemoButton::mousePressEvent(QMouseEvent* Event) {
    FireMouseDown(Event);
    if (Event->button() != Qt::LeftButton || !rect().contains(Event->position().toPoint())) return;
    if (TabStop()) setFocus(Qt::MouseFocusReason);
    FTracking = true;
    SetDown(true);
}

void TKcDemoButton::mouseDoubleClickEvent(QMouseEvent* Event) { mousePressEvent(Event); }

void TKcDemoButton::mouseMoveEvent(QMouseEvent* Event) {
    if (FTracking) SetDown(rect().contains(Event->position().toPoint()));
}

void TKcDemoButton::mouseReleaseEvent(QMouseEvent* Event) {
    FireMouseUp(Event);
    if (Event->button() != Qt::LeftButton) return;
    const bool Fire = FTracking && FDown;
    FTracking = false;
    SetDown(false);
    if (Fire) Click();
}

void TKcDemoButton::keyPressEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Space && !Event->isAutoRepeat()) {
        if (!FDown) {
            FTracking = true;
            SetDown(true);
        }
        return;
    }
    TKcCustomImageControl::keyPressEvent(Event);
}

void TKcDemoButton::keyReleaseEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Space && !Event->isAutoRepeat()) {
        const bool Fire = FTracking && FDown;
        FTracking = false;
        SetDown(false);
        if (Fire) Click();
        return;
    }
    TKcCustomImageControl::keyReleaseEvent(Event);
}

TKcPowerButton::TKcPowerButton(QWidget* Parent) : TKcCustomImageControl(Parent) {
    resize(125, 25);
    FPalette.OnChange = [this](TKcPersistent&) { PropertyChanged(); };
    CalcLayout();
}

void TKcPowerButton::CalcLayout() {
    const int Inset = FBevelWidth + FOutlineWidth;
    const QRect Client = rect().adjusted(Inset, Inset, -Inset, -Inset);
    const QSize Text = Caption().isEmpty() ? QSize(0, 0) : MeasureText(font(), Caption());
    CalcImageTextLayout(Client, QSize(FLedWidth, FLedHeight), Text, FLayout, FMargin, FSpacing, FLedRect, FCaptionRect);
}

void TKcPowerButton::TextChanged() {
    TKcCustomImageControl::TextChanged();
    CalcLayout();
    PropertyChanged();
}

void TKcPowerButton::FontChanged() {
    TKcCustomImageControl::FontChanged();
    CalcLayout();
    PropertyChanged();
}

void TKcPowerButton::resizeEvent(QResizeEvent* Event) {
    TKcCustomImageControl::resizeEvent(Event);
    CalcLayout();
}

void TKcPowerButton::PaintBitmap(QPainter& Canvas) {
    QRect R = rect();
    const TColor Outline = hasFocus() ? FFocusColor : FOutlineColor;
    if (FOutlineWidth > 0) DrawFrame3D(Canvas, R, Outline, Outline, FOutlineWidth);
    if (FPressed) {
        R = rect();
        DrawFrame3D(Canvas, R, FOutlineColor, FHighlightColor, FOutlineWidth);
        DrawFrame3D(Canvas, R, FShadowColor, FOutlineColor, FBevelWidth);
    } else {
        DrawFrame3D(Canvas, R, FHighlightColor, FShadowColor, FBevelWidth);
    }
    QRect Led = FLedRect;
    DrawFrame3D(Canvas, Led, FShadowColor, FHighlightColor, 1);
    DrawFrame3D(Canvas, Led, clBlack, clBlack, 1);
    const TColor Fill = !isEnabled() ? Color() : FActive ? FPalette.High() : FPalette.Low();
    Canvas.fillRect(Led, ToQColor(Fill));
    Canvas.setFont(font());
    Canvas.setPen(palette().color(QPalette::ButtonText));
    DrawButtonText(Canvas, Caption(), FCaptionRect, isEnabled());
}

void TKcPowerButton::mousePressEvent(QMouseEvent* Event) {
    FireMouseDown(Event);
    if (Event->button() != Qt::LeftButton) return;
    FMouseHeld = true;
    FPressed = true;
    update();
    if (TabStop()) setFocus(Qt::MouseFocusReason);
}

void TKcPowerButton::mouseMoveEvent(QMouseEvent* Event) {
    // Leaving the control while held lifts the button; coming back presses it again.
    if (!FMouseHeld) return;
    const bool Inside = rect().contains(Event->position().toPoint());
    if (Inside != FPressed) {
        FPressed = Inside;
        update();
    }
}

void TKcPowerButton::Release() {
    FPressed = false;
    FActive = !FActive;
    update();
}

void TKcPowerButton::mouseReleaseEvent(QMouseEvent* Event) {
    FMouseHeld = false;
    if (FPressed) {
        Release();
        FireMouseUp(Event);
        Click();
        return;
    }
    FireMouseUp(Event);
}

void TKcPowerButton::keyPressEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Space && !Event->isAutoRepeat()) {
        FPressed = true;
        update();
        return;
    }
    TKcCustomImageControl::keyPressEvent(Event);
}

void TKcPowerButton::keyReleaseEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Space && !Event->isAutoRepeat()) {
        FMouseHeld = false;
        Release();
        Click();
        return;
    }
    TKcCustomImageControl::keyReleaseEvent(Event);
}

void SetDemoFont(TKcDemoButton& Button, const QFont& Font) {
    Button.SetFontLeave(TKcFont{Font, Button.FontLeave().Color});
    Button.SetFontEnter(TKcFont{Font, Button.FontEnter().Color});
}

}  // namespace kelvar
