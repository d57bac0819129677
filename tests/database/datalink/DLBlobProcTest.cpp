// Blob streams over a dataset's row and stored procedures, on a real embedded database.
#include <gtest/gtest.h>

#include <cstring>

#include "DLSessTestDb.h"

namespace kelvar {
namespace {

using dltest::TDLTempDatabase;

class DLBlobProcTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Tmp = new TDLTempDatabase();
        Tmp->Exec({"CREATE TABLE pics (ID INTEGER NOT NULL PRIMARY KEY, DATA BLOB SUB_TYPE 0)",
                   "INSERT INTO pics (ID) VALUES (1)",
                   "CREATE PROCEDURE ADDMUL (A INTEGER, B INTEGER) RETURNS (S INTEGER, P INTEGER, T VARCHAR(20)) AS "
                   "BEGIN S = A + B; P = A * B; T = 'sum ' || (A + B); END",
                   "CREATE PROCEDURE FAILS (A INTEGER) RETURNS (S INTEGER) AS BEGIN S = 1 / A; END"});
    }
    static void TearDownTestSuite() {
        delete Tmp;
        Tmp = nullptr;
    }
    void SetUp() override {
        Tmp->Setup(Db);
        Q.SetDatabaseName(Db.GetDatabaseName());
        Q.SetSQL("SELECT ID, DATA FROM pics WHERE ID = 1");
        Q.SetRequestLive(true);
        Q.SetUpdateMode(upWhereKeyOnly);
        Q.Open();
    }

    static TDLTempDatabase* Tmp;
    TDLDatabase Db;
    TDLQuery Q;
};
TDLTempDatabase* DLBlobProcTest::Tmp = nullptr;

TEST_F(DLBlobProcTest, ANullBlobReadsAsNothing) {
    TDLBlobStream s(Q.FieldByName("DATA"), bmRead);
    char buf[8];
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Read(buf, sizeof buf), 0);
}

TEST_F(DLBlobProcTest, WritingNeedsEditState) {
    try {
        TDLBlobStream s(Q.FieldByName("DATA"), bmWrite);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
    }
}

TEST_F(DLBlobProcTest, WritingPastTheEndFillsWithZerosAndIsPosted) {
    Q.Edit();
    {
        TDLBlobStream s(Q.FieldByName("DATA"), bmReadWrite);
        EXPECT_EQ(s.Seek(5, 0), 5);
        const char ten[] = "0123456789";
        EXPECT_EQ(s.Write(ten, 10), 10);
        EXPECT_EQ(s.Size(), 15);
    }
    EXPECT_TRUE(Q.FieldByName("DATA").Modified);
    TBytes data = Q.FieldByName("DATA").AsBytes();
    ASSERT_EQ(data.size(), 15u);
    EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 5), std::vector<uint8_t>(5, 0));
    EXPECT_EQ(data[5], '0');
    Q.Post();

    TDLQuery check;
    check.SetDatabaseName(Db.GetDatabaseName());
    check.SetSQL("SELECT DATA FROM pics WHERE ID = 1");
    check.Open();
    EXPECT_EQ(check.FieldByName("DATA").AsBytes(), data);
}

TEST_F(DLBlobProcTest, PositionsOutsideTheBlobAreSafe) {
    Q.Edit();
    TDLBlobStream s(Q.FieldByName("DATA"), bmWrite);
    s.Write("abc", 3);
    char buf[8] = {};
    s.Seek(100, 0);
    EXPECT_EQ(s.Read(buf, sizeof buf), 0);
    EXPECT_THROW(s.Seek(-1, 0), EDatabaseError);
    EXPECT_THROW(s.Seek(-10, 2), EDatabaseError);
    EXPECT_EQ(s.Position(), 100);
    s.Seek(-2, 2);
    EXPECT_EQ(s.Read(buf, sizeof buf), 2);
    EXPECT_EQ(std::string(buf, 2), "bc");
    s.SetSize(1);
    EXPECT_EQ(s.Size(), 1);
    EXPECT_EQ(s.Position(), 1);
}

TEST_F(DLBlobProcTest, CancelDropsWhatAStreamWrote) {
    TDLVariant before = Q.FieldByName("DATA").GetValue();
    Q.Edit();
    {
        TDLBlobStream s(Q.FieldByName("DATA"), bmWrite);
        s.Write("xyz", 3);
    }
    Q.Cancel();
    EXPECT_EQ(Q.FieldByName("DATA").GetValue(), before);
    EXPECT_FALSE(Q.FieldByName("DATA").Modified);
}

TEST_F(DLBlobProcTest, RunProcedureDeliversOutputParameters) {
    int held = Db.GetRefCount();
    TDLStoredProc p;
    p.SetDatabaseName(Db.GetDatabaseName());
    p.SetStoredProcName("ADDMUL");
    p.Prepare();
    ASSERT_EQ(p.GetParams().Count(), 5);
    p.ParamByName("A").SetValue(6);
    p.ParamByName("B").SetValue(7);
    p.RunProcedure();
    EXPECT_EQ(p.ParamByName("S").Value.AsInteger(), 13);
    EXPECT_EQ(p.ParamByName("P").Value.AsInteger(), 42);
    EXPECT_EQ(p.ParamByName("T").Value.AsString(), "sum 13");
    p.ParamByName("B").SetValue(1);
    p.RunProcedure();
    EXPECT_EQ(p.ParamByName("S").Value.AsInteger(), 7);
    EXPECT_EQ(p.ParamByName("P").Value.AsInteger(), 6);
    p.UnPrepare();
    EXPECT_EQ(Db.GetRefCount(), held);
}

TEST_F(DLBlobProcTest, AFailingProcedureClearsItsOutputsAndLetsGo) {
    TDLStoredProc p;
    p.SetDatabaseName(Db.GetDatabaseName());
    p.SetStoredProcName("FAILS");
    p.Prepare();
    p.ParamByName("A").SetValue(1);
    p.RunProcedure();
    EXPECT_EQ(p.ParamByName("S").Value.AsInteger(), 1);
    p.ParamByName("A").SetValue(0);
    EXPECT_THROW(p.RunProcedure(), EDLEngineError);
    EXPECT_TRUE(p.ParamByName("S").IsNull());
    EXPECT_FALSE(Db.Busy);
    // A new name drops the parameters.
    p.UnPrepare();
    p.SetStoredProcName("ADDMUL");
    EXPECT_EQ(p.GetParams().Count(), 0);
}

}  // namespace
}  // namespace kelvar
