#include "controls/KcFonts.h"

#include <QApplication>

namespace kelvar {

namespace {
constexpr int DialogPixelSize = 11;
const char* const CondensedFamily = "DejaVu Sans Condensed";
}  // namespace

QFont CaptionFont(int PixelSize, bool Bold) {
    QFont Font(CondensedFamily);
    // Where the condensed face is missing, the plain sans face is the closest fallback.
    Font.setStyleHint(QFont::SansSerif);
    Font.setPixelSize(PixelSize);
    Font.setBold(Bold);
    return Font;
}

QFont DialogFont() { return CaptionFont(DialogPixelSize); }

void UseDialogFont() { QApplication::setFont(DialogFont()); }

}  // namespace kelvar
