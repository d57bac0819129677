#pragma once
// Pair of bitmap arrow buttons firing up and down events, with auto-repeat while held.
#include "controls/KcControls.h"
#include "controls/KcThreads.h"

namespace kelvar {

class TKcUpDown : public TKcGraphicImageControl {
public:
    explicit TKcUpDown(QWidget* Parent = nullptr);

    const QImage& GlyphsUp() const { return FGlyphsUp; }
    // A null image restores the built-in strip.
    void SetGlyphsUp(const QImage& Value);
    const QImage& GlyphsDown() const { return FGlyphsDown; }
    void SetGlyphsDown(const QImage& Value);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int Value);
    TKcOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TKcOrientation Value);
    bool RepeatClick() const { return FRepeatClick; }
    void SetRepeatClick(bool Value) { FRepeatClick = Value; }
    int RepeatPause() const { return FRepeatPause; }
    void SetRepeatPause(int Value) { FRepeatPause = Value < 1 ? 1 : Value; }

    TNotifyEvent OnUpClick, OnDownClick;

    // Button 0 (up) or 1 (down) under the point, else -1.
    int ButtonAt(const QPoint& P) const;
    QRect ButtonRect(int Index) const;
    // Glyph index each button shows now.
    int GlyphState(int Index) const;
    TKcTimer& RepeatTimer() { return FTimer; }

protected:
    void PaintBitmap(QPainter& Canvas) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void MouseLeave() override;

private:
    void FireButton(int Index);
    void RepeatTick();

    QImage FGlyphsUp, FGlyphsDown;
    int FNumGlyphs = 4;
    TKcOrientation FOrientation = TKcOrientation::voVertical;
    bool FRepeatClick = true;
    int FRepeatPause = 100;
    int FHot = -1;
    int FPressed = -1;
    bool FHeld = false;
    bool FInside = false;
    TKcTimer FTimer;
};

}  // namespace kelvar
