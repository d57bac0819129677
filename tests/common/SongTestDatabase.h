#pragma once
// A temporary embedded song database made from the setup's own schema scripts, and a fixture
// that opens the SQL pool on it with the test's thread as the main thread of a plain loop.
//
//   class TMyTest : public kelvar::songtest::TSongDbFixture {};
//   TEST_F(TMyTest, Something) { kelvar::PoolExecSQL("..."); }
//
// Each suite gets one database; every test starts with the six tables empty.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/FbTestDatabase.h"
#include "common/SongSchemaScript.h"
#include "database/SQLPool.h"
#include "database/SQLPool_DataLink.h"
#include "foundation/Logger.h"
#include "foundation/MainThread.h"

namespace kelvar::songtest {

inline std::string SchemaFolder() { return std::string(KELVAR_TEST_SOURCE_DIR) + "/../setup/sql-firebird/"; }

// A new database with the tables of tables.sql and the data of data.sql.
class TSongTestDatabase : public fbtest::TFbTestDatabase {
public:
    TSongTestDatabase() {
        auto db = Connect();
        for (const std::string& sql : SchemaStatements(SchemaFolder())) {
            auto cmd = db->CreateSqlCommand();
            cmd->Prepare(sql);
            cmd->Execute();
        }
        db->Disconnect(false);
    }
};

// The pool (the process's current one) open on the suite's song database.
class TSongDbFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Db = new TSongTestDatabase(); }
    static void TearDownTestSuite() {
        delete Db;
        Db = nullptr;
    }

    void SetUp() override {
        Loop = std::make_shared<TPlainMainLoop>();
        SetMainThreadDispatcher(Loop);
        Manager = std::make_shared<TDataLinkPoolManager>();
        Manager->Driver = "FIREBIRD";
        Manager->ServerMode = "EMBEDDED";
        Manager->Database = Db->Path;
        Manager->Username = "SYSDBA";
        Manager->Open();
        for (const char* table : {"songlist", "category", "categorylist", "queuelist", "requestlist", "historylist"})
            PoolExecSQL(std::string("DELETE FROM ") + table);
    }

    void TearDown() override {
        Manager->Close();
        Manager.reset();
        Loop->ProcessPending();
        SetMainThreadDispatcher(nullptr);
    }

    static int CountRows(const std::string& table, const std::string& where = "") {
        return static_cast<int>(
            PoolQuery("SELECT COUNT(*) AS N FROM " + table + (where.empty() ? "" : " WHERE " + where))
                ->GetFieldValue("N")
                .AsInteger());
    }

    // Adds a library row and answers its ID.
    static int AddSongRow(const std::string& fileName, const std::string& artist = "", const std::string& title = "",
                          int duration = 180000) {
        auto rows = PoolQuery("SELECT * FROM songlist WHERE ID = 0", {}, false);
        rows->Append();
        rows->SetFieldValue("filename", fileName);
        rows->SetFieldValue("artist", artist);
        rows->SetFieldValue("title", title);
        rows->SetFieldValue("duration", duration);
        rows->Post();
        return static_cast<int>(rows->GetFieldValue("ID").AsInteger());
    }

    inline static TSongTestDatabase* Db = nullptr;
    std::shared_ptr<TPlainMainLoop> Loop;
    std::shared_ptr<TDataLinkPoolManager> Manager;
};

}  // namespace kelvar::songtest
