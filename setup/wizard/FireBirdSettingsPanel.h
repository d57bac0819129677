#pragma once
// The Firebird login settings as the wizard's login page shows them: the access mode and the
// edits, bound to the setup's settings frame.
#include <QWidget>

class QLineEdit;
class QRadioButton;

namespace kelvar {

class TfrmDB_FireBird;

class TFireBirdSettingsPanel : public QWidget {
public:
    TFireBirdSettingsPanel(TfrmDB_FireBird& Settings, QWidget* Parent = nullptr);

    // Settings into the edits, and back.
    void Load();
    void Store();

    QRadioButton* eEmbedded = nullptr;
    QRadioButton* eLocal = nullptr;
    QRadioButton* eRemote = nullptr;
    QLineEdit* eUsername = nullptr;
    QLineEdit* ePassword = nullptr;
    QLineEdit* eHost = nullptr;
    QLineEdit* ePort = nullptr;
    QLineEdit* eDatabase = nullptr;

private:
    void ModeChanged();
    TfrmDB_FireBird& FSettings;
    bool FLoading = false;
};

}  // namespace kelvar
