#include "controls/KcLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace kelvar {

TKcLabel::TKcLabel(QWidget* Parent) : TKcGraphicImageControl(Parent) {
    resize(100, 25);
    QFont F("Arial");
    F.setPointSize(14);
    setFont(F);
}

void TKcLabel::SetBitmap(const QImage& Value) {
    FPicture = Value.copy();
    PropertyChanged();
}

void TKcLabel::SetAngle(int Value) {
    Value = ((Value % 360) + 360) % 360;
    if (FAngle == Value) return;
    FAngle = Value;
    AdjustBounds();
}

void TKcLabel::FontChanged() {
    AdjustBounds();
    TKcGraphicImageControl::FontChanged();
}

void TKcLabel::TextChanged() {
    AdjustBounds();
    TKcGraphicImageControl::TextChanged();
}

QSize TKcLabel::NaturalSize() const {
    const QSize T = MeasureText(font(), Caption());
    const double A = FAngle * std::numbers::pi / 180;
    const double C = std::fabs(std::cos(A)), S = std::fabs(std::sin(A));
    return QSize(static_cast<int>(C * T.width() + S * T.height()) + 4,
                 static_cast<int>(C * T.height() + S * T.width()) + 4);
}

QPoint TKcLabel::TextPosition() const {
    const QSize T = MeasureText(font(), Caption());
    const double W = T.width(), H = T.height();
    const double A = FAngle * std::numbers::pi / 180;
    const double Co = std::cos(A), Si = std::sin(A), AC = std::fabs(Co), AS = std::fabs(Si);
    const int CW = width(), CH = height();
    auto HorizontalFix = [&] {
        int D = 0;
        if (FAngle > 90 && FAngle < 270) D += static_cast<int>(AC * W);
        if (FAngle > 180) D += static_cast<int>(AS * H);
        return D;
    };
    auto VerticalFix = [&] {
        int D = 0;
        if (FAngle < 180) D += static_cast<int>(AS * W);
        if (FAngle > 90 && FAngle < 270) D += static_cast<int>(AC * H);
        return D;
    };
    const int LeftLimit = 2 + HorizontalFix();
    int X = LeftLimit;
    if (FAlignment == TAlignment::taRightJustify)
        X = CW - (static_cast<int>(AC * W + AS * H) + 2) + HorizontalFix();
    else if (FAlignment == TAlignment::taCenter)
        X = static_cast<int>(CW / 2.0 - Co * W / 2 - Si * H / 2);
    X = std::max(LeftLimit, X);
    int Y = 0;
    switch (FLayout) {
        case TTextLayout::tlTop: Y = 2 + VerticalFix(); break;
        case TTextLayout::tlCenter: Y = static_cast<int>(CH / 2.0 - Co * H / 2 + Si * W / 2); break;
        case TTextLayout::tlBottom: Y = CH - (static_cast<int>(AC * H + AS * W) + 2) + VerticalFix(); break;
    }
    return QPoint(X, Y);
}

void TKcLabel::DrawAt(QPainter& Canvas, int X, int Y, TColor Color) const {
    // (X, Y) is the text's top-left corner before rotation, as with font escapement.
    Canvas.save();
    Canvas.translate(X, Y);
    Canvas.rotate(-FAngle);
    Canvas.setPen(ToQColor(Color));
    Canvas.drawText(QPoint(0, QFontMetrics(font()).ascent()), Caption());
    Canvas.restore();
}

void TKcLabel::PaintBitmap(QPainter& Canvas) {
    Canvas.setFont(font());
    const QPoint P = TextPosition();
    switch (FStyle) {
        case TKcLabelStyle::lsNone: break;
        case TKcLabelStyle::lsRaised:
            DrawAt(Canvas, P.x() + 1, P.y() + 1, FColorShadow);
            DrawAt(Canvas, P.x() - 1, P.y() - 1, FColorHighlight);
            break;
        case TKcLabelStyle::lsLowered:
            DrawAt(Canvas, P.x() + 1, P.y() + 1, FColorHighlight);
            DrawAt(Canvas, P.x() - 1, P.y() - 1, FColorShadow);
            break;
        case TKcLabelStyle::lsShadow: DrawAt(Canvas, P.x() + FShadowDepth, P.y() + FShadowDepth, FColorShadow); break;
    }
    DrawAt(Canvas, P.x(), P.y(), FFontColor);
    if (!FPicture.isNull()) {
        // The caption's shape filled with the picture stretched over the control.
        QPainterPath Path;
        Path.addText(QPointF(0, QFontMetrics(font()).ascent()), font(), Caption());
        QTransform T;
        T.translate(P.x(), P.y());
        T.rotate(-FAngle);
        Canvas.save();
        Canvas.setClipPath(T.map(Path));
        Canvas.drawImage(rect(), FPicture);
        Canvas.restore();
    }
}

}  // namespace kelvar
