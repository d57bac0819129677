// Sessions and the database component over a real embedded database.
#include <gtest/gtest.h>

#include <thread>

#include "foundation/MainThread.h"

#include "DLSessTestDb.h"

namespace kelvar {
namespace {

using dltest::TDLTempDatabase;

class DLSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Tmp = new TDLTempDatabase(); }
    static void TearDownTestSuite() {
        delete Tmp;
        Tmp = nullptr;
    }
    static TDLTempDatabase* Tmp;
};
TDLTempDatabase* DLSessionTest::Tmp = nullptr;

TEST_F(DLSessionTest, ConnectsThroughTheFirebirdDriverOnlyForItsServerTypes) {
    for (TDLServerType type : {stMySQL, stPostgreSQL, stSQLServer, stOracle}) {
        TDLDatabase db;
        Tmp->Setup(db);
        db.SetServerType(type);
        try {
            db.Open();
            FAIL() << "connected with server type " << int(type);
        } catch (const EDatabaseError& e) {
            EXPECT_STREQ(e.what(), "SQL-server not supported");
        }
        EXPECT_FALSE(db.GetConnected());
    }
    TDLDatabase db;
    Tmp->Setup(db);
    db.Open();
    ASSERT_TRUE(db.GetConnected());
    EXPECT_NE(dynamic_cast<TIFibDatabase*>(db.GetDriver()), nullptr);
    // Connection settings can't change under an open connection.
    EXPECT_THROW(db.SetRemoteDatabase("x"), EDatabaseError);
    db.Close();
    EXPECT_EQ(db.GetDriver(), nullptr);
}

TEST_F(DLSessionTest, ConnectFailuresLeaveNoDriverAndCarryTheServerText) {
    TDLDatabase db;
    Tmp->Setup(db);
    db.SetRemoteDatabase((Tmp->Folder / "missing.fdb").string());
    try {
        db.Open();
        FAIL();
    } catch (const EDLEngineError& e) {
        EXPECT_NE(std::string(e.what()), "");
        EXPECT_NE(e.ErrorCode, 0);
    }
    EXPECT_FALSE(db.GetConnected());

    TDLDatabase unnamed;
    unnamed.SetRemoteDatabase(Tmp->Path);
    unnamed.SetServerType(stFirebird);
    unnamed.LoginPrompt = false;
    EXPECT_THROW(
        {
            try {
                unnamed.Open();
            } catch (const EDatabaseError& e) {
                EXPECT_STREQ(e.what(), "Database name missing");
                throw;
            }
        },
        EDatabaseError);
}

TEST_F(DLSessionTest, DatabaseNamesAreUniqueInASessionWithoutRegardToCase) {
    TDLDatabase a, b;
    a.SetDatabaseName("dlsess_db1");
    try {
        b.SetDatabaseName("DLSESS_DB1");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Duplicate database name 'DLSESS_DB1'");
    }
    EXPECT_EQ(DefaultSession().DatabaseByName("Dlsess_Db1"), &a);
}

TEST_F(DLSessionTest, TransactionStateIsChecked) {
    TDLDatabase db;
    Tmp->Setup(db);
    EXPECT_THROW(db.StartTransaction(), EDatabaseError);  // closed
    db.Open();
    try {
        db.Commit();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Transaction is not active");
    }
    EXPECT_THROW(db.Rollback(), EDatabaseError);
    db.StartTransaction();
    EXPECT_TRUE(db.InTransaction());
    try {
        db.StartTransaction();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Transaction is active");
    }
    db.Commit();
    EXPECT_FALSE(db.InTransaction());
}

TEST_F(DLSessionTest, CommitKeepsAndRollbackDropsWorkForEachIsolation) {
    Tmp->Exec({"CREATE TABLE tx_test (ID INTEGER NOT NULL PRIMARY KEY)"});
    int id = 0;
    for (TDLTransIsolation iso : {tiDirtyRead, tiReadCommitted, tiRepeatableRead}) {
        TDLDatabase db;
        Tmp->Setup(db);
        db.SetTransIsolation(iso);
        db.Open();
        auto exec = [&](const std::string& sql, int value) {
            TDLQuery q;
            q.SetDatabaseName(db.GetDatabaseName());
            q.SetSQL(sql);
            q.ParamByName("ID").SetValue(value);
            q.ExecSQL();
            return q.RowsAffected();
        };
        db.StartTransaction();
        EXPECT_EQ(exec("INSERT INTO tx_test (ID) VALUES (:ID)", ++id), 1);
        db.Commit();
        int kept = id;
        db.StartTransaction();
        exec("INSERT INTO tx_test (ID) VALUES (:ID)", ++id);
        db.Rollback();
        db.Close();

        TDLDatabase check;
        Tmp->Setup(check);
        check.Open();
        TDLQuery q;
        q.SetDatabaseName(check.GetDatabaseName());
        q.SetSQL("SELECT ID FROM tx_test WHERE ID = :A OR ID = :B");
        q.ParamByName("A").SetValue(kept);
        q.ParamByName("B").SetValue(id);
        q.Open();
        EXPECT_EQ(q.RecordCount(), 1) << "isolation " << int(iso);
        EXPECT_EQ(q.FieldByName("ID").AsInteger(), kept);
    }
}

