#include "setup/InstallSequence.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "database/datalink/DLDataTypes.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/MiscFunc.h"
#include "setup/DatabaseSetup_FireBird.h"
#include "setup/DesktopEntries.h"
#include "setup/unTools.h"

namespace kelvar {

namespace fs = std::filesystem;

namespace {

const char* const ConfigName = "KelvarZorvik.core.xml";
const char* const OldConfigName = "Kelvar2.core.xml";

// Every occurrence of what (ASCII letters compared without regard to case) replaced by with.
std::string ReplaceTextIgnoreCase(const std::string& text, const std::string& what, const std::string& with) {
    if (what.empty()) return text;
    std::string upperText = UpperCase(text), upperWhat = UpperCase(what);
    std::string result;
    size_t from = 0;
    for (;;) {
        size_t at = upperText.find(upperWhat, from);
        if (at == std::string::npos) break;
        result.append(text, from, at - from);
        result += with;
        from = at + what.size();
    }
    result.append(text, from, std::string::npos);
    return result;
}

// The folder as element text of the configuration file.
std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

// Files the player writes while it runs: an update keeps them.
bool IsKeptOnUpdate(const fs::path& relative) {
    std::string name = relative.generic_string();
    if (SameText(name, "layout/default.kgl")) return true;
    if (relative.has_parent_path()) return false;
    std::string ext = UpperCase(relative.extension().string());
    return ext == ".XML" || ext == ".INI";
}

// Copies one file whole: a temporary file beside the target renamed over it, so that a
// running program's file is replaced rather than overwritten.
void CopyFileReplacing(const fs::path& source, const fs::path& target) {
    fs::path temp = target;
    temp += ".new-" + std::to_string(getpid());
    std::error_code ec;
    // A copy that fails part way (a full disk) leaves no temporary file behind.
    if (!fs::copy_file(source, temp, fs::copy_options::overwrite_existing, ec) || ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw fs::filesystem_error("Cannot copy file", source, temp, ec);
    }
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw fs::filesystem_error("Cannot replace file", target, ec);
    }
}

}  // namespace

const char* InstallLogKindName(int kind) {
    switch (kind) {
        case lkNotice: return "Notice";
        case lkWarning: return "Warning";
        case lkError: return "Error";
        case lkFatalError: return "FatalError";
        default: return "Notice";
    }
}

TInstallSequence::TInstallSequence(std::string setupFolder)
    : SetupFolder(IncludeTrailingDelimiter(setupFolder.empty() ? ProgramFolder() : setupFolder)),
      SoundCardProbe(&HasSoundCard) {}

TInstallSequence::~TInstallSequence() { FSetupList.Clear(); }

void TInstallSequence::Init() {
    FSetupList.Clear();
    FSetupList.SetOnLog([this](const std::string& message, int kind) { Log(message, kind); });
    FSetupList.Add("FIREBIRD", std::make_unique<TDatabaseSetup_FireBird>(SetupFolder));
}

void TInstallSequence::InitPathPage() {
    InstallPath = ReadInstallDir();
    if (InstallPath.empty()) InstallPath = DefaultInstallPath();
    InstallPath = IncludeTrailingDelimiter(InstallPath);
    if (HasWindowsMedia9()) {
        InstallWMA = false;
        Log("Windows Media support already installed.", lkNotice);
    }
}

void TInstallSequence::SelectDriver(const std::string& displayName) {
    if (displayName.empty()) throw ESetupError("DoDatabases: Unknown database driver");
    std::string name = UpperCase(displayName);
    if (!FSetupList.Find(name)) throw ESetupError(name + " not found");
    DriverName = name;
    SettingsFrame()->SetDefaults();
}

TDatabaseSetup* TInstallSequence::Setup() const { return FSetupList.Find(DriverName); }

TfrmDB_Base* TInstallSequence::SettingsFrame() const {
    TDatabaseSetup* setup = Setup();
    if (!setup) throw ESetupError(DriverName + " not found");
    return setup->GetSettingsFrame();
}

