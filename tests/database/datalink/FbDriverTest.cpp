// The Firebird driver over a real embedded database: the client binding, connections and
// transactions, statements with positional parameters, value conversion, blobs, procedures.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "common/FbTestDatabase.h"

namespace kelvar {
namespace {

using fbtest::TFbTestDatabase;

class FbDriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Tmp = new TFbTestDatabase();
        Tmp->Exec(
            {"create table songlist (ID integer not null primary key, title varchar(60), "
             "artist varchar(60), duration integer, weight double precision, price numeric(9,2), "
             "big numeric(18,6), added timestamp, day_added date, at_time time, code char(10), "
             "notes varchar(300), info blob sub_type 1, data blob sub_type 0, small smallint, huge bigint, "
             "flt float)",
             "create generator gen_songlist",
             "create procedure GET_SONG (A integer, B varchar(20)) returns (X integer, Y varchar(40), "
             "Z varchar(10)) as begin X = A * 2; Y = B || '!'; Z = null; end"});
    }
    static void TearDownTestSuite() {
        delete Tmp;
        Tmp = nullptr;
    }
    void SetUp() override { Tmp->Exec({"delete from songlist"}); }

    // Runs a statement with its markers bound from Values (in marker order); the rows affected.
    static int Run(TISqlDatabase& db, const std::string& sql, std::vector<TDLVariant> values = {}) {
        TParams params;
        DLCreateParams(&params, sql);
        for (int i = 0; i < params.Count(); ++i) {
            params[i].ParamType = ptInput;
            params[i].SetValue(values.at(static_cast<size_t>(i)));
        }
        auto cmd = db.CreateSqlCommand();
        cmd->Params = &params;
        cmd->Prepare(sql);
        cmd->Execute();
        return cmd->GetRowsAffected();
    }

    // A field of the current row as text ("<null>" for NULL).
    static std::string Text(TISqlCommand& cmd, int fieldNo) {
        const TDLFieldDesc& d = cmd.FieldDescByNo(fieldNo);
        uint8_t buf[512] = {};
        if (IsBlobType(d.FieldType) || d.FieldType == ftString) {
            std::string s;
            return cmd.GetFieldAsString(fieldNo, s) ? s : "<null>";
        }
        if (!cmd.GetCnvtFieldData(d, buf, sizeof buf)) return "<null>";
        switch (d.FieldType) {
            case ftSmallint: return std::to_string(ReadBuf<int16_t>(buf));
            case ftInteger: return std::to_string(ReadBuf<int32_t>(buf));
            case ftLargeint: return std::to_string(ReadBuf<int64_t>(buf));
            case ftFloat: return TDLVariant(ReadBuf<double>(buf)).AsString();
            default: return "?";
        }
    }

    // The first column of every row as text ("<null>" for NULL).
    static std::vector<std::string> Column(TISqlDatabase& db, const std::string& sql,
                                           std::vector<TDLVariant> values = {}) {
        TParams params;
        DLCreateParams(&params, sql);
        for (int i = 0; i < params.Count(); ++i) params[i].SetValue(values.at(static_cast<size_t>(i)));
        for (int i = 0; i < params.Count(); ++i) params[i].ParamType = ptInput;
        auto cmd = db.CreateSqlCommand();
        cmd->Params = &params;
        cmd->Prepare(sql);
        cmd->InitFieldDescs();
        cmd->Execute();
        std::vector<std::string> out;
        while (cmd->FetchNextRow()) out.push_back(Text(*cmd, 1));
        cmd->CloseResultSet();
        return out;
    }

    static TFbTestDatabase* Tmp;
};
TFbTestDatabase* FbDriverTest::Tmp = nullptr;

// --- client library binding --------------------------------------------------------------

TEST(FbBinding, ParsesVersionTexts) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"1.5.2.4731", 65541}, {"WI-V2.0.1.12855 Firebird 2.0", 131072}, {"Firebird 3.0", 196608}, {"", 0}, {"7", 7},
        {"no digits", 0}};
    for (const auto& [text, version] : cases) EXPECT_EQ(ParseVersionText(text), version) << text;
}

TEST(FbBinding, AMissingEntryPointUndoesTheLoad) {
    // A library that is no Firebird client: the load fails the same clean way every time.
    TIntClientLibrary lib("libc.so.6", stFirebird, std::make_unique<TFibFunctions>());
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            lib.Acquire();
            FAIL() << "loaded";
        } catch (const EDLSqlLibError& e) {
            EXPECT_STREQ(e.what(), "Function 'isc_create_database' not found in Interbase Client library");
        }
        EXPECT_EQ(lib.GetRefCount(), 0);
        EXPECT_FALSE(lib.IsLoaded());
    }
    TIntClientLibrary missing("no-such-client.so.9", stFirebird, std::make_unique<TFibFunctions>());
    try {
        missing.Acquire();
        FAIL() << "loaded";
    } catch (const EDLSqlLibError& e) {
        EXPECT_STREQ(e.what(), "Error loading library 'no-such-client.so.9'");
    }
    EXPECT_EQ(missing.GetRefCount(), 0);
}

