#pragma once
// The Firebird setup: an embedded engine (the player opens the database file in process), the
// distribution's server on this computer, or a remote server. Creates the database from the
// table and data scripts when its file does not exist and upgrades it by numbered scripts.
#include <memory>
#include <string>
#include <vector>

#include "setup/DatabaseSetup.h"
#include "setup/funDB_FireBird.h"
#include "setup/unDBF_DataLink.h"

namespace kelvar {

class TDatabaseSetup_FireBird : public TDatabaseSetup {
public:
    explicit TDatabaseSetup_FireBird(std::string setupFolder = {});
    ~TDatabaseSetup_FireBird() override;

    TfrmDB_Base* GetSettingsFrame() override;
    bool IsServerInstalled() override;
    bool HasInstaller() override;
    bool HasDownloadInstaller() override;
    bool IsAutoStartRegistered() override;
    bool IsServerRunning() override;
    bool InstallServer() override;
    bool DownloadAndInstallServer() override;
    bool RegisterAutoStart() override;
    bool StartServer() override;
    bool ConnectDatabase() override;
    // A database without tables (or with this schema's tables, no schema version and no songs) is
    // made anew; one with songs but no version is refused (fatal). Stops at the first upgrade script
    // that fails and answers false then; each script runs in one transaction.
    bool UpgradeStructure() override;
    bool CopyClientFiles() override;
    void LoadSettings(IConfigDoc& section) override;
    void SaveSettings(IConfigDoc& section) override;
    void ReleaseConnection() override;

    bool IsEmbedded() const;
    std::string DetectServerFolder();
    TfoDBF_DataLink& GetDataModule();
    std::string DefaultDatabaseFile() const;
    // The schema version stored with the database (0 when none is stored).
    int ReadSchemaVersion();
    // Runs upgrade.N.sql from version + 1 upward while the files exist.
    bool UpgradeFrom(int version);
    void CreateDatabaseFile(const std::string& file);
    bool CreateTables();
    bool InsertDefaultData();
    bool RunUpgradeScript(const std::string& file);

    // The server's unit names and program, and where the distribution puts the program.
    static constexpr const char* ServiceName = "firebird3.0";
    static constexpr const char* AltServiceName = "firebird-superserver";
    static constexpr const char* ServerProgram = "firebird";

    std::string ServerMode = "EMBEDDED";
    bool FoundInRun = false;  // never on this system: no per-login start entry is read

private:
    // The first column of a one-row query as a number (0 when there is no row).
    int QueryCount(const std::string& sql);
    // Names of the database's own tables, in capitals.
    std::vector<std::string> UserTables();
    // Whether tables are all of this schema and hold no songs.
    bool IsEmptyOfSongs(const std::vector<std::string>& tables);
    // Drops the database and creates it from the scripts; false (fatal logged) when that fails.
    bool CreateAnew(const std::string& why);
    bool RunScriptFile(const std::string& file, const char* preparing, const std::string& running, const char* done,
                       const char* failure);
    bool IsServiceKnown();
    bool IsServiceRunning();
    std::string ScriptFolder() const { return SetupFolder + "sql-firebird"; }

    std::unique_ptr<TfrmDB_FireBird> FFrame;
    std::unique_ptr<TfoDBF_DataLink> FDataModule;
};

}  // namespace kelvar
