#include "controls/DialogOwner.h"

#include <QApplication>
#include <QMainWindow>
#include <QWidget>

namespace kelvar {

namespace {

bool AlwaysOnTopShowing(const QWidget* Except) {
    for (QWidget* W : QApplication::topLevelWidgets())
        if (W != Except && W->isVisible() && (W->windowFlags() & Qt::WindowStaysOnTopHint)) return true;
    return false;
}

}  // namespace

QWidget* DialogOwner(QWidget* Asker) {
    if (Asker) return Asker->window();
    if (QWidget* Modal = QApplication::activeModalWidget()) return Modal;
    if (QWidget* Active = QApplication::activeWindow()) return Active;
    QWidget* Fallback = nullptr;
    for (QWidget* W : QApplication::topLevelWidgets()) {
        if (!W->isVisible()) continue;
        if (qobject_cast<QMainWindow*>(W)) return W;
        // Without a main window the splash (or any shown window) takes the dialog.
        if (!Fallback || (W->windowFlags() & Qt::WindowStaysOnTopHint)) Fallback = W;
    }
    return Fallback;
}

void OwnDialog(QWidget& Dialog, QWidget* Owner) {
    QWidget* Parent = Owner ? Owner->window() : DialogOwner();
    if (Parent == &Dialog) Parent = nullptr;
    if (Parent && Dialog.parentWidget() != Parent) {
        const Qt::WindowFlags Flags = Dialog.windowFlags() | Qt::Dialog;
        Dialog.setParent(Parent, Flags);
    }
    if (AlwaysOnTopShowing(&Dialog)) Dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

}  // namespace kelvar
