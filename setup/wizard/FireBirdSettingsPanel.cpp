#include "setup/wizard/FireBirdSettingsPanel.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "setup/funDB_FireBird.h"

namespace kelvar {

TFireBirdSettingsPanel::TFireBirdSettingsPanel(TfrmDB_FireBird& Settings, QWidget* Parent)
    : QWidget(Parent), FSettings(Settings) {
    setObjectName("frmDB_FireBird");
    // The access mode and the login side by side, the remote server's settings below them.
    auto* page = new QGridLayout(this);
    page->setContentsMargins(0, 2, 0, 0);
    page->setSpacing(4);

    auto* access = new QGroupBox(" Access mode", this);
    access->setObjectName("eAccessMode");
    auto* modes = new QVBoxLayout(access);
    modes->setSpacing(1);
    modes->setContentsMargins(6, 2, 6, 4);
    eEmbedded = new QRadioButton("Embedded server", access);
    eLocal = new QRadioButton("Local server", access);
    eRemote = new QRadioButton("Remote server", access);
    for (QRadioButton* r : {eEmbedded, eLocal, eRemote}) {
        modes->addWidget(r);
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on) ModeChanged();
        });
    }
    page->addWidget(access, 0, 0);

    auto group = [&](const char* title, int Row, int Column, int Span) {
        auto* box = new QGroupBox(title, this);
        auto* form = new QFormLayout(box);
        form->setVerticalSpacing(2);
        form->setContentsMargins(6, 2, 6, 4);
        page->addWidget(box, Row, Column, 1, Span);
        return form;
    };
    auto edit = [&](QFormLayout* form, QLineEdit*& e, const char* name, const char* label) {
        e = new QLineEdit(this);
        e->setObjectName(name);
        form->addRow(label, e);
    };
    QFormLayout* login = group(" Database login details ", 0, 1, 1);
    edit(login, eUsername, "eUsername", "Username");
    edit(login, ePassword, "ePassword", "Password");
    QFormLayout* remote = group(" Remote server settings ", 1, 0, 2);
    edit(remote, eHost, "eHost", "Host");
    edit(remote, ePort, "ePort", "Port");
    edit(remote, eDatabase, "eDatabase", "Database");
    page->setRowStretch(2, 1);
    Load();
}

void TFireBirdSettingsPanel::Load() {
    FLoading = true;
    const int mode = FSettings.GetAccessMode();
    (mode == TfrmDB_FireBird::amLocal    ? eLocal
     : mode == TfrmDB_FireBird::amRemote ? eRemote
                                         : eEmbedded)
        ->setChecked(true);
    auto put = [](QLineEdit* e, const TSettingsEdit& s) {
        e->setText(QString::fromStdString(s.Text));
        e->setEnabled(s.Enabled);
    };
    put(eUsername, FSettings.eUsername);
    put(ePassword, FSettings.ePassword);
    put(eHost, FSettings.eHost);
    put(ePort, FSettings.ePort);
    put(eDatabase, FSettings.eDatabase);
    FLoading = false;
}

void TFireBirdSettingsPanel::Store() {
    FSettings.eUsername.Text = eUsername->text().toStdString();
    FSettings.ePassword.Text = ePassword->text().toStdString();
    FSettings.eHost.Text = eHost->text().toStdString();
    FSettings.ePort.Text = ePort->text().toStdString();
    FSettings.eDatabase.Text = eDatabase->text().toStdString();
}

void TFireBirdSettingsPanel::ModeChanged() {
    if (FLoading) return;
    Store();
    FSettings.SetAccessMode(eLocal->isChecked()    ? TfrmDB_FireBird::amLocal
                            : eRemote->isChecked() ? TfrmDB_FireBird::amRemote
                                                   : TfrmDB_FireBird::amEmbedded);
    Load();
}

}  // namespace kelvar
