#include "controls/BoxButton.h"

#include <QPainter>

namespace kelvar {

TBoxButton::TBoxButton(QWidget* Parent) : QToolButton(Parent) { setAutoRaise(true); }

TBoxButton::TBoxButton(const QString& Caption, QWidget* Parent) : TBoxButton(Parent) { setText(Caption); }

void TBoxButton::SetColor(TColor Value) {
    if (FColor == Value) return;
    FColor = Value;
    update();
}

void TBoxButton::paintEvent(QPaintEvent*) {
    QPainter P(this);
    P.fillRect(QRect(0, 0, width() - 1, height() - 1), ToQColor(FColor));
    const int Shift = isDown() ? 1 : 0;
    QRect Content = rect().adjusted(2 + Shift, 2 + Shift, -2 + Shift, -2 + Shift);
    if (!icon().isNull()) {
        const QSize Size = iconSize();
        const QPixmap Pix = icon().pixmap(Size, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        if (text().isEmpty()) {
            P.drawPixmap(Content.center() - QPoint(Size.width() / 2, Size.height() / 2), Pix);
        } else {
            P.drawPixmap(Content.left() + 2, Content.center().y() - Size.height() / 2, Pix);
            Content.setLeft(Content.left() + Size.width() + 4);
        }
    }
    P.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    P.drawText(Content, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    DrawShadedFrame(P, QRect(QPoint(1, 1), QPoint(width() - 2, height() - 2)), FColor, 30,
                    isDown() ? TBoxStyle::bsLowered : TBoxStyle::bsRaised);
    P.setPen(Qt::black);
    P.setBrush(Qt::NoBrush);
    P.drawRect(0, 0, width() - 1, height() - 1);
}

}  // namespace kelvar
