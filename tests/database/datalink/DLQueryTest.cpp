// Queries, parameters and the write-back of live results over a real embedded database.
#include <gtest/gtest.h>

#include "DLSessTestDb.h"

namespace kelvar {
namespace {

using dltest::TDLTempDatabase;

class DLQueryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Tmp = new TDLTempDatabase();
        Tmp->Exec(
            {"CREATE TABLE songlist (ID INTEGER NOT NULL PRIMARY KEY, TITLE VARCHAR(60), ARTIST VARCHAR(60), "
             "DURATION INTEGER, RATING NUMERIC(9,2), ADDED TIMESTAMP, PICTURE BLOB SUB_TYPE 0, INFO BLOB SUB_TYPE 1)",
             "CREATE GENERATOR GEN_songlist_ID", "SET GENERATOR GEN_songlist_ID TO 100",
             "CREATE TABLE nokey (A INTEGER, B INTEGER)",
             "CREATE TABLE artists (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(60))",
             "CREATE TABLE texts (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(500), NOTES BLOB SUB_TYPE TEXT)"});
    }
    static void TearDownTestSuite() {
        delete Tmp;
        Tmp = nullptr;
    }
    void SetUp() override {
        Tmp->Setup(Db);
        Exec("DELETE FROM songlist");
        for (int i = 1; i <= 3; ++i)
            Exec("INSERT INTO songlist (ID, TITLE, ARTIST, DURATION) VALUES (:ID, :TITLE, :ARTIST, :DURATION)",
                 {i, "Title " + std::to_string(i), "Artist", i * 1000});
    }

    std::unique_ptr<TDLQuery> Query(const std::string& sql, std::vector<TDLVariant> values = {}) {
        auto q = std::make_unique<TDLQuery>();
        q->SetDatabaseName(Db.GetDatabaseName());
        q->SetSQL(sql);
        // A NULL leaves its parameter without a data type.
        for (size_t i = 0; i < values.size(); ++i) q->GetParams()[static_cast<int>(i)].SetValue(values[i]);
        return q;
    }

    int Exec(const std::string& sql, std::vector<TDLVariant> values = {}) {
        auto q = Query(sql, std::move(values));
        q->ExecSQL();
        return q->RowsAffected();
    }

    // A live result as the pool opens it.
    std::unique_ptr<TDLQuery> Live(const std::string& sql) {
        auto q = Query(sql);
        q->SetRequestLive(true);
        q->SetUpdateMode(upWhereKeyOnly);
        q->Open();
        return q;
    }

    TDLVariant ValueOf(const std::string& sql, const std::string& field, std::vector<TDLVariant> values = {}) {
        auto q = Query(sql, std::move(values));
        q->Open();
        if (q->IsEmpty()) return TDLVariant();
        return q->FieldByName(field).GetValue();
    }

    static TDLTempDatabase* Tmp;
    TDLDatabase Db;
};
TDLTempDatabase* DLQueryTest::Tmp = nullptr;

TEST_F(DLQueryTest, ExecSQLReportsRowsAffectedOfEachStatementKind) {
    EXPECT_EQ(Exec("UPDATE songlist SET DURATION = 5 WHERE ID > 0"), 3);
    EXPECT_EQ(Exec("UPDATE songlist SET DURATION = 5 WHERE ID = -1"), 0);
    EXPECT_EQ(Exec("INSERT INTO songlist (ID) VALUES (10)"), 1);
    EXPECT_EQ(Exec("DELETE FROM songlist WHERE ID = 10"), 1);
    auto q = Query("SELECT * FROM songlist");
    q->Open();
    try {
        q->ExecSQL();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this operation on an open dataset");
    }
    auto empty = Query(" ");
    try {
        empty->ExecSQL();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "No SQL statement available");
    }
}

