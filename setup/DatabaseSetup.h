#pragma once
// One object per database system that prepares the song database: finding, installing,
// starting and connecting its server, creating or upgrading the database, and moving its
// connection settings in and out of a "Database" section. The install drives them step by step.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/ConfigDoc.h"
#include "setup/funDB_Base.h"

namespace kelvar {

// Kinds of install log lines.
enum TInstallLogKind : int { lkNotice = 0, lkWarning = 1, lkError = 2, lkFatalError = 3 };

using TInstallLogEvent = std::function<void(const std::string& message, int kind)>;

class TDatabaseSetup {
public:
    // The setup folder defaults to the running program's folder.
    explicit TDatabaseSetup(std::string setupFolder = {});
    virtual ~TDatabaseSetup() = default;
    TDatabaseSetup(const TDatabaseSetup&) = delete;
    TDatabaseSetup& operator=(const TDatabaseSetup&) = delete;

    virtual TfrmDB_Base* GetSettingsFrame() = 0;
    virtual bool IsLocalHost();
    virtual bool IsServerInstalled() = 0;
    virtual bool HasInstaller() = 0;
    virtual bool HasDownloadInstaller() = 0;
    virtual bool IsAutoStartRegistered() = 0;
    virtual bool IsServerRunning() = 0;
    virtual bool InstallServer() = 0;
    virtual bool DownloadAndInstallServer() = 0;
    virtual bool RegisterAutoStart() = 0;
    virtual bool StartServer() = 0;
    // Connects with the current settings, creating the database when it does not exist.
    virtual bool ConnectDatabase() = 0;
    virtual bool UpgradeStructure() = 0;
    virtual bool CopyClientFiles() = 0;
    // Read and write the keys of a "Database" section; reads default to the current values.
    virtual void LoadSettings(IConfigDoc& section);
    virtual void SaveSettings(IConfigDoc& section);
    // Lets go of any database connection the setup holds.
    virtual void ReleaseConnection() {}

    void Log(const std::string& message, int kind) const;
    bool HasDownloader() const;
    void RunDownloader(const std::string& parameters);

    TInstallLogEvent OnLog;
    std::string SetupFolder;    // with a trailing delimiter
    std::string ServerFolder;   // with a trailing delimiter; empty until detected
    std::string InstallFolder;  // the player's install folder
    std::string Driver;
    std::string Host;
    int Port = 0;
    std::string Username;
    std::string Password;
    std::string Database;
};

// The registered setups under their names (compared without regard to case), in insertion order.
class TDatabaseSetupList {
public:
    TDatabaseSetupList() = default;
    ~TDatabaseSetupList() { Clear(); }
    TDatabaseSetupList(const TDatabaseSetupList&) = delete;
    TDatabaseSetupList& operator=(const TDatabaseSetupList&) = delete;

    // A missing setup is ignored; an added one receives the list's log callback.
    void Add(const std::string& name, std::unique_ptr<TDatabaseSetup> setup);
    // By name; a name not registered is read as a position (an index error past the end);
    // a name that is no number, or a negative one, gives nullptr.
    TDatabaseSetup* Find(const std::string& name) const;
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }

    void SetOnLog(TInstallLogEvent value) { FOnLog = std::move(value); }
    const TInstallLogEvent& GetOnLog() const { return FOnLog; }

private:
    std::vector<std::pair<std::string, std::unique_ptr<TDatabaseSetup>>> FItems;
    TInstallLogEvent FOnLog;
};

}  // namespace kelvar
