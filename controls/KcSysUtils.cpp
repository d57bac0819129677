#include "controls/KcSysUtils.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <cmath>

namespace kelvar {

namespace {

QColor SystemColor(unsigned Index) {
    const QPalette Pal = QGuiApplication::palette();
    switch (Index) {
        // Inactive caption: disabled captions are drawn in it, so it must not look like the
        // highlight; the classic grey of an inactive title bar.
        case 3: return QColor(128, 128, 128);
        case 5: return Pal.color(QPalette::Base);  // window
        case 8: return Pal.color(QPalette::Text);  // window text
        case 13: return Pal.color(QPalette::Highlight);
        case 14: return Pal.color(QPalette::HighlightedText);
        case 15: return Pal.color(QPalette::Button);                    // button face
        case 16: return Pal.color(QPalette::Dark);                      // button shadow
        case 17: return Pal.color(QPalette::Disabled, QPalette::Text);  // grey text
        case 18: return Pal.color(QPalette::ButtonText);
        case 20: return Pal.color(QPalette::Light);   // button highlight
        case 21: return Pal.color(QPalette::Shadow);  // dark shadow
        case 22: return Pal.color(QPalette::Midlight);
        case 23: return Pal.color(QPalette::ToolTipText);
        case 24: return Pal.color(QPalette::ToolTipBase);
        default: return Pal.color(QPalette::Window);
    }
}

}  // namespace

TColor FromQColor(const QColor& Color) {
    return static_cast<TColor>(Color.red()) | (static_cast<TColor>(Color.green()) << 8) |
           (static_cast<TColor>(Color.blue()) << 16);
}

TColor ResolveColor(TColor Color) {
    if (Color & 0x80000000u) return FromQColor(SystemColor(Color & 0xFFu));
    return Color;
}

QColor ToQColor(TColor Color) {
    const TColor C = ResolveColor(Color);
    return QColor(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF);
}

int ValueOfPercent(int Percent, int Total) {
    // Extended precision with 0.01 rounded to it: an exact share truncates one lower.
    volatile long double P = static_cast<long double>(Percent) * 0.01L;
    volatile long double R = static_cast<long double>(Total) * P;
    return static_cast<int>(R);
}

int PercentOfValue(int Value, int Total) {
    if (Total == 0) return 0;
    return static_cast<int>(std::trunc(static_cast<double>(Value) * 100.0 / Total));
}

int RoundHalfEven(double Value) { return static_cast<int>(std::nearbyint(Value)); }

int ClampByte(double Value) {
    const double R = std::nearbyint(Value);
    if (R < 0) return 0;
    if (R > 255) return 255;
    return static_cast<int>(R);
}

TColor RgbOf(double R, double G, double B) {
    return static_cast<TColor>(ClampByte(R)) | (static_cast<TColor>(ClampByte(G)) << 8) |
           (static_cast<TColor>(ClampByte(B)) << 16);
}

void SplitColor(TColor Color, int& R, int& G, int& B) {
    const TColor C = ResolveColor(Color);
    R = C & 0xFF;
    G = (C >> 8) & 0xFF;
    B = (C >> 16) & 0xFF;
}

void FillGradient(QPainter& Canvas, const QRect& Rect, TColor StartColor, TColor EndColor, int Direction, int Step) {
    if (Step < 1) Step = 1;
    int R1, G1, B1, R2, G2, B2;
    SplitColor(StartColor, R1, G1, B1);
    SplitColor(EndColor, R2, G2, B2);
    const int Extent = IntMax(1, Direction == 0 ? Rect.height() : Rect.width());
    const double DR = double(R2 - R1) * Step / Extent, DG = double(G2 - G1) * Step / Extent,
                 DB = double(B2 - B1) * Step / Extent;
    double R = R1, G = G1, B = B1;
    for (int Off = 0; Off <= Extent; Off += Step) {
        const QColor C(ClampByte(R), ClampByte(G), ClampByte(B));
        QRect Band = Direction == 0 ? QRect(Rect.left(), Rect.top() + Off, Rect.width(), Step)
                                    : QRect(Rect.left() + Off, Rect.top(), Step, Rect.height());
        Canvas.fillRect(Band.intersected(Rect), C);
        R += DR;
        G += DG;
        B += DB;
    }
}

void FillGradientStyle(QPainter& Canvas, const QRect& Rect, TColor StartColor, TColor EndColor, int Style, int Step) {
    if (Step < 1) Step = 1;
    int R1, G1, B1, R2, G2, B2;
    SplitColor(StartColor, R1, G1, B1);
    SplitColor(EndColor, R2, G2, B2);
    const bool Horizontal = Style != 2;  // only horizontal and vertical bands are used
    const int E = Horizontal ? Rect.height() : Rect.width();
    if (E <= 0) return;
    for (int D = 0; D < E; D += Step) {
        const QColor C(R1 + D * (R2 - R1) / E, G1 + D * (G2 - G1) / E, B1 + D * (B2 - B1) / E);
        QRect Band = Horizontal ? QRect(Rect.left(), Rect.top() + D, Rect.width(), Step)
                                : QRect(Rect.left() + D, Rect.top(), Step, Rect.height());
        Canvas.fillRect(Band.intersected(Rect), C);
    }
}

namespace {

void Frame3D(QPainter& Canvas, QRect& Rect, TColor TopColor, TColor BottomColor, int Width, bool Flush) {
    const QColor Top = ToQColor(TopColor), Bottom = ToQColor(BottomColor);
    for (int I = 0; I < Width; ++I) {
        const int L = Rect.left(), T = Rect.top(), R = Rect.left() + Rect.width() - 1,
                  B = Rect.top() + Rect.height() - 1;
        if (R >= L && B >= T) {
            Canvas.fillRect(QRect(L, T, 1, B - T + 1), Top);
            if (R > L) Canvas.fillRect(QRect(L, T, R - L, 1), Top);
            if (B > T) Canvas.fillRect(QRect(R, T, 1, B - T), Bottom);
            const int From = Flush ? L + 1 : L;
            if (R >= From) Canvas.fillRect(QRect(From, B, R - From + 1, 1), Bottom);
        }
        Rect.adjust(1, 1, -1, -1);
    }
}

}  // namespace

void DrawFrame3D(QPainter& Canvas, QRect& Rect, TColor TopColor, TColor BottomColor, int Width) {
    Frame3D(Canvas, Rect, TopColor, BottomColor, Width, false);
}

void DrawFrame3DFlush(QPainter& Canvas, QRect& Rect, TColor TopColor, TColor BottomColor, int Width) {
    Frame3D(Canvas, Rect, TopColor, BottomColor, Width, true);
}

void DrawButtonText(QPainter& Canvas, const QString& Text, const QRect& Rect, bool Enabled) {
    const QPen Old = Canvas.pen();
    if (Enabled) {
        Canvas.drawText(Rect, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, Text);
    } else {
        Canvas.setPen(ToQColor(clBtnHighlight));
        Canvas.drawText(Rect.translated(1, 1), Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, Text);
        Canvas.setPen(ToQColor(clBtnShadow));
        Canvas.drawText(Rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, Text);
    }
    Canvas.setPen(Old);
}

QImage CreateDitherBitmap(TColor Color1, TColor Color2) {
    QImage Img(8, 8, QImage::Format_RGB32);
    const QRgb C1 = ToQColor(Color1).rgb(), C2 = ToQColor(Color2).rgb();
    for (int Y = 0; Y < 8; ++Y)
        for (int X = 0; X < 8; ++X) Img.setPixel(X, Y, (X + Y) % 2 == 0 ? C1 : C2);
    return Img;
}

void TileBitmap(QPainter& Canvas, const QRect& Rect, const QImage& Bitmap) {
    if (Bitmap.isNull()) return;
    for (int Y = Rect.top(); Y <= Rect.bottom(); Y += Bitmap.height())
        for (int X = Rect.left(); X <= Rect.right(); X += Bitmap.width()) Canvas.drawImage(X, Y, Bitmap);
}

void DrawTransparent(QPainter& Canvas, const QPoint& Dest, const QImage& Source, const QRect& SourceRect,
                     QRgb KeyColor) {
    QImage Part = Source.copy(SourceRect).convertToFormat(QImage::Format_ARGB32);
    const QRgb Key = KeyColor | 0xFF000000u;
    for (int Y = 0; Y < Part.height(); ++Y) {
        auto* Line = reinterpret_cast<QRgb*>(Part.scanLine(Y));
        for (int X = 0; X < Part.width(); ++X)
            if ((Line[X] | 0xFF000000u) == Key) Line[X] = 0;
    }
    Canvas.drawImage(Dest, Part);
}

QSize MeasureText(const QFont& Font, const QString& Text) {
    const QFontMetrics M(Font);
    const QRect R =
        M.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, Text);
    return R.size();
}

