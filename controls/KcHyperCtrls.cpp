#include "controls/KcHyperCtrls.h"

#include <QPainter>

namespace kelvar {

void TKcHotRect::Assign(const TKcHotRect& S) {
    BeginUpdate();
    SetColor(S.FColor);
    SetWidth(S.FWidth);
    SetVisible(S.FVisible);
    EndUpdate();
}

TKcHotImage::TKcHotImage(QWidget* Parent) : TKcGraphicImageControl(Parent) {
    resize(85, 85);
    QFont F("Arial");
    F.setBold(true);
    setFont(F);
    FHotRect.OnChange = [this](TKcPersistent&) { PropertyChanged(); };
}

void TKcHotImage::SetImageLeave(const QImage& Value) {
    FImageLeave = Value.copy();
    PropertyChanged();
}

void TKcHotImage::SetImageEnter(const QImage& Value) {
    FImageEnter = Value.copy();
    PropertyChanged();
}

void TKcHotImage::MouseEnter() {
    TKcGraphicImageControl::MouseEnter();
    FOver = true;
    PropertyChanged();
}

void TKcHotImage::MouseLeave() {
    TKcGraphicImageControl::MouseLeave();
    FOver = false;
    PropertyChanged();
}

void TKcHotImage::FontChanged() {
    TKcGraphicImageControl::FontChanged();
    PropertyChanged();
}

void TKcHotImage::TextChanged() {
    TKcGraphicImageControl::TextChanged();
    PropertyChanged();
}

void TKcHotImage::PaintBitmap(QPainter& Canvas) {
    const bool Hot = FOver && isEnabled();
    const QImage& Picture = Hot ? FImageEnter : FImageLeave;
    const TColor Colour = Hot ? FColorEnter : FColorLeave;
    if (!Transparent()) Canvas.fillRect(rect(), ToQColor(Colour));
    if (!Picture.isNull()) {
        const QRect Target = FDrawStyle == TKcHotImageDrawStyle::dsStretch
                                 ? rect()
                                 : QRect((width() - Picture.width()) / 2, (height() - Picture.height()) / 2,
                                         Picture.width(), Picture.height());
        if (Transparent()) {
            DrawTransparent(Canvas, Target.topLeft(), Picture, Picture.rect(), ToQColor(Colour).rgb());
        } else {
            Canvas.drawImage(Target, Picture);
        }
    }
    QRect Caption = rect();
    if (FHotRect.Visible()) {
        const int Inset = FHotRect.Width() + 2;
        Caption.adjust(Inset, Inset, -Inset, -Inset);
        if (FOver) {
            QRect Frame = rect();
            DrawFrame3D(Canvas, Frame, FHotRect.Color(), FHotRect.Color(), FHotRect.Width());
        }
    }
    int Flags = Qt::TextSingleLine;
    switch (FTextAlignment) {
        case TKcTextAlignment::vtaLeft: Flags |= Qt::AlignVCenter | Qt::AlignLeft; break;
        case TKcTextAlignment::vtaCenter: Flags |= Qt::AlignCenter; break;
        case TKcTextAlignment::vtaRight: Flags |= Qt::AlignVCenter | Qt::AlignRight; break;
        case TKcTextAlignment::vtaTopLeft: Flags |= Qt::AlignTop | Qt::AlignLeft; break;
        case TKcTextAlignment::vtaTop: Flags |= Qt::AlignTop | Qt::AlignHCenter; break;
        case TKcTextAlignment::vtaTopRight: Flags |= Qt::AlignTop | Qt::AlignRight; break;
        case TKcTextAlignment::vtaBottomLeft: Flags |= Qt::AlignBottom | Qt::AlignLeft; break;
        case TKcTextAlignment::vtaBottom: Flags |= Qt::AlignBottom | Qt::AlignHCenter; break;
        case TKcTextAlignment::vtaBottomRight: Flags |= Qt::AlignBottom | Qt::AlignRight; break;
    }
    Canvas.setFont(font());
    Canvas.setPen(ToQColor(FFontColor));
    Canvas.drawText(Caption, Flags, this->Caption());
}

}  // namespace kelvar
