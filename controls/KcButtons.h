#pragma once
// Text button with hover font and 3D caption, and the toggle button with an LED beside its caption.
#include "controls/KcControls.h"

#include <QFont>
#include <algorithm>

namespace kelvar {

// A font together with its colour, as the button's fonts carry one.
struct TKcFont {
    QFont Font;
    TColor Color = clBlack;
    bool operator==(const TKcFont& O) const { return Font == O.Font && Color == O.Color; }
};

enum class TKcTextAlignment {
    vtaLeft,
    vtaCenter,
    vtaRight,
    vtaTopLeft,
    vtaTop,
    vtaTopRight,
    vtaBottomLeft,
    vtaBottom,
    vtaBottomRight
};

class TKcDemoButton : public TKcCustomImageControl {
public:
    explicit TKcDemoButton(QWidget* Parent = nullptr);

    const TKcFont& FontEnter() const { return FFontEnter; }
    void SetFontEnter(const TKcFont& Value) { Store(FFontEnter, Value); }
    const TKcFont& FontLeave() const { return FFontLeave; }
    void SetFontLeave(const TKcFont& Value) { Store(FFontLeave, Value); }
    const QImage& Bitmap() const { return FTile; }
    void SetBitmap(const QImage& Value);
    TColor OutlineColor() const { return FOutlineColor; }
    void SetOutlineColor(TColor Value) { Store(FOutlineColor, Value); }
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor Value) { Store(FShadowColor, Value); }
    TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(TColor Value) { Store(FHighlightColor, Value); }
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int Value) { Store(FBevelWidth, std::clamp(Value, 0, 255)); }
    int OutlineWidth() const { return FOutlineWidth; }
    void SetOutlineWidth(int Value) { Store(FOutlineWidth, Value); }
    TKcTextAlignment TextAlignment() const { return FTextAlignment; }
    void SetTextAlignment(TKcTextAlignment Value) { Store(FTextAlignment, Value); }
    TColor DisabledTextColor() const { return FDisabledTextColor; }
    void SetDisabledTextColor(TColor Value) { Store(FDisabledTextColor, Value); }
    TColor FocusColor() const { return FFocusColor; }
    void SetFocusColor(TColor Value) { Store(FFocusColor, Value); }
    TKcFont3D& Font3D() { return FFont3D; }
    void SetFont3D(const TKcFont3D& Value) { FFont3D.Assign(Value); }
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value) { Store(FFlat, Value); }

    bool Down() const { return FDown; }
    bool Hot() const { return FHot; }

protected:
    void PaintBitmap(QPainter& Canvas) override;
    void TextChanged() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void DialogChar() override { Click(); }
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;

private:
    template <typename T>
    void Store(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        PropertyChanged();
    }
    void SetDown(bool Value);

    TKcFont FFontEnter, FFontLeave;
    QImage FTile;
    TColor FOutlineColor = clBlack;
    TColor FShadowColor = clBtnShadow;
    TColor FHighlightColor = clBtnHighlight;
    int FBevelWidth = 2;
    int FOutlineWidth = 1;
    TKcTextAlignment FTextAlignment = TKcTextAlignment::vtaCenter;
    TColor FDisabledTextColor = clInactiveCaption;
    TColor FFocusColor = clBlue;
    TKcFont3D FFont3D;
    bool FFlat = false;
    bool FTracking = false;
    bool FDown = false;
    bool FHot = false;
};

class TKcPowerButton : public TKcCustomImageControl {
public:
    explicit TKcPowerButton(QWidget* Parent = nullptr);

    bool Active() const { return FActive; }
    void SetActive(bool Value) { Store(FActive, Value); }
    int LedWidth() const { return FLedWidth; }
    void SetLedWidth(int Value) { Relayout(FLedWidth, std::max(1, Value)); }
    int LedHeight() const { return FLedHeight; }
    void SetLedHeight(int Value) { Relayout(FLedHeight, std::max(1, Value)); }
    TKcImageTextLayout Layout() const { return FLayout; }
    void SetLayout(TKcImageTextLayout Value) { Relayout(FLayout, Value); }
    int Margin() const { return FMargin; }
    void SetMargin(int Value) { Relayout(FMargin, Value); }
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value) { Relayout(FSpacing, Value); }
    TKcPalette& Palette() { return FPalette; }
    void SetPalette(const TKcPalette& Value) { FPalette.Assign(Value); }
    TColor FocusColor() const { return FFocusColor; }
    void SetFocusColor(TColor Value) { Store(FFocusColor, Value); }
    TColor OutlineColor() const { return FOutlineColor; }
    void SetOutlineColor(TColor Value) { Store(FOutlineColor, Value); }
    int OutlineWidth() const { return FOutlineWidth; }
    void SetOutlineWidth(int Value) { Store(FOutlineWidth, std::clamp(Value, 0, 255)); }
    TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(TColor Value) { Store(FHighlightColor, Value); }
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor Value) { Store(FShadowColor, Value); }
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int Value) { Store(FBevelWidth, std::clamp(Value, 0, 255)); }

    QRect LedRect() const { return FLedRect; }
    QRect CaptionRect() const { return FCaptionRect; }
    bool Pressed() const { return FPressed; }

protected:
    void PaintBitmap(QPainter& Canvas) override;
    void TextChanged() override;
    void FontChanged() override;
    void DialogChar() override { Click(); }
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;

private:
    template <typename T>
    void Store(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        PropertyChanged();
    }
    template <typename T>
    void Relayout(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        CalcLayout();
        PropertyChanged();
    }
    void CalcLayout();
    void Release();

    bool FActive = false;
    int FLedWidth = 12;
    int FLedHeight = 12;
    TKcImageTextLayout FLayout = TKcImageTextLayout::ImageLeft;
    int FMargin = -1;
    int FSpacing = 5;
    TKcPalette FPalette;
    TColor FFocusColor = clBlue;
    TColor FOutlineColor = clBlack;
    int FOutlineWidth = 1;
    TColor FHighlightColor = clBtnHighlight;
    TColor FShadowColor = clBtnShadow;
    int FBevelWidth = 2;
    QRect FLedRect, FCaptionRect;
    bool FMouseHeld = false;
    bool FPressed = false;
};

// Gives a demo button one face for both states, each keeping its colour (the button draws its
// caption in these, not in the widget font).
void SetDemoFont(TKcDemoButton& Button, const QFont& Font);

}  // namespace kelvar
