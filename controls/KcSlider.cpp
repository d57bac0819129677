#include "controls/KcSlider.h"

#include "controls/KcResources.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kelvar {

TKcSlider::TKcSlider(QWidget* Parent) : TKcCustomImageControl(Parent) {
    SetColor(clBlack);
    resize(36, 171);
    setMouseTracking(true);
    FBevel.SetInnerStyle(TKcBevelStyle::bsLowered);
    FBevel.SetInnerWidth(2);
    FBevel.SetInnerColor(clBlack);
    FBevel.OnChange = [this](TKcPersistent&) { Rebuilt(); };
    FPalette.OnChange = [this](TKcPersistent&) { Rebuilt(); };
    FLink.OnChange = [this](TKcSharedComponent&) {
        LoadThumb();
        PropertyChanged();
    };
    LoadThumb();
    RebuildImages();
}

void TKcSlider::Rebuilt() {
    RebuildImages();
    PropertyChanged();
}

void TKcSlider::SetMaxValue(int Value) {
    if (FMaxValue == Value) return;
    FMaxValue = Value;
    if (FPosition > FMaxValue)
        SetPosition(FMaxValue);
    else
        PropertyChanged();
}

void TKcSlider::SetMinValue(int Value) {
    if (FMinValue == Value) return;
    FMinValue = Value;
    if (FPosition < FMinValue)
        SetPosition(FMinValue);
    else
        PropertyChanged();
}

void TKcSlider::SetPosition(int Value) {
    if (Value < FMinValue) Value = FMinValue;
    if (Value > FMaxValue) Value = FMaxValue;
    if (Value == FPosition) return;
    FPosition = Value;
    PropertyChanged();
    Change();
}

void TKcSlider::Change() {
    if (OnChange) OnChange(*this);
}

void TKcSlider::SetSpacing(int Value) {
    if (Value < 0 || Value == FSpacing) return;
    FSpacing = Value;
    Rebuilt();
}

void TKcSlider::SetTickWidth(int Value) {
    if (Value <= 0 || Value == FTickWidth) return;
    FTickWidth = Value;
    Rebuilt();
}

void TKcSlider::SetOrientation(TKcOrientation Value) {
    if (FOrientation == Value) return;
    FOrientation = Value;
    if (!Loading()) {
        // A square control gets no resize, so its images must be rebuilt here.
        if (width() == height())
            RebuildImages();
        else
            resize(height(), width());
    }
    LoadThumb();
    PropertyChanged();
}

void TKcSlider::SetSolidFill(bool Value) {
    if (FSolidFill == Value) return;
    FSolidFill = Value;
    Rebuilt();
}

void TKcSlider::SetStyle(TKcSliderStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    Rebuilt();
}

void TKcSlider::SetThumbStates(int Value) {
    Value = std::clamp(Value, 1, 4);
    if (FThumbStates == Value) return;
    FThumbStates = Value;
    if (!Loading()) LoadThumb();
    PropertyChanged();
}

void TKcSlider::SetOptions(TKcSliderOptions Value) {
    if (FOptions == Value) return;
    FOptions = Value;
    PropertyChanged();
}

void TKcSlider::SetBorderColor(TColor Value) {
    if (FBorderColor == Value) return;
    FBorderColor = Value;
    PropertyChanged();
}

void TKcSlider::SetBorderWidth(int Value) {
    if (Value < 0 || Value == FBorderWidth) return;
    FBorderWidth = Value;
    Rebuilt();
}

void TKcSlider::SetFocusColor(TColor Value) {
    if (FFocusColor == Value) return;
    FFocusColor = Value;
    PropertyChanged();
}

void TKcSlider::SetThumbImageIndex(int Value) {
    if (FThumbImageIndex == Value) return;
    FThumbImageIndex = Value;
    if (!Loading()) LoadThumb();
    PropertyChanged();
}

void TKcSlider::SetThumbIndent(int Value) {
    if (Value < 0 || Value == FThumbIndent) return;
    FThumbIndent = Value;
    PropertyChanged();
}

void TKcSlider::SetBitmapList(TKcBitmapList* Value) {
    if (FLink.Sender()) FLink.Sender()->RemoveLink(&FLink);
    if (Value) Value->InsertLink(&FLink);
    if (!Loading()) {
        LoadThumb();
        PropertyChanged();
    }
}

