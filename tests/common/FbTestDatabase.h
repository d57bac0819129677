#pragma once
// A temporary embedded Firebird database for the client-layer tests: a UTF8 database file in a
// temporary folder of its own, created as SYSDBA and removed with the folder at the end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>

#include "database/datalink/DLFib.h"

namespace kelvar::fbtest {

// The engine reads FIREBIRD_LOCK when the client library loads: set it first (ctest sets it).
inline void UseOwnLockFolder() {
    if (std::getenv("FIREBIRD_LOCK")) return;
    std::filesystem::path lock = std::filesystem::temp_directory_path() / ("kelvar-fblock-" + std::to_string(getpid()));
    std::filesystem::create_directories(lock);
    setenv("FIREBIRD_LOCK", lock.c_str(), 0);
}

class TFbTestDatabase {
public:
    TFbTestDatabase() {
        UseOwnLockFolder();
        static std::atomic<int> counter{0};
        Folder = std::filesystem::temp_directory_path() /
                 ("kelvar-fbtest-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
        // A folder of the same name is left by a killed process whose number this one got again.
        std::filesystem::remove_all(Folder);
        std::filesystem::create_directories(Folder);
        Path = (Folder / "test.fdb").string();
        TIntFunctions& f = FibClientLibrary().Acquire();
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        std::string sql = "CREATE DATABASE '" + Path + "' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8";
        ISC_STATUS r = f.isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr);
        if (r == 0) f.isc_detach_database(status, &db);
        FibClientLibrary().Release();
        if (r != 0) throw std::runtime_error("could not create the test database " + Path);
    }

    ~TFbTestDatabase() {
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }

    TFbTestDatabase(const TFbTestDatabase&) = delete;
    TFbTestDatabase& operator=(const TFbTestDatabase&) = delete;

    // The parameters the pool gives a Firebird connection.
    static TDLStrings PoolParams(bool autoCommit = true) {
        TDLStrings p{"USER NAME=SYSDBA", "PASSWORD=", "SQL Dialect=3", "ROLE NAME=PUBLIC", "LOCAL CHARSET=UTF8"};
        if (autoCommit) p.Add("AUTOCOMMIT=true");
        return p;
    }

    // A connected driver database.
    std::unique_ptr<TISqlDatabase> Connect(TDLStrings params = PoolParams(),
                                           TDLTransIsolation isolation = tiReadCommitted) const {
        std::unique_ptr<TISqlDatabase> db = FibDatabaseFactory(params);
        db->TransIsolation = isolation;
        db->Connect(Path, "SYSDBA", "");
        return db;
    }

    // Runs statements (no parameters) on a connection of their own.
    void Exec(std::initializer_list<std::string> statements) const {
        auto db = Connect();
        for (const std::string& sql : statements) {
            auto cmd = db->CreateSqlCommand();
            cmd->Prepare(sql);
            cmd->Execute();
        }
        db->Disconnect(false);
    }

    std::filesystem::path Folder;
    std::string Path;
};

}  // namespace kelvar::fbtest