TEST_F(DLQueryTest, ParametersOfEveryTypeRoundTrip) {
    TDateTime when = EncodeDateTime(2004, 2, 29, 13, 45, 30, 750);
    TBytes picture(40000);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(Exec("INSERT INTO songlist (ID, TITLE, DURATION, RATING, ADDED, PICTURE, INFO, ARTIST) "
                   "VALUES (:ID, :TITLE, :DURATION, :RATING, :ADDED, :PICTURE, :INFO, :ARTIST)",
                   {int64_t(20), "Ærø Ω 東京 ♪", 123456, 1234.56, TDLVariant::FromDateTime(when), picture,
                    std::string("long text"), TDLVariant()}),
              1);
    auto q = Query("SELECT * FROM songlist WHERE ID = :ID", {20});
    q->Open();
    EXPECT_EQ(q->FieldByName("TITLE").AsString(), "Ærø Ω 東京 ♪");
    EXPECT_EQ(q->FieldByName("DURATION").AsInteger(), 123456);
    EXPECT_NEAR(q->FieldByName("RATING").AsFloat(), 1234.56, 1e-9);
    // Stored without milliseconds.
    EXPECT_DOUBLE_EQ(q->FieldByName("ADDED").AsDateTime(), EncodeDateTime(2004, 2, 29, 13, 45, 30, 0));
    EXPECT_EQ(q->FieldByName("PICTURE").AsBytes(), picture);
    EXPECT_EQ(q->FieldByName("INFO").AsString(), "long text");
    EXPECT_TRUE(q->FieldByName("ARTIST").IsNull());
    EXPECT_EQ(q->FieldByName("ARTIST").AsString(), "");

    // A NULL without a data type binds to a column of any type, also after the type was cleared.
    auto upd =
        Query("UPDATE songlist SET DURATION = :DURATION, ADDED = :ADDED WHERE ID = :ID", {123, TDLVariant(), 20});
    upd->ParamByName("DURATION").DataType = ftUnknown;
    upd->ParamByName("DURATION").Clear();
    upd->ExecSQL();
    EXPECT_EQ(upd->RowsAffected(), 1);
    EXPECT_TRUE(ValueOf("SELECT DURATION FROM songlist WHERE ID = 20", "DURATION").IsNull());
    EXPECT_TRUE(ValueOf("SELECT ADDED FROM songlist WHERE ID = 20", "ADDED").IsNull());
}

TEST_F(DLQueryTest, ChangingTheTextKeepsValuesOfParametersThatStay) {
    auto q = Query("SELECT * FROM songlist WHERE ID = :ID AND TITLE = :TITLE");
    q->ParamByName("ID").SetValue(2);
    q->ParamByName("TITLE").SetValue("Title 2");
    q->SetSQL("SELECT * FROM songlist WHERE ID = :ID AND DURATION = :DURATION");
    ASSERT_EQ(q->GetParams().Count(), 2);
    EXPECT_EQ(q->ParamByName("ID").Value.AsInteger(), 2);
    EXPECT_TRUE(q->ParamByName("DURATION").IsNull());
    EXPECT_EQ(q->FindField("X"), nullptr);
    // Quoted text and doubled markers are no parameters.
    q->SetSQL("SELECT * FROM songlist WHERE TITLE = ':x' AND ID = :y");
    ASSERT_EQ(q->GetParams().Count(), 1);
    EXPECT_EQ(q->GetParams()[0].Name, "y");
}

TEST_F(DLQueryTest, LiveEditPostsAnUpdateAtOnce) {
    auto q = Live("SELECT * FROM songlist ORDER BY ID");
    EXPECT_EQ(q->GetLiveTableName(), "songlist");
    EXPECT_EQ(q->GetKeyFields(), std::vector<std::string>{"ID"});
    q->SetRecNo(2);
    q->Edit();
    q->FieldByName("TITLE").SetAsString("New title");
    q->Post();
    EXPECT_EQ(q->GetState(), dsBrowse);
    EXPECT_EQ(ValueOf("SELECT TITLE FROM songlist WHERE ID = 2", "TITLE").AsString(), "New title");
    EXPECT_EQ(q->FieldByName("TITLE").AsString(), "New title");
    EXPECT_EQ(q->GetRecNo(), 2);
    // The other rows were left alone.
    EXPECT_EQ(ValueOf("SELECT TITLE FROM songlist WHERE ID = 1", "TITLE").AsString(), "Title 1");
}

