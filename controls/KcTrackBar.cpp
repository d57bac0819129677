#include "controls/KcTrackBar.h"

#include "controls/KcResources.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kelvar {

TKcTrackBar::TKcTrackBar(QWidget* Parent) : TKcCustomImageControl(Parent) {
    SetColor(clWindow);
    resize(175, 45);
    setMouseTracking(true);
    FGutterBevel.SetInnerStyle(TKcBevelStyle::bsNone);
    FGutterBevel.SetInnerSpace(0);
    FGutterBevel.SetInnerOutline(TKcBevelOutlineStyle::osNone);
    FGutterBevel.SetOuterStyle(TKcBevelStyle::bsLowered);
    FGutterBevel.SetOuterSpace(0);
    FGutterBevel.SetOuterOutline(TKcBevelOutlineStyle::osNone);
    FGutterBevel.OnChange = [this](TKcPersistent&) { PropertyChanged(); };
    FLink.OnChange = [this](TKcSharedComponent&) {
        LoadThumb();
        PropertyChanged();
    };
    LoadThumb();
}

void TKcTrackBar::SetMaxValue(int Value) {
    if (FMaxValue == Value) return;
    FMaxValue = Value;
    if (FPosition > FMaxValue)
        SetPosition(FMaxValue);
    else
        PropertyChanged();
}

void TKcTrackBar::SetMinValue(int Value) {
    if (FMinValue == Value) return;
    FMinValue = Value;
    if (FPosition < FMinValue)
        SetPosition(FMinValue);
    else
        PropertyChanged();
}

void TKcTrackBar::SetPosition(int Value) {
    if (Value < FMinValue) Value = FMinValue;
    if (Value > FMaxValue) Value = FMaxValue;
    if (Value == FPosition) return;
    FPosition = Value;
    PropertyChanged();
    Change();
}

void TKcTrackBar::Change() {
    if (OnChange) OnChange(*this);
}

void TKcTrackBar::SetOrientation(TKcOrientation Value) {
    if (FOrientation == Value) return;
    FOrientation = Value;
    if (!Loading()) resize(height(), width());
    LoadThumb();
    PropertyChanged();
}

void TKcTrackBar::SetThumbStates(int Value) {
    Value = std::clamp(Value, 1, 4);
    if (FThumbStates == Value) return;
    FThumbStates = Value;
    if (!Loading()) LoadThumb();
    PropertyChanged();
}

void TKcTrackBar::SetThumbImageIndex(int Value) {
    if (FThumbImageIndex == Value) return;
    FThumbImageIndex = Value;
    LoadThumb();
    PropertyChanged();
}

void TKcTrackBar::SetBitmapList(TKcBitmapList* Value) {
    if (FLink.Sender()) FLink.Sender()->RemoveLink(&FLink);
    if (Value) Value->InsertLink(&FLink);
    LoadThumb();
    PropertyChanged();
}

void TKcTrackBar::Loaded() {
    LoadThumb();
    PropertyChanged();
}

void TKcTrackBar::LoadThumb() {
    const QImage* Img = BitmapList() ? BitmapList()->GetBitmap(FThumbImageIndex) : nullptr;
    if (Img && !Img->isNull())
        FThumb = *Img;
    else
        FThumb = KcResourceImage(FOrientation == TKcOrientation::voHorizontal ? "VRTB_HORI" : "VRTB_VERT");
}