void DrawRaisedText(QPainter& Canvas, int X, int Y, const QString& Text, TColor HighlightColor, TColor ShadowColor) {
    const QPen Old = Canvas.pen();
    const int Ascent = Canvas.fontMetrics().ascent();
    Canvas.setPen(ToQColor(ShadowColor));
    Canvas.drawText(X + 1, Y + 1 + Ascent, Text);
    Canvas.setPen(ToQColor(HighlightColor));
    Canvas.drawText(X - 1, Y - 1 + Ascent, Text);
    Canvas.setPen(Old);
    Canvas.drawText(X, Y + Ascent, Text);
}

void DrawShadowText(QPainter& Canvas, int X, int Y, const QString& Text, TColor ShadowColor, int DX, int DY) {
    const QPen Old = Canvas.pen();
    const int Ascent = Canvas.fontMetrics().ascent();
    Canvas.setPen(ToQColor(ShadowColor));
    Canvas.drawText(X + DX, Y + DY + Ascent, Text);
    Canvas.setPen(Old);
    Canvas.drawText(X, Y + Ascent, Text);
}

void CalcImageTextLayout(const QRect& Client, const QSize& ImageSize, const QSize& TextSize, TKcImageTextLayout Layout,
                         int Margin, int Spacing, QRect& ImageRect, QRect& TextRect) {
    const bool Horizontal = Layout == TKcImageTextLayout::ImageLeft || Layout == TKcImageTextLayout::ImageRight;
    const int ClientExtent = Horizontal ? Client.width() : Client.height();
    const int ImageExtent = Horizontal ? ImageSize.width() : ImageSize.height();
    const int TextExtent = Horizontal ? TextSize.width() : TextSize.height();
    QPoint ImagePos, TextPos;
    if (Horizontal) {
        ImagePos.setY((Client.height() - ImageSize.height() + 1) / 2);
        TextPos.setY((Client.height() - TextSize.height() + 1) / 2);
    } else {
        ImagePos.setX((Client.width() - ImageSize.width() + 1) / 2);
        TextPos.setX((Client.width() - TextSize.width() + 1) / 2);
    }
    if (TextSize.width() == 0 || ImageSize.width() == 0) Spacing = 0;
    if (Margin == -1 && Spacing == -1) {
        Margin = (ClientExtent - (ImageExtent + TextExtent)) / 3;
        Spacing = Margin;
    } else if (Margin == -1) {
        Margin = (ClientExtent - (ImageExtent + Spacing + TextExtent) + 1) / 2;
    } else if (Spacing == -1) {
        Spacing = (ClientExtent - Margin - ImageExtent - TextExtent) / 2;
    }
    int ImageAt = 0, TextAt = 0;
    switch (Layout) {
        case TKcImageTextLayout::ImageLeft:
        case TKcImageTextLayout::ImageTop:
            ImageAt = Margin;
            TextAt = Margin + ImageExtent + Spacing;
            break;
        case TKcImageTextLayout::ImageRight:
        case TKcImageTextLayout::ImageBottom:
            ImageAt = ClientExtent - Margin - ImageExtent;
            TextAt = ImageAt - Spacing - TextExtent;
            break;
    }
    if (Horizontal) {
        ImagePos.setX(ImageAt);
        TextPos.setX(TextAt);
    } else {
        ImagePos.setY(ImageAt);
        TextPos.setY(TextAt);
    }
    ImageRect = QRect(ImagePos + Client.topLeft(), ImageSize);
    TextRect = QRect(TextPos + Client.topLeft(), TextSize);
}

}  // namespace kelvar