TEST_F(FbDriverTest, ConnectionsShareOneLoadOfTheLibrary) {
    TIntClientLibrary& lib = FibClientLibrary();
    ASSERT_EQ(lib.GetRefCount(), 0);
    auto a = Tmp->Connect();
    auto b = Tmp->Connect();
    EXPECT_EQ(lib.GetRefCount(), 2);
    EXPECT_EQ(a->GetClientVersion(), 3 << 16);
    EXPECT_GE(a->GetServerVersion(), 3 << 16);
    EXPECT_NE(a->GetServerVersionString().find("(access method)"), std::string::npos);
    EXPECT_EQ(static_cast<TIntHandleRecord*>(a->GetHandle())->Kind, stFirebird);

    // An override given while loaded has no effect on the name.
    std::string name = lib.GetLibraryName();
    TDLStrings params = TFbTestDatabase::PoolParams();
    params.Add("Firebird API LIBRARY=no-such-client.so.9");
    auto c = FibDatabaseFactory(params);
    EXPECT_EQ(lib.GetLibraryName(), name);

    a->Disconnect(false);
    EXPECT_EQ(lib.GetRefCount(), 1);
    b->Disconnect(false);
    EXPECT_EQ(lib.GetRefCount(), 0);
    EXPECT_EQ(a->GetClientVersion(), 0);

    // Once nothing holds the library the override takes effect, and a failed load counts nothing.
    auto d = FibDatabaseFactory(params);
    d->TransIsolation = tiReadCommitted;
    EXPECT_THROW(d->Connect(Tmp->Path, "SYSDBA", ""), EDLSqlLibError);
    EXPECT_EQ(lib.GetRefCount(), 0);
    lib.SetLibraryName(name);
}

TEST_F(FbDriverTest, TheInterbaseBindingKeepsItsOwnState) {
    auto db = IntDatabaseFactory(TFbTestDatabase::PoolParams());
    db->TransIsolation = tiReadCommitted;
    db->Connect(Tmp->Path, "SYSDBA", "");
    EXPECT_EQ(IntClientLibrary().GetRefCount(), 1);
    EXPECT_EQ(FibClientLibrary().GetRefCount(), 0);
    EXPECT_EQ(static_cast<TIntHandleRecord*>(db->GetHandle())->Kind, stInterbase);
    EXPECT_NE(dynamic_cast<TIIntCommand*>(db->CreateSqlCommand().get()), nullptr);
    try {
        Run(*db, "select * from no_such_table");
        FAIL();
    } catch (const EDLFibError&) {
        FAIL() << "the Firebird error class from the InterBase driver";
    } catch (const EDLIntError& e) {
        EXPECT_EQ(e.ErrorCode, -204);
    }
    db->Disconnect(false);
    EXPECT_EQ(IntClientLibrary().GetRefCount(), 0);
}

TEST_F(FbDriverTest, ServerErrorsCarryTheSqlCodeAndTheClientsLines) {
    auto db = Tmp->Connect();
    try {
        Run(*db, "select from songlist");
        FAIL();
    } catch (const EDLFibError& e) {
        EXPECT_EQ(e.ErrorCode, -104);
        EXPECT_EQ(e.NativeError, -104);
        EXPECT_EQ(e.ErrorPos, -1);
        std::string m = e.what();
        EXPECT_EQ(m.rfind("\r\nDynamic SQL Error\r\nSQL error code = -104\r\n", 0), 0u) << m;
    }
    try {
        Run(*db, "select * from no_such_table");
        FAIL();
    } catch (const EDLEngineError& e) {
        EXPECT_EQ(e.ErrorCode, -204);
        EXPECT_NE(std::string(e.what()).find("NO_SUCH_TABLE"), std::string::npos);
    }
    try {
        Run(*db, "insert into songlist (ID) values (:ID)", {TDLVariant(1)});
        Run(*db, "insert into songlist (ID) values (:ID)", {TDLVariant(1)});
        FAIL();
    } catch (const EDLEngineError& e) {
        EXPECT_EQ(e.ErrorCode, -803);  // duplicate key
    }
    // The connection goes on after errors.
    EXPECT_EQ(Column(*db, "select count(*) from songlist"), std::vector<std::string>{"1"});
}

// --- driver database ---------------------------------------------------------------------

TEST(FbDatabase, BuildsTheDatabaseParameterBlock) {
    TIFibDatabase db(TDLStrings{"ROLE NAME=PUBLIC"});
    db.BuildDPB("SYSDBA", "");
    const std::string expected = std::string("\x01\x1c\x06SYSDBA\x1d\x00\x3c\x06PUBLIC", 19);
    EXPECT_EQ(db.DPB, expected);

    TIFibDatabase withCharset(TDLStrings{"LOCAL CHARSET= UTF8 "});
    withCharset.BuildDPB("u", "p");
    EXPECT_EQ(withCharset.DPB, std::string("\x01\x1c\x01u\x1d\x01p\x30\x04UTF8", 13));

    // A length byte can't hold more than 255: refused instead of a corrupt block.
    TIFibDatabase tooLong(TDLStrings{});
    EXPECT_THROW(tooLong.BuildDPB(std::string(256, 'u'), ""), EDatabaseError);
}