TEST_F(DLSessionTest, StartingOrRollingBackAnExplicitTransactionLetsDatasetsKeepTheirRows) {
    Tmp->Exec({"CREATE TABLE rb_test (ID INTEGER NOT NULL PRIMARY KEY)", "INSERT INTO rb_test VALUES (1)",
               "INSERT INTO rb_test VALUES (2)", "INSERT INTO rb_test VALUES (3)", "INSERT INTO rb_test VALUES (4)"});
    TDLDatabase db;
    Tmp->Setup(db);  // autocommit: a rollback ends the server transaction and its cursors
    db.Open();
    ASSERT_FALSE(db.GetDriver()->CursorPreservedOnRollback);
    TDLQuery open;
    open.SetDatabaseName(db.GetDatabaseName());
    open.SetSQL("SELECT ID FROM rb_test ORDER BY ID");
    open.Open();
    ASSERT_EQ(open.CachedRowCount(), 1);
    TDLQuery prepared;
    prepared.SetDatabaseName(db.GetDatabaseName());
    prepared.SetSQL("INSERT INTO rb_test (ID) VALUES (:ID)");
    prepared.Prepare();

    db.StartTransaction();
    prepared.ParamByName("ID").SetValue(10);
    prepared.ExecSQL();
    db.Rollback();

    // The open result fetched its rows first and goes on from the cache.
    EXPECT_TRUE(open.GetActive());
    EXPECT_EQ(open.GetCommand(), nullptr);
    EXPECT_EQ(open.RecordCount(), 4);
    open.Last();
    EXPECT_EQ(open.FieldByName("ID").AsInteger(), 4);
    // The prepared statement lost its server statement and prepares again.
    EXPECT_EQ(prepared.GetCommand(), nullptr);
    prepared.ParamByName("ID").SetValue(11);
    prepared.ExecSQL();
    EXPECT_EQ(prepared.RowsAffected(), 1);
    open.Close();
    open.Open();
    EXPECT_EQ(open.RecordCount(), 5);  // 10 rolled back, 11 kept
}

TEST_F(DLSessionTest, ADatasetWithoutDatabaseComponentGetsATemporaryOne) {
    // The dataset names the remote database itself; the session connects with the
    // parameters last stored for it.
    TDLDatabase first;
    Tmp->Setup(first);
    first.Open();
    first.Close();

    DefaultSession().KeepConnections = false;
    // A temporary database asks for a login (no dialog here) and has the server type
    // stSQLBase; it fails to connect and is freed again.
    TDLQuery q;
    q.SetDatabaseName(Tmp->Path);
    q.SetSQL("SELECT 1 AS X FROM RDB$DATABASE");
    try {
        q.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot connect to database '" + Tmp->Path + "'");
    }
    EXPECT_EQ(DefaultSession().DatabaseByName(Tmp->Path), nullptr);
    EXPECT_EQ(q.GetDatabase(), nullptr);
    DefaultSession().KeepConnections = true;
}

TEST_F(DLSessionTest, StoredParamsAreReusedForTheSameRemoteDatabase) {
    TDLDatabase first;
    Tmp->Setup(first);
    first.Open();
    first.Close();

    TDLDatabase second;
    second.SetDatabaseName(TDLTempDatabase::NewName());
    second.SetServerType(stFirebird);
    second.SetRemoteDatabase(Tmp->Path);
    second.LoginPrompt = false;
    second.Open();  // no Params of its own
    EXPECT_TRUE(second.GetConnected());
    EXPECT_EQ(second.Params.Values("USER NAME"), "SYSDBA");
}

TEST_F(DLSessionTest, LoginPromptUsesTheLoginEventOrFailsWithoutADialog) {
    TDLDatabase db;
    Tmp->Setup(db);
    db.LoginPrompt = true;
    db.Params.SetValues("USER NAME", "");
    EXPECT_THROW(
        {
            try {
                db.Open();
            } catch (const EDatabaseError& e) {
                EXPECT_EQ(std::string(e.what()), "Cannot connect to database '" + db.GetDatabaseName() + "'");
                throw;
            }
        },
        EDatabaseError);
    std::string seen;
    db.OnLogin = [&](TDLDatabase&, TDLStrings& login) {
        seen = login.Values("USER NAME");
        login.SetValues("USER NAME", "SYSDBA");
    };
    db.Open();
    EXPECT_TRUE(db.GetConnected());
    EXPECT_EQ(db.Params.Values("USER NAME"), "SYSDBA");
}