TEST_F(DLQueryTest, LiveAppendTakesItsIdentifierFromTheGeneratorAndInsertsOneRow) {
    auto q = Live("SELECT * FROM songlist ORDER BY ID");
    auto ids = Query("SELECT GEN_ID(GEN_songlist_ID, 1) AS ID FROM RDB$DATABASE");
    q->OnNewRecord = [&](TDLDataSet& ds) {
        ids->Close();
        ids->Open();
        ds.FieldByName("ID").SetValue(ids->FieldByName("ID").GetValue());
    };
    q->Append();
    int64_t id = q->FieldByName("ID").AsInteger();
    EXPECT_GT(id, 0);
    q->FieldByName("TITLE").SetAsString("Appended");
    q->FieldByName("PICTURE").SetValue(TBytes{1, 2, 3});
    q->Post();
    EXPECT_EQ(ValueOf("SELECT TITLE FROM songlist WHERE ID = :ID", "TITLE", {id}).AsString(), "Appended");
    EXPECT_EQ(ValueOf("SELECT PICTURE FROM songlist WHERE ID = :ID", "PICTURE", {id}).AsBytes(), (TBytes{1, 2, 3}));
    EXPECT_EQ(q->RecordCount(), 4);
    EXPECT_EQ(q->GetRecNo(), 4);
    EXPECT_THROW(q->UpdateStatus(), EDatabaseError);  // live results keep no cached updates
}

TEST_F(DLQueryTest, LongTextColumnsAreWrittenBackLikeOthers) {
    // VARCHAR(255) in UTF8 is longer than the string size limit: it travels as a text blob.
    Exec("CREATE TABLE longtext (ID INTEGER NOT NULL PRIMARY KEY, FILENAME VARCHAR(255))");
    Exec("INSERT INTO longtext (ID, FILENAME) VALUES (1, 'C:/music/a.mp3')");
    auto q = Live("SELECT * FROM longtext");
    EXPECT_EQ(q->FieldByName("FILENAME").GetDataType(), ftMemo);
    EXPECT_EQ(q->FieldByName("FILENAME").AsString(), "C:/music/a.mp3");
    ASSERT_TRUE(q->Locate("FILENAME", std::string("c:/MUSIC/a.mp3"), loCaseInsensitive));
    q->Edit();
    q->FieldByName("FILENAME").SetAsString("/music/Ærø.mp3");
    q->Post();
    q->Append();
    q->FieldByName("ID").SetAsInteger(2);
    q->FieldByName("FILENAME").SetAsString("/music/b.ogg");
    q->Post();
    EXPECT_EQ(ValueOf("SELECT FILENAME FROM longtext WHERE ID = 1", "FILENAME").AsString(), "/music/Ærø.mp3");
    EXPECT_EQ(ValueOf("SELECT FILENAME FROM longtext WHERE ID = 2", "FILENAME").AsString(), "/music/b.ogg");
}

TEST_F(DLQueryTest, LiveDeleteRemovesTheRowOnTheServerAndInTheCache) {
    auto q = Live("SELECT * FROM songlist ORDER BY ID");
    q->SetRecNo(2);
    q->Delete();
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 3);
    EXPECT_EQ(q->GetRecNo(), 2);
    EXPECT_EQ(q->RecordCount(), 2);
    EXPECT_TRUE(ValueOf("SELECT ID FROM songlist WHERE ID = 2", "ID").IsNull());
    q->Last();
    q->Delete();
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 1);
    EXPECT_TRUE(q->Eof());
}

