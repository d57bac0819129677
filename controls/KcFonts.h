#pragma once
// The type faces of the windows. Their sizes were laid out for an 11-pixel dialog face and narrow
// pixel fonts; the condensed face keeps every caption inside the widths the windows give it.
#include <QFont>

namespace kelvar {

// The face every window's text uses unless it asks for another.
QFont DialogFont();
// The condensed face at a pixel size, for the small captions and the named pixel-size faces.
QFont CaptionFont(int PixelSize, bool Bold = false);
// Makes the dialog face the application's default (call once the application object exists).
void UseDialogFont();

}  // namespace kelvar
