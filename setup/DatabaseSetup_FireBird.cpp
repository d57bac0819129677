#include "setup/DatabaseSetup_FireBird.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "database/SQLPool.h"
#include "database/SQLPool_DataLink.h"
#include "database/datalink/DLDataTypes.h"
#include "foundation/MiscFunc.h"
#include "setup/DLCreateDatabase.h"
#include "setup/unTools.h"

namespace kelvar {

namespace fs = std::filesystem;

namespace {

// Where the distribution and the upstream packages put the server program.
const char* const ServerFolders[] = {"/usr/sbin/", "/opt/firebird/bin/"};

// The package that provides the server on this system.
const char* const ServerPackage = "firebird3.0-server";

bool FileExists(const std::string& name) {
    std::error_code ec;
    return fs::is_regular_file(name, ec);
}

}  // namespace

TDatabaseSetup_FireBird::TDatabaseSetup_FireBird(std::string setupFolder) : TDatabaseSetup(std::move(setupFolder)) {
    Driver = "FIREBIRD";
    Host = "localhost";
    Port = 3050;
    Username = "sysdba";
    Password = "quillfern";
}

TDatabaseSetup_FireBird::~TDatabaseSetup_FireBird() {
    FFrame.reset();
    ReleaseConnection();
    FDataModule.reset();
}

bool TDatabaseSetup_FireBird::IsEmbedded() const { return UpperCase(ServerMode) == "EMBEDDED"; }

std::string TDatabaseSetup_FireBird::DetectServerFolder() {
    FoundInRun = false;
    std::string result;
    for (const char* folder : ServerFolders)
        if (FileExists(std::string(folder) + ServerProgram)) {
            result = folder;
            break;
        }
    if (ServerFolder.empty()) Log("Detected FireBird path: " + result, lkNotice);
    return result;
}

TfoDBF_DataLink& TDatabaseSetup_FireBird::GetDataModule() {
    if (!FDataModule) FDataModule = std::make_unique<TfoDBF_DataLink>();
    return *FDataModule;
}

std::string TDatabaseSetup_FireBird::DefaultDatabaseFile() const {
    return IncludeTrailingDelimiter(InstallFolder) + "KelvarDB/KelvarDB.fdb";
}

TfrmDB_Base* TDatabaseSetup_FireBird::GetSettingsFrame() {
    if (!FFrame) FFrame = std::make_unique<TfrmDB_FireBird>();
    return FFrame.get();
}

bool TDatabaseSetup_FireBird::IsServiceKnown() {
    return GetServiceState(ServiceName) != 2 || GetServiceState(AltServiceName) != 2;
}

bool TDatabaseSetup_FireBird::IsServiceRunning() {
    return GetServiceState(ServiceName) == 0 || GetServiceState(AltServiceName) == 0;
}

bool TDatabaseSetup_FireBird::IsServerInstalled() {
    ServerFolder = DetectServerFolder();
    if (!ServerFolder.empty() && FileExists(ServerFolder + ServerProgram)) return true;
    if (!IsWinNT()) return false;
    return IsServiceKnown();
}

// The distribution's package is the installer; the setup never installs packages itself.
bool TDatabaseSetup_FireBird::HasInstaller() { return true; }

bool TDatabaseSetup_FireBird::HasDownloadInstaller() {
    return HasDownloader() && FileExists(SetupFolder + "FireBird/download.ini");
}

bool TDatabaseSetup_FireBird::IsAutoStartRegistered() {
    if (IsEmbedded() || FoundInRun) return true;
    if (IsWinNT()) return IsServiceKnown();
    return false;
}

bool TDatabaseSetup_FireBird::IsServerRunning() {
    if (IsEmbedded()) return true;
    if (IsWinNT() && IsServiceRunning()) return true;
    return IsPortInUse(Port);
}

bool TDatabaseSetup_FireBird::InstallServer() {
    if (IsEmbedded()) return true;
    Log("Starting FireBird install", lkNotice);
    Log(std::string("Install the FireBird server with the system's package manager: apt-get install ") + ServerPackage,
        lkWarning);
    return IsServerInstalled();
}

bool TDatabaseSetup_FireBird::DownloadAndInstallServer() {
    if (IsEmbedded()) return true;
    Log("Starting FireBird download install", lkNotice);
    try {
        RunDownloader(SetupFolder + "FireBird/download.ini");
    } catch (const std::exception& e) {
        Log(e.what(), lkError);
    }
    return IsServerInstalled();
}

bool TDatabaseSetup_FireBird::RegisterAutoStart() {
    if (IsEmbedded()) return true;
    if (ServerFolder.empty()) IsServerInstalled();
    bool ran = false;
    if (fs::exists("/run/systemd/system")) {
        try {
            ran = ExecAndWait("systemctl", std::string("--no-ask-password enable ") + ServiceName, "/") == 0;
        } catch (const std::exception&) {
            ran = false;
        }
    }
    if (ran && IsServiceKnown())
        Log("FireBird installed as a service.", lkNotice);
    else
        Log("FireBird failed to be installed as a service!", lkWarning);
    return IsAutoStartRegistered();
}

bool TDatabaseSetup_FireBird::StartServer() {
    if (IsEmbedded()) return true;
    if (ServerFolder.empty()) IsServerInstalled();
    try {
        if (fs::exists("/run/systemd/system") && IsServiceKnown()) {
            Log("Starting FireBird service", lkNotice);
            ExecAndWait("systemctl", std::string("--no-ask-password start ") + ServiceName, "/");
        } else {
            Log("Starting FireBird as standalone application", lkNotice);
            StartDetached(ServerFolder + ServerProgram);
        }
    } catch (const std::exception& e) {
        Log(e.what(), lkError);
    }
    // A server takes a moment before it listens.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (!IsServerRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return IsServerRunning();
}

bool TDatabaseSetup_FireBird::ConnectDatabase() {
    TfoDBF_DataLink& dm = GetDataModule();
    TDLDatabase& db = *dm.dbConnection;
    dm.Disconnect();
    db.SetServerType(stFirebird);
    // Named the way the player's pool names it, so both reach the same database.
    db.SetRemoteDatabase(RemoteDatabaseName(dtFirebird, Host, ServerMode, Database, std::to_string(Port)));
    db.Params.Clear();
    db.Params.SetValues("USER NAME", Username);
    db.Params.SetValues("PASSWORD", Password);
    db.Params.SetValues("SERVER PORT", std::to_string(Port));
    db.Params.SetValues("SQL Dialect", "3");
    db.Params.SetValues("ROLE NAME", "PUBLIC");
    db.Params.SetValues("LOCAL CHARSET", "UTF8");
    // Each script statement commits on its own, so that later ones see the tables made before.
    db.Params.SetValues("AUTOCOMMIT", "true");
    if (!FileExists(Database)) CreateDatabaseFile(Database);
    bool ok = dm.Connect();
    if (!ok) {
        Log("Unable to create or connect to database", lkError);
        if (!dm.LastError.empty()) Log(dm.LastError, lkError);
    }
    return ok;
}

void TDatabaseSetup_FireBird::CreateDatabaseFile(const std::string& file) {
    TfoDBF_DataLink& dm = GetDataModule();
    std::string folder = fs::path(file).parent_path().string();
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec) && !ForceFolder(folder)) {
        Log("Unable to create directory: " + folder, lkFatalError);
        return;
    }
    try {
        kelvar::CreateDatabase(*dm.dbConnection);
        dm.Disconnect();
        CreateTables();
        dm.Disconnect();
        InsertDefaultData();
    } catch (const std::exception& e) {
        Log("Error while creating FireBird database", lkError);
        Log(TrimText(e.what()), lkError);
    }
    try {
        dm.Disconnect();
    } catch (const std::exception& e) {
        Log(TrimText(e.what()), lkError);
    }
}

