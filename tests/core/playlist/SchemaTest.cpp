// The song database as the setup's scripts make it: what the statements of the player rely on.
#include <gtest/gtest.h>

#include <string>

#include "common/SongTestDatabase.h"

namespace kelvar {
namespace {

class SchemaTest : public songtest::TSongDbFixture {};

TEST_F(SchemaTest, ScriptsSuitTheSetupsRunner) {
    // The runner binds ":name" and expands "%name" anywhere in a statement.
    for (const char* script : {"tables.sql", "data.sql"}) {
        const std::string text = songtest::ReadTextFile(songtest::SchemaFolder() + script);
        EXPECT_EQ(text.find(':'), std::string::npos) << script;
        EXPECT_EQ(text.find('%'), std::string::npos) << script;
        EXPECT_FALSE(songtest::SplitScript(text).empty()) << script;
    }
    auto ver = PoolQuery(
        "SELECT rdb$description AS ver  FROM rdb$relation_fields  WHERE     (rdb$relation_name  = :category)       AND "
        "(rdb$field_name = :ID)",
        {"CATEGORY", "ID"});
    ASSERT_FALSE(ver->IsEmpty());
    EXPECT_EQ(ver->GetFieldValue("ver").AsString(), "3");
}

TEST_F(SchemaTest, NewRowsGetUsableDefaults) {
    PoolExecSQL("INSERT INTO songlist (ID, filename) VALUES (NEXT VALUE FOR GEN_songlist_ID, 'x.mp3')");
    auto row = PoolQuery("SELECT * FROM songlist");
    EXPECT_EQ(row->GetFieldValue("duration").AsInteger(), -1);
    EXPECT_EQ(row->GetFieldValue("status").AsInteger(), 0);
    EXPECT_EQ(row->GetFieldValue("songtype").AsString(), "S");
    EXPECT_EQ(row->GetFieldValue("count_played").AsInteger(), 0);
    // The rules compare the play dates with "<": an unplayed song must look long unplayed.
    EXPECT_EQ(CountRows("songlist",
                        "date_played < CURRENT_TIMESTAMP AND date_artist_played < CURRENT_TIMESTAMP "
                        "AND date_album_played < CURRENT_TIMESTAMP AND date_title_played < CURRENT_TIMESTAMP"),
              1);
    EXPECT_THROW(PoolExecSQL("UPDATE songlist SET date_played = NULL"), std::exception);
}

TEST_F(SchemaTest, WeightAndBalanceKeepFractions) {
    const int id = AddSongRow("/m/a.mp3");
    PoolExecSQL("UPDATE songlist SET weight = 90.5 WHERE ID = :id", {id});
    EXPECT_EQ(PoolQuery("SELECT weight FROM songlist")->GetFieldValue("weight").AsFloat(), 90.5);
    PoolExecSQL("UPDATE songlist SET weight = 65, balance = 0 WHERE ID = :id", {id});
    PoolExecSQL("UPDATE songlist SET balance=balance+(1/weight) WHERE ID = :id", {id});
    EXPECT_NEAR(PoolQuery("SELECT balance FROM songlist")->GetFieldValue("balance").AsFloat(), 1.0 / 65, 1e-12);
}

}  // namespace
}  // namespace kelvar
