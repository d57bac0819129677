// The Firebird setup in embedded mode: creation from the scripts, upgrades by number, and the
// failures that must stop or be reported.
#include <gtest/gtest.h>

#include <filesystem>

#include "SetupTestSupport.h"
#include "foundation/ConfigDoc_XML.h"
#include "setup/DatabaseSetup_FireBird.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class FirebirdSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        Setup = std::make_unique<TDatabaseSetup_FireBird>(Folders.SetupFolder.string());
        Setup->OnLog = [this](const std::string& m, int kind) { Log.Lines.push_back(std::to_string(kind) + " " + m); };
        Setup->InstallFolder = Folders.InstallFolder.string();
        auto doc = TConfigDoc_XML::Create("");
        auto section = doc->Section("Database");
        Setup->GetSettingsFrame()->SaveSettings(*section);
        Setup->LoadSettings(*section);
    }
    void TearDown() override { Setup.reset(); }

    setuptest::TSetupFolders Folders;
    setuptest::TCapturedLog Log;
    std::unique_ptr<TDatabaseSetup_FireBird> Setup;
};

std::vector<std::string> Tables(const std::string& file) {
    return setuptest::QueryColumn(file,
                                  "SELECT TRIM(rdb$relation_name) FROM rdb$relations WHERE rdb$system_flag = 0 "
                                  "ORDER BY 1");
}

TEST_F(FirebirdSetupTest, EmbeddedNeedsNoServerAndUsesTheInstallFoldersFile) {
    EXPECT_TRUE(Setup->IsEmbedded());
    EXPECT_EQ(Setup->Database, Folders.DatabaseFile());
    EXPECT_TRUE(Setup->IsAutoStartRegistered());
    EXPECT_TRUE(Setup->IsServerRunning());
    EXPECT_TRUE(Setup->RegisterAutoStart());
    EXPECT_TRUE(Setup->StartServer());
    EXPECT_TRUE(Setup->InstallServer());
    EXPECT_TRUE(Log.Lines.empty()) << ::testing::PrintToString(Log.Lines);
}

TEST_F(FirebirdSetupTest, NewDatabaseRunsTablesDataThenUpgradesInOrder) {
    // Tables that store no version yet: the upgrades start at 1.
    Folders.Script("tables.sql",
                   "CREATE TABLE category (ID INTEGER NOT NULL PRIMARY KEY, name VARCHAR(100));\n"
                   "CREATE TABLE songlist (ID INTEGER NOT NULL PRIMARY KEY, title VARCHAR(200));\n");
    Folders.Script("upgrade.1.sql", "COMMENT ON COLUMN category.ID IS '2';\n");
    Folders.Script("upgrade.2.sql",
                   "ALTER TABLE songlist ADD artist VARCHAR(100);\nCOMMENT ON COLUMN category.ID IS '3';\n");
    ASSERT_TRUE(Setup->ConnectDatabase()) << ::testing::PrintToString(Log.Lines);
    ASSERT_TRUE(Setup->UpgradeStructure()) << ::testing::PrintToString(Log.Lines);
    Setup->ReleaseConnection();
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "3");
    EXPECT_EQ(setuptest::QueryColumn(Folders.DatabaseFile(), "SELECT name FROM category ORDER BY ID"),
              (std::vector<std::string>{"Music", "Jingles"}));
    int tables = Log.IndexOf("0 Done creating tables.");
    int data = Log.IndexOf("0 Done populating tables.");
    int first = Log.IndexOf("0 Upgrading tables using: upgrade.1.sql");
    int second = Log.IndexOf("0 Upgrading tables using: upgrade.2.sql");
    EXPECT_TRUE(tables >= 0 && tables < data && data < first && first < second) << ::testing::PrintToString(Log.Lines);
}

TEST_F(FirebirdSetupTest, UpgradeRunsOnlyTheUnbrokenRunOfNumbers) {
    Folders.Script("tables.sql", std::string(setuptest::TablesScript()) + "COMMENT ON COLUMN category.ID IS '3';\n");
    Folders.Script("upgrade.2.sql", "CREATE TABLE two (n INTEGER);\n");
    Folders.Script("upgrade.4.sql", "CREATE TABLE four (n INTEGER);\nCOMMENT ON COLUMN category.ID IS '4';\n");
    Folders.Script("upgrade.6.sql", "CREATE TABLE six (n INTEGER);\n");
    ASSERT_TRUE(Setup->ConnectDatabase());
    ASSERT_TRUE(Setup->UpgradeStructure());
    Setup->ReleaseConnection();
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "4");
    auto tables = setuptest::QueryColumn(Folders.DatabaseFile(),
                                         "SELECT TRIM(rdb$relation_name) FROM rdb$relations WHERE rdb$system_flag = 0 "
                                         "ORDER BY 1");
    EXPECT_EQ(tables, (std::vector<std::string>{"CATEGORY", "FOUR", "SONGLIST"}));
}

