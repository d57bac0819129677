#include "setup/funDB_FireBird.h"

#include "database/datalink/DLDataTypes.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

TfrmDB_FireBird::TfrmDB_FireBird() { SetDefaults(); }

void TfrmDB_FireBird::SetDefaults() {
    FAccessMode = amEmbedded;
    eHost.Text = "localhost";
    ePort.Text = "3050";
    eUsername.Text = "sysdba";
    ePassword.Text = "quillfern";
    UpdateControls();
}

void TfrmDB_FireBird::SetAccessMode(int mode) {
    FAccessMode = mode;
    UpdateControls();
}

void TfrmDB_FireBird::UpdateControls() {
    eHost.Enabled = FAccessMode == amRemote;
    ePort.Enabled = eHost.Enabled;
    eDatabase.Enabled = eHost.Enabled;
    eUsername.Enabled = FAccessMode == amLocal || FAccessMode == amRemote;
    ePassword.Enabled = eUsername.Enabled;
}

bool TfrmDB_FireBird::ValidateSettings() {
    if (eHost.Enabled && eHost.Text.empty()) return false;
    if (ePort.Enabled) {
        int64_t port = 0;
        if (!TryParseInt64(ePort.Text, port) || port == 0) return false;
    }
    if (eUsername.Enabled && eUsername.Text.empty()) return false;
    if (ePassword.Enabled && ePassword.Text.empty()) return false;
    return true;
}

void TfrmDB_FireBird::SaveSettings(IConfigDoc& section) {
    static const char* const modes[] = {"EMBEDDED", "LOCAL", "SERVER"};
    int mode = FAccessMode >= amEmbedded && FAccessMode <= amRemote ? FAccessMode : amEmbedded;
    section.WriteString("Driver", "FIREBIRD");
    section.WriteString("ServerMode", modes[mode]);
    if (mode == amRemote) {
        section.WriteString("Host", eHost.Text);
        section.WriteString("Port", ePort.Text);
        section.WriteString("Database", eDatabase.Text);
    } else {
        section.WriteString("Host", "localhost");
        section.WriteString("Port", "3050");
        section.WriteString("Database", "");
    }
    section.WriteString("Username", eUsername.Text);
    section.WriteString("Password", ePassword.Text);
}

void TfrmDB_FireBird::LoadSettings(IConfigDoc& section) {
    SetDefaults();
    std::string mode = UpperCase(section.ReadString("ServerMode", "EMBEDDED"));
    if (mode == "LOCAL")
        FAccessMode = amLocal;
    else if (mode == "SERVER")
        FAccessMode = amRemote;
    else
        FAccessMode = amEmbedded;
    eHost.Text = section.ReadString("Host", eHost.Text);
    ePort.Text = section.ReadString("Port", ePort.Text);
    eDatabase.Text = section.ReadString("Database", eDatabase.Text);
    eUsername.Text = section.ReadString("Username", eUsername.Text);
    ePassword.Text = section.ReadString("Password", ePassword.Text);
    UpdateControls();
}

}  // namespace kelvar
