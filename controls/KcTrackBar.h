#pragma once
// Bitmap-thumb track bar: the faders and parameter sliders of the windows.
#include "controls/KcControls.h"
#include "controls/KcSystem.h"
#include "controls/KcThumbTrack.h"

namespace kelvar {

enum TKcTrackBarOption : unsigned {
    toActiveClick = 1u << 0,
    toMouseClip = 1u << 1,
    toHandPoint = 1u << 2,
    toFixedPoints = 1u << 3,
    toThumbOpaque = 1u << 4,
};
using TKcTrackBarOptions = unsigned;

enum class TKcTickMarks { tmNone, tmBoth, tmBottomRight, tmTopLeft };

class TKcTrackBar : public TKcCustomImageControl {
public:
    explicit TKcTrackBar(QWidget* Parent = nullptr);

    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int Value);
    int MinValue() const { return FMinValue; }
    void SetMinValue(int Value);
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    TKcOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TKcOrientation Value);
    TKcProgressStyle Style() const { return FStyle; }
    void SetStyle(TKcProgressStyle Value) { Store(FStyle, Value); }
    TKcTrackBarOptions Options() const { return FOptions; }
    void SetOptions(TKcTrackBarOptions Value) { Store(FOptions, Value); }
    int Frequency() const { return FFrequency; }
    void SetFrequency(int Value) { Store(FFrequency, Value); }
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value) { Store(FBorderWidth, Value); }
    TKcBevel& GutterBevel() { return FGutterBevel; }
    void SetGutterBevel(const TKcBevel& Value) { FGutterBevel.Assign(Value); }
    int GutterWidth() const { return FGutterWidth; }
    void SetGutterWidth(int Value) { Store(FGutterWidth, Value); }
    TColor GutterColor() const { return FGutterColor; }
    void SetGutterColor(TColor Value) { Store(FGutterColor, Value); }
    TKcTickMarks TickMarks() const { return FTickMarks; }
    void SetTickMarks(TKcTickMarks Value) { Store(FTickMarks, Value); }
    TColor TickColor() const { return FTickColor; }
    void SetTickColor(TColor Value) { Store(FTickColor, Value); }
    int ThumbStates() const { return FThumbStates; }
    void SetThumbStates(int Value);
    int BackImageIndex() const { return FBackImageIndex; }
    void SetBackImageIndex(int Value) { Store(FBackImageIndex, Value); }
    int ThumbImageIndex() const { return FThumbImageIndex; }
    void SetThumbImageIndex(int Value);
    TKcBitmapList* BitmapList() const { return static_cast<TKcBitmapList*>(FLink.Sender()); }
    void SetBitmapList(TKcBitmapList* Value);
    int ScaleOffset() const { return FScaleOffset; }
    void SetScaleOffset(int Value) { Store(FScaleOffset, Value); }
    TColor FocusColor() const { return FFocusColor; }
    void SetFocusColor(TColor Value) { Store(FFocusColor, Value); }
    int FocusOffset() const { return FFocusOffset; }
    void SetFocusOffset(int Value) { Store(FFocusOffset, Value); }

    TNotifyEvent OnChange;

    TKcTrackGeometry Geometry() const;
    int ValueToPixel(int Value) const { return Geometry().ValueToPixel(Value); }
    int PixelToValue(int Pixel) const;
    void MoveThumbTo(int Pixel);
    QRect ThumbRect() const { return Geometry().ThumbRect(FPosition); }
    // The values that carry a tick, in drawing order.
    std::vector<int> TickValues() const;

protected:
    virtual void Change();
    void Loaded() override;
    void PaintBitmap(QPainter& Canvas) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    template <typename T>
    void Store(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        PropertyChanged();
    }
    void LoadThumb();
    int Along(const QPoint& P) const { return FOrientation == TKcOrientation::voVertical ? P.y() : P.x(); }

    int FMaxValue = 100;
    int FMinValue = 0;
    int FPosition = 0;
    TKcOrientation FOrientation = TKcOrientation::voHorizontal;
    TKcProgressStyle FStyle = TKcProgressStyle::psBottomLeft;
    TKcTrackBarOptions FOptions = toActiveClick | toMouseClip | toHandPoint | toThumbOpaque;
    int FFrequency = 10;
    int FBorderWidth = 10;
    TKcBevel FGutterBevel;
    int FGutterWidth = 9;
    TColor FGutterColor = clBlack;
    TKcTickMarks FTickMarks = TKcTickMarks::tmBoth;
    TColor FTickColor = clBlack;
    int FThumbStates = 1;
    int FBackImageIndex = -1;
    int FThumbImageIndex = -1;
    int FScaleOffset = 5;
    TColor FFocusColor = clBlack;
    int FFocusOffset = 0;
    TKcChangeLink FLink;
    QImage FThumb;
    bool FDragging = false;
    bool FHot = false;
    int FGrabOffset = 0;
};

// The look the windows give their bars: the tan 10-pixel gutter with ticks 3 pixels off it, on the
// face of the window the bar sits on.
constexpr TColor WindowGutterColor = 11128278;  // RGB 214, 205, 169
void UseWindowGutter(TKcTrackBar& Bar);

}  // namespace kelvar
