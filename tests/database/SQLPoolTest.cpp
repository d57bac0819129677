// The pool's free functions, registry, dialect rewriting and the "Database" section, without a
// database: connections are made but never connect until their first statement.
#include <gtest/gtest.h>

#include <thread>

#include "PoolTestSupport.h"
#include "database/datalink/DLEngine.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

struct TDialectGuard {
    TSQLDriverType Saved = SQLDriverType.load();
    ~TDialectGuard() { SQLDriverType = Saved; }
};

TEST(AddSQLLimitTest, RewritesByDialect) {
    TDialectGuard guard;
    struct TCase {
        TSQLDriverType Type;
        std::string SQL;
        int Limit, Skip;
        std::string Expected;
    };
    const TCase cases[] = {
        {dtFirebird, "  SELECT * FROM songlist \n", 0, 0, "  SELECT * FROM songlist \n"},
        {dtFirebird, "SELECT * FROM songlist", 10, 0, "SELECT FIRST 10  * FROM songlist"},
        {dtFirebird, "SELECT * FROM songlist", 1, 7, "SELECT FIRST 1 SKIP 7 * FROM songlist"},
        {dtFirebird, "\t  select title from songlist ", 5, 0, "select FIRST 5  title from songlist"},
        {dtFirebird, "SELECT * FROM songlist", 0, 3, "SELECT FIRST 0 SKIP 3 * FROM songlist"},
        {dtMySQL, "SELECT * FROM songlist", 10, 0, "SELECT * FROM songlist LIMIT 10"},
        {dtMySQL, "SELECT * FROM songlist", 1, 7, "SELECT * FROM songlist LIMIT 7,1"},
        {dtSQLite, "SELECT * FROM songlist", 1, 7, "SELECT * FROM songlist LIMIT 7,1"},
        {dtPostgreSQL, "SELECT * FROM songlist", 1, 7, "SELECT * FROM songlist LIMIT 1 OFFSET 7"},
        {dtPostgreSQL, "SELECT * FROM songlist", 4, 0, "SELECT * FROM songlist LIMIT 4"},
        {dtMSSQL, "SELECT * FROM songlist", 10, 0, "SELECT TOP 10  * FROM songlist"},
        {dtADO, "SELECT * FROM songlist", 1, 7, "SELECT TOP 8 SKIP=7 * FROM songlist"},
        {dtFirebird, "SEL", 2, 0, "SEL FIRST 2 "},
    };
    for (const TCase& c : cases) {
        SQLDriverType = c.Type;
        EXPECT_EQ(AddSQLLimit(c.SQL, c.Limit, c.Skip), c.Expected) << c.SQL << " type " << int(c.Type);
    }
}

TEST(AddSQLLimitTest, UnsupportedDialectsRaise) {
    TDialectGuard guard;
    SQLDriverType = dtNone;
    try {
        AddSQLLimit("SELECT 1", 10, 0);
        FAIL();
    } catch (const ESQLPoolError& e) {
        EXPECT_STREQ(e.what(), "SQL: Limit not implemented yet");
    }
    try {
        AddSQLLimit("SELECT 1", 10, 2);
        FAIL();
    } catch (const ESQLPoolError& e) {
        EXPECT_STREQ(e.what(), "SQL: Skip not implemented yet");
    }
    EXPECT_EQ(AddSQLLimit(" SELECT 1", 0, -1), " SELECT 1");
}

TEST(PoolRegistryTest, FindsFactoriesWithoutRegardToCase) {
    ISQLPoolManagerPtr before = GetSQLPoolManager();
    EXPECT_EQ(CreatePoolManager("MYSQL"), nullptr);
    EXPECT_EQ(GetSQLPoolManager(), before);

    ISQLPoolManagerPtr m = CreatePoolManager("firebird");
    ASSERT_NE(m, nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<TDataLinkPoolManager>(m), nullptr);
    EXPECT_EQ(GetSQLPoolManager(), m);

    EXPECT_THROW(RegisterPoolFactory("Firebird", [] { return ISQLPoolManagerPtr(); }), EListError);
    RegisterPoolFactory(" \t\r\n", [] { return ISQLPoolManagerPtr(std::make_shared<TDataLinkPoolManager>()); });
    EXPECT_EQ(CreatePoolManager(" \t\r\n"), nullptr);

    int made = 0;
    RegisterPoolFactory("TestDriver", [&made] {
        ++made;
        return ISQLPoolManagerPtr(std::make_shared<TDataLinkPoolManager>());
    });
    EXPECT_NE(CreatePoolManager("TESTDRIVER"), nullptr);
    EXPECT_EQ(made, 1);
}

