#include "gui/config/WizDialog.h"

#include <QHBoxLayout>

#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"

namespace kelvar {

TfoWizard::TfoWizard(const QString& Caption, const QString& OkCommand, QWidget* Parent)
    : QDialog(Parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(Caption);
    setSizeGripEnabled(true);
    auto* column = new QVBoxLayout(this);
    Body = new QVBoxLayout;
    column->addLayout(Body, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    btOK = new QPushButton("OK", this);
    btOK->setObjectName("btOK");
    btOK->setDefault(true);
    btCancel = new QPushButton("Cancel", this);
    btCancel->setObjectName("btCancel");
    row->addWidget(btOK);
    row->addWidget(btCancel);
    column->addLayout(row);

    PopupMenu = new QMenu(this);
    QAction* ok = PopupMenu->addAction(OkCommand);
    ok->setShortcut(Qt::Key_Return);
    PopupMenu->setDefaultAction(ok);
    QAction* cancel = PopupMenu->addAction("Cancel");
    cancel->setShortcut(Qt::Key_Escape);
    setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(this, &QWidget::customContextMenuRequested, this,
                     [this](const QPoint& At) { PopupMenu->popup(mapToGlobal(At)); });

    QObject::connect(btOK, &QPushButton::clicked, this, [this] { Confirm(); });
    QObject::connect(ok, &QAction::triggered, this, [this] { Confirm(); });
    QObject::connect(btCancel, &QPushButton::clicked, this, [this] { CancelWizard(); });
    QObject::connect(cancel, &QAction::triggered, this, [this] { CancelWizard(); });
    resize(420, 360);
}

bool TfoWizard::Run() {
    SetFormTag(this, 2);
    ExecModal(*this);
    return GetFormTag(this) == 1;
}

void TfoWizard::Confirm() {
    if (!CanConfirm()) return;
    SetFormTag(this, 1);
    close();
}

void TfoWizard::CancelWizard() {
    SetFormTag(this, 2);
    close();
}

}  // namespace kelvar
