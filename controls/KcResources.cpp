#include "controls/KcResources.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPolygon>
#include <QRegularExpression>
#include <algorithm>

namespace kelvar {

namespace {

const QColor kKey(0x80, 0x80, 0x00);  // 0x008080, the glyphs' transparent colour
const QColor kUnlit(0x80, 0x80, 0x80);
const QColor kLit(0xC0, 0xC0, 0xC0);

QImage Thumb(int W, int H, bool Vertical) {
    // A raised grey grip with a dark centre line across the travel direction.
    QImage Img(W, H, QImage::Format_RGB32);
    QPainter P(&Img);
    P.fillRect(Img.rect(), QColor(0xD4, 0xD0, 0xC8));
    P.fillRect(0, 0, W, 1, Qt::white);
    P.fillRect(0, 0, 1, H, Qt::white);
    P.fillRect(0, H - 1, W, 1, QColor(0x40, 0x40, 0x40));
    P.fillRect(W - 1, 0, 1, H, QColor(0x40, 0x40, 0x40));
    P.fillRect(1, H - 2, W - 2, 1, QColor(0x80, 0x80, 0x80));
    P.fillRect(W - 2, 1, 1, H - 2, QColor(0x80, 0x80, 0x80));
    if (Vertical)
        P.fillRect(2, H / 2, W - 4, 1, Qt::black);
    else
        P.fillRect(W / 2, 2, 1, H - 4, Qt::black);
    return Img;
}

void Glyph(QPainter& P, int Index, int X0, const QColor& C) {
    auto Tri = [&](int X, bool Right) {
        QPolygon Poly;
        if (Right)
            Poly << QPoint(X, 0) << QPoint(X + 4, 4) << QPoint(X, 8);
        else
            Poly << QPoint(X + 4, 0) << QPoint(X, 4) << QPoint(X + 4, 8);
        P.setPen(C);
        P.setBrush(C);
        P.drawPolygon(Poly);
    };
    switch (Index) {
        case 0:  // power: ring with a bar
            P.setPen(C);
            P.setBrush(Qt::NoBrush);
            P.drawEllipse(X0 + 2, 1, 6, 6);
            P.fillRect(X0 + 5, 0, 1, 5, C);
            break;
        case 1: Tri(X0 + 3, true); break;
        case 2:
            P.fillRect(X0 + 3, 0, 2, 9, C);
            P.fillRect(X0 + 7, 0, 2, 9, C);
            break;
        case 3: P.fillRect(X0 + 2, 1, 7, 7, C); break;
        case 4:
            P.fillRect(X0 + 1, 0, 2, 9, C);
            Tri(X0 + 4, false);
            break;
        case 5:
            Tri(X0 + 1, false);
            Tri(X0 + 6, false);
            break;
        case 6:
            Tri(X0 + 1, true);
            Tri(X0 + 6, true);
            break;
        case 7:
            Tri(X0 + 3, true);
            P.fillRect(X0 + 8, 0, 2, 9, C);
            break;
        case 8:
            P.setPen(C);
            P.setBrush(C);
            P.drawEllipse(X0 + 2, 1, 6, 6);
            break;
        case 9: {
            QPolygon Poly;
            Poly << QPoint(X0 + 5, 0) << QPoint(X0 + 9, 4) << QPoint(X0 + 1, 4);
            P.setPen(C);
            P.setBrush(C);
            P.drawPolygon(Poly);
            P.fillRect(X0 + 1, 6, 9, 2, C);
            break;
        }
        default: break;
    }
}

QImage GlyphStrip(bool Enabled) {
    QImage Img(110, 9, QImage::Format_RGB32);
    Img.fill(kKey);
    QPainter P(&Img);
    const QColor C = Enabled ? QColor(Qt::black) : QColor(0x80, 0x80, 0x80);
    for (int I = 0; I < 10; ++I) Glyph(P, I, I * 11, C);
    return Img;
}

QImage Arrows(bool Up) {
    // Four 9 x 6 frames (normal, hot, pressed, disabled) on black, the strip's transparent colour.
    QImage Img(36, 6, QImage::Format_RGB32);
    Img.fill(Qt::black);
    const QColor Colors[4] = {QColor(0, 0x80, 0), QColor(0, 0xFF, 0), QColor(0xFF, 0xFF, 0xFF),
                              QColor(0x80, 0x80, 0x80)};
    for (int F = 0; F < 4; ++F)
        for (int Row = 0; Row < 5; ++Row) {
            const int Y = Up ? Row : 4 - Row;
            for (int X = 4 - Row; X <= 4 + Row; ++X) Img.setPixelColor(F * 9 + X, Y, Colors[F]);
        }
    return Img;
}

QImage SpinArrows(int Kind) {
    // Three cells (disabled, normal, pressed) on magenta; the fill keys 0x008000 and 0x00FF00
    // take the palette's Low and High colours.
    const bool Vertical = Kind < 2;
    const int W = Vertical ? 21 : 17, H = Vertical ? 16 : 21;
    QImage Img(3 * W, H, QImage::Format_RGB32);
    Img.fill(QColor(255, 0, 255));
    QPainter P(&Img);
    const QColor Fills[3] = {QColor(0x80, 0x80, 0x80), QColor(0, 0x80, 0), QColor(0, 0xFF, 0)};
    for (int Cell = 0; Cell < 3; ++Cell) {
        const int X0 = Cell * W;
        QPolygon Tri;
        switch (Kind) {
            case 0: Tri << QPoint(X0 + 2, H - 3) << QPoint(X0 + W / 2, 2) << QPoint(X0 + W - 3, H - 3); break;
            case 1: Tri << QPoint(X0 + 2, 2) << QPoint(X0 + W - 3, 2) << QPoint(X0 + W / 2, H - 3); break;
            case 2: Tri << QPoint(X0 + W - 3, 2) << QPoint(X0 + W - 3, H - 3) << QPoint(X0 + 2, H / 2); break;
            default: Tri << QPoint(X0 + 2, 2) << QPoint(X0 + W - 3, H / 2) << QPoint(X0 + 2, H - 3); break;
        }
        P.setPen(Cell == 2 ? QColor(Qt::white) : QColor(Qt::black));
        P.setBrush(Fills[Cell]);
        P.drawPolygon(Tri);
    }
    return Img;
}

struct TSegments {
    bool A, B, C, D, E, F, G;
};

void DrawDigitCell(QPainter& P, int X0, int W, int H, int Cell) {
    static const TSegments Digits[10] = {{1, 1, 1, 1, 1, 1, 0}, {0, 1, 1, 0, 0, 0, 0}, {1, 1, 0, 1, 1, 0, 1},
                                         {1, 1, 1, 1, 0, 0, 1}, {0, 1, 1, 0, 0, 1, 1}, {1, 0, 1, 1, 0, 1, 1},
                                         {1, 0, 1, 1, 1, 1, 1}, {1, 1, 1, 0, 0, 0, 0}, {1, 1, 1, 1, 1, 1, 1},
                                         {1, 1, 1, 1, 0, 1, 1}};
    TSegments S{0, 0, 0, 0, 0, 0, 0};
    if (Cell < 10) S = Digits[Cell];
    if (Cell == 12 || Cell == 11) S.G = true;
    const int T = std::max(1, (W + 1) / 5);
    const int Mid = (H - T) / 2;
    auto Seg = [&](bool On, int X, int Y, int SW, int SH) {
        if (SW > 0 && SH > 0) P.fillRect(X0 + X, Y, SW, SH, On ? kLit : kUnlit);
    };
    Seg(S.A, T, 0, W - 2 * T, T);
    Seg(S.G, T, Mid, W - 2 * T, T);
    Seg(S.D, T, H - T, W - 2 * T, T);
    Seg(S.F, 0, T, T, Mid - T);
    Seg(S.B, W - T, T, T, Mid - T);
    Seg(S.E, 0, Mid + T, T, H - T - Mid - T);
    Seg(S.C, W - T, Mid + T, T, H - T - Mid - T);
    if (Cell == 11) P.fillRect(X0 + W / 2 - T / 2, H / 4, T, H / 2, kLit);  // plus: vertical bar
}

QImage DigitStrip(int W, int H) {
    QImage Img(13 * W, H, QImage::Format_RGB32);
    Img.fill(Qt::black);
    QPainter P(&Img);
    for (int I = 0; I < 13; ++I) DrawDigitCell(P, I * W, W - 1, H, I);  // one pixel gap inside each cell
    return Img;
}

QImage Separator(int W, int H) {
    const int T = H >= 13 ? std::max(2, (W + 1) / 5) : 1;
    QImage Img(T + 2, H, QImage::Format_RGB32);
    Img.fill(Qt::black);
    QPainter P(&Img);
    P.fillRect(1, H / 3 - T / 2, T, T, kLit);
    P.fillRect(1, (2 * H) / 3 - T / 2, T, T, kLit);
    return Img;
}

QImage AmPm(int W, int H) {
    // Left half "P", right half "A", each a lit dot row under an unlit one.
    QImage Img(2 * W, H, QImage::Format_RGB32);
    Img.fill(Qt::black);
    QPainter P(&Img);
    QFont Font("DejaVu Sans");
    Font.setPixelSize(qMax(5, (H * 2) / 3));
    Font.setBold(true);
    Font.setStyleStrategy(QFont::NoAntialias);
    P.setFont(Font);
    P.setPen(kLit);
    P.drawText(QRect(0, 0, W, H), Qt::AlignCenter, "P");
    P.drawText(QRect(W, 0, W, H), Qt::AlignCenter, "A");
    return Img;
}

}  // namespace

QImage KcProgramIconImage(int Size) {
    Size = std::max(1, Size);
    QImage Img(Size, Size, QImage::Format_ARGB32_Premultiplied);
    Img.fill(Qt::transparent);
    QPainter P(&Img);
    P.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 64-unit square whatever the size, so every size shows the same picture.
    P.scale(Size / 64.0, Size / 64.0);
    const QColor Panel(44, 52, 82), Tan(0xD6, 0xCD, 0xA9), Groove(70, 70, 70);
    P.setPen(QPen(Tan, 3));
    P.setBrush(Panel);
    P.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    P.setPen(Qt::NoPen);
    P.setBrush(QColor(16, 16, 16));
    P.drawEllipse(QPointF(32, 32), 24, 24);
    P.setBrush(Qt::NoBrush);
    P.setPen(QPen(Groove, 1.2));
    for (double R : {20.5, 17.0, 13.5}) P.drawEllipse(QPointF(32, 32), R, R);
    // A sheen across the grooves, as light falls on a turning record.
    P.setPen(QPen(QColor(190, 190, 190, 150), 2.5, Qt::SolidLine, Qt::RoundCap));
    P.drawArc(QRectF(12, 12, 40, 40), 100 * 16, 50 * 16);
    P.drawArc(QRectF(12, 12, 40, 40), 280 * 16, 50 * 16);
    P.setPen(Qt::NoPen);
    P.setBrush(Tan);
    P.drawEllipse(QPointF(32, 32), 9, 9);
    P.setBrush(QColor(0xC0, 0x40, 0x30));
    P.drawEllipse(QPointF(32, 32), 4.5, 4.5);
    P.setBrush(Panel);
    P.drawEllipse(QPointF(32, 32), 1.6, 1.6);
    return Img;
}

QIcon KcProgramIcon() {
    QIcon Icon;
    for (int Size : {16, 22, 24, 32, 48, 64, 128, 256}) Icon.addPixmap(QPixmap::fromImage(KcProgramIconImage(Size)));
    return Icon;
}

QImage KcResourceImage(const QString& Name) {
    if (Name == "MAINICON") return KcProgramIconImage(32);
    if (Name == "VRTB_HORI") return Thumb(9, 17, false);
    if (Name == "VRTB_VERT") return Thumb(17, 9, true);
    if (Name == "VRSLIDERTHUMB_HORI") return Thumb(30, 13, true);
    if (Name == "VRSLIDERTHUMB_VERT") return Thumb(13, 30, false);
    if (Name == "EN_IMAGES") return GlyphStrip(true);
    if (Name == "DI_IMAGES") return GlyphStrip(false);
    if (Name == "ARROWS_UP") return SpinArrows(0);
    if (Name == "ARROWS_DOWN") return SpinArrows(1);
    if (Name == "ARROWS_LEFT") return SpinArrows(2);
    if (Name == "ARROWS_RIGHT") return SpinArrows(3);
    if (Name == "UPDOWN_UP") return Arrows(true);
    if (Name == "UPDOWN_DOWN") return Arrows(false);
    static const QRegularExpression Sized("^(NUM|AMPM)(\\d+)x(\\d+)$");
    const auto M = Sized.match(Name);
    if (M.hasMatch()) {
        const int W = M.captured(2).toInt(), H = M.captured(3).toInt();
        return M.captured(1) == "NUM" ? DigitStrip(W, H) : AmPm(W, H);
    }
    static const int SepSizes[5][2] = {{13, 24}, {11, 20}, {7, 13}, {12, 17}, {5, 7}};
    for (int I = 0; I < 5; ++I)
        if (Name == QString("CLOCKSEP%1").arg(I + 1)) return Separator(SepSizes[I][0], SepSizes[I][1]);
    return QImage();
}

}  // namespace kelvar