TEST(FbDatabase, ReadsItsParameters) {
    TIFibDatabase db(TDLStrings{"autocommit=true", "ENABLE BCD=TRUE", "RTRIM CHAR OUTPUT=false", "MAX STRING SIZE=x",
                                "SQL Dialect=3"});
    EXPECT_TRUE(db.AutoCommit);
    EXPECT_TRUE(db.EnableBCD);
    EXPECT_FALSE(db.RTrimCharOutput);
    EXPECT_EQ(db.MaxStringSize, 255);
    EXPECT_EQ(db.SQLDialect, 3);
    TIFibDatabase defaults(TDLStrings{});
    EXPECT_FALSE(defaults.AutoCommit);
    EXPECT_TRUE(defaults.RTrimCharOutput);
    EXPECT_EQ(defaults.SQLDialect, 1);
    EXPECT_EQ(ApiLibraryParamName(stFirebird), "Firebird API LIBRARY");
    EXPECT_EQ(ApiLibraryParamName(stOLEDB), "");
    try {
        db.ParamValue(0);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Function TISqlDatabase.ParamValue not implemented");
    }
}

TEST_F(FbDriverTest, TransactionBlocksFollowExplicitTransactions) {
    auto owned = Tmp->Connect();
    auto& db = static_cast<TIFibDatabase&>(*owned);
    using B = std::vector<uint8_t>;
    EXPECT_EQ(db.GetTPB(), (B{3, 9, 6, 15, 18, 16}));
    EXPECT_FALSE(db.CursorPreservedOnRollback);
    db.StartTransaction();
    EXPECT_TRUE(db.InTransaction);
    EXPECT_EQ(db.GetTPB(), (B{3, 9, 6, 15, 18}));
    Run(db, "insert into songlist (ID) values (1)");
    db.Commit();
    EXPECT_FALSE(db.InTransaction);
    EXPECT_EQ(db.GetTPB(), (B{3, 9, 6, 15, 18}));
    Run(db, "insert into songlist (ID) values (2)");
    db.Rollback();
    EXPECT_EQ(db.GetTPB(), (B{3, 9, 6, 15, 18, 16}));
    EXPECT_EQ(Column(db, "select ID from songlist"), std::vector<std::string>{"1"});
    // Back in autocommit: another connection sees the next row at once.
    Run(db, "insert into songlist (ID) values (3)");
    auto other = Tmp->Connect();
    EXPECT_EQ(Column(*other, "select ID from songlist order by ID"), (std::vector<std::string>{"1", "3"}));

    // Repeatable read with autocommit: the marker never matches, so every build rebuilds.
    TIFibDatabase rr(TFbTestDatabase::PoolParams());
    rr.TransIsolation = tiRepeatableRead;
    EXPECT_TRUE(rr.BuildTPB());
    EXPECT_EQ(rr.GetTPB(), (B{3, 9, 6, 2, 16}));
    EXPECT_TRUE(rr.BuildTPB());
    rr.TransIsolation = static_cast<TDLTransIsolation>(7);
    EXPECT_THROW(rr.BuildTPB(), EDatabaseError);
}

TEST_F(FbDriverTest, RollbackRetainsTheTransactionWithoutAutocommit) {
    auto db = Tmp->Connect(TFbTestDatabase::PoolParams(false), tiReadCommitted);
    EXPECT_TRUE(db->CursorPreservedOnRollback);
    auto cmd = db->CreateSqlCommand();
    db->StartTransaction();
    Run(*db, "insert into songlist (ID) values (1)");
    db->Rollback();
    EXPECT_TRUE(Column(*db, "select ID from songlist").empty());
    Run(*db, "insert into songlist (ID) values (2)");
    db->Commit();
    auto other = Tmp->Connect();
    EXPECT_EQ(Column(*other, "select ID from songlist"), std::vector<std::string>{"2"});
}

TEST_F(FbDriverTest, IsolationLevelsDecideWhatOtherConnectionsSee) {
    auto writer = Tmp->Connect();
    for (TDLTransIsolation level : {tiDirtyRead, tiReadCommitted, tiRepeatableRead}) {
        SCOPED_TRACE(static_cast<int>(level));
        Run(*writer, "delete from songlist");
        auto reader = Tmp->Connect(TFbTestDatabase::PoolParams(false), level);
        EXPECT_EQ(Column(*reader, "select count(*) from songlist"), std::vector<std::string>{"0"});
        Run(*writer, "insert into songlist (ID) values (1)");
        std::string seen = level == tiRepeatableRead ? "0" : "1";
        EXPECT_EQ(Column(*reader, "select count(*) from songlist"), std::vector<std::string>{seen});
    }
}

TEST_F(FbDriverTest, DisconnectCommitsOutsideAndRollsBackInsideATransaction) {
    auto db = Tmp->Connect(TFbTestDatabase::PoolParams(false));
    Run(*db, "insert into songlist (ID) values (1)");
    db->Disconnect(false);
    db = Tmp->Connect(TFbTestDatabase::PoolParams(false));
    db->StartTransaction();
    Run(*db, "insert into songlist (ID) values (2)");
    db->Disconnect(false);
    auto check = Tmp->Connect();
    EXPECT_EQ(Column(*check, "select ID from songlist"), std::vector<std::string>{"1"});
}

TEST_F(FbDriverTest, AFailedConnectReleasesEverything) {
    auto db = FibDatabaseFactory(TFbTestDatabase::PoolParams());
    db->TransIsolation = tiReadCommitted;
    try {
        db->Connect((Tmp->Folder / "missing.fdb").string(), "SYSDBA", "");
        FAIL();
    } catch (const EDLFibError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.fdb"), std::string::npos);
    }
    EXPECT_EQ(db->GetHandle(), nullptr);
    EXPECT_EQ(FibClientLibrary().GetRefCount(), 0);
    auto& fib = static_cast<TIFibDatabase&>(*db);
    fib.AllocHandle();
    try {
        fib.AllocHandle();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("TICustomIntDatabase.AllocHandle"), std::string::npos);
    }
}

