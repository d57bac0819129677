#pragma once
// Stateless drawing helpers of the control set. Colours are 0x00BBGGRR, or 0x800000nn for the
// system colour nn (resolved through the application palette).
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>

class QPainter;

namespace kelvar {

using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clBtnShadow = 0x80000010;
constexpr TColor clBtnHighlight = 0x80000014;
constexpr TColor clInactiveCaption = 0x80000003;

// A system colour becomes the RGB value of the palette entry standing for its index.
TColor ResolveColor(TColor Color);
QColor ToQColor(TColor Color);
TColor FromQColor(const QColor& Color);

int ValueOfPercent(int Percent, int Total);
int PercentOfValue(int Value, int Total);
inline int IntMin(int A, int B) { return A < B ? A : B; }
inline int IntMax(int A, int B) { return A > B ? A : B; }
inline int RectWidth(const QRect& R) { return R.width(); }
inline int RectHeight(const QRect& R) { return R.height(); }
int ClampByte(double Value);
TColor RgbOf(double R, double G, double B);
void SplitColor(TColor Color, int& R, int& G, int& B);
// Rounds to nearest, halves to even.
int RoundHalfEven(double Value);

void FillGradient(QPainter& Canvas, const QRect& Rect, TColor StartColor, TColor EndColor, int Direction, int Step);
void FillGradientStyle(QPainter& Canvas, const QRect& Rect, TColor StartColor, TColor EndColor, int Style, int Step);
// Width rings, Rect shrinks by one on every side per ring.
void DrawFrame3D(QPainter& Canvas, QRect& Rect, TColor TopColor, TColor BottomColor, int Width);
void DrawFrame3DFlush(QPainter& Canvas, QRect& Rect, TColor TopColor, TColor BottomColor, int Width);
void DrawButtonText(QPainter& Canvas, const QString& Text, const QRect& Rect, bool Enabled);
QImage CreateDitherBitmap(TColor Color1, TColor Color2);
void TileBitmap(QPainter& Canvas, const QRect& Rect, const QImage& Bitmap);
inline QRect BitmapRect(const QImage& Bitmap) { return QRect(0, 0, Bitmap.width(), Bitmap.height()); }
// Draws Source's part SourceRect at Dest with every pixel of KeyColor left out.
void DrawTransparent(QPainter& Canvas, const QPoint& Dest, const QImage& Source, const QRect& SourceRect,
                     QRgb KeyColor);
QSize MeasureText(const QFont& Font, const QString& Text);
void DrawRaisedText(QPainter& Canvas, int X, int Y, const QString& Text, TColor HighlightColor, TColor ShadowColor);
void DrawShadowText(QPainter& Canvas, int X, int Y, const QString& Text, TColor ShadowColor, int DX, int DY);

enum class TKcImageTextLayout { ImageLeft, ImageRight, ImageTop, ImageBottom };
// Places a glyph of ImageSize and a caption in Client (positions relative to Client's corner).
void CalcImageTextLayout(const QRect& Client, const QSize& ImageSize, const QSize& TextSize, TKcImageTextLayout Layout,
                         int Margin, int Spacing, QRect& ImageRect, QRect& TextRect);

}  // namespace kelvar
