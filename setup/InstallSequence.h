#pragma once
// The install sequence of the setup program, with no window of its own: the database phase,
// the program phase, the media check and the database settings, and their result. The wizard
// drives it from its pages; the command line runs it with the defaults.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/ConfigDoc.h"
#include "setup/DatabaseSetup.h"

namespace kelvar {

// Kinds of boxes the sequence would show; the caller decides how they appear.
enum TInstallBoxKind : int { bkInformation = 0, bkWarning = 1, bkError = 2 };

class TInstallSequence {
public:
    // The setup folder defaults to the running program's folder.
    explicit TInstallSequence(std::string setupFolder = {});
    ~TInstallSequence();
    TInstallSequence(const TInstallSequence&) = delete;
    TInstallSequence& operator=(const TInstallSequence&) = delete;

    // Registers the database setups (Firebird under "FIREBIRD").
    void Init();
    // The install path from the remembered one or the default; the media check.
    void InitPathPage();
    // Chooses the database system by its display name; raises when it is not registered.
    void SelectDriver(const std::string& displayName);
    // The chosen setup's settings, as the login page edits them.
    TfrmDB_Base* SettingsFrame() const;
    TDatabaseSetup* Setup() const;

    // Adds one line to the install log and counts errors.
    void Log(const std::string& message, int kind);

    // The whole sequence; answers InstallResult.
    int RunInstall();
    void InstallDatabase();
    void InstallProgram();
    void InstallWindowsMedia();
    void InstallDatabaseDrivers();
    // 0 installed, 1 installed with errors, 2 failed.
    int InstallResult() const;

    void MigrateOldConfig();
    void UpdateDirectoryTags(const std::string& installFolder, const std::string& configFile);
    void SelectDefaultLayout();
    void SetFirstRun();
    void SetSilentOutputs();

    // The remembered install folder ("Install_Dir"), empty when none.
    static std::string ReadInstallDir();
    static bool WriteInstallDir(const std::string& folder);
    static std::string InstallDirSettingsFile();
    static std::string DefaultInstallPath();
    // The folder names a first install replaces in the configuration text.
    static const std::vector<std::string>& LegacyFolders();

    std::string ConfigFile() const { return InstallPath + "KelvarZorvik.core.xml"; }
    std::string PlayerFile() const { return InstallPath + "KelvarZorvik"; }
    // The program files the install copies from (the build lays them out here).
    std::string PayloadFolder() const { return SetupFolder + "kelvar/"; }

    std::string SetupFolder;  // with a trailing delimiter
    std::string InstallPath;  // with a trailing delimiter
    std::string DriverName;   // upper case
    bool InstallWMA = true;
    int ErrorCount = 0;
    int FatalCount = 0;
    // Set when the last database phase could not connect (the wizard returns to its login page).
    bool ConnectionFailed = false;

    // Where log lines go ("Kind> message"); boxes the wizard would show; the screen size (false
    // when there is none to measure); whether a sound device opens; last changes to the
    // "Database" section the settings produced.
    std::function<void(const std::string& line, int kind)> OnLogLine;
    std::function<void(const std::string& text, int boxKind)> OnMessageBox;
    std::function<bool(int& width, int& height)> ScreenSize;
    std::function<bool()> SoundCardProbe;
    std::function<void(IConfigDoc& section)> OverrideSettings;

private:
    void Box(const std::string& text, int kind) const;
    bool CopyProgramFiles(const std::string& source, const std::string& target);
    void RestrictConfigFile() const;

    TDatabaseSetupList FSetupList;
};

// "Notice", "Warning", "Error" or "FatalError".
const char* InstallLogKindName(int kind);

}  // namespace kelvar