TEST_F(FbDriverTest, CatalogQueriesQuoteNamesAndFindTheKey) {
    EXPECT_NE(TICustomIntDatabase::SchemaInfoSQL(0, "").find(
                  "RDB$RELATIONS  where RDB$RELATION_NAME like UPPER('%') and RDB$OWNER_NAME like UPPER('%') and "
                  "RDB$SYSTEM_FLAG = 0  order by"),
              std::string::npos);
    std::string columns = TICustomIntDatabase::SchemaInfoSQL(3, "SONGLIST");
    EXPECT_NE(columns.find("(R.RDB$OWNER_NAME like UPPER('%')) and (R.RDB$RELATION_NAME = UPPER('SONGLIST'))"),
              std::string::npos);
    EXPECT_NE(TICustomIntDatabase::SchemaInfoSQL(2, "O'X").find("= UPPER('O''X')"), std::string::npos);
    EXPECT_EQ(TICustomIntDatabase::SchemaInfoSQL(6, "X"), "");

    auto db = Tmp->Connect();
    auto cmd = db->GetSchemaInfo(5, "songlist");
    ASSERT_TRUE(cmd->IsPrepared());
    cmd->InitFieldDescs();
    cmd->Execute();
    ASSERT_TRUE(cmd->FetchNextRow());
    EXPECT_EQ(TrimRight(Text(*cmd, 5)), "ID");
    EXPECT_EQ(Text(*cmd, 7), "2");
    EXPECT_FALSE(cmd->FetchNextRow());
    cmd->CloseResultSet();
    // A quote in a name is data, not SQL.
    auto odd = db->GetSchemaInfo(0, "X' or '1'='1");
    odd->InitFieldDescs();
    odd->Execute();
    EXPECT_FALSE(odd->FetchNextRow());
}

// --- commands ----------------------------------------------------------------------------

TEST(FbCommand, RewritesExactlyTheMarkersThatMadeParameters) {
    auto rewrite = [](const std::string& sql) {
        TParams params;
        DLCreateParams(&params, sql);
        return TICustomIntCommand::ReplaceParamMarkers(sql, &params);
    };
    EXPECT_EQ(rewrite("select ID from songlist where ID = :ID and ARTIST = :artist"),
              "select ID from songlist where ID = ? and ARTIST = ?");
    EXPECT_EQ(rewrite("select ':ID' from t where ID = :ID"), "select ':ID' from t where ID = ?");
    EXPECT_EQ(rewrite("where a = :\"full name\" and b = :x"), "where a = ? and b = ?");
    EXPECT_EQ(rewrite("where a = ::x and b = :b"), "where a = ::x and b = ?");
    EXPECT_EQ(rewrite("values (:a,:b)"), "values (?,?)");
    // A list with fewer entries than markers leaves the rest as they are.
    TParams one;
    one.CreateParam(ftInteger, "ID", ptInput);
    EXPECT_EQ(TICustomIntCommand::ReplaceParamMarkers("a = :ID or b = :ID", &one), "a = ? or b = :ID");
}

TEST(FbCommand, ReadsRowCountsByTheirTags) {
    // Firebird 3 answers select, insert, update, delete in that order; the order is not relied on.
    const uint8_t reply[] = {23,
                             29,
                             0,
                             isc_info_req_select_count,
                             4,
                             0,
                             9,
                             0,
                             0,
                             0,
                             isc_info_req_insert_count,
                             4,
                             0,
                             1,
                             0,
                             0,
                             0,
                             isc_info_req_update_count,
                             4,
                             0,
                             3,
                             0,
                             0,
                             0,
                             isc_info_req_delete_count,
                             4,
                             0,
                             2,
                             0,
                             0,
                             0,
                             1};
    const char* r = reinterpret_cast<const char*>(reply);
    EXPECT_EQ(TICustomIntCommand::ParseRecordCounts(r, sizeof reply, isc_info_sql_stmt_insert), 1);
    EXPECT_EQ(TICustomIntCommand::ParseRecordCounts(r, sizeof reply, isc_info_sql_stmt_update), 3);
    EXPECT_EQ(TICustomIntCommand::ParseRecordCounts(r, sizeof reply, isc_info_sql_stmt_delete), 2);
    EXPECT_EQ(TICustomIntCommand::ParseRecordCounts(r, sizeof reply, isc_info_sql_stmt_select), -1);
    const char bad[] = {1, 0, 0};
    EXPECT_EQ(TICustomIntCommand::ParseRecordCounts(bad, sizeof bad, isc_info_sql_stmt_insert), -1);
}

