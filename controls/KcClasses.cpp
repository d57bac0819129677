#include "controls/KcClasses.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QtEndian>

namespace kelvar {

void TKcPersistent::EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
    Changed();
}

void TKcPersistent::Changed() {
    if (FUpdateCount == 0 && OnChange) OnChange(*this);
}

void TKcBevel::Assign(const TKcBevel& S) {
    BeginUpdate();
    SetBorderWidth(S.FBorderWidth);
    SetBorderColor(S.FBorderColor);
    SetInnerShadow(S.FInnerShadow);
    SetInnerHighlight(S.FInnerHighlight);
    SetInnerWidth(S.FInnerWidth);
    SetInnerStyle(S.FInnerStyle);
    SetInnerOutline(S.FInnerOutline);
    SetInnerSpace(S.FInnerSpace);
    SetInnerColor(S.FInnerColor);
    SetOuterShadow(S.FOuterShadow);
    SetOuterHighlight(S.FOuterHighlight);
    SetOuterWidth(S.FOuterWidth);
    SetOuterStyle(S.FOuterStyle);
    SetOuterOutline(S.FOuterOutline);
    SetOuterSpace(S.FOuterSpace);
    SetOuterColor(S.FOuterColor);
    SetVisible(S.FVisible);
    EndUpdate();
}

QRect TKcBevel::GetVisibleArea(const QRect& Rect) const {
    if (!FVisible) return Rect;
    int D = FBorderWidth + FInnerSpace + FOuterSpace;
    if (FInnerOutline != TKcBevelOutlineStyle::osNone) ++D;
    if (FOuterOutline != TKcBevelOutlineStyle::osNone) ++D;
    if (FInnerStyle != TKcBevelStyle::bsNone) D += FInnerWidth;
    if (FOuterStyle != TKcBevelStyle::bsNone) D += FOuterWidth;
    return Rect.adjusted(D, D, -D, -D);
}

namespace {

void DrawBevelPart(QPainter& Canvas, QRect& Rect, TKcBevelOutlineStyle Outline, TKcBevelStyle Style, int Width,
                   TColor Shadow, TColor Highlight, int Space, TColor SpaceColor) {
    if (Outline == TKcBevelOutlineStyle::osOuter) DrawFrame3D(Canvas, Rect, clBlack, clBlack, 1);
    if (Style == TKcBevelStyle::bsLowered) DrawFrame3D(Canvas, Rect, Shadow, Highlight, Width);
    if (Style == TKcBevelStyle::bsRaised) DrawFrame3D(Canvas, Rect, Highlight, Shadow, Width);
    if (Outline == TKcBevelOutlineStyle::osInner) DrawFrame3D(Canvas, Rect, clBlack, clBlack, 1);
    if (Space > 0) DrawFrame3D(Canvas, Rect, SpaceColor, SpaceColor, Space);
}

}  // namespace

void TKcBevel::Draw(QPainter& Canvas, QRect& Rect) const {
    if (!FVisible) return;
    if (FBorderWidth != 0) DrawFrame3D(Canvas, Rect, FBorderColor, FBorderColor, FBorderWidth);
    DrawBevelPart(Canvas, Rect, FOuterOutline, FOuterStyle, FOuterWidth, FOuterShadow, FOuterHighlight, FOuterSpace,
                  FOuterColor);
    DrawBevelPart(Canvas, Rect, FInnerOutline, FInnerStyle, FInnerWidth, FInnerShadow, FInnerHighlight, FInnerSpace,
                  FInnerColor);
}

void TKcPalette::Assign(const TKcPalette& S) {
    BeginUpdate();
    SetLow(S.FLow);
    SetHigh(S.FHigh);
    EndUpdate();
}

void TKcPalette::ColorizeBitmap(QImage& Bitmap, TColor Key1, TColor Key2) const {
    if (Bitmap.isNull()) return;
    if (Bitmap.format() != QImage::Format_RGB32 && Bitmap.format() != QImage::Format_ARGB32)
        Bitmap = Bitmap.convertToFormat(QImage::Format_RGB32);
    const QRgb K1 = ToQColor(Key1).rgb(), K2 = ToQColor(Key2).rgb();
    const QRgb L = ToQColor(FLow).rgb(), H = ToQColor(FHigh).rgb();
    for (int Y = 0; Y < Bitmap.height(); ++Y) {
        auto* Line = reinterpret_cast<QRgb*>(Bitmap.scanLine(Y));
        for (int X = 0; X < Bitmap.width(); ++X) {
            const QRgb P = Line[X] | 0xFF000000u;
            if (P == K1)
                Line[X] = L;
            else if (P == K2)
                Line[X] = H;
        }
    }
}

void TKcPaletteEx::Assign(const TKcPaletteEx& S) {
    BeginUpdate();
    SetLow1(S.FLow1);
    SetHigh1(S.FHigh1);
    SetLow2(S.FLow2);
    SetHigh2(S.FHigh2);
    EndUpdate();
}

