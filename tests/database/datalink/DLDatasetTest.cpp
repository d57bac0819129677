// The dataset's cursor and row cache over a real embedded database.
#include <gtest/gtest.h>

#include "DLSessTestDb.h"

namespace kelvar {
namespace {

using dltest::TDLTempDatabase;

class DLDatasetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Tmp = new TDLTempDatabase();
        Tmp->Exec(
            {"CREATE TABLE numbers (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), AMOUNT DOUBLE PRECISION, "
             "PRICE NUMERIC(9,2), ADDED TIMESTAMP, DAY_ADDED DATE, DATA BLOB SUB_TYPE 0)"});
        TDLDatabase db;
        Tmp->Setup(db);
        TDLQuery fill;
        fill.SetDatabaseName(db.GetDatabaseName());
        fill.ParamCheck = false;  // the block's own :I must stay as it is
        fill.SetSQL(
            "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 1000) DO BEGIN "
            "INSERT INTO numbers (ID, NAME) VALUES (:I, 'n' || :I); I = I + 1; END END");
        fill.ExecSQL();
    }
    static void TearDownTestSuite() {
        delete Tmp;
        Tmp = nullptr;
    }
    void SetUp() override { Tmp->Setup(Db); }

    std::unique_ptr<TDLQuery> Query(const std::string& sql) {
        auto q = std::make_unique<TDLQuery>();
        q->SetDatabaseName(Db.GetDatabaseName());
        q->SetSQL(sql);
        return q;
    }

    static TDLTempDatabase* Tmp;
    TDLDatabase Db;
};
TDLTempDatabase* DLDatasetTest::Tmp = nullptr;

TEST_F(DLDatasetTest, RowsAreFetchedOnlyAsTheCursorNeedsThem) {
    auto q = Query("SELECT ID, NAME FROM numbers ORDER BY ID");
    q->Open();
    EXPECT_EQ(q->CachedRowCount(), 1);
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(q->FieldByName("NAME").AsString(), "n1");
    EXPECT_FALSE(q->IsSequenced());
    EXPECT_EQ(q->RecordCount(), 1000);
    EXPECT_EQ(q->CachedRowCount(), 1000);
    EXPECT_TRUE(q->IsSequenced());
    EXPECT_EQ(q->GetRecNo(), 1);  // the cursor stayed
    q->Next();
    EXPECT_EQ(q->GetRecNo(), 2);
    q->Last();
    EXPECT_TRUE(q->Eof());
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 1000);
    q->SetRecNo(500);
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 500);
    EXPECT_EQ(q->MoveBy(-10), -10);
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 490);
}

TEST_F(DLDatasetTest, NavigationOverAnEmptyResultKeepsBofAndEof) {
    auto q = Query("SELECT ID FROM numbers WHERE ID < 0");
    q->Open();
    EXPECT_TRUE(q->IsEmpty());
    for (auto step : {&TDLDataSet::First, &TDLDataSet::Next, &TDLDataSet::Prior, &TDLDataSet::Last}) {
        ((*q).*step)();
        EXPECT_TRUE(q->Bof());
        EXPECT_TRUE(q->Eof());
    }
    EXPECT_EQ(q->GetRecNo(), 0);
    EXPECT_EQ(q->RecordCount(), 0);
    EXPECT_TRUE(q->FieldByName("ID").IsNull());
    EXPECT_THROW(q->Delete(), EDatabaseError);
}

TEST_F(DLDatasetTest, BofAndEofFollowTheCursor) {
    auto q = Query("SELECT ID FROM numbers WHERE ID <= 3 ORDER BY ID");
    q->Open();
    EXPECT_TRUE(q->Bof());
    EXPECT_FALSE(q->Eof());
    q->Next();
    q->Next();
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 3);
    EXPECT_FALSE(q->Eof());
    q->Next();
    EXPECT_TRUE(q->Eof());
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 3);
    q->First();
    q->Prior();
    EXPECT_TRUE(q->Bof());
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 1);
}

TEST_F(DLDatasetTest, NullsAndEmptyBlobsReadAsNoValue) {
    Tmp->Exec({"UPDATE numbers SET DATA = '' WHERE ID = 2"});
    auto q = Query("SELECT ID, NAME, AMOUNT, PRICE, ADDED, DATA FROM numbers WHERE ID IN (1, 2) ORDER BY ID");
    q->Open();
    for (const char* name : {"AMOUNT", "PRICE", "ADDED", "DATA"}) EXPECT_TRUE(q->FieldByName(name).IsNull()) << name;
    EXPECT_EQ(q->FieldByName("AMOUNT").AsString(), "");
    q->Next();
    EXPECT_TRUE(q->FieldByName("DATA").IsNull());
}