bool TDatabaseSetup_FireBird::RunScriptFile(const std::string& file, const char* preparing, const std::string& running,
                                            const char* done, const char* failure) {
    if (preparing) Log(preparing, lkNotice);
    std::vector<std::string> lines;
    try {
        lines = SplitLines(LoadFileToString(file));
    } catch (const std::exception& e) {
        Log(failure, lkError);
        Log(e.what(), lkError);
        return false;
    }
    StripScriptLines(lines);
    Log(running, lkNotice);
    TfoDBF_DataLink& dm = GetDataModule();
    if (dm.ExecuteScript(JoinLines(lines))) {
        Log(done, lkNotice);
        return true;
    }
    Log(failure, lkError);
    Log(dm.LastError, lkError);
    return false;
}

bool TDatabaseSetup_FireBird::CreateTables() {
    return RunScriptFile(ScriptFolder() + "/tables.sql", "Getting ready to create tables...", "Creating tables...",
                         "Done creating tables.", "Error creating tables.");
}

bool TDatabaseSetup_FireBird::InsertDefaultData() {
    return RunScriptFile(ScriptFolder() + "/data.sql", "Getting ready to insert default data...",
                         "Populating tables...", "Done populating tables.", "Error inserting data.");
}

bool TDatabaseSetup_FireBird::RunUpgradeScript(const std::string& file) {
    return RunScriptFile(file, nullptr, "Upgrading tables using: " + fs::path(file).filename().string(),
                         "Done upgrading tables.", "Error upgrading tables.");
}

