#pragma once
// Shared pieces of the pool tests: a log capture, and an open pool over a temporary embedded
// database with a small song schema, the test thread being the main thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/FbTestDatabase.h"
#include "database/SQLPool.h"
#include "database/SQLPool_DataLink.h"
#include "foundation/Logger.h"
#include "foundation/MainThread.h"

namespace kelvar::pooltest {

class TCaptureLogger : public ILogger {
public:
    void Log(const std::string& message, const std::string& source, TLogKind kind) override {
        std::lock_guard<std::mutex> lock(FLock);
        FLines.push_back(std::string(1, "XEWNIDT"[kind % 7]) + " [" + source + "] " + message);
    }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(FLock);
        return FLines;
    }
    // Lines that contain Text.
    int Count(const std::string& text) const {
        auto lines = Lines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                              [&](const std::string& l) { return l.find(text) != std::string::npos; }));
    }

private:
    mutable std::mutex FLock;
    std::vector<std::string> FLines;
};

// The song schema the tests use: tables with their ID generators.
inline void CreateSchema(const fbtest::TFbTestDatabase& db) {
    db.Exec(
        {"CREATE TABLE songlist (ID INTEGER NOT NULL PRIMARY KEY, title VARCHAR(100), artist VARCHAR(100), "
         "album VARCHAR(100), count_played INTEGER DEFAULT 0, \"lower\" INTEGER)",
         "CREATE GENERATOR GEN_songlist_ID",
         "CREATE TABLE queuelist (ID INTEGER NOT NULL PRIMARY KEY, songID INTEGER, sortID DOUBLE PRECISION)",
         "CREATE GENERATOR GEN_queuelist_ID",
         "CREATE TABLE historylist (ID INTEGER NOT NULL PRIMARY KEY, songID INTEGER, info VARCHAR(200))",
         "CREATE GENERATOR GEN_historylist_ID", "CREATE TABLE nogen (ID INTEGER NOT NULL PRIMARY KEY, A INTEGER)",
         "CREATE TABLE nokey (ID INTEGER, A INTEGER)"});
}

// An open pool (the process's current one) over the suite's database; the fixture's thread is
// the main thread of a plain loop.
class TPoolFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Db = new fbtest::TFbTestDatabase();
        CreateSchema(*Db);
    }
    static void TearDownTestSuite() {
        delete Db;
        Db = nullptr;
    }

    void SetUp() override {
        Loop = std::make_shared<TPlainMainLoop>();
        SetMainThreadDispatcher(Loop);
        Log = std::make_shared<TCaptureLogger>();
        SetCoreLogger(Log);
        Manager = std::make_shared<TDataLinkPoolManager>();
        Manager->Driver = "FIREBIRD";
        Manager->ServerMode = "EMBEDDED";
        Manager->Database = Db->Path;
        Manager->Username = "SYSDBA";
        Manager->Open();
        for (const char* table : {"songlist", "queuelist", "historylist", "nogen"})
            PoolExecSQL(std::string("DELETE FROM ") + table);
    }

    void TearDown() override {
        Manager->Close();
        Manager.reset();
        Loop->ProcessPending();
        SetCoreLogger(nullptr);
        SetMainThreadDispatcher(nullptr);
    }

    static int CountRows(const std::string& table) {
        return static_cast<int>(PoolQuery("SELECT COUNT(*) AS N FROM " + table)->GetFieldValue("N").AsInteger());
    }

    inline static fbtest::TFbTestDatabase* Db = nullptr;
    std::shared_ptr<TPlainMainLoop> Loop;
    std::shared_ptr<TCaptureLogger> Log;
    std::shared_ptr<TDataLinkPoolManager> Manager;
};

}  // namespace kelvar::pooltest