TEST_F(FbDriverTest, RowsAffectedCountsEachKindOfStatement) {
    auto db = Tmp->Connect();
    for (int id = 1; id <= 4; ++id)
        EXPECT_EQ(Run(*db, "insert into songlist (ID, artist) values (:ID, :artist)",
                      {TDLVariant(id), TDLVariant(id <= 3 ? "a" : "b")}),
                  1);
    EXPECT_EQ(Run(*db, "update songlist set title = 'x' where artist = :artist", {TDLVariant("a")}), 3);
    EXPECT_EQ(Run(*db, "update songlist set title = 'x' where ID = 99"), 0);
    EXPECT_EQ(Run(*db, "delete from songlist where ID > :ID", {TDLVariant(2)}), 2);
    auto cmd = db->CreateSqlCommand();
    cmd->Prepare("select * from songlist");
    cmd->Execute();
    EXPECT_EQ(cmd->GetRowsAffected(), -1);
    cmd->CloseResultSet();
    EXPECT_EQ(Column(*db, "select gen_id(gen_songlist, 1) from rdb$database"), std::vector<std::string>{"1"});
    EXPECT_EQ(Column(*db, "select gen_id(gen_songlist, 1) from rdb$database"), std::vector<std::string>{"2"});
}

TEST_F(FbDriverTest, DescribesColumnsAndMakesTheirNamesUnique) {
    auto db = Tmp->Connect();
    auto cmd = db->CreateSqlCommand();
    cmd->Prepare("select ID, title as \"id\", ID, notes, price, big, added, code, info, data from songlist");
    cmd->InitFieldDescs();
    const TDLFieldDescList& d = cmd->FieldDescs;
    ASSERT_EQ(d.size(), 10u);
    EXPECT_EQ(d[0].FieldName, "ID");
    EXPECT_EQ(d[1].FieldName, "id_1");
    EXPECT_EQ(d[2].FieldName, "ID_2");
    EXPECT_TRUE(d[0].Required);
    EXPECT_FALSE(d[1].Required);
    EXPECT_EQ(d[1].FieldType, ftString);
    EXPECT_EQ(d[1].DataSize, 60 * 4 + 1);  // UTF8: four bytes a character
    EXPECT_EQ(d[3].FieldType, ftMemo);     // longer than MAX STRING SIZE: carried like a blob
    EXPECT_EQ(d[3].BlobIndex, 0);
    EXPECT_EQ(d[4].FieldType, ftFloat);
    EXPECT_EQ(d[5].FieldType, ftFloat);
    EXPECT_EQ(d[6].FieldType, ftDateTime);
    EXPECT_EQ(d[6].DataSize, 8);
    EXPECT_EQ(d[7].NativeType, SQL_TEXT);
    EXPECT_EQ(d[8].FieldType, ftMemo);
    EXPECT_EQ(d[9].FieldType, ftBlob);
    EXPECT_EQ(cmd->BlobFieldCount, 3);

    TDLStrings bcd = TFbTestDatabase::PoolParams();
    bcd.Add("ENABLE BCD=TRUE");
    auto db2 = Tmp->Connect(bcd);
    auto cmd2 = db2->CreateSqlCommand();
    cmd2->Prepare("select price, big from songlist");
    cmd2->InitFieldDescs();
    EXPECT_EQ(cmd2->FieldDescs[0].FieldType, ftBCD);
    EXPECT_EQ(cmd2->FieldDescs[0].Precision, 20);
    EXPECT_EQ(cmd2->FieldDescs[0].Scale, 2);
    EXPECT_EQ(cmd2->FieldDescs[1].FieldType, ftFloat);  // six places don't fit a currency

    TDLFieldDescList list(3);
    list[0].FieldName = "ID";
    list[1].FieldName = "id";
    TISqlCommand::MakeNamesUnique(list);
    EXPECT_EQ(list[1].FieldName, "id_1");
    EXPECT_EQ(list[2].FieldName, "COLUMN3");
    TDLFieldDescList xs(3);
    for (auto& x : xs) x.FieldName = "X";
    TISqlCommand::MakeNamesUnique(xs);
    EXPECT_EQ(xs[1].FieldName, "X_1");
    EXPECT_EQ(xs[2].FieldName, "X_2");
}