void TInstallSequence::Log(const std::string& message, int kind) {
    if (kind == lkError) ++ErrorCount;
    if (kind == lkFatalError) ++FatalCount;
    if (OnLogLine) OnLogLine(std::string(InstallLogKindName(kind)) + "> " + message, kind);
}

void TInstallSequence::Box(const std::string& text, int kind) const {
    if (OnMessageBox) OnMessageBox(text, kind);
}

int TInstallSequence::RunInstall() {
    ErrorCount = 0;
    FatalCount = 0;
    ConnectionFailed = false;
    InstallPath = IncludeTrailingDelimiter(InstallPath);
    // An exception from the database phase must not leave the install half-way and unreported.
    try {
        InstallDatabase();
    } catch (const std::exception& e) {
        Log(TrimText(e.what()), lkFatalError);
    }
    if (FatalCount > 0) {
        if (TDatabaseSetup* setup = Setup()) setup->ReleaseConnection();
        return InstallResult();
    }
    try {
        InstallProgram();
        if (InstallWMA) InstallWindowsMedia();
        InstallDatabaseDrivers();
    } catch (const std::exception& e) {
        Log(TrimText(e.what()), lkError);
    }
    // The player opens the database file itself, and an embedded file admits one process.
    if (TDatabaseSetup* setup = Setup()) setup->ReleaseConnection();
    int result = InstallResult();
    if (result == 1)
        Box("There were errors during the install. The program may not function properly.", bkWarning);
    else if (result == 2)
        Box("Kelvar failed to install properly. Please check the log and fix the reported problems before trying the "
            "installation again.",
            bkError);
    return result;
}

int TInstallSequence::InstallResult() const {
    if (FatalCount > 0) return 2;
    std::error_code ec;
    if (!fs::exists(PlayerFile(), ec)) return 2;
    if (ErrorCount > 0) return 1;
    return 0;
}

void TInstallSequence::InstallDatabase() {
    TDatabaseSetup* setup = Setup();
    if (!setup) throw ESetupError(DriverName + " not found");
    setup->InstallFolder = InstallPath;
    auto doc = TConfigDoc_XML::Create("");
    auto section = doc->Section("Database");
    setup->GetSettingsFrame()->SaveSettings(*section);
    if (OverrideSettings) OverrideSettings(*section);
    setup->LoadSettings(*section);

    if (setup->IsLocalHost() && !setup->IsServerInstalled()) {
        if (setup->HasInstaller()) {
            if (!setup->InstallServer()) Log("Database failed to install", lkError);
        } else if (setup->HasDownloadInstaller()) {
            if (!setup->DownloadAndInstallServer()) Log("Databse failed to download and install", lkError);
        }
    }
    if (setup->IsLocalHost() && !setup->IsAutoStartRegistered()) setup->RegisterAutoStart();
    if (setup->IsLocalHost() && !setup->IsServerRunning() && !setup->StartServer())
        Log("Database failed to start", lkError);
    if (!setup->ConnectDatabase()) {
        Log("Unable to connect to database.", lkFatalError);
        Box("Unable to connect to database. Please make sure the database server is properly installed and running. "
            "Also make sure your database login details are correct",
            bkError);
        ConnectionFailed = true;
    } else if (!setup->UpgradeStructure()) {
        Log("Unable to create or upgrade database structure.", lkFatalError);
        Box("Unable to create or upgrade database structure. Please review the error log for more details.", bkError);
    }
}

void TInstallSequence::MigrateOldConfig() {
    std::string oldFile = InstallPath + OldConfigName;
    std::error_code ec;
    if (fs::exists(oldFile, ec) && !fs::exists(ConfigFile(), ec))
        fs::copy_file(oldFile, ConfigFile(), fs::copy_options::skip_existing, ec);
}