TEST_F(DLQueryTest, RefreshRecordReadsTheRowAnew) {
    auto q = Live("SELECT * FROM songlist ORDER BY ID");
    q->Next();
    Exec("UPDATE songlist SET TITLE = 'Changed elsewhere' WHERE ID = 2");
    EXPECT_EQ(q->FieldByName("TITLE").AsString(), "Title 2");
    q->RefreshRecord();
    EXPECT_EQ(q->FieldByName("TITLE").AsString(), "Changed elsewhere");
    EXPECT_EQ(q->GetRecNo(), 2);
    Exec("DELETE FROM songlist WHERE ID = 2");
    EXPECT_THROW(q->RefreshRecord(), EDatabaseError);
}

TEST_F(DLQueryTest, APostOverARowDeletedMeanwhileFailsAndKeepsTheCache) {
    auto q = Live("SELECT * FROM songlist ORDER BY ID");
    q->Edit();
    q->FieldByName("TITLE").SetAsString("Lost edit");
    Exec("DELETE FROM songlist WHERE ID = 1");
    try {
        q->Post();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Record not found or changed by another user");
    }
    EXPECT_EQ(q->GetState(), dsEdit);
    EXPECT_EQ(q->FieldByName("TITLE").AsString(), "Lost edit");
    q->Cancel();
    EXPECT_EQ(q->FieldByName("TITLE").AsString(), "Title 1");
    EXPECT_EQ(q->FieldByName("TITLE").OldValue().AsString(), "Title 1");

    // A delete that finds no row fails the same way and leaves the row where it was.
    EXPECT_THROW(q->Delete(), EDatabaseError);
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(q->RecordCount(), 3);
}

TEST_F(DLQueryTest, WritesInsideATransactionGoOrStayTogether) {
    Db.Open();
    Db.StartTransaction();
    auto q = Live("SELECT * FROM songlist ORDER BY ID");
    q->Append();
    q->FieldByName("ID").SetAsInteger(50);
    q->Post();
    q->First();
    q->Edit();
    q->FieldByName("TITLE").SetAsString("In transaction");
    q->Post();
    Db.Rollback();
    EXPECT_TRUE(ValueOf("SELECT ID FROM songlist WHERE ID = 50", "ID").IsNull());
    EXPECT_EQ(ValueOf("SELECT TITLE FROM songlist WHERE ID = 1", "TITLE").AsString(), "Title 1");
    // The result outlives the rollback with the rows it had; the rolled-back one is gone
    // on the server, so writing it finds nothing.
    EXPECT_TRUE(q->GetActive());
    EXPECT_EQ(q->RecordCount(), 4);
    Db.StartTransaction();
    q->Last();
    q->Edit();
    q->FieldByName("TITLE").SetAsString("Ghost");
    EXPECT_THROW(q->Post(), EDatabaseError);
    q->Cancel();
    q->First();
    q->Edit();
    q->FieldByName("TITLE").SetAsString("Committed");
    q->Post();
    Db.Commit();
    EXPECT_EQ(ValueOf("SELECT TITLE FROM songlist WHERE ID = 1", "TITLE").AsString(), "Committed");
    q->Close();
    q->Open();
    EXPECT_EQ(q->RecordCount(), 3);
}

TEST_F(DLQueryTest, AFailedLiveInsertLeavesNoRowBehind) {
    auto q = Live("SELECT * FROM songlist ORDER BY ID");
    q->Append();
    q->FieldByName("ID").SetAsInteger(1);  // taken
    EXPECT_THROW(q->Post(), EDLEngineError);
    EXPECT_EQ(q->GetState(), dsInsert);
    q->Cancel();
    EXPECT_EQ(q->RecordCount(), 3);
}

