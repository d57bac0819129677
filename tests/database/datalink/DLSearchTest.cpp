// Search, filters and sorting over the row cache of a real embedded database.
#include <gtest/gtest.h>

#include "DLSessTestDb.h"

namespace kelvar {
namespace {

using dltest::TDLTempDatabase;

class DLSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Tmp = new TDLTempDatabase();
        Tmp->Exec({"CREATE TABLE names (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20), GRP INTEGER)",
                   "INSERT INTO names VALUES (1, 'abba', 1)", "INSERT INTO names VALUES (2, 'ab', 1)",
                   "INSERT INTO names VALUES (3, 'xab', 2)", "INSERT INTO names VALUES (4, 'A', 2)",
                   "INSERT INTO names VALUES (5, 'b', 3)", "INSERT INTO names VALUES (6, NULL, 3)",
                   "INSERT INTO names VALUES (7, 'ABBA', 4)"});
    }
    static void TearDownTestSuite() {
        delete Tmp;
        Tmp = nullptr;
    }
    void SetUp() override {
        Tmp->Setup(Db);
        Q.SetDatabaseName(Db.GetDatabaseName());
        Q.SetSQL("SELECT ID, NAME, GRP FROM names ORDER BY ID");
    }

    std::vector<int64_t> Ids() {
        std::vector<int64_t> ids;
        for (Q.First(); !Q.Eof(); Q.Next()) ids.push_back(Q.FieldByName("ID").AsInteger());
        return ids;
    }

    static TDLTempDatabase* Tmp;
    TDLDatabase Db;
    TDLQuery Q;
};
TDLTempDatabase* DLSearchTest::Tmp = nullptr;

TEST_F(DLSearchTest, LocateMatchesByTheOptions) {
    Q.Open();
    struct {
        const char* key;
        uint8_t options;
        int64_t id;  // 0: not found
    } cases[] = {
        {"ABBA", 0, 7}, {"ABBA", loCaseInsensitive, 1}, {"AB", loCaseInsensitive | loPartialKey, 1},
        {"AB", 0, 0},   {"ab", loPartialKey, 1},        {"zz", loCaseInsensitive | loPartialKey, 0},
    };
    for (const auto& c : cases) {
        Q.First();
        bool found = Q.Locate("NAME", std::string(c.key), c.options);
        EXPECT_EQ(found, c.id != 0) << c.key << " " << int(c.options);
        if (found)
            EXPECT_EQ(Q.FieldByName("ID").AsInteger(), c.id) << c.key;
        else
            EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 1);  // the cursor stayed
    }
    // Several key fields take an array of values.
    EXPECT_TRUE(Q.Locate("GRP;NAME", TDLVariant::TArray{2, std::string("A")}, 0));
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 4);
    EXPECT_THROW(Q.Locate("NOPE", 1, 0), EDatabaseError);
}

TEST_F(DLSearchTest, LocateFetchesOnlyUpToTheMatch) {
    Q.Open();
    EXPECT_EQ(Q.CachedRowCount(), 1);
    ASSERT_TRUE(Q.Locate("ID", 4, 0));
    EXPECT_EQ(Q.CachedRowCount(), 4);
    EXPECT_EQ(Q.GetRecNo(), 4);
    EXPECT_FALSE(Q.Locate("ID", 99, 0));
    EXPECT_EQ(Q.CachedRowCount(), 7);
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 4);
}

TEST_F(DLSearchTest, LookupAnswersWithoutMovingTheCursor) {
    Q.Open();
    EXPECT_EQ(Q.Lookup("ID", 3, "NAME").AsString(), "xab");
    EXPECT_TRUE(Q.Lookup("ID", 42, "NAME").IsNull());
    TDLVariant both = Q.Lookup("ID", 5, "NAME;GRP");
    ASSERT_TRUE(both.IsArray());
    EXPECT_EQ(both.AsArray()[1].AsInteger(), 3);
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 1);
}

TEST_F(DLSearchTest, FiltersHideRowsThatFailTheExpression) {
    Q.SetFilter("NAME LIKE 'ab*'");
    Q.SetFiltered(true);
    Q.Open();
    EXPECT_EQ(Ids(), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(Q.RecordCount(), 2);
    Q.SetFilterOptions({false, true});  // no partial compare: only the text ab* itself
    EXPECT_TRUE(Ids().empty());
    Q.SetFilter("GRP > 10");
    EXPECT_TRUE(Q.IsEmpty());
    EXPECT_EQ(Q.RecordCount(), 0);
    EXPECT_TRUE(Q.Bof() && Q.Eof());
    Q.SetFiltered(false);
    EXPECT_EQ(Q.RecordCount(), 7);
}

TEST_F(DLSearchTest, FilterEventsAndFindWalkTheVisibleRows) {
    Q.SetOnFilterRecord([](TDLDataSet& ds, bool& accept) { accept = ds.FieldByName("GRP").AsInteger() % 2 == 0; });
    Q.SetFiltered(true);
    Q.Open();
    EXPECT_EQ(Q.CachedRowCount(), 3);  // rows 1 and 2 were skipped to reach the first visible one
    EXPECT_TRUE(Q.FindLast());
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 7);
    EXPECT_TRUE(Q.FindPrior());
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 4);
    EXPECT_TRUE(Q.FindFirst());
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 3);
    EXPECT_TRUE(Q.FindNext());
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 4);
    EXPECT_TRUE(Q.FindNext());
    EXPECT_FALSE(Q.FindNext());
    EXPECT_FALSE(Q.GetFound());
    EXPECT_EQ(Q.FieldByName("ID").AsInteger(), 7);
}

TEST_F(DLSearchTest, AFailingFilterIsReportedAndTheRowStays) {
    Q.SetOnFilterRecord([](TDLDataSet&, bool&) { throw EDatabaseError("filter broke"); });
    Q.SetFiltered(true);
    Q.Open();
    EXPECT_EQ(Q.RecordCount(), 7);
}

TEST_F(DLSearchTest, SortingReordersTheCachedRows) {
    Q.Open();
    Q.SortCachedRows({1}, {true}, {false});  // NAME, case-insensitive, descending
    EXPECT_EQ(Ids(), (std::vector<int64_t>{3, 5, 1, 7, 2, 4, 6}));
    Q.First();
    EXPECT_EQ(Q.GetRecNo(), 1);
    Q.Last();
    EXPECT_EQ(Q.GetRecNo(), 7);
    Q.SortCachedRows({2, 0}, {false}, {true, false});  // GRP ascending, then ID descending
    EXPECT_EQ(Ids(), (std::vector<int64_t>{2, 1, 4, 3, 6, 5, 7}));
    try {
        Q.SortCachedRows({}, {}, {});
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Invalid array in GetRecordFieldsValue");
    }
}

TEST_F(DLSearchTest, SortingTwoRowsCaseInsensitiveDescending) {
    Q.SetSQL("SELECT NAME FROM names WHERE ID IN (4, 5) ORDER BY ID");
    Q.Open();
    Q.SortCachedRows({0}, {true}, {false});
    Q.First();
    EXPECT_EQ(Q.FieldByName("NAME").AsString(), "b");
    Q.Next();
    EXPECT_EQ(Q.FieldByName("NAME").AsString(), "A");
}

}  // namespace
}  // namespace kelvar