TEST_F(FirebirdSetupTest, FailedUpgradeStopsBeforeLaterScripts) {
    Folders.Script("upgrade.2.sql", "CREATE TABLE two (n NOSUCHTYPE);\nCOMMENT ON COLUMN category.ID IS '2';\n");
    Folders.Script("upgrade.3.sql", "CREATE TABLE three (n INTEGER);\nCOMMENT ON COLUMN category.ID IS '3';\n");
    ASSERT_TRUE(Setup->ConnectDatabase());
    EXPECT_FALSE(Setup->UpgradeStructure());
    Setup->ReleaseConnection();
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1");
    EXPECT_TRUE(Log.Has("2 Error upgrading tables."));
    EXPECT_TRUE(Log.Mentions("(Error on line 0)"));
    EXPECT_FALSE(Log.Mentions("upgrade.3.sql"));
}

// Each upgrade script runs in one transaction: a failure anywhere leaves the schema as it was,
// and the next run starts that script again.
TEST_F(FirebirdSetupTest, AFailingUpgradeScriptLeavesTheSchemaAsBefore) {
    Folders.Script("upgrade.2.sql",
                   "CREATE TABLE two (n INTEGER);\nALTER TABLE songlist ADD artist VARCHAR(100);\n"
                   "CREATE INDEX IDX_two ON two (n);\nALTER TABLE category ADD broken NOSUCHTYPE;\n"
                   "COMMENT ON COLUMN category.ID IS '2';\n");
    ASSERT_TRUE(Setup->ConnectDatabase());
    EXPECT_FALSE(Setup->UpgradeStructure());
    Setup->ReleaseConnection();
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1");
    EXPECT_EQ(Tables(Folders.DatabaseFile()), (std::vector<std::string>{"CATEGORY", "SONGLIST"}));
    EXPECT_TRUE(setuptest::QueryColumn(Folders.DatabaseFile(),
                                       "SELECT rdb$field_name FROM rdb$relation_fields WHERE rdb$field_name = 'ARTIST'")
                    .empty());

    Folders.Script("upgrade.2.sql",
                   "CREATE TABLE two (n INTEGER);\nALTER TABLE songlist ADD artist VARCHAR(100);\n"
                   "COMMENT ON COLUMN category.ID IS '2';\n");
    ASSERT_TRUE(Setup->UpgradeStructure()) << ::testing::PrintToString(Log.Lines);
    Setup->ReleaseConnection();
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "2");
    EXPECT_EQ(Tables(Folders.DatabaseFile()), (std::vector<std::string>{"CATEGORY", "SONGLIST", "TWO"}));
}

// What a first run cut short leaves: a file without tables is made anew, or refused while the
// cause lasts; never passed as a good database.
TEST_F(FirebirdSetupTest, ATablelessDatabaseIsMadeAnewOrRefused) {
    setuptest::MakeTablelessDatabase(Folders.DatabaseFile());
    Folders.Script("tables.sql", "CREATE TABLE category (ID INTEGER NOT NULL PRIMARY KEY, n NOSUCHTYPE);\n");
    ASSERT_TRUE(Setup->ConnectDatabase());
    EXPECT_FALSE(Setup->UpgradeStructure());
    EXPECT_TRUE(Log.Mentions("3 The database " + Folders.DatabaseFile() + " could not be made"))
        << ::testing::PrintToString(Log.Lines);
    Setup->ReleaseConnection();
    EXPECT_TRUE(Tables(Folders.DatabaseFile()).empty()) << "the failed script left nothing half made";

    Folders.Script("tables.sql", setuptest::TablesScript());
    Log.Lines.clear();
    ASSERT_TRUE(Setup->ConnectDatabase());
    ASSERT_TRUE(Setup->UpgradeStructure()) << ::testing::PrintToString(Log.Lines);
    Setup->ReleaseConnection();
    EXPECT_TRUE(Log.Has("1 The database " + Folders.DatabaseFile() + " holds no tables; it is made anew."));
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1");
    EXPECT_EQ(setuptest::QueryColumn(Folders.DatabaseFile(), "SELECT name FROM category ORDER BY ID"),
              (std::vector<std::string>{"Music", "Jingles"}));
}

// Tables without a schema version: made anew while they hold no songs, refused (and kept) once
// they do.
TEST_F(FirebirdSetupTest, AMissingSchemaVersionIsMadeAnewWithoutSongsAndRefusedWithThem) {
    ASSERT_TRUE(Setup->ConnectDatabase());
    Setup->ReleaseConnection();
    setuptest::ExecOn(Folders.DatabaseFile(), {"COMMENT ON COLUMN category.ID IS NULL", "DROP TABLE songlist"});
    ASSERT_TRUE(Setup->UpgradeStructure()) << ::testing::PrintToString(Log.Lines);
    Setup->ReleaseConnection();
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1");
    EXPECT_EQ(Tables(Folders.DatabaseFile()), (std::vector<std::string>{"CATEGORY", "SONGLIST"}));

    setuptest::ExecOn(Folders.DatabaseFile(),
                      {"INSERT INTO songlist (ID, title) VALUES (1, 'Kept')", "COMMENT ON COLUMN category.ID IS NULL"});
    EXPECT_FALSE(Setup->UpgradeStructure());
    Setup->ReleaseConnection();
    EXPECT_TRUE(Log.Mentions("3 The database " + Folders.DatabaseFile() + " has no schema version"));
    EXPECT_EQ(setuptest::QueryColumn(Folders.DatabaseFile(), "SELECT title FROM songlist"),
              std::vector<std::string>{"Kept"});
}

