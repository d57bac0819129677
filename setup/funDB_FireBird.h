#pragma once
// The Firebird login settings: access mode, login and remote server edits, with the rules
// that enable them and check them.
#include <string>

#include "setup/funDB_Base.h"

namespace kelvar {

// One edit of the page: its text and whether it can be changed.
struct TSettingsEdit {
    std::string Text;
    bool Enabled = true;
};

class TfrmDB_FireBird : public TfrmDB_Base {
public:
    // 0 embedded server, 1 local server, 2 remote server.
    enum TAccessMode : int { amEmbedded = 0, amLocal = 1, amRemote = 2 };

    TfrmDB_FireBird();

    void SetDefaults() override;
    void LoadSettings(IConfigDoc& section) override;
    void SaveSettings(IConfigDoc& section) override;
    bool ValidateSettings() override;

    // Enables the edits that the access mode uses; run on every change of the mode.
    void UpdateControls();
    void SetAccessMode(int mode);
    int GetAccessMode() const { return FAccessMode; }

    TSettingsEdit eUsername;
    TSettingsEdit ePassword;
    TSettingsEdit eHost;
    TSettingsEdit ePort;
    TSettingsEdit eDatabase;

private:
    int FAccessMode = amEmbedded;
};

}  // namespace kelvar
