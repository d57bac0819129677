#pragma once
// Segmented meter in three colour zones (the deck's peak meters).
#include "controls/KcControls.h"

namespace kelvar {

class TKcLevelBar : public TKcGraphicImageControl {
public:
    explicit TKcLevelBar(QWidget* Parent = nullptr);

    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int Value);
    int MinValue() const { return FMinValue; }
    void SetMinValue(int Value);
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    int Percent1() const { return FPercent1; }
    void SetPercent1(int Value);
    int Percent2() const { return FPercent2; }
    void SetPercent2(int Value);
    TKcPalette& Palette1() { return FPalette1; }
    void SetPalette1(const TKcPalette& Value) { FPalette1.Assign(Value); }
    TKcPalette& Palette2() { return FPalette2; }
    void SetPalette2(const TKcPalette& Value) { FPalette2.Assign(Value); }
    TKcPalette& Palette3() { return FPalette3; }
    void SetPalette3(const TKcPalette& Value) { FPalette3.Assign(Value); }
    TKcBevel& Bevel() { return FBevel; }
    void SetBevel(const TKcBevel& Value) { FBevel.Assign(Value); }
    TKcOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TKcOrientation Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    int TickHeight() const { return FTickHeight; }
    void SetTickHeight(int Value);
    TKcProgressStyle Style() const { return FStyle; }
    void SetStyle(TKcProgressStyle Value);
    int Step() const { return FStep; }
    void SetStep(int Value) { FStep = Value; }

    TNotifyEvent OnChange, OnMinValue, OnMaxValue;

    // Segment layout of the current size: count, lit segments and zone ends.
    int SegmentCount() const;
    int LitCount() const;
    int Zone1End() const;
    int Zone2End() const;
    // Colour of segment n (0 at the minimum end) as it is painted now.
    TColor SegmentColor(int Index) const;
    // Rectangle of segment n in the control.
    QRect SegmentRect(int Index) const;

protected:
    virtual void Changed();
    void PaintBitmap(QPainter& Canvas) override;
    void resizeEvent(QResizeEvent* Event) override;
    void Loaded() override;

private:
    QRect SegmentArea() const { return FBevel.GetVisibleArea(rect()); }
    int Pitch() const { return FTickHeight + FSpacing; }
    void FitToSegments();
    void BevelChanged();

    int FMaxValue = 100;
    int FMinValue = 0;
    int FPosition = 0;
    int FPercent1 = 60;
    int FPercent2 = 25;
    TKcPalette FPalette1{clGreen, clLime};
    TKcPalette FPalette2{clOlive, clYellow};
    TKcPalette FPalette3{clMaroon, clRed};
    TKcBevel FBevel;
    TKcOrientation FOrientation = TKcOrientation::voVertical;
    int FSpacing = 1;
    int FTickHeight = 1;
    TKcProgressStyle FStyle = TKcProgressStyle::psBottomLeft;
    int FStep = 10;
    QRect FLastArea;
};

}  // namespace kelvar