TEST_F(FirebirdSetupTest, BlankScriptReportsItselfNotAnEarlierFailure) {
    TfoDBF_DataLink& dm = Setup->GetDataModule();
    ASSERT_TRUE(Setup->ConnectDatabase());
    EXPECT_FALSE(dm.ExecuteScript("SELECT FROM nowhere;"));
    EXPECT_NE(dm.LastError.find("Error on line"), std::string::npos);
    EXPECT_FALSE(dm.ExecuteScript("  \n\t\n"));
    EXPECT_EQ(dm.LastError, "The script is empty");
}

TEST_F(FirebirdSetupTest, MissingTableScriptIsLoggedAndTheConnectionStillAnswers) {
    fs::remove(Folders.SetupFolder / "sql-firebird" / "tables.sql");
    EXPECT_TRUE(Setup->ConnectDatabase());
    EXPECT_TRUE(Log.Has("2 Error creating tables."));
    EXPECT_TRUE(Log.Has("2 Error inserting data.")) << "the data cannot go into tables that were never made";
    // Without the copy of the scripts the player's folder is incomplete: that is an error now.
    fs::remove_all(Folders.SetupFolder / "sql-firebird");
    EXPECT_FALSE(Setup->CopyClientFiles());
}

TEST_F(FirebirdSetupTest, UncreatableFolderIsFatalAndConnectFails) {
    test::WriteWholeFile((Folders.Temp.Path() / "blocker").string(), "x");
    Setup->Database = (Folders.Temp.Path() / "blocker" / "db" / "x.fdb").string();
    EXPECT_FALSE(Setup->ConnectDatabase());
    EXPECT_TRUE(Log.Mentions("3 Unable to create directory: "));
    EXPECT_TRUE(Log.Has("2 Unable to create or connect to database"));
}

}  // namespace
}  // namespace kelvar

namespace kelvar {
namespace {

// A database made by the shipped scripts of version 1 (today's tables without what later
// versions add) is brought to today's version by the shipped upgrade scripts.
TEST_F(FirebirdSetupTest, ShippedUpgradesBringAVersionOneDatabaseUpToDate) {
    const fs::path shipped = fs::path(KELVAR_TEST_SOURCE_DIR) / ".." / "setup" / "sql-firebird";
    std::string tables = test::ReadWholeFile((shipped / "tables.sql").string());
    for (const std::string index :
         {"CREATE DESCENDING INDEX IDX_songlist_balance_weight ON songlist (balance, weight);\n",
          "CREATE INDEX IDX_songlist_playlimit ON songlist (playlimit_count);\n"}) {
        ASSERT_NE(tables.find(index), std::string::npos) << index;
        tables.erase(tables.find(index), index.size());
    }
    tables.replace(tables.find("COMMENT ON COLUMN category.ID IS '3';"), 37, "COMMENT ON COLUMN category.ID IS '1';");
    Folders.Script("tables.sql", tables);
    Folders.Script("data.sql", test::ReadWholeFile((shipped / "data.sql").string()));
    ASSERT_TRUE(Setup->ConnectDatabase()) << ::testing::PrintToString(Log.Lines);
    Setup->ReleaseConnection();
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "1");

    for (const auto& entry : fs::directory_iterator(shipped))
        if (entry.path().filename().string().rfind("upgrade.", 0) == 0)
            Folders.Script(entry.path().filename().string(), test::ReadWholeFile(entry.path().string()));
    ASSERT_TRUE(Setup->ConnectDatabase());
    ASSERT_TRUE(Setup->UpgradeStructure()) << ::testing::PrintToString(Log.Lines);
    Setup->ReleaseConnection();
    EXPECT_EQ(setuptest::SchemaVersion(Folders.DatabaseFile()), "3");
    EXPECT_EQ(setuptest::QueryColumn(Folders.DatabaseFile(),
                                     "SELECT TRIM(rdb$index_name) FROM rdb$indices WHERE rdb$index_name IN "
                                     "('IDX_SONGLIST_BALANCE_WEIGHT', 'IDX_SONGLIST_PLAYLIMIT') ORDER BY 1"),
              (std::vector<std::string>{"IDX_SONGLIST_BALANCE_WEIGHT", "IDX_SONGLIST_PLAYLIMIT"}));
}

}  // namespace
}  // namespace kelvar
