#include "controls/BoxShape.h"

#include <QPainter>
#include <algorithm>

namespace kelvar {

TBoxShape::TBoxShape(QWidget* Parent) : QWidget(Parent) { resize(65, 65); }

void TBoxShape::SetStyle(TBoxStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    update();
}

void TBoxShape::SetPen(const QPen& Value) {
    FPen = Value;
    update();
}

void TBoxShape::SetBrush(const QBrush& Value) {
    FBrush = Value;
    update();
}

void TBoxShape::paintEvent(QPaintEvent*) {
    QPainter P(this);
    P.setPen(FPen);
    P.setBrush(FBrush);
    const int W = FPen.style() == Qt::NoPen ? 0 : std::max(1, FPen.width());
    P.drawRect(QRectF(W / 2.0, W / 2.0, width() - W, height() - W));
    DrawShadedFrame(P, QRect(QPoint(1, 1), QPoint(width() - 2, height() - 2)), FromQColor(FBrush.color()), 60, FStyle);
}

}  // namespace kelvar