TEST_F(FbDriverTest, ValuesOfEveryTypeTravelAsParametersAndBack) {
    auto db = Tmp->Connect();
    TDateTime added = EncodeDateTime(2004, 2, 29, 13, 45, 30, 750);
    const std::string title = "Ça ira – Ünïcødé ✓ 日本";
    TParams params;
    const std::string insert =
        "insert into songlist (ID, title, duration, weight, price, added, day_added, at_time, code, small, huge, "
        "flt) values (:ID, :title, :duration, :weight, :price, :added, :day_added, :at_time, :code, :small, :huge, "
        ":flt)";
    DLCreateParams(&params, insert);
    params[0].SetAsInteger(1);
    params[1].SetAsString(title);
    params[2].SetAsInteger(215000);
    params[3].SetAsFloat(0.125);
    params[4].SetAsBCD(TDLCurrency{12345600});
    params[5].SetAsDateTime(added);
    params[6].SetAsDate(EncodeDate(1999, 12, 31));
    params[7].SetAsTime(EncodeTime(23, 59, 58, 0));
    params[8].SetAsString("ab");
    params[9].SetAsSmallint(-7);
    params[10].SetAsLargeInt(int64_t{1} << 40);
    params[11].SetAsFloat(1.5);
    auto cmd = db->CreateSqlCommand();
    cmd->Params = &params;
    cmd->Prepare(insert);
    cmd->Execute();
    EXPECT_EQ(cmd->GetRowsAffected(), 1);

    auto sel = db->CreateSqlCommand();
    sel->Prepare(
        "select ID, title, duration, weight, price, added, day_added, at_time, code, small, huge, flt, artist "
        "from songlist");
    sel->InitFieldDescs();
    sel->Execute();
    ASSERT_TRUE(sel->FetchNextRow());
    auto field = [&](int no) -> const TDLFieldDesc& { return sel->FieldDescByNo(no); };
    uint8_t buf[64];
    ASSERT_TRUE(sel->GetCnvtFieldData(field(1), buf, sizeof buf));
    EXPECT_EQ(ReadBuf<int32_t>(buf), 1);
    std::string s;
    EXPECT_TRUE(sel->GetFieldAsString(2, s));
    EXPECT_EQ(s, title);
    ASSERT_TRUE(sel->GetCnvtFieldData(field(4), buf, sizeof buf));
    EXPECT_EQ(ReadBuf<double>(buf), 0.125);
    ASSERT_TRUE(sel->GetCnvtFieldData(field(5), buf, sizeof buf));
    EXPECT_NEAR(ReadBuf<double>(buf), 1234.56, 1e-9);
    // Milliseconds are not kept.
    ASSERT_TRUE(sel->GetCnvtFieldData(field(6), buf, sizeof buf));
    EXPECT_EQ(TimeStampToDateTime(MSecsToTimeStamp(ReadBuf<double>(buf))), EncodeDateTime(2004, 2, 29, 13, 45, 30, 0));
    ASSERT_TRUE(sel->GetCnvtFieldData(field(7), buf, sizeof buf));
    EXPECT_EQ(ReadBuf<int32_t>(buf), DateTimeToTimeStamp(EncodeDate(1999, 12, 31)).Date);
    ASSERT_TRUE(sel->GetCnvtFieldData(field(8), buf, sizeof buf));
    EXPECT_EQ(ReadBuf<int32_t>(buf), (23 * 3600 + 59 * 60 + 58) * 1000);
    EXPECT_TRUE(sel->GetFieldAsString(9, s));
    EXPECT_EQ(s, "ab");  // CHAR(10) loses its padding by default
    int16_t small = 0;
    EXPECT_TRUE(sel->GetFieldAsSmallint(10, small));
    EXPECT_EQ(small, -7);
    ASSERT_TRUE(sel->GetCnvtFieldData(field(11), buf, sizeof buf));
    EXPECT_EQ(ReadBuf<int64_t>(buf), int64_t{1} << 40);
    ASSERT_TRUE(sel->GetCnvtFieldData(field(12), buf, sizeof buf));
    EXPECT_EQ(ReadBuf<double>(buf), 1.5);
    // NULL: no value, and the buffer is left alone.
    std::memset(buf, 0x55, sizeof buf);
    EXPECT_FALSE(sel->GetCnvtFieldData(field(13), buf, sizeof buf));
    EXPECT_EQ(buf[0], 0x55);
    EXPECT_FALSE(sel->GetFieldAsString(13, s));
    EXPECT_EQ(s, "");
    // A five-byte buffer takes four characters and the terminator.
    char five[5];
    ASSERT_TRUE(sel->GetCnvtFieldData(field(9), five, 5));
    std::memset(five, 'z', sizeof five);
    sel->GetCnvtFieldData(field(2), five, 5);
    EXPECT_EQ(std::string(five), TrimRight(title.substr(0, 4)));  // "Ça " loses its blank
    EXPECT_FALSE(sel->FetchNextRow());
    EXPECT_FALSE(sel->FetchNextRow());  // past the end stays at the end
    sel->CloseResultSet();

    // CHAR padding is kept when asked for, BCD arrives scaled by 10000 with its places.
    TDLStrings keep = TFbTestDatabase::PoolParams();
    keep.Add("RTRIM CHAR OUTPUT=FALSE");
    keep.Add("ENABLE BCD=TRUE");
    auto db2 = Tmp->Connect(keep);
    auto sel2 = db2->CreateSqlCommand();
    sel2->Prepare("select code, price from songlist");
    sel2->InitFieldDescs();
    sel2->Execute();
    ASSERT_TRUE(sel2->FetchNextRow());
    EXPECT_TRUE(sel2->GetFieldAsString(1, s));
    EXPECT_EQ(s, "ab" + std::string(38, ' '));  // CHAR(10) in UTF8 holds 40 bytes
    TDLBcd bcd;
    ASSERT_TRUE(sel2->GetCnvtFieldData(sel2->FieldDescByNo(2), &bcd, sizeof bcd));
    EXPECT_EQ(bcd.Scaled, 12345600);
    EXPECT_EQ(bcd.Scale, 2);
    EXPECT_EQ(bcd.Precision, 32);
    EXPECT_THROW(sel2->GetCnvtFieldData(sel2->FieldDescByNo(2), buf, 8), EDatabaseError);
    sel2->CloseResultSet();
}

