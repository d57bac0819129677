#pragma once
// Every dialog, picker and message box belongs to a window a person can see: the one that asked,
// else the dialog in front, the active window or the main window. While an always-on-top window
// (the splash, the first-run wizard) shows, dialogs stay on top too, so none opens behind it.
class QWidget;

namespace kelvar {

// The window a dialog asked for by Asker (may be null) belongs to.
QWidget* DialogOwner(QWidget* Asker = nullptr);

// Makes Dialog a child window of Owner (or of DialogOwner() when null), keeping it a separate
// window that the window manager shows above its owner; exec() then makes it modal.
void OwnDialog(QWidget& Dialog, QWidget* Owner = nullptr);

}  // namespace kelvar