TKcTrackGeometry TKcTrackBar::Geometry() const {
    TKcTrackGeometry G;
    G.Client = size();
    G.Inner = rect().adjusted(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
    G.Thumb = QSize(FThumb.width() / std::max(1, FThumbStates), FThumb.height());
    G.Vertical = FOrientation == TKcOrientation::voVertical;
    G.TopRight = FStyle == TKcProgressStyle::psTopRight;
    G.MinValue = FMinValue;
    G.MaxValue = FMaxValue;
    return G;
}

int TKcTrackBar::PixelToValue(int Pixel) const {
    return Geometry().PixelToValue(Pixel, (FOptions & toFixedPoints) ? FFrequency : 0);
}

void TKcTrackBar::MoveThumbTo(int Pixel) {
    const TKcTrackGeometry G = Geometry();
    const int S = G.Start(), L = std::max(0, G.Length());
    const bool Mirror = FStyle == TKcProgressStyle::psTopRight;
    auto Mirrored = [&](int V) { return Mirror ? FMaxValue + FMinValue - V : V; };
    Pixel = std::clamp(Pixel, S, S + L);
    if (FOptions & toFixedPoints) Pixel = std::clamp(G.ValueToPixel(Mirrored(PixelToValue(Pixel))), S, S + L);
    SetPosition(Mirrored(PixelToValue(Pixel)));
}

std::vector<int> TKcTrackBar::TickValues() const {
    std::vector<int> Values;
    const int Range = FMaxValue - FMinValue;
    const int L = Geometry().Length();
    if (Range <= 0 || FFrequency <= 0) {
        Values.push_back(FMinValue);
        return Values;
    }
    int K = 1, N = 1;
    for (;; ++K) {
        N = RoundHalfEven(double(Range) / (double(FFrequency) * K)) + 1;
        const int Spacing = N > 1 ? L / (N - 1) : L;
        if (Spacing >= 4 || Spacing >= L) break;
    }
    for (int I = 0; I < N - 1; ++I) Values.push_back(FMinValue + FFrequency * K * I);
    Values.push_back(FMaxValue);
    return Values;
}

void TKcTrackBar::PaintBitmap(QPainter& Canvas) {
    const QImage* Back = BitmapList() ? BitmapList()->GetBitmap(FBackImageIndex) : nullptr;
    if (Back && !Back->isNull())
        Canvas.drawImage(rect(), *Back);
    else
        Canvas.fillRect(rect(), ToQColor(Color()));

    const TKcTrackGeometry G = Geometry();
    const bool Vertical = G.Vertical;
    const QRect Gutter =
        Vertical ? QRect((width() - FGutterWidth) / 2, FBorderWidth, FGutterWidth, height() - 2 * FBorderWidth)
                 : QRect(FBorderWidth, (height() - FGutterWidth) / 2, width() - 2 * FBorderWidth, FGutterWidth);

    if (FTickMarks != TKcTickMarks::tmNone) {
        const QColor Tick = ToQColor(FTickColor);
        const int Half = Vertical ? G.Thumb.height() / 2 : G.Thumb.width() / 2;
        const bool Near = FTickMarks == TKcTickMarks::tmBoth || FTickMarks == TKcTickMarks::tmTopLeft;
        const bool Far = FTickMarks == TKcTickMarks::tmBoth || FTickMarks == TKcTickMarks::tmBottomRight;
        const int NearBase = (Vertical ? Gutter.left() : Gutter.top()) - FScaleOffset;
        const int FarBase = (Vertical ? Gutter.left() + Gutter.width() : Gutter.top() + Gutter.height()) + FScaleOffset;
        for (int V : TickValues()) {
            const int At = G.ValueToPixel(V) + Half;
            const int Len = (V == FMinValue || V == FMaxValue) ? 4 : 3;
            auto Line = [&](int From, int Count) {
                if (Vertical)
                    Canvas.fillRect(QRect(From, At, Count, 1), Tick);
                else
                    Canvas.fillRect(QRect(At, From, 1, Count), Tick);
            };
            if (Near) Line(NearBase - Len, Len);
            if (Far) Line(FarBase, Len);
        }
    }

    if (FGutterBevel.Visible()) {
        QRect R = Gutter;
        FGutterBevel.Draw(Canvas, R);
        Canvas.fillRect(R, ToQColor(FGutterColor));
    }

    if (hasFocus() && FFocusOffset >= 0) {
        const QRect F = rect().adjusted(FFocusOffset, FFocusOffset, -FFocusOffset, -FFocusOffset);
        Canvas.setPen(ToQColor(FFocusColor));
        Canvas.setBrush(Qt::NoBrush);
        Canvas.drawRect(F.adjusted(0, 0, -1, -1));
    }

    const int Index = (FHot && !FDragging) ? 3 : FDragging ? 2 : !isEnabled() ? 1 : 0;
    DrawThumbFrame(Canvas, FThumb, FThumbStates, Index, G.ThumbRect(FPosition).topLeft(), FOptions & toThumbOpaque);
}

void TKcTrackBar::mousePressEvent(QMouseEvent* Event) {
    FireMouseDown(Event);
    if (Event->button() != Qt::LeftButton) return;
    if (TabStop()) setFocus(Qt::MouseFocusReason);
    const QPoint P = Event->position().toPoint();
    const QRect Thumb = ThumbRect();
    if (Thumb.contains(P)) {
        FDragging = true;
        FGrabOffset = Along(P) - Along(Thumb.topLeft());
        PropertyChanged();
    } else if (FOptions & toActiveClick) {
        MoveThumbTo(Along(P) - (FOrientation == TKcOrientation::voVertical ? Thumb.height() : Thumb.width()) / 2);
    }
}

void TKcTrackBar::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    if (FDragging) {
        MoveThumbTo(Along(P) - FGrabOffset);
        return;
    }
    const bool Hot = ThumbRect().contains(P);
    if (Hot && (FOptions & toHandPoint))
        setCursor(Qt::PointingHandCursor);
    else if (!Hot)
        unsetCursor();
    if (Hot != FHot) {
        FHot = Hot;
        update();
    }
}

void TKcTrackBar::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton && FDragging) {
        FDragging = false;
        PropertyChanged();
    }
    FireMouseUp(Event);
}

void TKcTrackBar::keyPressEvent(QKeyEvent* Event) {
    if (Event->modifiers() == Qt::NoModifier || Event->modifiers() == Qt::KeypadModifier) {
        int Step = 0;
        const bool Vertical = FOrientation == TKcOrientation::voVertical;
        switch (Event->key()) {
            case Qt::Key_Home: SetPosition(FMaxValue); break;
            case Qt::Key_End: SetPosition(FMinValue); break;
            case Qt::Key_Left:
                if (!Vertical) Step = -FFrequency;
                break;
            case Qt::Key_Right:
                if (!Vertical) Step = FFrequency;
                break;
            case Qt::Key_Up:
                if (Vertical) Step = FFrequency;
                break;
            case Qt::Key_Down:
                if (Vertical) Step = -FFrequency;
                break;
            default: break;
        }
        if (FStyle == TKcProgressStyle::psTopRight) Step = -Step;
        if (Step != 0) SetPosition(FPosition + Step);
    }
    TKcCustomImageControl::keyPressEvent(Event);
}

void TKcTrackBar::resizeEvent(QResizeEvent* Event) {
    TKcCustomImageControl::resizeEvent(Event);
    update();
}

void UseWindowGutter(TKcTrackBar& Bar) {
    Bar.BeginLoading();
    Bar.SetGutterWidth(10);
    Bar.SetGutterColor(WindowGutterColor);
    Bar.SetScaleOffset(3);
    const QWidget* Face = Bar.parentWidget() ? Bar.parentWidget() : &Bar;
    Bar.SetColor(FromQColor(Face->palette().color(QPalette::Window)));
    Bar.EndLoading();
}

}  // namespace kelvar
