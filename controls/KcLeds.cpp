#include "controls/KcLeds.h"

#include <QPainter>

namespace kelvar {

TKcUserLed::TKcUserLed(QWidget* Parent) : TKcGraphicControl(Parent) {
    resize(20, 10);
    FBevel.SetInnerStyle(TKcBevelStyle::bsNone);
    FBevel.SetInnerHighlight(clLime);
    FBevel.SetInnerShadow(clGreen);
    FPaletteEx.SetLow1(clMaroon);
    FPaletteEx.SetLow2(clBlack);
    FPaletteEx.SetHigh1(clRed);
    FPaletteEx.SetHigh2(clBlack);
    FBevel.OnChange = [this](TKcPersistent&) { PropertyChanged(); };
    FPaletteEx.OnChange = [this](TKcPersistent&) { PropertyChanged(); };
}

void TKcUserLed::SetActive(bool Value) {
    if (FActive == Value) return;
    FActive = Value;
    PropertyChanged();
    Changed();
}

void TKcUserLed::Changed() {
    if (OnChange) OnChange(*this);
}

void TKcUserLed::SetOutlineColor(TColor Value) {
    if (FOutlineColor == Value) return;
    FOutlineColor = Value;
    PropertyChanged();
}

void TKcUserLed::SetOutlineWidth(int Value) {
    if (FOutlineWidth == Value) return;
    FOutlineWidth = Value;
    PropertyChanged();
}

void TKcUserLed::SetDrawStyle(TKcDrawStyle Value) {
    if (FDrawStyle == Value) return;
    FDrawStyle = Value;
    PropertyChanged();
}

void TKcUserLed::paintEvent(QPaintEvent*) {
    QPainter Canvas(this);
    if (FDrawStyle == TKcDrawStyle::dsOwnerDraw) {
        Canvas.fillRect(rect(), ToQColor(Color()));
        if (OnDraw) OnDraw(*this, Canvas, rect());
        return;
    }
    QRect R = rect();
    if (FOutlineWidth > 0) DrawFrame3D(Canvas, R, FOutlineColor, FOutlineColor, FOutlineWidth);
    FBevel.Draw(Canvas, R);
    if (FActive)
        FillGradientStyle(Canvas, R, FPaletteEx.High1(), FPaletteEx.High2(), 1, 1);
    else
        FillGradientStyle(Canvas, R, FPaletteEx.Low1(), FPaletteEx.Low2(), 1, 1);
}

}  // namespace kelvar
