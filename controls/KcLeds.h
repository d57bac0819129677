#pragma once
// Rectangular LED drawn as a vertical gradient, lit or dark, or drawn by its owner.
#include "controls/KcControls.h"

namespace kelvar {

enum class TKcDrawStyle { dsOwnerDraw, dsNormal };

class TKcUserLed : public TKcGraphicControl {
public:
    explicit TKcUserLed(QWidget* Parent = nullptr);

    TKcBevel& Bevel() { return FBevel; }
    void SetBevel(const TKcBevel& Value) { FBevel.Assign(Value); }
    TKcPaletteEx& PaletteEx() { return FPaletteEx; }
    void SetPaletteEx(const TKcPaletteEx& Value) { FPaletteEx.Assign(Value); }
    bool Active() const { return FActive; }
    void SetActive(bool Value);
    TColor OutlineColor() const { return FOutlineColor; }
    void SetOutlineColor(TColor Value);
    int OutlineWidth() const { return FOutlineWidth; }
    void SetOutlineWidth(int Value);
    TKcDrawStyle DrawStyle() const { return FDrawStyle; }
    void SetDrawStyle(TKcDrawStyle Value);

    TNotifyEvent OnChange;
    std::function<void(TKcUserLed&, QPainter&, const QRect&)> OnDraw;

protected:
    virtual void Changed();
    void paintEvent(QPaintEvent* Event) override;

private:
    TKcBevel FBevel;
    TKcPaletteEx FPaletteEx;
    bool FActive = false;
    TColor FOutlineColor = clBlack;
    int FOutlineWidth = 0;
    TKcDrawStyle FDrawStyle = TKcDrawStyle::dsNormal;
};

}  // namespace kelvar
