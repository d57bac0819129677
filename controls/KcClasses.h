#pragma once
// Value objects that controls own as sub-objects; every change reaches the owner through OnChange.
#include "controls/KcSysUtils.h"

#include <QIODevice>
#include <QImage>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QPainter;

namespace kelvar {

class EKcError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TKcPersistent {
public:
    virtual ~TKcPersistent() = default;
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    void Changed();
    int UpdateCount() const { return FUpdateCount; }
    std::function<void(TKcPersistent&)> OnChange;

protected:
    template <typename T>
    void SetValue(T& Field, const T& Value) {
        if (Field == Value) return;
        Field = Value;
        Changed();
    }

private:
    int FUpdateCount = 0;
};

enum class TKcBevelStyle { bsNone, bsLowered, bsRaised };
enum class TKcBevelOutlineStyle { osOuter, osInner, osNone };

class TKcBevel : public TKcPersistent {
public:
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int V) { SetValue(FBorderWidth, V < 0 ? 0 : V); }
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor V) { SetValue(FBorderColor, V); }
    TColor InnerShadow() const { return FInnerShadow; }
    void SetInnerShadow(TColor V) { SetValue(FInnerShadow, V); }
    TColor InnerHighlight() const { return FInnerHighlight; }
    void SetInnerHighlight(TColor V) { SetValue(FInnerHighlight, V); }
    int InnerWidth() const { return FInnerWidth; }
    void SetInnerWidth(int V) { SetValue(FInnerWidth, V < 1 ? 1 : V); }
    TKcBevelStyle InnerStyle() const { return FInnerStyle; }
    void SetInnerStyle(TKcBevelStyle V) { SetValue(FInnerStyle, V); }
    TKcBevelOutlineStyle InnerOutline() const { return FInnerOutline; }
    void SetInnerOutline(TKcBevelOutlineStyle V) { SetValue(FInnerOutline, V); }
    int InnerSpace() const { return FInnerSpace; }
    void SetInnerSpace(int V) { SetValue(FInnerSpace, V < 0 ? 0 : V); }
    TColor InnerColor() const { return FInnerColor; }
    void SetInnerColor(TColor V) { SetValue(FInnerColor, V); }
    TColor OuterShadow() const { return FOuterShadow; }
    void SetOuterShadow(TColor V) { SetValue(FOuterShadow, V); }
    TColor OuterHighlight() const { return FOuterHighlight; }
    void SetOuterHighlight(TColor V) { SetValue(FOuterHighlight, V); }
    int OuterWidth() const { return FOuterWidth; }
    void SetOuterWidth(int V) { SetValue(FOuterWidth, V < 1 ? 1 : V); }
    TKcBevelStyle OuterStyle() const { return FOuterStyle; }
    void SetOuterStyle(TKcBevelStyle V) { SetValue(FOuterStyle, V); }
    TKcBevelOutlineStyle OuterOutline() const { return FOuterOutline; }
    void SetOuterOutline(TKcBevelOutlineStyle V) { SetValue(FOuterOutline, V); }
    int OuterSpace() const { return FOuterSpace; }
    void SetOuterSpace(int V) { SetValue(FOuterSpace, V < 0 ? 0 : V); }
    TColor OuterColor() const { return FOuterColor; }
    void SetOuterColor(TColor V) { SetValue(FOuterColor, V); }
    bool Visible() const { return FVisible; }
    void SetVisible(bool V) { SetValue(FVisible, V); }

    void Assign(const TKcBevel& Source);
    QRect GetVisibleArea(const QRect& Rect) const;
    // Draws the rings from the outside in; Rect ends as GetVisibleArea gives it.
    void Draw(QPainter& Canvas, QRect& Rect) const;

private:
    int FBorderWidth = 0;
    TColor FBorderColor = clBtnFace;
    TColor FInnerShadow = clBtnShadow;
    TColor FInnerHighlight = clBtnHighlight;
    int FInnerWidth = 1;
    TKcBevelStyle FInnerStyle = TKcBevelStyle::bsLowered;
    TKcBevelOutlineStyle FInnerOutline = TKcBevelOutlineStyle::osNone;
    int FInnerSpace = 1;
    TColor FInnerColor = clBtnFace;
    TColor FOuterShadow = clBtnShadow;
    TColor FOuterHighlight = clBtnHighlight;
    int FOuterWidth = 1;
    TKcBevelStyle FOuterStyle = TKcBevelStyle::bsRaised;
    TKcBevelOutlineStyle FOuterOutline = TKcBevelOutlineStyle::osOuter;
    int FOuterSpace = 0;
    TColor FOuterColor = clBtnFace;
    bool FVisible = true;
};