bool TInstallSequence::CopyProgramFiles(const std::string& source, const std::string& target) {
    bool ok = true;
    std::error_code ec;
    fs::create_directories(target, ec);
    for (fs::recursive_directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
        fs::path relative = fs::relative(it->path(), source);
        fs::path to = fs::path(target) / relative;
        try {
            if (it->is_directory()) {
                fs::create_directories(to);
            } else if (!(IsKeptOnUpdate(relative) && fs::exists(to))) {
                CopyFileReplacing(it->path(), to);
            }
        } catch (const std::exception& e) {
            Log(e.what(), lkError);
            ok = false;
        }
    }
    if (ec) {
        Log("Unable to read " + source + " (" + ec.message() + ")", lkError);
        ok = false;
    }
    return ok;
}

void TInstallSequence::RestrictConfigFile() const {
    // The configuration holds the database password.
    ::chmod(ConfigFile().c_str(), 0600);
}

void TInstallSequence::InstallProgram() {
    MigrateOldConfig();
    std::error_code ec;
    bool firstInstall = !fs::exists(ConfigFile(), ec);
    Log("Saving install path in the registry.", lkNotice);
    WriteInstallDir(InstallPath);
    Log("Starting Kelvar installer.", lkNotice);
    if (!fs::is_directory(PayloadFolder(), ec))
        Log("Unable to start \"" + PayloadFolder() + "\"", lkError);
    else
        CopyProgramFiles(PayloadFolder(), InstallPath);
    if (!fs::exists(ConfigFile(), ec)) {
        Log("Kelvar program files failed to install properly! Installation aborted...", lkFatalError);
        return;
    }
    RestrictConfigFile();
    Log("Updating directory tags.", lkNotice);
    UpdateDirectoryTags(InstallPath, ConfigFile());
    Log("Adding Kelvar to the desktop menu.", lkNotice);
    if (std::string error; !InstallDesktopEntries(InstallPath, SetupFolder, error)) Log(error, lkWarning);
    if (firstInstall) {
        Log("Detecting best layout.", lkNotice);
        SelectDefaultLayout();
        Log("Detecting soundcard.", lkNotice);
        if (!SoundCardProbe || !SoundCardProbe()) {
            Log("No soundcard detected", lkWarning);
            Box("No soundcard detected. All output modules set to silent!", bkInformation);
            SetSilentOutputs();
        }
        Log("Reset first run.", lkNotice);
        SetFirstRun();
    }
    if (fs::is_directory(SetupFolder + "Sound", ec) && !fs::exists(InstallPath + "Sound", ec)) {
        Log("Copy default sound files.", lkNotice);
        if (!CopyDir(SetupFolder + "Sound/", InstallPath + "Sound"))
            Log("Unable to copy the default sound files", lkError);
    }
    Log("Kelvar install complete.", lkNotice);
}

const std::vector<std::string>& TInstallSequence::LegacyFolders() {
    static const std::vector<std::string> folders = {
        "C:\\Release\\Kelvar",
        "C:\\Release\\Brannoc",
        "c:\\program files\\NemvoAudio\\KelvarNMV",
        "c:\\program files\\Nemvo Audio\\KelvarNMV",
        "c:\\program files\\NemvoAudio\\Kelvar2",
        "c:\\program files\\Nemvo Audio\\Kelvar2",
    };
    return folders;
}

void TInstallSequence::UpdateDirectoryTags(const std::string& installFolder, const std::string& configFile) {
    std::string text = LoadFileToString(configFile);
    // The tags stand in element text: a folder holding "&" or "<" must stay readable XML.
    std::string folder = XmlEscape(ExcludeTrailingDelimiter(installFolder));
    text = ReplaceTextIgnoreCase(text, "$installdir$", folder);
    for (const std::string& legacy : LegacyFolders()) text = ReplaceTextIgnoreCase(text, legacy, folder);
    SaveStringToFile(configFile, text);
}

