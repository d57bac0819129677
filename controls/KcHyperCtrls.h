#pragma once
// Image with a caption that switches picture, colour and frame while the pointer is over it.
#include "controls/KcButtons.h"
#include "controls/KcControls.h"

namespace kelvar {

class TKcHotRect : public TKcPersistent {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor V) { SetValue(FColor, V); }
    int Width() const { return FWidth; }
    void SetWidth(int V) { SetValue(FWidth, V); }
    bool Visible() const { return FVisible; }
    void SetVisible(bool V) { SetValue(FVisible, V); }
    void Assign(const TKcHotRect& Source);

private:
    TColor FColor = clYellow;
    int FWidth = 1;
    bool FVisible = true;
};

enum class TKcHotImageDrawStyle { dsCenter, dsStretch };

class TKcHotImage : public TKcGraphicImageControl {
public:
    explicit TKcHotImage(QWidget* Parent = nullptr);

    const QImage& ImageLeave() const { return FImageLeave; }
    void SetImageLeave(const QImage& Value);
    const QImage& ImageEnter() const { return FImageEnter; }
    void SetImageEnter(const QImage& Value);
    TColor ColorEnter() const { return FColorEnter; }
    void SetColorEnter(TColor Value) { Store(FColorEnter, Value); }
    TColor ColorLeave() const { return FColorLeave; }
    void SetColorLeave(TColor Value) { Store(FColorLeave, Value); }
    TKcHotImageDrawStyle DrawStyle() const { return FDrawStyle; }
    void SetDrawStyle(TKcHotImageDrawStyle Value) { Store(FDrawStyle, Value); }
    TKcTextAlignment TextAlignment() const { return FTextAlignment; }
    void SetTextAlignment(TKcTextAlignment Value) { Store(FTextAlignment, Value); }
    TKcHotRect& HotRect() { return FHotRect; }
    void SetHotRect(const TKcHotRect& Value) { FHotRect.Assign(Value); }
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor Value) { Store(FFontColor, Value); }
    bool Over() const { return FOver; }

protected:
    void PaintBitmap(QPainter& Canvas) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void FontChanged() override;
    void TextChanged() override;

private:
    template <typename T>
    void Store(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        PropertyChanged();
    }
    QImage FImageLeave, FImageEnter;
    TColor FColorEnter = clBlue;
    TColor FColorLeave = clBlack;
    TKcHotImageDrawStyle FDrawStyle = TKcHotImageDrawStyle::dsCenter;
    TKcTextAlignment FTextAlignment = TKcTextAlignment::vtaBottom;
    TKcHotRect FHotRect;
    TColor FFontColor = clWhite;
    bool FOver = false;
};

}  // namespace kelvar