TEST_F(DLQueryTest, WrittenRowsFollowTheUpdateMode) {
    // Where-all finds the row by every non-blob column.
    auto q = Query("SELECT ID, TITLE FROM songlist WHERE ID = 1");
    q->SetRequestLive(true);
    q->Open();
    q->Edit();
    q->FieldByName("TITLE").SetAsString("All");
    Exec("UPDATE songlist SET TITLE = 'Other' WHERE ID = 1");  // another user changed a column
    EXPECT_THROW(q->Post(), EDatabaseError);
    q->Cancel();
    q->Close();
    q->SetUpdateMode(upWhereKeyOnly);
    q->Open();
    q->Edit();
    q->FieldByName("TITLE").SetAsString("Key only");
    q->Post();
    EXPECT_EQ(ValueOf("SELECT TITLE FROM songlist WHERE ID = 1", "TITLE").AsString(), "Key only");
}

TEST_F(DLQueryTest, ResultsThatCannotBeWrittenBackAreRefused) {
    for (const char* sql :
         {"SELECT * FROM songlist, artists", "SELECT * FROM songlist INNER JOIN artists ON songlist.ID = artists.ID",
          "SELECT * FROM nokey", "SELECT TITLE FROM songlist"}) {
        auto q = Query(sql);
        q->SetRequestLive(true);
        q->SetUpdateMode(upWhereKeyOnly);
        try {
            q->Open();
            FAIL() << sql;
        } catch (const EDatabaseError& e) {
            EXPECT_STREQ(e.what(), "Table is read only") << sql;
        }
        EXPECT_FALSE(q->GetActive());
    }
}

TEST_F(DLQueryTest, UpdateObjectStatementsAndOldValueParameters) {
    auto q = Query("SELECT ID, TITLE FROM songlist WHERE ID = 3");
    TDLUpdateSQL upd;
    upd.SetSQL(ukModify, "UPDATE songlist SET ID = :ID, TITLE = :TITLE WHERE ID = :OLD_ID");
    q->SetUpdateObject(&upd);
    EXPECT_EQ(upd.GetDataSet(), q.get());
    q->Open();
    q->Edit();
    q->FieldByName("ID").SetAsInteger(30);
    q->FieldByName("TITLE").SetAsString("Moved");
    q->Post();
    upd.Apply(ukModify);  // OLD_ID is 3: the row as it was before the edit
    EXPECT_EQ(ValueOf("SELECT TITLE FROM songlist WHERE ID = 30", "TITLE").AsString(), "Moved");
    EXPECT_THROW(upd.Apply(ukModify), EDatabaseError);  // "Update failed": no row has ID 3 now
}

TEST_F(DLQueryTest, LiveResultsWriteBackWithTheUpdateObjectsTexts) {
    auto q = Query("SELECT ID, TITLE FROM songlist s WHERE ID = 2");
    TDLUpdateSQL upd;
    upd.SetSQL(ukModify, "UPDATE songlist SET TITLE = :TITLE, DURATION = 77 WHERE ID = :OLD_ID");
    upd.SetSQL(ukDelete, "DELETE FROM songlist WHERE ID = :OLD_ID");
    q->SetUpdateObject(&upd);
    q->SetRequestLive(true);
    q->Open();
    q->Edit();
    q->FieldByName("TITLE").SetAsString("Via update object");
    q->Post();
    EXPECT_EQ(ValueOf("SELECT DURATION FROM songlist WHERE ID = 2", "DURATION").AsInteger(), 77);
    q->Delete();
    EXPECT_TRUE(q->IsEmpty());
    EXPECT_TRUE(ValueOf("SELECT ID FROM songlist WHERE ID = 2", "ID").IsNull());
}

TEST_F(DLQueryTest, PreparedQueriesRunAgainWithNewValues) {
    auto q = Query("SELECT TITLE FROM songlist WHERE ID = :ID");
    q->Prepare();
    EXPECT_TRUE(q->GetPrepared());
    for (int id : {1, 2, 3}) {
        q->ParamByName("ID").SetValue(id);
        q->Open();
        EXPECT_EQ(q->FieldByName("TITLE").AsString(), "Title " + std::to_string(id));
        q->Close();
        EXPECT_NE(q->GetCommand(), nullptr);  // kept while prepared
    }
    q->UnPrepare();
    EXPECT_EQ(q->GetCommand(), nullptr);
    EXPECT_EQ(Db.GetRefCount(), 0);
}

