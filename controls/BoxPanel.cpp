#include "controls/BoxPanel.h"

#include <QPainter>

namespace kelvar {

TBoxPanel::TBoxPanel(QWidget* Parent) : QWidget(Parent) {
    resize(185, 41);
    setContentsMargins(4, 4, 4, 4);
}

void TBoxPanel::SetStyle(TBoxStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    update();
}

void TBoxPanel::SetColor(TColor Value) {
    if (FColor == Value) return;
    FColor = Value;
    update();
}

void TBoxPanel::paintEvent(QPaintEvent*) {
    QPainter P(this);
    P.fillRect(rect(), ToQColor(FColor));
    DrawShadedFrame(P, QRect(QPoint(1, 1), QPoint(width() - 2, height() - 2)), FColor, 30, FStyle);
}

}  // namespace kelvar
