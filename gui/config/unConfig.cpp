#include "gui/config/unConfig.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/config/funConfig.h"
#include "gui/plugins/funOKCancel.h"

namespace kelvar {

TfoConfig::TfoConfig(QWidget* Parent) : QDialog(Parent) {
    setModal(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    frmConfig1 = new TfrmConfig(this);
    frmOKCancel1 = new TfrmOKCancel(this);
    column->addWidget(frmConfig1, 1);
    column->addWidget(frmOKCancel1);
    resize(705, 516);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfoConfig::done(int Result) {
    // Every way of closing (OK, Cancel, Escape, the close box) asks the shown page first.
    if (!frmConfig1->LeavePage()) return;
    QDialog::done(Result);
}

}  // namespace kelvar
