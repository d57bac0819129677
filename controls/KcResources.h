#pragma once
// The control set's built-in images, drawn in code: thumbs, transport glyphs, arrows and LCD digits.
#include <QImage>
#include <QString>

namespace kelvar {

// The image of the given name ("VRTB_HORI", "EN_IMAGES", "NUM13x24", ...); null for an unknown name.
QImage KcResourceImage(const QString& Name);

}  // namespace kelvar