TEST_F(DLDatasetTest, ValuesOfEachTypeArriveInTheirForm) {
    Tmp->Exec(
        {"UPDATE numbers SET AMOUNT = 2.5, PRICE = 1234.56, ADDED = '2004-02-29 13:45:30', "
         "DAY_ADDED = '2004-02-29', NAME = 'Ærø Ω 東京' WHERE ID = 7"});
    auto q = Query("SELECT * FROM numbers WHERE ID = 7");
    q->Open();
    EXPECT_EQ(q->FieldByName("NAME").AsString(), "Ærø Ω 東京");
    EXPECT_DOUBLE_EQ(q->FieldByName("AMOUNT").AsFloat(), 2.5);
    EXPECT_NEAR(q->FieldByName("PRICE").AsFloat(), 1234.56, 1e-9);
    EXPECT_DOUBLE_EQ(q->FieldByName("ADDED").AsDateTime(), EncodeDateTime(2004, 2, 29, 13, 45, 30, 0));
    EXPECT_DOUBLE_EQ(q->FieldByName("DAY_ADDED").AsDateTime(), EncodeDate(2004, 2, 29));
    EXPECT_EQ(q->FieldByName("ID").GetDataType(), ftInteger);
}

TEST_F(DLDatasetTest, RefreshKeepsTheRowPositionWithinTheNewResult) {
    Tmp->Exec({"CREATE TABLE shrink (ID INTEGER NOT NULL PRIMARY KEY)", "INSERT INTO shrink VALUES (1)",
               "INSERT INTO shrink VALUES (2)", "INSERT INTO shrink VALUES (3)", "INSERT INTO shrink VALUES (4)",
               "INSERT INTO shrink VALUES (5)"});
    auto q = Query("SELECT ID FROM shrink ORDER BY ID");
    q->Open();
    q->SetRecNo(5);
    Tmp->Exec({"DELETE FROM shrink WHERE ID > 3"});
    q->Refresh();
    EXPECT_EQ(q->GetRecNo(), 3);
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 3);
    q->SetRecNo(2);
    Tmp->Exec({"UPDATE shrink SET ID = 20 WHERE ID = 2"});
    q->Refresh();
    EXPECT_EQ(q->GetRecNo(), 2);
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 3);  // new order: 1, 3, 20
}

TEST_F(DLDatasetTest, RecordNumbersFollowLocalDeletesAndBookmarksStayValid) {
    auto q = Query("SELECT ID FROM numbers WHERE ID <= 5 ORDER BY ID");
    TDLUpdateSQL upd;  // makes the result editable in the cache only
    q->SetUpdateObject(&upd);
    q->Open();
    q->SetRecNo(2);
    TDLDataSet::TBookmark second = q->GetBookmark();
    q->Next();
    TDLDataSet::TBookmark third = q->GetBookmark();
    q->Delete();
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 4);
    EXPECT_EQ(q->GetRecNo(), 3);
    EXPECT_EQ(q->RecordCount(), 4);
    EXPECT_FALSE(q->BookmarkValid(third));
    EXPECT_TRUE(q->BookmarkValid(second));
    q->GotoBookmark(second);
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 2);
    EXPECT_EQ(q->CompareBookmarks(&second, &third), -1);
    EXPECT_EQ(q->CompareBookmarks(nullptr, &third), 1);
    q->Last();
    EXPECT_EQ(q->GetRecNo(), 4);
    EXPECT_EQ(q->UpdateStatus(), usUnmodified);
}