// Text beyond ASCII (two-, three- and four-byte UTF-8) keeps every byte through a statement
// prepared once and run again, into short and long text columns (a long one is read back as a
// memo) and into a text blob given as bytes.
TEST_F(DLQueryTest, PreparedStatementsKeepTextBeyondAscii) {
    const std::vector<std::string> texts = {"/music/" + std::string(150, 'l') + " \xC3\x9Cn\xC3\xAF.mp3",
                                            "Bj\xC3\xB6rk \xE2\x80\x94 J\xC3\xB3ga",
                                            "\xF0\x9F\x8E\xB5 \xE6\x97\xA5\xE6\x9C\xAC", "plain"};
    Exec("DELETE FROM texts");
    auto insert = Query("INSERT INTO texts (ID, NAME, NOTES) VALUES (:ID, :NAME, :NOTES)");
    insert->Prepare();
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string& notes = texts[texts.size() - 1 - i];
        insert->ParamByName("ID").SetValue(static_cast<int>(i));
        insert->ParamByName("NAME").SetValue(texts[i]);
        insert->ParamByName("NOTES").SetValue(TBytes(notes.begin(), notes.end()));
        insert->ExecSQL();
    }
    insert->UnPrepare();
    auto find = Query("SELECT ID, NAME, NOTES FROM texts WHERE NAME = :NAME");
    find->Prepare();
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        find->ParamByName("NAME").SetValue(texts[i]);
        find->Open();
        ASSERT_FALSE(find->IsEmpty());
        EXPECT_EQ(find->FieldByName("ID").AsInteger(), static_cast<int>(i));
        EXPECT_EQ(find->FieldByName("NAME").AsString(), texts[i]);
        EXPECT_EQ(find->FieldByName("NOTES").AsString(), texts[texts.size() - 1 - i]);
        find->Close();
    }
    find->UnPrepare();
    EXPECT_EQ(ValueOf("SELECT COUNT(*) AS N FROM texts WHERE NAME LIKE '%\xC3\x9Cn\xC3\xAF%'", "N").AsInteger(), 1);
}

TEST_F(DLQueryTest, DetailQueriesFollowTheirMaster) {
    auto master = Query("SELECT ID FROM songlist ORDER BY ID");
    auto detail = Query("SELECT TITLE FROM songlist WHERE ID = :ID");
    detail->SetDataSource(master.get());
    EXPECT_THROW(master->SetDataSource(detail.get()), EDatabaseError);  // circular
    master->Open();
    detail->Open();
    EXPECT_EQ(detail->FieldByName("TITLE").AsString(), "Title 1");
    master->Next();
    EXPECT_EQ(detail->FieldByName("TITLE").AsString(), "Title 2");
}

TEST_F(DLQueryTest, ServerErrorsCarryTheirSqlCodeAndText) {
    try {
        Exec("SELECT * FROM no_such_table");
        FAIL();
    } catch (const EDLEngineError& e) {
        EXPECT_EQ(e.ErrorCode, -204);
        EXPECT_NE(std::string(e.what()).find("NO_SUCH_TABLE"), std::string::npos) << e.what();
    }
    // The connection goes on working.
    EXPECT_EQ(Exec("UPDATE songlist SET DURATION = 1 WHERE ID = 1"), 1);
}

TEST_F(DLQueryTest, SchemaInfoListsTheIndexColumns) {
    Db.Open();
    std::unique_ptr<TDLQuery> info(Db.OpenSchemaInfo(5, "SONGLIST"));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(TrimRight(info->FieldByName("COLUMN_NAME").AsString()), "ID");
    EXPECT_EQ(info->FieldByName("INDEX_TYPE").AsInteger(), 2);
}

}  // namespace
}  // namespace kelvar