TEST(PoolFunctionsTest, RaiseWithoutAPool) {
    ASSERT_EQ(GetCurrentSQLPool(), nullptr);
    auto expectNoPool = [](const std::function<void()>& call) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const ESQLPoolError& e) {
            EXPECT_STREQ(e.what(), "No SQL pool specified");
        }
    };
    expectNoPool([] { PoolQuery("SELECT 1 FROM RDB$DATABASE"); });
    expectNoPool([] { PoolExecSQL("DELETE FROM songlist"); });
    expectNoPool([] { PoolQueryLimit("SELECT 1 FROM RDB$DATABASE", {}, true, 1, 0); });
    expectNoPool([] { PoolGetConnection(); });
    expectNoPool([] { PoolNewDelayedQuery(); });
    expectNoPool([] { PoolGetWriteConnection(); });
}

TEST(RemoteNameTest, FollowsHostServerModeAndPort) {
    struct TCase {
        TSQLDriverType Type;
        std::string Host, Mode, Port, Expected;
    };
    const TCase cases[] = {
        {dtFirebird, "localhost", "EMBEDDED", "", "/d/k.fdb"},
        {dtFirebird, "embedded", "SERVER", "3050", "/d/k.fdb"},
        {dtFirebird, "db1", "SERVER", "", "db1:/d/k.fdb"},
        {dtFirebird, "db1", "SERVER", "3050", "db1:/d/k.fdb"},
        {dtFirebird, "db1", "LOCAL", "3051", "db1/3051:/d/k.fdb"},
        {dtFirebird, "db1", "SERVER", " 3052 ", "db1/3052:/d/k.fdb"},
        {dtFirebird, "db1", "SERVER", "30x", "db1:/d/k.fdb"},
        {dtMySQL, "db1", "EMBEDDED", "3307", "db1:/d/k.fdb"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(RemoteDatabaseName(c.Type, c.Host, c.Mode, "/d/k.fdb", c.Port), c.Expected)
            << c.Host << " " << c.Mode << " " << c.Port;
}

TEST(TableNameTest, TakesTheWordAfterFrom) {
    EXPECT_EQ(TableNameOfSQL("SELECT * FROM songlist WHERE ID = 1"), "songlist");
    EXPECT_EQ(TableNameOfSQL("select * from queuelist"), "queuelist");
    EXPECT_EQ(TableNameOfSQL("SELECT *\nFROM\nhistorylist\nORDER BY ID"), "historylist");
    EXPECT_EQ(TableNameOfSQL("SELECT 1"), "");
}

TEST(DataSetWrapperTest, OpenSQLNeedsAQuery) {
    TDataLinkDataSetWrapper wrapper(nullptr, std::make_unique<TDLStoredProc>());
    try {
        wrapper.OpenSQL("SELECT * FROM songlist", {}, true);
        FAIL();
    } catch (const ESQLPoolError& e) {
        EXPECT_STREQ(e.what(), "DataSet does not support SQL queries");
    }
}

class PoolManagerTest : public ::testing::Test {
protected:
    void SetUp() override { Doc = TConfigDoc_XML::Create(""); }
    void TearDown() override {
        SQLDriverType = dtNone;
        SetCurrentSQLPool(nullptr);
    }
    std::shared_ptr<TConfigDoc_XML> Doc;
};

TEST_F(PoolManagerTest, MissingKeysKeepTheDefaults) {
    auto section = Doc->Section("Database");
    section->WriteString("Driver", "FIREBIRD");
    TDataLinkPoolManager m;
    m.LoadConfig(*section);
    EXPECT_EQ(m.Host, "localhost");
    EXPECT_EQ(m.Database, "KelvarDB");
    EXPECT_EQ(m.Username, "root");
    EXPECT_EQ(m.ServerMode, "EMBEDDED");
    EXPECT_EQ(m.Port, "");
    m.Open();
    EXPECT_EQ(SQLDriverType.load(), dtFirebird);
    ASSERT_NE(GetCurrentSQLPool(), nullptr);
    auto c = std::dynamic_pointer_cast<TDataLinkConnection>(GetCurrentSQLPool()->NewConnection());
    ASSERT_NE(c, nullptr);
    TDLDatabase& db = c->GetDatabase();
    EXPECT_EQ(db.GetRemoteDatabase(), "KelvarDB");
    EXPECT_EQ(db.GetServerType(), stFirebird);
    EXPECT_EQ(db.Params.Values("SERVER PORT"), "3306");
    EXPECT_EQ(db.Params.Values("USER NAME"), "root");
    EXPECT_EQ(db.Params.IndexOfName("PASSWORD"), -1);
    EXPECT_EQ(db.Params.Values("SQL Dialect"), "3");
    EXPECT_EQ(db.Params.Values("ROLE NAME"), "PUBLIC");
    EXPECT_EQ(db.Params.Values("AUTOCOMMIT"), "true");
    EXPECT_EQ(db.GetTransIsolation(), tiReadCommitted);
    EXPECT_FALSE(db.LoginPrompt);
    EXPECT_FALSE(db.GetConnected());
    m.Close();
    EXPECT_EQ(GetCurrentSQLPool(), nullptr);
    EXPECT_EQ(SQLDriverType.load(), dtNone);
}

TEST_F(PoolManagerTest, SavesEveryKeyAndUpperCasesTheDriver) {
    auto section = Doc->Section("Database");
    section->WriteString("Driver", "interbase");
    section->WriteString("Host", "db1");
    section->WriteString("Port", "3051");
    section->WriteString("Database", "/srv/k.fdb");
    section->WriteString("Password", "secret");
    section->WriteString("ServerMode", "SERVER");
    TDataLinkPoolManager m;
    m.LoadConfig(*section);
    m.Open();
    EXPECT_EQ(SQLDriverType.load(), dtFirebird);
    auto c = std::dynamic_pointer_cast<TDataLinkConnection>(GetCurrentSQLPool()->NewConnection());
    EXPECT_EQ(c->GetDatabase().GetRemoteDatabase(), "db1/3051:/srv/k.fdb");
    EXPECT_EQ(c->GetDatabase().Params.Values("SERVER PORT"), "3051");
    EXPECT_EQ(c->GetDatabase().Params.Values("PASSWORD"), "secret");
    EXPECT_EQ(GetCurrentSQLPool()->GetParam("driver"), "INTERBASE");

    auto out = TConfigDoc_XML::Create("")->Section("Database");
    m.SaveConfig(*out);
    EXPECT_EQ(out->ReadString("Driver", ""), "INTERBASE");
    EXPECT_EQ(out->ReadString("Host", ""), "db1");
    EXPECT_EQ(out->ReadString("Port", ""), "3051");
    EXPECT_EQ(out->ReadString("Database", ""), "/srv/k.fdb");
    EXPECT_EQ(out->ReadString("Username", ""), "root");
    EXPECT_EQ(out->ReadString("ServerMode", ""), "SERVER");
}

TEST_F(PoolManagerTest, UnknownDriverLeavesThePoolWithoutDialect) {
    TDataLinkPoolManager m;
    m.Driver = "Oracle";
    try {
        m.Open();
        FAIL();
    } catch (const ESQLPoolError& e) {
        EXPECT_STREQ(e.what(), "Unknown driver type: ORACLE");
    }
    ASSERT_NE(GetCurrentSQLPool(), nullptr);
    EXPECT_EQ(SQLDriverType.load(), dtNone);
    try {
        GetCurrentSQLPool()->NewConnection();
        FAIL();
    } catch (const ESQLPoolError& e) {
        EXPECT_STREQ(e.what(), "Pool type not supported");
    }
}

TEST_F(PoolManagerTest, DriversSelectDialectServerTypeAndWriteConnection) {
    struct TCase {
        std::string Driver;
        TSQLDriverType Type;
        int ServerType;  // -1: no server type for this dialect
        bool Transactions;
    };
    const TCase cases[] = {
        {"mysql", dtMySQL, stMySQL, false},         {"PostgreSQL", dtPostgreSQL, stPostgreSQL, true},
        {"MSSQL", dtMSSQL, stSQLServer, false},     {"ado", dtADO, stSQLServer, false},
        {"Firebird", dtFirebird, stFirebird, true}, {"SQLite", dtSQLite, -1, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Driver);
        TDataLinkPoolManager m;
        m.Driver = c.Driver;
        m.Host = "db1";
        m.ServerMode = "SERVER";
        m.Open();
        EXPECT_EQ(SQLDriverType.load(), c.Type);
        EXPECT_EQ(m.Driver, UpperCase(c.Driver));
        ISQLPoolPtr pool = GetCurrentSQLPool();
        if (c.ServerType < 0) {
            try {
                pool->NewConnection();
                ADD_FAILURE();
            } catch (const ESQLPoolError& e) {
                EXPECT_STREQ(e.what(), "Pool type not supported");
            }
            continue;
        }
        auto conn = std::dynamic_pointer_cast<TDataLinkConnection>(pool->NewConnection());
        ASSERT_NE(conn, nullptr);
        TDLDatabase& db = conn->GetDatabase();
        EXPECT_EQ(db.GetServerType(), c.ServerType);
        EXPECT_EQ(db.GetRemoteDatabase(), "db1:KelvarDB");
        EXPECT_EQ(db.Params.Values("AUTOCOMMIT"), c.Transactions ? "true" : "");
        // Without transactions a batch of writes goes over the calling thread's connection,
        // and the transaction calls touch nothing (no server is reached here).
        if (!c.Transactions) {
            ISQLConnectionPtr w = PoolGetWriteConnection();
            EXPECT_EQ(w, PoolGetConnection());
            w->StartTransaction();
            w->Commit();
            w->Rollback();
            EXPECT_FALSE(std::dynamic_pointer_cast<TDataLinkConnection>(w)->GetDatabase().GetConnected());
        }
        m.Close();
    }
}

TEST_F(PoolManagerTest, OnlyTheDialectsMarkerCountsAsALostConnection) {
    TDataLinkPoolManager m;
    m.Driver = "FIREBIRD";
    m.Open();
    auto conn = std::dynamic_pointer_cast<TDataLinkConnection>(GetCurrentSQLPool()->NewConnection());
    ASSERT_NE(conn, nullptr);
    struct TCase {
        TSQLDriverType Type;
        std::string Message;
        bool Swallowed;
    };
    const TCase cases[] = {
        {dtMySQL, "Lost connection to MySQL server during query", true},
        {dtMySQL, "MySQL server has gone away", false},
        {dtPostgreSQL, "server said: NO CONNECTION to the server", true},
        {dtPostgreSQL, "lost connection", false},
        {dtFirebird, "lost connection", false},
        {dtMSSQL, "no connection", false},
    };
    for (const TCase& c : cases) {
        SQLDriverType = c.Type;
        EXPECT_EQ(conn->HandleError(std::runtime_error(c.Message)), c.Swallowed) << c.Message;
    }
}

TEST_F(PoolManagerTest, PoolHandsOutConnectionsByThread) {
    auto loop = std::make_shared<TPlainMainLoop>();
    SetMainThreadDispatcher(loop);
    TDataLinkPoolManager m;
    m.Driver = "FIREBIRD";
    m.Open();
    ISQLPoolPtr pool = GetCurrentSQLPool();
    EXPECT_EQ(pool->GetPoolSize(), 5);
    ISQLConnectionPtr main1 = pool->GetConnection(), main2 = pool->GetConnection();
    EXPECT_EQ(main1, main2);
    ISQLConnectionPtr other1, other2;
    std::thread([&] {
        other1 = pool->GetConnection();
        other2 = pool->GetConnection();
    }).join();
    EXPECT_NE(other1, other2);
    EXPECT_NE(other1, main1);

    // Names never repeat: datasets find their database by it.
    auto a = std::dynamic_pointer_cast<TDataLinkConnection>(pool->NewConnection());
    auto b = std::dynamic_pointer_cast<TDataLinkConnection>(pool->NewConnection());
    const std::string na = a->GetDatabase().GetDatabaseName(), nb = b->GetDatabase().GetDatabaseName();
    ASSERT_EQ(na.rfind("DB", 0), 0u);
    EXPECT_EQ(std::stoi(nb.substr(2)), std::stoi(na.substr(2)) + 1);

    pool->Close();
    EXPECT_TRUE(pool->GetClosed());
    const char* closed = "SQL Pool closed. Can not open any new connections...";
    try {
        pool->GetConnection();
        ADD_FAILURE();
    } catch (const ESQLPoolError& e) {
        EXPECT_STREQ(e.what(), closed);
    }
    std::thread([&] {
        try {
            pool->GetConnection();
            ADD_FAILURE();
        } catch (const ESQLPoolError& e) {
            EXPECT_STREQ(e.what(), closed);
        }
    }).join();
    EXPECT_NE(pool->NewConnection(), nullptr);
    SetMainThreadDispatcher(nullptr);
}

}  // namespace
}  // namespace kelvar