void TKcSlider::Loaded() {
    LoadThumb();
    RebuildImages();
    PropertyChanged();
}

void TKcSlider::ColorChanged() { Rebuilt(); }

void TKcSlider::LoadThumb() {
    const QImage* Img = BitmapList() ? BitmapList()->GetBitmap(FThumbImageIndex) : nullptr;
    if (Img && !Img->isNull())
        FThumb = *Img;
    else
        FThumb =
            KcResourceImage(FOrientation == TKcOrientation::voVertical ? "VRSLIDERTHUMB_HORI" : "VRSLIDERTHUMB_VERT");
}

QRect TKcSlider::BarArea() const {
    const QRect R = rect().adjusted(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
    return FBevel.GetVisibleArea(R);
}

void TKcSlider::RebuildImages() {
    if (Loading()) return;
    ++FRebuildCount;
    const QRect A = BarArea();
    if (A.width() <= 0 || A.height() <= 0) {
        FOffImage = FOnImage = QImage();
        return;
    }
    const bool Vertical = FOrientation == TKcOrientation::voVertical;
    const int Pitch = FTickWidth + FSpacing;
    const int Length = Vertical ? A.height() : A.width();
    const int Count = Length / std::max(1, Pitch) + 2;
    auto Build = [&](TColor C) {
        QImage Img(A.size(), QImage::Format_RGB32);
        Img.fill(ToQColor(Color()));
        QPainter P(&Img);
        QImage Pattern;
        if (!FSolidFill) {
            const QSize Seg = Vertical ? QSize(A.width(), FTickWidth) : QSize(FTickWidth, A.height());
            Pattern = QImage(Seg, QImage::Format_RGB32);
            QPainter PP(&Pattern);
            PP.fillRect(Pattern.rect(), QBrush(CreateDitherBitmap(C, Color())));
        }
        for (int I = 0; I < Count; ++I) {
            QRect Seg;
            const int Off = I * Pitch;
            if (Vertical) {
                const int Y = FStyle == TKcSliderStyle::ssBottomLeft ? A.height() - FTickWidth - Off : Off;
                Seg = QRect(0, Y, A.width(), FTickWidth);
            } else {
                const int X = FStyle == TKcSliderStyle::ssBottomLeft ? Off : A.width() - FTickWidth - Off;
                Seg = QRect(X, 0, FTickWidth, A.height());
            }
            if (FSolidFill)
                P.fillRect(Seg, ToQColor(C));
            else
                P.drawImage(Seg.topLeft(), Pattern);
        }
        return Img;
    };
    FOffImage = Build(FPalette.GetColor(0));
    FOnImage = Build(FPalette.GetColor(1));
}

TKcTrackGeometry TKcSlider::Geometry() const {
    TKcTrackGeometry G;
    const int M = FBorderWidth + FThumbIndent;
    G.Client = size();
    G.Inner = rect().adjusted(M, M, -M, -M);
    G.Thumb = QSize(FThumb.width() / std::max(1, FThumbStates), FThumb.height());
    G.Vertical = FOrientation == TKcOrientation::voVertical;
    G.TopRight = FStyle == TKcSliderStyle::ssTopRight;
    G.MinValue = FMinValue;
    G.MaxValue = FMaxValue;
    return G;
}

void TKcSlider::MoveThumbTo(int Pixel) {
    const TKcTrackGeometry G = Geometry();
    const int S = G.Start(), L = std::max(0, G.Length());
    Pixel = std::clamp(Pixel, S, S + L);
    const int V = G.PixelToValue(Pixel);
    SetPosition(FStyle == TKcSliderStyle::ssTopRight ? FMaxValue + FMinValue - V : V);
}

void TKcSlider::PaintBitmap(QPainter& Canvas) {
    QRect R = rect();
    if (FBorderWidth > 0) {
        const TColor C = hasFocus() ? FFocusColor : FBorderColor;
        DrawFrame3D(Canvas, R, C, C, FBorderWidth);
    }
    FBevel.Draw(Canvas, R);
    if (FOffImage.isNull() || FOffImage.size() != R.size()) RebuildImages();
    if (FOffImage.isNull()) return;
    Canvas.drawImage(R.topLeft(), FOffImage);

    const QRect Thumb = ThumbRect();
    QRect Lit;
    const int Right = R.left() + R.width(), Bottom = R.top() + R.height();
    if (FOrientation == TKcOrientation::voHorizontal) {
        if (FStyle == TKcSliderStyle::ssBottomLeft)
            Lit = QRect(QPoint(R.left(), R.top()), QPoint(Thumb.left() + Thumb.width() / 2 - 1, Bottom - 1));
        else
            Lit =
                QRect(QPoint(Thumb.left() + Thumb.width() - Thumb.width() / 2, R.top()), QPoint(Right - 1, Bottom - 1));
    } else {
        if (FStyle == TKcSliderStyle::ssBottomLeft)
            Lit = QRect(QPoint(R.left(), Thumb.top() + Thumb.height() / 2), QPoint(Right - 1, Bottom - 1));
        else
            Lit = QRect(QPoint(R.left(), R.top()),
                        QPoint(Right - 1, Thumb.top() + Thumb.height() - Thumb.height() / 2 - 1));
    }
    Lit = Lit.intersected(R);
    if (!Lit.isEmpty()) Canvas.drawImage(Lit.topLeft(), FOnImage, Lit.translated(-R.topLeft()));

    const int Index = (FHot && !FDragging) ? 3 : FDragging ? 2 : !isEnabled() ? 1 : 0;
    DrawThumbFrame(Canvas, FThumb, FThumbStates, Index, Thumb.topLeft(), FOptions & soThumbOpaque);
}

void TKcSlider::mousePressEvent(QMouseEvent* Event) {
    FireMouseDown(Event);
    if (Event->button() != Qt::LeftButton) return;
    if (TabStop()) setFocus(Qt::MouseFocusReason);
    const QPoint P = Event->position().toPoint();
    const QRect Thumb = ThumbRect();
    if (Thumb.contains(P)) {
        FDragging = true;
        FGrabOffset = Along(P) - Along(Thumb.topLeft());
        PropertyChanged();
    } else if (FOptions & soActiveClick) {
        MoveThumbTo(Along(P) - (FOrientation == TKcOrientation::voVertical ? Thumb.height() : Thumb.width()) / 2);
    }
}

void TKcSlider::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    if (FDragging) {
        MoveThumbTo(Along(P) - FGrabOffset);
        return;
    }
    const bool Hot = ThumbRect().contains(P);
    if (Hot && (FOptions & soHandPoint))
        setCursor(Qt::PointingHandCursor);
    else if (!Hot)
        unsetCursor();
    if (Hot != FHot) {
        FHot = Hot;
        update();
    }
}

