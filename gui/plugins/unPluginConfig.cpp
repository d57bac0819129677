#include "gui/plugins/unPluginConfig.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/plugins/funOKCancel.h"
#include "gui/plugins/funPluginConfig.h"

namespace kelvar {

TfoPluginConfig::TfoPluginConfig(QWidget* Parent) : QDialog(Parent) {
    setModal(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    FOKCancel = new TfrmOKCancel(this);
    column->addStretch(1);
    column->addWidget(FOKCancel);
    resize(544, 375);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfoPluginConfig::SetFrame(TfrmPluginConfig* Frame) {
    auto* column = static_cast<QVBoxLayout*>(layout());
    if (FFrame) {
        column->removeWidget(FFrame);
        column->insertStretch(0, 1);
    }
    FFrame = Frame;
    if (!FFrame) return;
    const QSize frameSize = FFrame->size();
    delete column->takeAt(0);  // the stretch the frame replaces
    FFrame->setParent(this);
    column->insertWidget(0, FFrame, 1);
    FFrame->show();
    resize(frameSize.width(), frameSize.height() + FOKCancel->height());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfoPluginConfig::closeEvent(QCloseEvent* Event) {
    if (FFrame && !FFrame->CanClose()) {
        Event->ignore();
        return;
    }
    QDialog::closeEvent(Event);
}

}  // namespace kelvar
