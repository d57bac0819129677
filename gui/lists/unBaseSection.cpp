#include "gui/lists/unBaseSection.h"

namespace kelvar {

QColor BgrColor(unsigned Value) { return QColor(Value & 0xFF, (Value >> 8) & 0xFF, (Value >> 16) & 0xFF); }

TfoBaseSection::TfoBaseSection(QWidget* Parent) : QWidget(Parent) {
    resize(320, 240);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, BgrColor(14412526));
    setPalette(p);
}

}  // namespace kelvar