TEST_F(DLDatasetTest, LocalEditsStayInTheCacheWithTheirFormerValues) {
    auto q = Query("SELECT ID, NAME FROM numbers WHERE ID <= 2 ORDER BY ID");
    TDLUpdateSQL upd;
    q->SetUpdateObject(&upd);
    q->Open();
    EXPECT_THROW(q->FieldByName("NAME").SetAsString("x"), EDatabaseError);  // browse state
    q->Edit();
    q->FieldByName("NAME").SetAsString("changed");
    q->Post();
    EXPECT_EQ(q->UpdateStatus(), usModified);
    EXPECT_EQ(q->FieldByName("NAME").OldValue().AsString(), "n1");
    EXPECT_EQ(q->FieldByName("NAME").AsString(), "changed");
    q->Edit();
    q->FieldByName("NAME").SetAsString("dropped");
    q->Cancel();
    EXPECT_EQ(q->FieldByName("NAME").AsString(), "changed");
    q->Append();
    EXPECT_TRUE(q->FieldByName("ID").IsNull());
    q->FieldByName("ID").SetAsInteger(99);
    q->Post();
    EXPECT_EQ(q->UpdateStatus(), usInserted);
    EXPECT_TRUE(q->FieldByName("NAME").OldValue().IsNull());
    // Rows fetched after the new one are numbered on from it.
    EXPECT_EQ(q->RecordCount(), 3);
    std::vector<int> recNos;
    for (q->First(); !q->Eof(); q->Next()) recNos.push_back(q->GetRecNo());
    EXPECT_EQ(recNos, (std::vector<int>{1, 2, 3}));
    // The server was not told.
    auto check = Query("SELECT NAME FROM numbers WHERE ID = 1");
    check->Open();
    EXPECT_EQ(check->FieldByName("NAME").AsString(), "n1");
}

TEST_F(DLDatasetTest, CalculatedFieldsAreFilledForEachRow) {
    auto q = Query("SELECT ID FROM numbers WHERE ID <= 3 ORDER BY ID");
    q->AddCalcField("TWICE", ftInteger);
    q->OnCalcFields = [](TDLDataSet& ds) {
        ds.FieldByName("TWICE").SetAsInteger(ds.FieldByName("ID").AsInteger() * 2);
    };
    q->Open();
    EXPECT_EQ(q->FieldByName("TWICE").AsInteger(), 2);
    q->Last();
    EXPECT_EQ(q->FieldByName("TWICE").AsInteger(), 6);
    EXPECT_EQ(q->Lookup("ID", 2, "TWICE").AsInteger(), 4);
    EXPECT_THROW(q->FieldByName("TWICE").SetAsInteger(1), EDatabaseError);  // browse state
    q->Close();
    q->Open();  // the field stays with the dataset
    EXPECT_EQ(q->FieldByName("TWICE").AsInteger(), 2);
}

TEST_F(DLDatasetTest, ReadOnlyResultsRefuseEdits) {
    auto q = Query("SELECT ID FROM numbers WHERE ID = 1");
    q->Open();
    EXPECT_FALSE(q->CanModify());
    try {
        q->Edit();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Cannot modify a read-only dataset");
    }
}

TEST_F(DLDatasetTest, UnidirectionalResultsKeepOnlyTheNewestRows) {
    auto q = Query("SELECT ID FROM numbers WHERE ID <= 10 ORDER BY ID");
    q->UniDirectional = true;
    q->Open();
    EXPECT_EQ(q->RecordCount(), -1);
    int n = 0;
    while (!q->Eof()) {
        ++n;
        q->Next();
    }
    EXPECT_EQ(n, 10);
    try {
        q->First();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Record is not available locally");
    }
}

TEST_F(DLDatasetTest, StatementsWithoutRowsCannotBeOpened) {
    auto q = Query("UPDATE numbers SET NAME = NAME WHERE ID = -1");
    try {
        q->Open();
        FAIL();
    } catch (const EDLNoResultSet& e) {
        EXPECT_STREQ(e.what(), "Error creating cursor handle");
    }
    EXPECT_FALSE(q->GetActive());
    EXPECT_EQ(q->GetCommand(), nullptr);
    EXPECT_EQ(Db.GetRefCount(), 0);
}

TEST_F(DLDatasetTest, DetachOnFetchAllLetsGoOfTheStatement) {
    auto q = Query("SELECT ID FROM numbers WHERE ID <= 3 ORDER BY ID");
    q->SetDetachOnFetchAll(true);
    q->Open();
    q->Last();
    EXPECT_EQ(q->GetCommand(), nullptr);
    q->First();
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(q->RecordCount(), 3);
    q->Refresh();  // runs the statement anew
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(q->RecordCount(), 3);
}

TEST_F(DLDatasetTest, ClosingTheDatabaseClosesItsDatasets) {
    auto q = Query("SELECT ID FROM numbers");
    q->Open();
    EXPECT_EQ(Db.DataSetCount(), 1);
    Db.Close();
    EXPECT_FALSE(q->GetActive());
    EXPECT_EQ(q->GetDatabase(), nullptr);
    q->Open();  // connects again
    EXPECT_TRUE(Db.GetConnected());
}

}  // namespace
}  // namespace kelvar
