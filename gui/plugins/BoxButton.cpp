#include "gui/plugins/BoxButton.h"

#include <QPainter>

namespace kelvar {

namespace {

// A colour moved Steps steps towards white (positive) or black (negative).
QColor Shade(const QColor& color, int steps) {
    const auto move = [steps](int value) { return std::clamp(value + steps, 0, 255); };
    return QColor(move(color.red()), move(color.green()), move(color.blue()));
}

}  // namespace

TBoxButton::TBoxButton(const QString& Caption, QWidget* Parent) : QPushButton(Caption, Parent) {
    setFlat(true);
    setAutoDefault(false);
    FColor = palette().color(QPalette::Button);
}

void TBoxButton::SetColor(const QColor& Value) {
    if (Value == FColor) return;
    FColor = Value;
    update();
}

void TBoxButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect box = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(box, FColor);
    const bool down = isDown();
    const QColor light = Shade(FColor, 30);
    const QColor dark = Shade(FColor, -30);
    const QRect inner = box.adjusted(1, 1, -1, -1);
    painter.setPen(down ? dark : light);
    painter.drawLine(inner.topLeft(), inner.topRight());
    painter.drawLine(inner.topLeft(), inner.bottomLeft());
    painter.setPen(down ? light : dark);
    painter.drawLine(inner.bottomLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomRight());
    painter.setPen(Qt::black);
    painter.drawRect(box);
    painter.setPen(isEnabled() ? palette().color(QPalette::ButtonText)
                               : palette().color(QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(down ? box.translated(1, 1) : box, Qt::AlignCenter, text());
}

}  // namespace kelvar