void TKcFont3D::Assign(const TKcFont3D& S) {
    BeginUpdate();
    SetStyle(S.FStyle);
    SetHighlightColor(S.FHighlightColor);
    SetShadowColor(S.FShadowColor);
    SetHighlightDepth(S.FHighlightDepth);
    SetShadowDepth(S.FShadowDepth);
    EndUpdate();
}

void TKcFont3D::DrawText3D(QPainter& Canvas, const QRect& Rect, int Format, const QString& Text) const {
    const QPen F = Canvas.pen();
    const int Flags = Format | Qt::TextShowMnemonic;
    auto At = [&](TColor C, int D) {
        Canvas.setPen(ToQColor(C));
        Canvas.drawText(Rect.translated(D, D), Flags, Text);
    };
    switch (FStyle) {
        case TKcFont3DStyle::f3dNone: break;
        case TKcFont3DStyle::f3dRaised:
            At(FShadowColor, FShadowDepth);
            At(FHighlightColor, -FHighlightDepth);
            break;
        case TKcFont3DStyle::f3dSunken:
            At(FHighlightColor, FHighlightDepth);
            At(FShadowColor, -FShadowDepth);
            break;
        case TKcFont3DStyle::f3dShadow: At(FShadowColor, FShadowDepth); break;
    }
    Canvas.setPen(F);
    Canvas.drawText(Rect, Flags, Text);
}

TKcBitmaps::~TKcBitmaps() { OnChange = nullptr; }

int TKcBitmaps::Add(const QImage& Bitmap) {
    FItems.push_back(Bitmap.copy());
    Changed();
    return Count() - 1;
}

void TKcBitmaps::Clear() {
    BeginUpdate();
    FItems.clear();
    EndUpdate();
}

void TKcBitmaps::Assign(const TKcBitmaps* Source) {
    if (Source == this) return;
    if (!Source) {
        Clear();
        return;
    }
    BeginUpdate();
    FItems.clear();
    for (const QImage& Img : Source->FItems) Add(Img);
    EndUpdate();
}

namespace {

constexpr quint32 kSignature = 0x00355462;
constexpr qint64 kBmpFileHeader = 14;
constexpr qint64 kBmpInfoHeader = 12;  // the smallest (core) info header

[[noreturn]] void InvalidFormat() { throw EKcError("Invalid file format"); }

quint32 ReadU32(QIODevice& Stream) {
    char Raw[4];
    if (Stream.read(Raw, 4) != 4) InvalidFormat();
    return qFromLittleEndian<quint32>(Raw);
}

}  // namespace

void TKcBitmaps::LoadFromStream(QIODevice& Stream) {
    if (ReadU32(Stream) != kSignature) InvalidFormat();
    const auto Count = static_cast<qint32>(ReadU32(Stream));
    if (Count < 0) InvalidFormat();
    for (qint32 I = 0; I < Count; ++I) {
        // Each image's length comes from its own file header; it must lie inside the stream.
        const QByteArray Head = Stream.peek(kBmpFileHeader);
        if (Head.size() != kBmpFileHeader || Head[0] != 'B' || Head[1] != 'M') InvalidFormat();
        const quint32 Size = qFromLittleEndian<quint32>(Head.constData() + 2);
        if (Size < kBmpFileHeader + kBmpInfoHeader) InvalidFormat();
        if (!Stream.isSequential() && static_cast<qint64>(Size) > Stream.size() - Stream.pos()) InvalidFormat();
        const QByteArray Data = Stream.read(Size);
        if (Data.size() != static_cast<qsizetype>(Size)) InvalidFormat();
        QImage Img;
        if (!Img.loadFromData(Data, "BMP")) InvalidFormat();
        Add(Img);
    }
}

void TKcBitmaps::SaveToStream(QIODevice& Stream) const {
    char Raw[4];
    qToLittleEndian<quint32>(kSignature, Raw);
    Stream.write(Raw, 4);
    qToLittleEndian<quint32>(static_cast<quint32>(FItems.size()), Raw);
    Stream.write(Raw, 4);
    for (const QImage& Img : FItems) {
        QByteArray Data;
        QBuffer Buf(&Data);
        Buf.open(QIODevice::WriteOnly);
        Img.save(&Buf, "BMP");
        Stream.write(Data);
    }
}

void TKcBitmaps::LoadFromFile(const QString& FileName) {
    QFile File(FileName);
    if (!File.open(QIODevice::ReadOnly))
        throw EKcError("Cannot open file \"" + FileName.toStdString() + "\". " + File.errorString().toStdString());
    BeginUpdate();
    try {
        LoadFromStream(File);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TKcBitmaps::SaveToFile(const QString& FileName) const {
    QFile File(FileName);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EKcError("Cannot create file \"" + FileName.toStdString() + "\". " + File.errorString().toStdString());
    SaveToStream(File);
}

void TKcBitmaps::ReadData(QIODevice& Stream) {
    BeginUpdate();
    try {
        FItems.clear();
        LoadFromStream(Stream);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

}  // namespace kelvar
