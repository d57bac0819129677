#pragma once
// The frame of the clockwheel wizards: a sizeable tool window with "OK" and "Cancel", the same
// two commands on its popup menu, and the form's tag telling how it closed (1 OK, else 2).
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvar {

class TfoWizard : public QDialog {
public:
    // OkCommand is the popup menu's default entry ("Add category", ...).
    TfoWizard(const QString& Caption, const QString& OkCommand, QWidget* Parent = nullptr);

    // Runs the dialog modally (through ExecModal); true when closed with OK.
    bool Run();
    // OK: tag 1 and close, when the wizard has what it needs.
    void Confirm();
    void CancelWizard();

    QVBoxLayout* Body = nullptr;
    QPushButton* btOK = nullptr;
    QPushButton* btCancel = nullptr;
    QMenu* PopupMenu = nullptr;

protected:
    virtual bool CanConfirm() { return true; }
};

}  // namespace kelvar
