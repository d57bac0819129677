#pragma once
// Segmented bar with a bitmap thumb: lit from the minimum end up to the thumb (the deck's song
// position bar).
#include "controls/KcControls.h"
#include "controls/KcSystem.h"
#include "controls/KcThumbTrack.h"

namespace kelvar {

enum TKcSliderOption : unsigned {
    soActiveClick = 1u << 0,
    soMouseClip = 1u << 1,
    soHandPoint = 1u << 2,
    soThumbOpaque = 1u << 3,
};
using TKcSliderOptions = unsigned;

enum class TKcSliderStyle { ssBottomLeft, ssTopRight };

class TKcSlider : public TKcCustomImageControl {
public:
    explicit TKcSlider(QWidget* Parent = nullptr);

    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int Value);
    int MinValue() const { return FMinValue; }
    void SetMinValue(int Value);
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    int TickWidth() const { return FTickWidth; }
    void SetTickWidth(int Value);
    TKcOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TKcOrientation Value);
    bool SolidFill() const { return FSolidFill; }
    void SetSolidFill(bool Value);
    TKcSliderStyle Style() const { return FStyle; }
    void SetStyle(TKcSliderStyle Value);
    int ThumbStates() const { return FThumbStates; }
    void SetThumbStates(int Value);
    TKcSliderOptions Options() const { return FOptions; }
    void SetOptions(TKcSliderOptions Value);
    int KeyIncrement() const { return FKeyIncrement; }
    void SetKeyIncrement(int Value) { FKeyIncrement = Value; }
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor Value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value);
    TColor FocusColor() const { return FFocusColor; }
    void SetFocusColor(TColor Value);
    TKcBevel& Bevel() { return FBevel; }
    void SetBevel(const TKcBevel& Value) { FBevel.Assign(Value); }
    TKcPalette& Palette() { return FPalette; }
    void SetPalette(const TKcPalette& Value) { FPalette.Assign(Value); }
    int ThumbImageIndex() const { return FThumbImageIndex; }
    void SetThumbImageIndex(int Value);
    int ThumbIndent() const { return FThumbIndent; }
    void SetThumbIndent(int Value);
    TKcBitmapList* BitmapList() const { return static_cast<TKcBitmapList*>(FLink.Sender()); }
    void SetBitmapList(TKcBitmapList* Value);

    TNotifyEvent OnChange;

    TKcTrackGeometry Geometry() const;
    QRect ThumbRect() const { return Geometry().ThumbRect(FPosition); }
    void MoveThumbTo(int Pixel);
    // The two bar images (unlit and lit); rebuilt on every change that affects them.
    const QImage& OffImage() const { return FOffImage; }
    const QImage& OnImage() const { return FOnImage; }
    int RebuildCount() const { return FRebuildCount; }

protected:
    virtual void Change();
    void Loaded() override;
    void ColorChanged() override;
    void PaintBitmap(QPainter& Canvas) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void LoadThumb();
    void RebuildImages();
    void Rebuilt();
    QRect BarArea() const;
    int Along(const QPoint& P) const { return FOrientation == TKcOrientation::voVertical ? P.y() : P.x(); }

    int FMaxValue = 100;
    int FMinValue = 0;
    int FPosition = 0;
    int FSpacing = 1;
    int FTickWidth = 1;
    TKcOrientation FOrientation = TKcOrientation::voVertical;
    bool FSolidFill = true;
    TKcSliderStyle FStyle = TKcSliderStyle::ssBottomLeft;
    int FThumbStates = 1;
    TKcSliderOptions FOptions = soHandPoint | soThumbOpaque;
    int FKeyIncrement = 5;
    TColor FBorderColor = clBtnFace;
    int FBorderWidth = 1;
    TColor FFocusColor = clBlue;
    TKcBevel FBevel;
    TKcPalette FPalette;
    int FThumbImageIndex = -1;
    int FThumbIndent = 2;
    TKcChangeLink FLink;
    QImage FThumb;
    QImage FOffImage, FOnImage;
    int FRebuildCount = 0;
    bool FDragging = false;
    bool FHot = false;
    int FGrabOffset = 0;
};

}  // namespace kelvar