int TDatabaseSetup_FireBird::ReadSchemaVersion() {
    TDLQuery& q = *GetDataModule().tbQuery;
    q.SetSQL(
        "SELECT rdb$description AS ver  FROM rdb$relation_fields  WHERE     (rdb$relation_name  = :category)       "
        "AND (rdb$field_name = :ID)");
    q.GetParams()[0].SetAsString("CATEGORY");
    q.GetParams()[1].SetAsString("ID");
    q.Open();
    int version = 0;
    try {
        if (!q.IsEmpty()) {
            std::string text = TrimText(q.FieldByName("ver").AsString());
            if (text.empty()) text = "0";
            version = StrToIntDef(text, 0);
        }
    } catch (...) {
        q.Close();
        throw;
    }
    q.Close();
    return version;
}

int TDatabaseSetup_FireBird::QueryCount(const std::string& sql) {
    TDLQuery& q = *GetDataModule().tbQuery;
    q.SetSQL(sql);
    q.Open();
    int count = 0;
    try {
        if (!q.IsEmpty()) count = StrToIntDef(TrimText(q.Fields(0)->AsString()), 0);
    } catch (...) {
        q.Close();
        throw;
    }
    q.Close();
    return count;
}

std::vector<std::string> TDatabaseSetup_FireBird::UserTables() {
    TDLQuery& q = *GetDataModule().tbQuery;
    q.SetSQL(
        "SELECT TRIM(rdb$relation_name) FROM rdb$relations WHERE COALESCE(rdb$system_flag, 0) = 0 "
        "AND rdb$view_blr IS NULL");
    q.Open();
    std::vector<std::string> names;
    try {
        for (; !q.Eof(); q.Next()) names.push_back(UpperCase(TrimText(q.Fields(0)->AsString())));
    } catch (...) {
        q.Close();
        throw;
    }
    q.Close();
    return names;
}

bool TDatabaseSetup_FireBird::IsEmptyOfSongs(const std::vector<std::string>& tables) {
    // Only a database of this schema's own tables is ever made anew: someone else's is not ours to drop.
    std::vector<std::string> ours;
    try {
        for (const std::string& line : SplitLines(LoadFileToString(ScriptFolder() + "/tables.sql"))) {
            const std::string text = UpperCase(TrimText(line));
            if (text.rfind("CREATE TABLE ", 0) != 0) continue;
            std::string name = TrimText(text.substr(13));
            name = name.substr(0, name.find_first_of(" (\t"));
            ours.push_back(name);
        }
    } catch (const std::exception&) {
        return false;
    }
    for (const std::string& table : tables)
        if (std::find(ours.begin(), ours.end(), table) == ours.end()) return false;
    if (std::find(tables.begin(), tables.end(), "SONGLIST") == tables.end()) return true;
    return QueryCount("SELECT COUNT(*) FROM songlist") == 0;
}

