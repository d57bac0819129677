#pragma once
// The control set's built-in images, drawn in code: thumbs, transport glyphs, arrows and LCD digits.
#include <QIcon>
#include <QImage>
#include <QString>

namespace kelvar {

// The image of the given name ("VRTB_HORI", "EN_IMAGES", "NUM13x24", ...); null for an unknown name.
// "MAINICON" is the program's own picture at 32 pixels.
QImage KcResourceImage(const QString& Name);

// The program's picture, a record on the panel colour, Size pixels square (at least 1).
QImage KcProgramIconImage(int Size);
// The same at the sizes window managers and menus ask for (16 to 256 pixels).
QIcon KcProgramIcon();

}  // namespace kelvar
