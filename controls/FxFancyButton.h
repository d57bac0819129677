#pragma once
// Owner-drawn push button with a shaped, shaded face, a caption with a 3D look and a glyph strip.
#include "controls/KcSysUtils.h"

#include <QImage>
#include <QWidget>
#include <functional>

namespace kelvar {

enum class TBtnShape { btnCapsule, btnOval, btnRectangle };
enum class TFrameStyle { fmNone, fmGradient };
enum class TTextStyle { txNone, txLowered, txRaised, txShadowed };
enum class TBmpLayout { lyLeft, lyTop, lyRight, lyBottom, lyCenter };

class TFxEffect {
public:
    TColor FaceColor() const { return FFaceColor; }
    void SetFaceColor(TColor V) { Set(FFaceColor, V); }
    TColor FrameColor() const { return FFrameColor; }
    void SetFrameColor(TColor V) { Set(FFrameColor, V); }
    TFrameStyle FrameStyle() const { return FFrameStyle; }
    void SetFrameStyle(TFrameStyle V) { Set(FFrameStyle, V); }
    int FrameWidth() const { return FFrameWidth; }
    void SetFrameWidth(int V) { Set(FFrameWidth, V < 3 ? 3 : V > 14 ? 14 : V); }
    TColor HoverColor() const { return FHoverColor; }
    void SetHoverColor(TColor V) { Set(FHoverColor, V); }
    TBtnShape Shape() const { return FShape; }
    void SetShape(TBtnShape V) { Set(FShape, V); }
    int CornerRadius() const { return FCornerRadius; }
    void SetCornerRadius(int V) { Set(FCornerRadius, V < 0 ? 0 : V > 145 ? 145 : V); }
    TTextStyle TextStyle() const { return FTextStyle; }
    void SetTextStyle(TTextStyle V) { Set(FTextStyle, V); }
    std::function<void()> OnEffectChange;

private:
    template <typename T>
    void Set(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        if (OnEffectChange) OnEffectChange();
    }
    TColor FFaceColor = clBtnFace;
    TColor FFrameColor = 0x808080;
    TFrameStyle FFrameStyle = TFrameStyle::fmGradient;
    int FFrameWidth = 4;
    TColor FHoverColor = clBlue;
    TBtnShape FShape = TBtnShape::btnRectangle;
    int FCornerRadius = 6;
    TTextStyle FTextStyle = TTextStyle::txLowered;
};

class TFxGlyph {
public:
    const QImage& Glyph() const { return FGlyph; }
    void SetGlyph(const QImage& V) {
        FGlyph = V.copy();
        if (OnGlyphChange) OnGlyphChange();
    }
    TBmpLayout Layout() const { return FLayout; }
    void SetLayout(TBmpLayout V) { Set(FLayout, V); }
    int Number() const { return FNumber; }
    void SetNumber(int V) { Set(FNumber, V < 1 ? 1 : V > 4 ? 4 : V); }
    int Distance() const { return FDistance; }
    void SetDistance(int V) { Set(FDistance, V <= 0 ? 0 : V); }
    std::function<void()> OnGlyphChange;

private:
    template <typename T>
    void Set(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        if (OnGlyphChange) OnGlyphChange();
    }
    QImage FGlyph;
    TBmpLayout FLayout = TBmpLayout::lyLeft;
    int FNumber = 1;
    int FDistance = 0;
};

class TFxFancyButton : public QWidget {
public:
    explicit TFxFancyButton(QWidget* Parent = nullptr);
    TFxFancyButton(const QString& Caption, QWidget* Parent);

    TFxEffect& FancyEffects() { return FEffects; }
    TFxGlyph& Glyphs() { return FGlyphs; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value);
    // Text colour of the caption (the button font's colour).
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor Value);
    void BeginLoading() { FLoading = true; }
    void EndLoading();

    std::function<void(TFxFancyButton&)> OnClick;

    bool PtInShape(int X, int Y) const;
    // 1 normal, 2 disabled, 3 pressed, 4 hovered.
    int ImageState() const { return FImageState; }
    bool Pressed() const { return FPressed; }
    QPoint GlyphPos() const { return FGlyphPos; }
    QPoint CaptionPos() const { return FCaptionPos; }
    void ComputeLayout();
    // Column of the glyph strip shown now.
    int GlyphColumn() const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    bool event(QEvent* Event) override;

private:
    void EffectsChanged();
    void Leave();
    int CornerDiameter() const;
    void PaintGradientFace(QPainter& Canvas);
    void PaintPressedFace(QPainter& Canvas);
    void PaintGlyph(QPainter& Canvas);
    void PaintCaption(QPainter& Canvas);
    void FillShape(QPainter& Canvas, const QRect& Rect, int Diameter, const QColor& Color) const;

    TFxEffect FEffects;
    TFxGlyph FGlyphs;
    QString FCaption;
    TColor FFontColor = clBlack;
    bool FLoading = false;
    int FShortcutId = 0;
    int FGlyphWidth = 0;
    int FImageState = 1;
    bool FPressed = false;
    bool FOverShape = false;
    bool FHovered = false;
    QPoint FGlyphPos, FCaptionPos;
};

}  // namespace kelvar
