#include <gtest/gtest.h>

#include "common/SongTestDatabase.h"
#include "core/playlist/PreparedStatement.h"

namespace kelvar {
namespace {

class PreparedStatementTest : public songtest::TSongDbFixture {};

// One text, many runs: values of every kind a song row takes, a long text into the lyrics blob
// (as bytes: a text parameter holds 32 KB at most), and a look-up that reads them back.
TEST_F(PreparedStatementTest, RunsAgainWithNewValuesAndReadsRows) {
    ISQLConnectionPtr connection = PoolGetWriteConnection();
    {
        TPreparedStatement insert(*connection,
                                  "INSERT INTO songlist (ID, filename, weight, lyrics, date_added) VALUES (:ID, "
                                  ":filename, :weight, :lyrics, :added)");
        const std::string lyrics(70000, 'l');
        const TBytes lyricsBytes(lyrics.begin(), lyrics.end());
        for (int id = 1; id <= 3; ++id)
            EXPECT_EQ(insert.Exec({id, "/f" + std::to_string(id), 20.5 + id,
                                   id == 2 ? TDLVariant(lyricsBytes) : TDLVariant("short"),
                                   TDLVariant::FromDateTime(45000.25)}),
                      1);
        TPreparedStatement read(*connection, "SELECT ID, weight, lyrics FROM songlist WHERE ID >= :ID ORDER BY ID");
        read.Open({2});
        ASSERT_TRUE(read.Next());
        EXPECT_EQ(read.Value("ID").AsInteger(), 2);
        EXPECT_EQ(read.Value("lyrics").AsString().size(), lyrics.size());
        ASSERT_TRUE(read.Next());
        EXPECT_DOUBLE_EQ(read.Value("weight").AsFloat(), 23.5);
        EXPECT_FALSE(read.Next());
        read.Open({3});
        ASSERT_TRUE(read.Next());
        EXPECT_EQ(read.Value("lyrics").AsString(), "short");
    }
    connection->Commit();
    EXPECT_EQ(CountRows("songlist"), 3);
}

}  // namespace
}  // namespace kelvar