void TKcSlider::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton && FDragging) {
        FDragging = false;
        PropertyChanged();
    }
    FireMouseUp(Event);
}

void TKcSlider::keyPressEvent(QKeyEvent* Event) {
    if (Event->modifiers() == Qt::NoModifier || Event->modifiers() == Qt::KeypadModifier) {
        int Step = 0;
        const bool Vertical = FOrientation == TKcOrientation::voVertical;
        switch (Event->key()) {
            case Qt::Key_Home: SetPosition(FMinValue); break;
            case Qt::Key_End: SetPosition(FMaxValue); break;
            case Qt::Key_Left:
                if (!Vertical) Step = -FKeyIncrement;
                break;
            case Qt::Key_Right:
                if (!Vertical) Step = FKeyIncrement;
                break;
            case Qt::Key_Up:
                if (Vertical) Step = FKeyIncrement;
                break;
            case Qt::Key_Down:
                if (Vertical) Step = -FKeyIncrement;
                break;
            default: break;
        }
        if (FStyle == TKcSliderStyle::ssTopRight) Step = -Step;
        if (Step != 0) SetPosition(FPosition + Step);
    }
    TKcCustomImageControl::keyPressEvent(Event);
}

void TKcSlider::resizeEvent(QResizeEvent* Event) {
    TKcCustomImageControl::resizeEvent(Event);
    RebuildImages();
    update();
}

}  // namespace kelvar
