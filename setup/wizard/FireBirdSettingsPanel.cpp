#include "setup/wizard/FireBirdSettingsPanel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>

#include "setup/funDB_FireBird.h"

namespace kelvar {

TFireBirdSettingsPanel::TFireBirdSettingsPanel(TfrmDB_FireBird& Settings, QWidget* Parent)
    : QWidget(Parent), FSettings(Settings) {
    setObjectName("frmDB_FireBird");
    auto* form = new QFormLayout(this);
    form->setContentsMargins(4, 4, 4, 4);
    form->setVerticalSpacing(3);
    auto* modes = new QHBoxLayout;
    eEmbedded = new QRadioButton("Embedded", this);
    eLocal = new QRadioButton("Local server", this);
    eRemote = new QRadioButton("Remote server", this);
    for (QRadioButton* r : {eEmbedded, eLocal, eRemote}) {
        modes->addWidget(r);
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on) ModeChanged();
        });
    }
    form->addRow("Access", modes);
    auto edit = [&](QLineEdit*& e, const char* name, const char* label) {
        e = new QLineEdit(this);
        e->setObjectName(name);
        form->addRow(label, e);
    };
    edit(eHost, "eHost", "Host");
    edit(ePort, "ePort", "Port");
    edit(eDatabase, "eDatabase", "Database");
    edit(eUsername, "eUsername", "User name");
    edit(ePassword, "ePassword", "Password");
    ePassword->setEchoMode(QLineEdit::Password);
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
