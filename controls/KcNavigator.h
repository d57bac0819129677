#pragma once
// Small gradient push button with a transport glyph.
#include "controls/KcControls.h"

namespace kelvar {

enum class TKcButtonType { btPower, btPlay, btPause, btStop, btPrev, btBack, btStep, btNext, btRecord, btEject };

class TKcMediaButton : public TKcCustomImageControl {
public:
    explicit TKcMediaButton(QWidget* Parent = nullptr);
    TKcButtonType ButtonType() const { return FButtonType; }
    void SetButtonType(TKcButtonType Value);
    TColor FocusColor() const { return FFocusColor; }
    void SetFocusColor(TColor Value);
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor Value);
    bool Down() const { return FDown; }

protected:
    void PaintBitmap(QPainter& Canvas) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;

private:
    void SetDown(bool Value);
    TKcButtonType FButtonType = TKcButtonType::btPause;
    TColor FFocusColor = clBlue;
    TColor FBorderColor = clBlack;
    QImage FEnabledGlyphs, FDisabledGlyphs;
    bool FTracking = false;
    bool FDown = false;
};

}  // namespace kelvar