TEST_F(FbDriverTest, NullParametersAndUnsupportedTypes) {
    auto db = Tmp->Connect();
    TParams params;
    params.CreateParam(ftInteger, "ID", ptInput).SetAsInteger(1);
    params.CreateParam(ftString, "title", ptInput);  // NULL
    params.CreateParam(ftDateTime, "added", ptInput);
    params.CreateParam(ftBlob, "data", ptInput);
    auto cmd = db->CreateSqlCommand();
    cmd->Params = &params;
    cmd->Prepare("insert into songlist (ID, title, added, data) values (:ID, :title, :added, :data)");
    cmd->Execute();
    EXPECT_EQ(Column(*db,
                     "select coalesce(title, 'null') || coalesce(added, 'null') || coalesce(data, 'null') "
                     "from songlist"),
              std::vector<std::string>{"nullnullnull"});

    TParams flag;
    flag.CreateParam(ftBoolean, "b", ptInput).SetAsBoolean(true);
    auto bad = db->CreateSqlCommand();
    bad->Params = &flag;
    bad->Prepare("select ID from songlist where ID = :b");
    try {
        bad->Execute();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Unknown data type for parameter 'b'");
    }
    // Longer than a variable can say: refused, not truncated into a negative length.
    TParams huge;
    huge.CreateParam(ftString, "title", ptInput).SetAsString(std::string(40000, 'x'));
    bad->Params = &huge;
    bad->Unprepare();
    bad->Prepare("select ID from songlist where title = :title");
    try {
        bad->Execute();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Value of parameter 'title' is longer than 32765 bytes");
    }
    // A NULL input without a data type goes as a NULL text; a value needs a type.
    TParams unknown;
    unknown.CreateParam(ftUnknown, "u", ptInput);
    bad->Params = &unknown;
    EXPECT_EQ(bad->GetParamsBufferSize(), 1 + 8);
    unknown[0].Value = TDLVariant(5);
    try {
        bad->GetParamsBufferSize();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Unknown data type for parameter 'u'");
    }
    TParams noDirection;
    noDirection.CreateParam(ftInteger, "n", ptUnknown);
    bad->Params = &noDirection;
    try {
        bad->GetParamsBufferSize();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "No parameter type for parameter 'n'");
    }
    auto other = db->CreateSqlCommand();
    other->CommandType = 1;
    try {
        other->Prepare("select 1 from rdb$database");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Capability not supported");
    }
    char small[4];
    auto& fibCmd = static_cast<TICustomIntCommand&>(*cmd);
    EXPECT_THROW(fibCmd.CnvtDateTime2DBDateTime(ftDateTime, small, 4, 0), EDatabaseError);
    EXPECT_THROW(cmd->WriteBlob(1, small, 1), EDatabaseError);
}

TEST_F(FbDriverTest, ParameterBuffersAreSizedPerParameter) {
    auto db = Tmp->Connect();
    auto cmd = db->CreateSqlCommand();
    EXPECT_EQ(cmd->GetParamsBufferSize(), 0);
    cmd->Prepare("select 1 from rdb$database");
    cmd->Execute();
    EXPECT_FALSE(cmd->HasParamsBuffer());
    cmd->CloseResultSet();

    TParam text("t", ftString, ptInput);
    text.SetAsString("abc");
    auto query = db->CreateSqlCommand();
    EXPECT_EQ(query->GetParamSize(text), 4);
    auto proc = db->CreateSqlCommand();
    proc->CommandType = ctStoredProc;
    EXPECT_EQ(proc->GetParamSize(text), 256);
    TParam date("d", ftDate, ptInput);
    EXPECT_EQ(query->GetParamSize(date), 4);
    TParam blob("b", ftBlob, ptInput);
    blob.SetAsBlob(TBytes(100, 1));
    EXPECT_EQ(query->GetParamSize(blob), 0);
    TParams list;
    list.CreateParam(ftBlob, "b", ptInput);
    list.CreateParam(ftInteger, "i", ptInput);
    query->Params = &list;
    EXPECT_EQ(query->GetParamsBufferSize(), (0 + 8) + (4 + 8) + 8);
}

TEST_F(FbDriverTest, PrepareKeepsTheStatementUntilUnprepareAndRecoversFromErrors) {
    auto db = Tmp->Connect();
    Run(*db, "insert into songlist (ID) values (5)");
    auto cmd = db->CreateSqlCommand();
    EXPECT_THROW(cmd->Prepare("select nonsense from"), EDLFibError);
    EXPECT_FALSE(cmd->IsPrepared());
    EXPECT_EQ(cmd->GetHandle(), nullptr);  // the failed statement was dropped
    cmd->Prepare("select ID from songlist");
    cmd->Prepare("select 99 from rdb$database");  // ignored while prepared
    EXPECT_EQ(cmd->NativeCommandText, "select ID from songlist");
    cmd->InitFieldDescs();
    cmd->Execute();
    ASSERT_TRUE(cmd->FetchNextRow());
    EXPECT_EQ(Text(*cmd, 1), "5");
    cmd->CloseResultSet();
    // Executing again after closing gives the rows again.
    cmd->Execute();
    EXPECT_TRUE(cmd->FetchNextRow());
    cmd->CloseResultSet();
    cmd->CloseResultSet();
    cmd->Disconnect(true);
    cmd->Unprepare();
    cmd->Prepare("select 99 from rdb$database");
    cmd->Execute();
    ASSERT_TRUE(cmd->FetchNextRow());
    EXPECT_EQ(Text(*cmd, 1), "99");
    cmd->CloseResultSet();
    // Closing the cursor of a statement that has none is no error.
    auto ins = db->CreateSqlCommand();
    ins->Prepare("insert into songlist (ID) values (6)");
    ins->Execute();
    EXPECT_NO_THROW(ins->CloseResultSet());
}

