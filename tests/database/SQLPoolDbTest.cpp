// The pool, its connections and results over a real embedded database.
#include <gtest/gtest.h>

#include <thread>

#include "PoolTestSupport.h"
#include "database/DataSetAccess.h"
#include "database/datalink/DLCommon.h"
#include "database/datalink/DLEngine.h"

namespace kelvar {
namespace {

using pooltest::TPoolFixture;

class SQLPoolDbTest : public TPoolFixture {
protected:
    static void AddSongs(int count) {
        for (int i = 1; i <= count; ++i)
            PoolExecSQL("INSERT INTO songlist (ID, title, artist, album) VALUES (:ID, :title, :artist, :album)",
                        {i, "Title " + std::to_string(i), "Artist", i % 2 ? TDLVariant() : TDLVariant("Album")});
    }
};

TEST_F(SQLPoolDbTest, RunsStatementsWithPositionalValuesAndReadsRows) {
    AddSongs(3);
    EXPECT_EQ(PoolExecSQL("UPDATE songlist SET count_played = count_played + 1 WHERE ID >= :a", {2}), 2);

    IDatasetPtr ds = PoolQuery("SELECT * FROM songlist WHERE ID = :ID", {1});
    ASSERT_FALSE(ds->IsEmpty());
    EXPECT_EQ(ds->GetFieldValue("TITLE").AsString(), "Title 1");
    // A NULL column reads as the empty text, also through the value list.
    EXPECT_TRUE(ds->GetFieldValue("ALBUM").IsText());
    EXPECT_EQ(ds->GetFieldValue("ALBUM").AsString(), "");
    EXPECT_EQ(ds->GetValue(std::string_view("title")), "Title 1");
    EXPECT_EQ(ds->GetValue(1), "TITLE");
    EXPECT_TRUE(ds->HasField("title"));
    EXPECT_FALSE(ds->HasField("lower"));  // reported in lower case: the upper-cased name misses it
    EXPECT_FALSE(ds->HasField("nothing"));
    EXPECT_THROW(ds->GetFieldValue("nothing"), EDatabaseError);

    ds = PoolQuery("SELECT ID FROM songlist ORDER BY ID");
    EXPECT_EQ(ds->RecordCount(), 3);
    ASSERT_TRUE(ds->Locate("ID", 2, 0));
    EXPECT_EQ(ds->GetFieldValue("ID").AsInteger(), 2);
}

// What a window sees of a result without the client layer: its columns and whether the row is
// being edited; the client layer's dataset stays reachable for typed access.
TEST_F(SQLPoolDbTest, ResultsNameTheirColumnsAndEditState) {
    AddSongs(1);
    IDatasetPtr ds = PoolQuery("SELECT ID, title, ID AS songID FROM songlist", {}, false);
    EXPECT_EQ(ds->FieldNames(), (std::vector<std::string>{"ID", "TITLE", "SONGID"}));
    EXPECT_FALSE(ds->IsEditing());
    ds->Edit();
    EXPECT_TRUE(ds->IsEditing());
    ds->SetFieldValue("title", "Changed");
    ds->Post();
    EXPECT_FALSE(ds->IsEditing());
    ds->Edit();
    ds->Cancel();
    EXPECT_FALSE(ds->IsEditing());
    EXPECT_EQ(FieldOf(*ds, "title").AsString(), "Changed");
    EXPECT_EQ(&FieldOf(*ds, "ID"), DataSetOf(*ds).Fields(0));
    EXPECT_THROW(FieldOf(*ds, "nothing"), EDatabaseError);
}

TEST_F(SQLPoolDbTest, RowLimitsOnTheServer) {
    AddSongs(10);
    IDatasetPtr ds = PoolQueryLimit("SELECT ID FROM songlist ORDER BY ID", {}, true, 3, 4);
    std::vector<int64_t> ids;
    for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(ds->GetFieldValue("ID").AsInteger());
    EXPECT_EQ(ids, (std::vector<int64_t>{5, 6, 7}));
    ds = PoolGetConnection()->QueryLimit("SELECT ID FROM songlist ORDER BY ID DESC", {}, true, 2, 0);
    EXPECT_EQ(ds->RecordCount(), 2);
    EXPECT_EQ(ds->GetFieldValue("ID").AsInteger(), 10);
}

TEST_F(SQLPoolDbTest, ErrorsReachTheCaller) {
    EXPECT_THROW(PoolExecSQL("UPDATE nosuchtable SET a = 1"), EDLEngineError);
    EXPECT_THROW(PoolQuery("SELEC * FROM songlist"), EDLEngineError);
    // More values than markers fail before anything runs.
    EXPECT_THROW(PoolExecSQL("INSERT INTO songlist (ID) VALUES (:ID)", {1, 2}), EListError);
    EXPECT_EQ(CountRows("songlist"), 0);
    // The main connection still works after the errors.
    EXPECT_EQ(PoolExecSQL("INSERT INTO songlist (ID) VALUES (:ID)", {1}), 1);
}

TEST_F(SQLPoolDbTest, LiveResultsTakeNewIdsFromTheTableGenerator) {
    IDatasetPtr ds = PoolQuery("SELECT * FROM queuelist", {}, false);
    auto* wrapper = dynamic_cast<TDataLinkDataSetWrapper*>(ds.get());
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(wrapper->GetIDQuerySQL(), "SELECT GEN_ID(GEN_queuelist_ID,1) AS ID FROM RDB$DATABASE");

    ds->Append();
    int64_t first = ds->GetFieldValue("ID").AsInteger();
    ds->SetFieldValue("SONGID", 42);
    ds->SetValue(std::string_view("SORTID"), std::optional<std::string>("1000"));
    ds->Post();
    ds->Append();
    int64_t second = ds->GetFieldValue("ID").AsInteger();
    ds->SetFieldValue("SONGID", 43);
    ds->Post();
    EXPECT_EQ(second, first + 1);
    // A begun row consumes its value even when cancelled.
    ds->Append();
    ds->Cancel();

    IDatasetPtr check = PoolQuery("SELECT ID, SONGID, SORTID FROM queuelist ORDER BY ID");
    ASSERT_EQ(check->RecordCount(), 2);
    EXPECT_EQ(check->GetFieldValue("ID").AsInteger(), first);
    EXPECT_EQ(check->GetFieldValue("SORTID").AsFloat(), 1000.0);
    EXPECT_EQ(PoolQuery("SELECT GEN_ID(GEN_queuelist_ID,0) AS ID FROM RDB$DATABASE")->GetFieldValue("ID").AsInteger(),
              second + 1);
}

TEST_F(SQLPoolDbTest, ReadOnlyAndGeneratorlessResultsRefuseNewRows) {
    PoolExecSQL("INSERT INTO queuelist (ID, songID) VALUES (1, 5)");
    IDatasetPtr ro = PoolQuery("SELECT * FROM queuelist", {}, true);
    EXPECT_THROW(ro->Append(), EDatabaseError);
    ASSERT_FALSE(ro->IsEmpty());
    EXPECT_THROW(ro->Edit(), EDatabaseError);
    EXPECT_EQ(DataSetOf(*ro).GetState(), dsBrowse);

    IDatasetPtr live = PoolQuery("SELECT * FROM nogen", {}, false);
    EXPECT_THROW(live->Append(), EDLEngineError);
    EXPECT_EQ(DataSetOf(*live).GetState(), dsBrowse);

    try {
        PoolQuery("SELECT * FROM nokey", {}, false);
        ADD_FAILURE() << "a live result without a unique key opened";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Table is read only");
    }
}

TEST_F(SQLPoolDbTest, WriteConnectionCommitsOrRollsBack) {
    {
        ISQLConnectionPtr w = PoolGetWriteConnection();
        EXPECT_NE(w, PoolGetConnection());
        w->ExecSQL("INSERT INTO songlist (ID) VALUES (1)", {});
        w->ExecSQL("INSERT INTO songlist (ID) VALUES (2)", {});
        w->Rollback();
    }
    EXPECT_EQ(CountRows("songlist"), 0);
    {
        ISQLConnectionPtr w = PoolGetWriteConnection();
        w->ExecSQL("INSERT INTO songlist (ID) VALUES (3)", {});
        w->Commit();
    }
    EXPECT_EQ(CountRows("songlist"), 1);
}

TEST_F(SQLPoolDbTest, ResultsOfOtherThreadsAndAClosedPoolKeepWorking) {
    AddSongs(3);
    IDatasetPtr fromThread;
    std::thread([&] { fromThread = PoolQuery("SELECT ID FROM songlist ORDER BY ID"); }).join();
    IDatasetPtr held = PoolQuery("SELECT ID FROM songlist ORDER BY ID");
    ISQLPoolPtr pool = GetCurrentSQLPool();
    pool->Close();
    EXPECT_THROW(pool->GetConnection(), ESQLPoolError);
    // The result holds the connection that made it.
    ASSERT_NE(fromThread->GetConnection(), nullptr);
    EXPECT_EQ(fromThread->RecordCount(), 3);
    held->Next();
    EXPECT_EQ(held->GetFieldValue("ID").AsInteger(), 2);
    EXPECT_EQ(held->GetConnection()->ExecSQL("DELETE FROM songlist WHERE ID = 3", {}), 1);

    // A result that alone holds its connection: letting it go closes the open cursor first,
    // then the connection, without a complaint.
    std::weak_ptr<ISQLConnection> connection = fromThread->GetConnection();
    fromThread->First();
    fromThread.reset();
    EXPECT_TRUE(connection.expired());
    EXPECT_EQ(Log->Count("failed"), 0) << ::testing::PrintToString(Log->Lines());
}

}  // namespace
}  // namespace kelvar