TEST_F(DLSessionTest, SessionsAreFoundByNameAndRefuseBadNames) {
    EXPECT_EQ(Sessions().SessionByName(""), &DefaultSession());
    EXPECT_EQ(Sessions().SessionByName("default"), &DefaultSession());
    try {
        Sessions().SessionByName("nosuch", true);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Invalid session name nosuch");
    }
    TDLSession s(nullptr);
    EXPECT_THROW(s.Open(), EDatabaseError);  // "Session name missing"
    EXPECT_THROW(s.SetSessionName("DEFAULT"), EDatabaseError);
    s.SetSessionName("Second");

    // A database moves into the other session; the session closes it when it ends.
    TDLDatabase db;
    Tmp->Setup(db);
    db.SetSessionName("Second");
    EXPECT_EQ(db.GetSession(), &s);
    db.Open();
    EXPECT_TRUE(s.GetActive());
    s.Close();
    EXPECT_FALSE(db.GetConnected());

    // A session that goes hands its databases to the default session.
    auto third = std::make_unique<TDLSession>(nullptr);
    third->SetSessionName("Third");
    db.SetSessionName("Third");
    db.Open();
    third.reset();
    EXPECT_EQ(db.GetSession(), &DefaultSession());
    EXPECT_FALSE(db.GetConnected());
    EXPECT_EQ(Sessions().SessionByName("Third"), nullptr);
}

TEST_F(DLSessionTest, AutoSessionNamesTakeTheLowestFreeNumber) {
    TDLComponent form(nullptr);
    auto* s = new TDLSession(&form);
    s->Name = "Session";
    s->SetAutoSessionName(true);
    EXPECT_EQ(s->GetSessionName().rfind("Session_", 0), 0u);
    EXPECT_THROW(s->SetSessionName("x"), EDatabaseError);
    EXPECT_THROW(new TDLSession(&form), EDatabaseError);
    EXPECT_EQ(form.GetComponents().size(), 1u);  // the refused one left nothing behind
}

TEST_F(DLSessionTest, TheWaitCursorShowsOnlyWhileStatementsRunOnTheMainThread) {
    auto loop = std::make_shared<TPlainMainLoop>();
    SetMainThreadDispatcher(loop);
    int cursor = 0;
    std::vector<int> shown;
    SetDLScreenCursorHooks({[&] { return cursor; },
                            [&](int c) {
                                cursor = c;
                                shown.push_back(c);
                            }});
    {
        TDLDatabase db;
        Tmp->Setup(db);
        TDLQuery q;
        q.SetDatabaseName(db.GetDatabaseName());
        q.SetSQL("SELECT * FROM RDB$DATABASE");
        q.Open();
        EXPECT_EQ(cursor, 0);
        q.Close();
        q.SetSQL("SELECT * FROM no_such_table");
        EXPECT_THROW(q.Open(), EDLEngineError);
        EXPECT_EQ(cursor, 0);  // given back when the server error came
        std::thread([&] {
            TDLQuery other;
            other.SetDatabaseName(db.GetDatabaseName());
            other.SetSQL("SELECT * FROM RDB$DATABASE");
            other.Open();
        }).join();
    }
    EXPECT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), -11);
    size_t fromMain = shown.size();
    DefaultSession().SQLHourGlass = false;
    {
        TDLDatabase db;
        Tmp->Setup(db);
        TDLQuery q;
        q.SetDatabaseName(db.GetDatabaseName());
        q.SetSQL("SELECT * FROM RDB$DATABASE");
        q.Open();
    }
    EXPECT_EQ(shown.size(), fromMain);
    DefaultSession().SQLHourGlass = true;
    SetDLScreenCursorHooks({});
    SetMainThreadDispatcher(nullptr);
}

TEST_F(DLSessionTest, ThreadsWithConnectionsOfTheirOwnReadAndWriteAtOnce) {
    Tmp->Exec({"CREATE TABLE mt_test (ID INTEGER NOT NULL PRIMARY KEY, T INTEGER)"});
    constexpr int threads = 4, rows = 25;
    std::vector<std::thread> workers;
    std::atomic<int> failures{0};
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            try {
                TDLDatabase db;
                Tmp->Setup(db);
                for (int i = 0; i < rows; ++i) {
                    TDLQuery ins;
                    ins.SetDatabaseName(db.GetDatabaseName());
                    ins.SetSQL("INSERT INTO mt_test (ID, T) VALUES (:ID, :T)");
                    ins.ParamByName("ID").SetValue(t * 1000 + i);
                    ins.ParamByName("T").SetValue(t);
                    ins.ExecSQL();
                    if (ins.RowsAffected() != 1) ++failures;
                    TDLQuery sel;
                    sel.SetDatabaseName(db.GetDatabaseName());
                    sel.SetSQL("SELECT COUNT(*) AS N FROM mt_test WHERE T = :T");
                    sel.ParamByName("T").SetValue(t);
                    sel.Open();
                    if (sel.FieldByName("N").AsInteger() != i + 1) ++failures;
                }
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
                ++failures;
            }
        });
    for (auto& w : workers) w.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace kelvar