class TKcPalette : public TKcPersistent {
public:
    TKcPalette() = default;
    TKcPalette(TColor Low, TColor High) : FLow(Low), FHigh(High) {}
    TColor Low() const { return FLow; }
    void SetLow(TColor V) { SetValue(FLow, V); }
    TColor High() const { return FHigh; }
    void SetHigh(TColor V) { SetValue(FHigh, V); }
    TColor GetColor(int Index) const { return Index <= 0 ? FLow : FHigh; }
    void Assign(const TKcPalette& Source);
    // Pixels of Key1 become Low, pixels of Key2 become High.
    void ColorizeBitmap(QImage& Bitmap, TColor Key1, TColor Key2) const;

private:
    TColor FLow = clGreen;
    TColor FHigh = clLime;
};

class TKcPaletteEx : public TKcPersistent {
public:
    TColor Low1() const { return FLow1; }
    void SetLow1(TColor V) { SetValue(FLow1, V); }
    TColor High1() const { return FHigh1; }
    void SetHigh1(TColor V) { SetValue(FHigh1, V); }
    TColor Low2() const { return FLow2; }
    void SetLow2(TColor V) { SetValue(FLow2, V); }
    TColor High2() const { return FHigh2; }
    void SetHigh2(TColor V) { SetValue(FHigh2, V); }
    void Assign(const TKcPaletteEx& Source);

private:
    TColor FLow1 = clGreen;
    TColor FHigh1 = clLime;
    TColor FLow2 = clBlack;
    TColor FHigh2 = clBlack;
};

enum class TKcFont3DStyle { f3dNone, f3dRaised, f3dSunken, f3dShadow };

class TKcFont3D : public TKcPersistent {
public:
    TKcFont3DStyle Style() const { return FStyle; }
    void SetStyle(TKcFont3DStyle V) { SetValue(FStyle, V); }
    TColor HighlightColor() const { return FHighlightColor; }
    void SetHighlightColor(TColor V) { SetValue(FHighlightColor, V); }
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor V) { SetValue(FShadowColor, V); }
    int HighlightDepth() const { return FHighlightDepth; }
    void SetHighlightDepth(int V) { SetValue(FHighlightDepth, V); }
    int ShadowDepth() const { return FShadowDepth; }
    void SetShadowDepth(int V) { SetValue(FShadowDepth, V); }
    void Assign(const TKcFont3D& Source);
    // Qt alignment flags in Format; the pen colour is the text colour and stays as it was.
    void DrawText3D(QPainter& Canvas, const QRect& Rect, int Format, const QString& Text) const;

private:
    TKcFont3DStyle FStyle = TKcFont3DStyle::f3dNone;
    TColor FHighlightColor = clBtnHighlight;
    TColor FShadowColor = clBtnShadow;
    int FHighlightDepth = 1;
    int FShadowDepth = 1;
};

// Ordered list of bitmaps; streams as the signature, a count and that many BMP file images.
class TKcBitmaps : public TKcPersistent {
public:
    ~TKcBitmaps() override;
    int Count() const { return static_cast<int>(FItems.size()); }
    const QImage& Items(int Index) const { return FItems.at(static_cast<size_t>(Index)); }
    int Add(const QImage& Bitmap);
    void Clear();
    void Assign(const TKcBitmaps* Source);
    // Appends what it reads; throws EKcError("Invalid file format") on a bad stream.
    void LoadFromStream(QIODevice& Stream);
    void SaveToStream(QIODevice& Stream) const;
    void LoadFromFile(const QString& FileName);
    void SaveToFile(const QString& FileName) const;
    // The stored "Bitmaps" property: cleared, then loaded, as one change.
    void ReadData(QIODevice& Stream);
    bool HasData() const { return !FItems.empty(); }

private:
    std::vector<QImage> FItems;
};

}  // namespace kelvar
