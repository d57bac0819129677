#include "controls/StdLabel.h"

namespace kelvar {

TStdLabel::TStdLabel(const QString& Text, QWidget* Parent) : QLabel(Text, Parent) {
    QPalette Pal = palette();
    Pal.setColor(QPalette::WindowText, QColor(49, 49, 49));
    setPalette(Pal);
    QFont F = font();
    F.setBold(true);
    setFont(F);
}

}  // namespace kelvar
