#pragma once
// Caption drawn raised, lowered or with a drop shadow, at any angle, optionally filled with a picture.
#include "controls/KcControls.h"

namespace kelvar {

enum class TKcLabelStyle { lsNone, lsRaised, lsLowered, lsShadow };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TTextLayout { tlTop, tlCenter, tlBottom };

class TKcLabel : public TKcGraphicImageControl {
public:
    explicit TKcLabel(QWidget* Parent = nullptr);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value) { Store(FAlignment, Value); }
    TColor ColorHighlight() const { return FColorHighlight; }
    void SetColorHighlight(TColor Value) { Store(FColorHighlight, Value); }
    TColor ColorShadow() const { return FColorShadow; }
    void SetColorShadow(TColor Value) { Store(FColorShadow, Value); }
    TKcLabelStyle Style() const { return FStyle; }
    void SetStyle(TKcLabelStyle Value) { Store(FStyle, Value); }
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout Value) { Store(FLayout, Value); }
    int ShadowDepth() const { return FShadowDepth; }
    void SetShadowDepth(int Value) { Store(FShadowDepth, Value); }
    const QImage& Bitmap() const { return FPicture; }
    void SetBitmap(const QImage& Value);
    int Angle() const { return FAngle; }
    void SetAngle(int Value);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor Value) { Store(FFontColor, Value); }

    // Start point of the rotated caption.
    QPoint TextPosition() const;

protected:
    QSize NaturalSize() const override;
    void PaintBitmap(QPainter& Canvas) override;
    void FontChanged() override;
    void TextChanged() override;

private:
    template <typename T>
    void Store(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        PropertyChanged();
    }
    void DrawAt(QPainter& Canvas, int X, int Y, TColor Color) const;

    TAlignment FAlignment = TAlignment::taCenter;
    TColor FColorHighlight = clWhite;
    TColor FColorShadow = clGray;
    TKcLabelStyle FStyle = TKcLabelStyle::lsRaised;
    TTextLayout FLayout = TTextLayout::tlCenter;
    int FShadowDepth = 2;
    QImage FPicture;
    int FAngle = 0;
    TColor FFontColor = clBlack;
};

}  // namespace kelvar