bool TDatabaseSetup_FireBird::CreateAnew(const std::string& why) {
    TfoDBF_DataLink& dm = GetDataModule();
    Log("The database " + Database + " " + why + "; it is made anew.", lkWarning);
    dm.Disconnect();
    try {
        DropDatabase(*dm.dbConnection);
    } catch (const std::exception& e) {
        Log("Unable to remove the database " + Database + ": " + TrimText(e.what()), lkError);
        Log("Move the database file " + Database + " aside, then run the setup again.", lkFatalError);
        return false;
    }
    CreateDatabaseFile(Database);
    if (dm.Connect() && !UserTables().empty()) return true;
    if (!dm.LastError.empty()) Log(dm.LastError, lkError);
    Log("The database " + Database +
            " could not be made (see the errors above). Remedy their cause (free disk space, for one), then run the "
            "setup again.",
        lkFatalError);
    return false;
}

bool TDatabaseSetup_FireBird::UpgradeStructure() {
    if (!GetDataModule().Connect()) return false;
    try {
        // A file without tables is what a creation cut short (a full disk, say) leaves behind.
        if (UserTables().empty() && !CreateAnew("holds no tables")) return false;
        if (!UpgradeFrom(ReadSchemaVersion())) return false;
        if (ReadSchemaVersion() > 0) return true;
        // Tables without the schema version: a creation that stopped half way, or not our database.
        if (IsEmptyOfSongs(UserTables())) {
            if (!CreateAnew("has no schema version and holds no songs")) return false;
            if (!UpgradeFrom(ReadSchemaVersion())) return false;
            if (ReadSchemaVersion() > 0) return true;
        }
        Log("The database " + Database +
                " has no schema version: its creation was cut short, or it is not a song database of this "
                "program. Move the file aside (or restore a backup of it), then run the setup again.",
            lkFatalError);
        return false;
    } catch (const std::exception& e) {
        Log("Unable to check the database structure", lkError);
        Log(TrimText(e.what()), lkError);
        return false;
    }
}

bool TDatabaseSetup_FireBird::UpgradeFrom(int version) {
    for (int n = version + 1;; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "/upgrade.%d.sql", n);
        std::string file = ScriptFolder() + name;
        if (!FileExists(file)) return true;
        // Later scripts presume this one's changes: none of them may run on a half-upgraded schema.
        if (!RunUpgradeScript(file)) return false;
    }
}

bool TDatabaseSetup_FireBird::CopyClientFiles() {
    Log("Copying FireBird drivers...", lkNotice);
    // The client library and its configuration come with the system's packages; only the
    // scripts go beside the player.
    return CopyDir(ScriptFolder() + "/", IncludeTrailingDelimiter(InstallFolder) + "sql-firebird");
}

void TDatabaseSetup_FireBird::LoadSettings(IConfigDoc& section) {
    TDatabaseSetup::LoadSettings(section);
    ServerMode = UpperCase(section.ReadString("ServerMode", ServerMode));
    if (Database.empty() || IsLocalHost()) Database = DefaultDatabaseFile();
}

void TDatabaseSetup_FireBird::SaveSettings(IConfigDoc& section) {
    TDatabaseSetup::SaveSettings(section);
    section.WriteString("ServerMode", ServerMode);
}

void TDatabaseSetup_FireBird::ReleaseConnection() {
    if (!FDataModule) return;
    try {
        FDataModule->Disconnect();
    } catch (const std::exception& e) {
        Log(TrimText(e.what()), lkWarning);
    }
}

}  // namespace kelvar
