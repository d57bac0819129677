// The script runner and database creation on a real embedded database.
#include <gtest/gtest.h>

#include <filesystem>

#include "SetupTestSupport.h"
#include "database/datalink/DLFib.h"
#include "setup/DLCreateDatabase.h"
#include "setup/DLScript.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class DLScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        fbtest::UseOwnLockFolder();
        Path = Temp.File("script.fdb");
        Db.LoginPrompt = false;
        Db.SetDatabaseName("ScriptTestDb");
        Db.SetServerType(stFirebird);
        Db.SetRemoteDatabase(Path);
        Db.Params =
            TDLStrings{"USER NAME=SYSDBA", "PASSWORD=x", "SQL Dialect=3", "LOCAL CHARSET=UTF8", "AUTOCOMMIT=true"};
        CreateDatabase(Db);
        ASSERT_FALSE(Db.GetConnected());
        Db.Open();
        Script.SetDatabaseName("ScriptTestDb");
        Run("CREATE TABLE t (n INTEGER, s VARCHAR(40));");
    }
    void TearDown() override {
        if (Db.GetConnected()) Db.Close();
    }

    void Run(const std::string& text) {
        Script.SetSQLText(text);
        Script.ExecSQL();
    }
    std::vector<std::string> Values() {
        TDLQuery q;
        q.SetDatabaseName("ScriptTestDb");
        q.SetSQL("SELECT n FROM t ORDER BY n");
        q.Open();
        std::vector<std::string> rows;
        for (; !q.Eof(); q.Next()) rows.push_back(q.Fields(0)->AsString());
        q.Close();
        return rows;
    }

    test::TTempFolder Temp;
    std::string Path;
    TDLDatabase Db;
    TDLScript Script;
};

TEST_F(DLScriptTest, StatementsEndAtTerminatorsAtLineEnds) {
    // Several lines per statement, a blank line, and a last statement without terminator.
    Run("INSERT INTO t (n, s)\n  VALUES (1, 'a;b');\n\nINSERT INTO t (n) VALUES (2);\nINSERT INTO t (n) VALUES (3)");
    EXPECT_EQ(Values(), (std::vector<std::string>{"1", "2", "3"}));
    // Two statements on one line run as one statement, which the server refuses.
    EXPECT_THROW(Run("INSERT INTO t (n) VALUES (4); INSERT INTO t (n) VALUES (5);"), EDatabaseError);
    EXPECT_EQ(Values().size(), 3u);
}

TEST_F(DLScriptTest, FailureNamesTheLineOfTheFailingStatement) {
    try {
        Run("INSERT INTO t (n) VALUES (1);\nINSERT INTO t (n)\n VALUES ('not a number');");
        FAIL() << "the second statement must fail";
    } catch (const EDLFibError& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("(Error on line 2)"), std::string::npos) << message;
        EXPECT_NE(e.ErrorCode, 0);
    }
    EXPECT_EQ(Values(), std::vector<std::string>{"1"}) << "statements before the failure stay";
}

TEST_F(DLScriptTest, MacrosParametersAndSingleStatements) {
    Run("INSERT INTO t (n) VALUES (1);\nINSERT INTO t (n) VALUES (2);");
    // An unset macro is a condition that always holds.
    Script.SetSQLText("DELETE FROM t WHERE %where;");
    EXPECT_EQ(Script.MacroCount(), 1);
    Script.ExecSQL();
    EXPECT_TRUE(Values().empty());

    Script.SetSQLText(
        "INSERT INTO t (n) VALUES (:first);\nINSERT INTO t (n) VALUES (:second);\n"
        "INSERT INTO t (n) VALUES (:first + 100);");
    Script.GetParams().ParamByName("first").SetAsInteger(7);
    Script.GetParams().ParamByName("second").SetAsInteger(8);
    Script.ExecStatement(1);
    EXPECT_EQ(Values(), std::vector<std::string>{"8"});
    Script.ExecSQL();
    EXPECT_EQ(Values(), (std::vector<std::string>{"7", "8", "8", "107"}));

    Script.SetSQLText("INSERT INTO t (n) VALUES (1);");
    EXPECT_THROW(Script.ExecStatement(5), EDatabaseError);
    Script.SetSQLText("");
    EXPECT_THROW(Script.ExecSQL(), EDatabaseError);
}

TEST_F(DLScriptTest, OwnTransactionRollsBackAFailedScript) {
    Db.Close();
    Db.Params.SetValues("AUTOCOMMIT", "");
    Db.Open();
    Script.Transaction = true;
    EXPECT_THROW(Run("INSERT INTO t (n) VALUES (1);\nINSERT INTO t (n) VALUES ('x');"), EDatabaseError);
    EXPECT_TRUE(Values().empty());
    Run("INSERT INTO t (n) VALUES (2);");
    EXPECT_EQ(Values(), std::vector<std::string>{"2"});
}

TEST(DLCreateDatabase, OnlyInterbaseAndFirebirdCanCreate) {
    TDLDatabase db;
    db.SetServerType(stMySQL);
    db.SetRemoteDatabase("/nowhere/x.fdb");
    try {
        CreateDatabase(db);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Capability not supported");
    }
}

TEST(DLCreateDatabase, AnExistingFileIsRefusedAndKept) {
    fbtest::UseOwnLockFolder();
    test::TTempFolder temp;
    std::string path = temp.File("twice.fdb");
    TDLDatabase db;
    db.SetServerType(stFirebird);
    db.SetRemoteDatabase(path);
    db.Params = TDLStrings{"USER NAME=SYSDBA", "PASSWORD=x", "SQL Dialect=3", "LOCAL CHARSET=UTF8"};
    CreateDatabase(db);
    auto size = fs::file_size(path);
    EXPECT_THROW(CreateDatabase(db), EDLFibError);
    EXPECT_EQ(fs::file_size(path), size);
    // Dialect 3, the setup's page size and the character set the player's connections use.
    EXPECT_EQ(setuptest::QueryColumn(path, "SELECT mon$sql_dialect FROM mon$database"), std::vector<std::string>{"3"});
    EXPECT_EQ(setuptest::QueryColumn(path, "SELECT mon$page_size FROM mon$database"),
              std::vector<std::string>{std::to_string(DatabasePageSize)});
    EXPECT_EQ(setuptest::QueryColumn(path, "SELECT TRIM(rdb$character_set_name) FROM rdb$database"),
              std::vector<std::string>{"UTF8"});
}

}  // namespace
}  // namespace kelvar