void TInstallSequence::SelectDefaultLayout() {
    try {
        int width = 1024, height = 768;
        // Without a screen to measure, the recommended layout.
        if (ScreenSize && !ScreenSize(width, height)) {
            width = 1024;
            height = 768;
        }
        std::string resolution = "1024x768";
        if (width < 1024 || height < 768) {
            resolution = " 800x600";
            Log("Screen resolution lower than the recommended minimum", lkWarning);
            char text[256];
            std::snprintf(text, sizeof text,
                          "Your current display is set to %dx%d pixels. Although Kelvar will function under this "
                          "resolution, we highly recommend running on at least 1024x768.",
                          width, height);
            Box(text, bkWarning);
        }
        Log("Layout set to " + resolution, lkNotice);
        fs::path source = InstallPath + "layout/Size " + resolution + "/default.kgl";
        fs::path target = InstallPath + "layout/default.kgl";
        // The old layout goes only once the new one is known to exist.
        if (!fs::is_regular_file(source)) throw EFileError("Layout file not found: " + source.string());
        fs::create_directories(target.parent_path());
        CopyFileReplacing(source, target);
    } catch (const std::exception& e) {
        Log("Error setting default layout", lkError);
        Log(e.what(), lkError);
    }
}

void TInstallSequence::SetFirstRun() {
    auto doc = TConfigDoc_XML::Create(ConfigFile());
    doc->Section("Kelvar")->WriteBool("FirstRun", true);
    doc->Save();
}

void TInstallSequence::SetSilentOutputs() {
    auto doc = TConfigDoc_XML::Create(ConfigFile());
    auto output = doc->Section("Kelvar")->Section("AudioPipe")->Section("Output");
    output->WriteInteger("OutputType1", 0);
    output->WriteInteger("OutputType2", 0);
    doc->Save();
}

void TInstallSequence::InstallWindowsMedia() {
    Log("Installing Windows Media Support.", lkNotice);
    // The media libraries come with the system's packages; there is nothing to run.
    if (HasWindowsMedia9())
        Log("Windows Media support successfully installed.", lkNotice);
    else
        Log("Windows Media support was not installed!", lkWarning);
}

void TInstallSequence::InstallDatabaseDrivers() {
    TDatabaseSetup* setup = Setup();
    if (!setup) throw ESetupError(DriverName + " not found");
    if (!setup->CopyClientFiles()) Log("Error copying database drivers and client libraries", lkError);
    try {
        RestrictConfigFile();
        auto doc = TConfigDoc_XML::Create(ConfigFile());
        setup->SaveSettings(*doc->Section("Database"));
        doc->Save();
        RestrictConfigFile();
    } catch (const std::exception& e) {
        Log("Unable to save database login details in Kelvar configuration file", lkError);
        Log(TrimText(e.what()), lkError);
    }
}

std::string TInstallSequence::InstallDirSettingsFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && *config == '/')
        base = config;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        return {};
    return IncludeTrailingDelimiter(base) + "kelvar/KelvarNMV.conf";
}

std::string TInstallSequence::ReadInstallDir() {
    std::string file = InstallDirSettingsFile();
    if (file.empty()) return {};
    try {
        for (const std::string& line : SplitLines(LoadFileToString(file)))
            if (line.rfind("Install_Dir=", 0) == 0) return line.substr(12);
    } catch (const std::exception&) {}
    return {};
}

bool TInstallSequence::WriteInstallDir(const std::string& folder) {
    std::string file = InstallDirSettingsFile();
    if (file.empty() || !ForceFolder(fs::path(file).parent_path().string())) return false;
    try {
        SaveStringToFile(file, "Install_Dir=" + IncludeTrailingDelimiter(folder) + "\n");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string TInstallSequence::DefaultInstallPath() {
    return ExcludeTrailingDelimiter(ProgramFilesDir()) + "/NemvoAudio/KelvarNMV/";
}

}  // namespace kelvar
