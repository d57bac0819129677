#include "controls/KcLevelBar.h"

#include <QPainter>
#include <algorithm>

namespace kelvar {

TKcLevelBar::TKcLevelBar(QWidget* Parent) : TKcGraphicImageControl(Parent) {
    SetColor(clBlack);
    FBevel.SetInnerStyle(TKcBevelStyle::bsLowered);
    FBevel.SetInnerWidth(2);
    FBevel.SetInnerColor(clBlack);
    auto Repaint = [this](TKcPersistent&) { PropertyChanged(); };
    FPalette1.OnChange = Repaint;
    FPalette2.OnChange = Repaint;
    FPalette3.OnChange = Repaint;
    FBevel.OnChange = [this](TKcPersistent&) { BevelChanged(); };
    resize(20, 170);
    FitToSegments();
}

void TKcLevelBar::SetMaxValue(int Value) {
    if (Value == FMaxValue || Value <= FMinValue) return;
    FMaxValue = Value;
    if (FPosition > FMaxValue)
        SetPosition(FMaxValue);
    else
        PropertyChanged();
}

void TKcLevelBar::SetMinValue(int Value) {
    if (Value == FMinValue || Value >= FMaxValue) return;
    FMinValue = Value;
    if (FPosition < FMinValue)
        SetPosition(FMinValue);
    else
        PropertyChanged();
}

void TKcLevelBar::SetPosition(int Value) {
    if (Value < FMinValue) Value = FMinValue;
    if (Value > FMaxValue) Value = FMaxValue;
    if (Value == FPosition) return;
    FPosition = Value;
    PropertyChanged();
    Changed();
}

void TKcLevelBar::Changed() {
    if (OnChange) OnChange(*this);
    if (FPosition == FMinValue && OnMinValue) OnMinValue(*this);
    if (FPosition == FMaxValue && OnMaxValue) OnMaxValue(*this);
}

void TKcLevelBar::SetPercent1(int Value) {
    Value = std::clamp(Value, 0, 100);
    if (Value == FPercent1) return;
    if (!Loading() && Value + FPercent2 > 100) Value = 100 - FPercent2;
    FPercent1 = Value;
    PropertyChanged();
}

void TKcLevelBar::SetPercent2(int Value) {
    Value = std::clamp(Value, 0, 100);
    if (Value == FPercent2) return;
    if (!Loading() && Value + FPercent1 > 100) Value = 100 - FPercent1;
    FPercent2 = Value;
    PropertyChanged();
}

void TKcLevelBar::SetOrientation(TKcOrientation Value) {
    if (FOrientation == Value) return;
    FOrientation = Value;
    if (!Loading()) resize(height(), width());
    PropertyChanged();
}

void TKcLevelBar::SetSpacing(int Value) {
    if (Value == FSpacing) return;
    FSpacing = Value;
    FitToSegments();
    PropertyChanged();
}

void TKcLevelBar::SetTickHeight(int Value) {
    if (Value == FTickHeight || Value <= 0) return;
    FTickHeight = Value;
    FitToSegments();
    PropertyChanged();
}

void TKcLevelBar::SetStyle(TKcProgressStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    PropertyChanged();
}

void TKcLevelBar::BevelChanged() {
    // The segment area keeps its size; the control grows or shrinks around it.
    if (!Loading() && FLastArea.isValid()) {
        const QRect Now = FBevel.GetVisibleArea(QRect(0, 0, 1000, 1000));
        const int Thickness = Now.left();
        resize(FLastArea.width() + 2 * Thickness, FLastArea.height() + 2 * Thickness);
    }
    PropertyChanged();
}

void TKcLevelBar::Loaded() {
    FitToSegments();
    PropertyChanged();
}

int TKcLevelBar::SegmentCount() const {
    const QRect A = SegmentArea();
    if (Pitch() <= 0) return 0;
    const int Extent = FOrientation == TKcOrientation::voVertical ? A.height() : A.width();
    return std::max(0, (Extent + FSpacing) / Pitch());
}

void TKcLevelBar::FitToSegments() {
    if (Loading() || Pitch() <= 0) return;
    const QRect A = SegmentArea();
    const int Count = SegmentCount();
    const int Extent = Count * Pitch() - FSpacing;
    if (Count > 0) {
        if (FOrientation == TKcOrientation::voVertical) {
            const int H = 2 * A.top() + Extent;
            if (H != height()) resize(width(), H);
        } else {
            const int W = 2 * A.left() + Extent;
            if (W != width()) resize(W, height());
        }
    }
    FLastArea = SegmentArea();
}

void TKcLevelBar::resizeEvent(QResizeEvent* Event) {
    TKcGraphicImageControl::resizeEvent(Event);
    FitToSegments();
}

int TKcLevelBar::LitCount() const {
    const int Percent = PercentOfValue(FPosition - FMinValue, FMaxValue - FMinValue);
    return ValueOfPercent(Percent, SegmentCount());
}

int TKcLevelBar::Zone1End() const { return ValueOfPercent(FPercent1, SegmentCount()); }

int TKcLevelBar::Zone2End() const { return Zone1End() + ValueOfPercent(FPercent2, SegmentCount()); }

TColor TKcLevelBar::SegmentColor(int Index) const {
    const TKcPalette& P = Index < Zone1End() ? FPalette1 : Index < Zone2End() ? FPalette2 : FPalette3;
    return P.GetColor(Index < LitCount() ? 1 : 0);
}

QRect TKcLevelBar::SegmentRect(int Index) const {
    const QRect A = SegmentArea();
    const int Off = Index * Pitch();
    if (FOrientation == TKcOrientation::voHorizontal) {
        const int X =
            FStyle == TKcProgressStyle::psBottomLeft ? A.left() + Off : A.left() + A.width() - FTickHeight - Off;
        return QRect(X, A.top(), FTickHeight, A.height());
    }
    const int Y = FStyle == TKcProgressStyle::psBottomLeft ? A.top() + A.height() - FTickHeight - Off : A.top() + Off;
    return QRect(A.left(), Y, A.width(), FTickHeight);
}

void TKcLevelBar::PaintBitmap(QPainter& Canvas) {
    QRect R = rect();
    FBevel.Draw(Canvas, R);
    const int Count = SegmentCount();
    const int Lit = LitCount(), Z1 = Zone1End(), Z2 = Zone2End();
    for (int N = 0; N < Count; ++N) {
        const TKcPalette& P = N < Z1 ? FPalette1 : N < Z2 ? FPalette2 : FPalette3;
        Canvas.fillRect(SegmentRect(N), ToQColor(P.GetColor(N < Lit ? 1 : 0)));
    }
}

}  // namespace kelvar