TEST_F(FbDriverTest, BlobsAndLongTextTravelWhole) {
    auto db = Tmp->Connect();
    TBytes big(40000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + i / 256);
    std::string longText(290, 'x');
    longText.replace(0, 6, "Łódź ");
    std::string memo = "Zeile eins\nZeile zwei – ✓";
    const std::vector<std::tuple<int, TDLVariant, TDLVariant, TDLVariant>> rows = {
        {1, TDLVariant(big), TDLVariant(memo), TDLVariant(longText)},
        {2, TDLVariant(TBytes{}), TDLVariant(""), TDLVariant("")},
        {3, TDLVariant(), TDLVariant(), TDLVariant()},
        {4, TDLVariant(TBytes(20000, 9)), TDLVariant(std::string(16384, 'm')), TDLVariant("s")},
    };
    for (const auto& [id, data, info, notes] : rows) {
        TParams params;
        params.CreateParam(ftInteger, "ID", ptInput).SetAsInteger(id);
        params.CreateParam(ftBlob, "data", ptInput).SetValue(data);
        params.CreateParam(ftMemo, "info", ptInput).SetValue(info);
        params.CreateParam(ftString, "notes", ptInput).SetValue(notes);
        auto cmd = db->CreateSqlCommand();
        cmd->Params = &params;
        cmd->Prepare("insert into songlist (ID, data, info, notes) values (:ID, :data, :info, :notes)");
        cmd->Execute();
    }
    auto sel = db->CreateSqlCommand();
    sel->Prepare("select data, info, notes from songlist order by ID");
    sel->InitFieldDescs();
    sel->Execute();
    for (const auto& [id, data, info, notes] : rows) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(sel->FetchNextRow());
        for (int col = 0; col < 3; ++col) {
            const TDLFieldDesc& d = sel->FieldDescs[static_cast<size_t>(col)];
            const TDLVariant& expected = col == 0 ? data : (col == 1 ? info : notes);
            TBytes read;
            int length = sel->ReadBlob(d, read);
            EXPECT_EQ(static_cast<size_t>(length), expected.AsBytes().size());
            EXPECT_EQ(sel->GetBlobData(d), expected.AsBytes());
        }
    }
    EXPECT_FALSE(sel->FetchNextRow());
    sel->CloseResultSet();
}

TEST_F(FbDriverTest, StoredProceduresDescribeAndReturnTheirParameters) {
    auto db = Tmp->Connect();
    TParams params;
    auto cmd = db->CreateSqlCommand();
    cmd->CommandType = ctStoredProc;
    cmd->Params = &params;
    cmd->Prepare("GET_SONG");
    EXPECT_EQ(cmd->NativeCommandText, "Execute Procedure GET_SONG ?, ?");
    ASSERT_EQ(params.Count(), 5);
    EXPECT_EQ(params[0].Name, "A");
    EXPECT_EQ(params[0].ParamType, ptInput);
    EXPECT_EQ(params[0].DataType, ftInteger);
    EXPECT_EQ(params[1].DataType, ftString);
    EXPECT_EQ(params[2].Name, "X");
    EXPECT_EQ(params[2].ParamType, ptOutput);
    EXPECT_EQ(params[3].Name, "Y");
    EXPECT_EQ(params[3].DataType, ftString);
    params[0].SetAsInteger(21);
    params[1].SetAsString("Hallo");
    params[4].SetAsString("stale");
    cmd->Execute();
    cmd->GetOutputParams();
    EXPECT_EQ(params[2].Value.AsInteger(), 42);
    EXPECT_EQ(params[3].Value.AsString(), "Hallo!");
    EXPECT_TRUE(params[4].IsNull());
    EXPECT_FALSE(cmd->ResultSetExists());
    // Again with other inputs on the same prepared call.
    params[0].SetAsInteger(-1);
    cmd->CloseResultSet();
    cmd->Execute();
    EXPECT_EQ(params[2].Value.AsInteger(), -2);

    // A procedure that doesn't exist has no parameters and fails to prepare.
    TParams none;
    auto missing = db->CreateSqlCommand();
    missing->CommandType = ctStoredProc;
    missing->Params = &none;
    EXPECT_THROW(missing->Prepare("NO_SUCH_PROC' or '1'='1"), EDLFibError);
}

TEST_F(FbDriverTest, ThreadsWithConnectionsOfTheirOwnWorkAtOnce) {
    constexpr int Threads = 4, Rows = 40;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([t, &failures] {
            try {
                auto db = Tmp->Connect();
                for (int i = 0; i < Rows; ++i) {
                    int id = t * 1000 + i;
                    Run(*db, "insert into songlist (ID, title) values (:ID, :title)",
                        {TDLVariant(id), TDLVariant("t" + std::to_string(id))});
                    if (Column(*db, "select title from songlist where ID = :ID", {TDLVariant(id)}) !=
                        std::vector<std::string>{"t" + std::to_string(id)})
                        ++failures;
                }
                db->Disconnect(false);
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
                ++failures;
            }
        });
    }
    for (auto& w : workers) w.join();
    EXPECT_EQ(failures, 0);
    auto db = Tmp->Connect();
    EXPECT_EQ(Column(*db, "select count(*) from songlist"), std::vector<std::string>{std::to_string(Threads * Rows)});
}

}  // namespace
}  // namespace kelvar
