#include <gtest/gtest.h>

#include <set>
#include <string>

#include "RotationTestKit.h"
#include "core/rotation/PlaylistRules_imp.h"
#include "core/rotation/RotationErrors.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

using rotationtest::TRotationFixture;
using rotationtest::TSongRow;

const std::string BaseClauses =
    " AND ((playlimit_count<=0) OR (count_played<playlimit_count)) "
    " AND (date_album_played < :albumplayed) "
    " AND (date_artist_played < :artistplayed) "
    " AND (date_title_played < :titleplayed) "
    " AND (date_played < :songplayed) ";

class PlaylistRulesTest : public TRotationFixture {
protected:
    // IDs of the songs that pass the rules.
    std::set<int> Passing() {
        TVariantArray params{0};
        std::string sql = "SELECT ID FROM songlist WHERE (ID > :zero) " + Rules.BuildRulesSQL(params);
        std::set<int> ids;
        auto rows = PoolQuery(sql, params);
        for (rows->First(); !rows->Eof(); rows->Next())
            ids.insert(static_cast<int>(rows->GetFieldValue("ID").AsInteger()));
        return ids;
    }

    TPlaylistRules Rules;
};

TEST_F(PlaylistRulesTest, NothingPlayingAndEmptyQueueGiveTheFiveBaseClauses) {
    TVariantArray params{std::string("mine")};
    const std::string sql = Rules.BuildRulesSQL(params);
    EXPECT_EQ(sql, BaseClauses);
    ASSERT_EQ(params.size(), 5u);
    EXPECT_EQ(params[0].AsString(), "mine");
    // Album, artist, title, song: the defaults are 60, 120, 240 and 240 minutes.
    const double now = NowDateTime();
    const double minutes[] = {60, 120, 240, 240};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(params[1 + i].AsDateTime(), now - minutes[i] / 1440.0, 1.0 / 1440) << i;
}

TEST_F(PlaylistRulesTest, NowPlayingAddsOnlyItsNonEmptyValues) {
    auto song = std::make_shared<TSongInfo>();
    song->SetArtist("A");
    song->SetAlbum("B");
    song->SetID(7);
    Rules.SetNowPlaying(song);
    TVariantArray params;
    const std::string sql = Rules.BuildRulesSQL(params);
    EXPECT_EQ(sql, BaseClauses + " AND (artist <> :artistNPS) " + " AND (album <> :albumNPS) " +
                       " AND (songlist.ID <> :NPSsongID) ");
    ASSERT_EQ(params.size(), 7u);
    EXPECT_EQ(params[4].AsString(), "A");
    EXPECT_EQ(params[5].AsString(), "B");
    EXPECT_EQ(params[6].AsInteger(), 7);
    // The song goes on air and changes there; the rules keep what it was when it was set.
    song->SetArtist("changed on air");
    params.clear();
    Rules.BuildRulesSQL(params);
    EXPECT_EQ(params[4].AsString(), "A");

    Rules.SetNowPlaying(nullptr);
    params.clear();
    EXPECT_EQ(Rules.BuildRulesSQL(params), BaseClauses);
}

TEST_F(PlaylistRulesTest, QueuedSongsAreNumberedWithOneCounter) {
    Enqueue(AddSong("Art1", "Tit1", "Alb1"));
    Enqueue(AddSong("Art2", " ", ""));
    TVariantArray params;
    const std::string sql = Rules.BuildRulesSQL(params);
    EXPECT_EQ(sql, BaseClauses + " AND (artist <> :artist1) " + " AND (album <> :album2) " +
                       " AND (title <> :title3) " + " AND (artist <> :artist4) ");
    ASSERT_EQ(params.size(), 8u);
    EXPECT_EQ(params[4].AsString(), "Art1");
    EXPECT_EQ(params[5].AsString(), "Alb1");
    EXPECT_EQ(params[6].AsString(), "Tit1");
    EXPECT_EQ(params[7].AsString(), "Art2");
}

TEST_F(PlaylistRulesTest, FragmentKeepsRecentAndLimitedSongsOut) {
    const int fresh = AddSong("Fresh", "F", "FA");
    const int songPlayed = AddSong("S", "S", "SA");
    const int artistPlayed = AddSong("Ar", "Ar", "ArA");
    const int titlePlayed = AddSong("T", "T", "TA");
    const int albumPlayed = AddSong("Al", "Al", "AlA");
    const int longAgo = AddSong("L", "L", "LA");
    const int limited = AddSong("Li", "Li", "LiA");
    const int underLimit = AddSong("U", "U", "UA");
    PoolExecSQL("UPDATE songlist SET date_played = :d WHERE ID = :ID", {MinutesAgo(100), songPlayed});
    PoolExecSQL("UPDATE songlist SET date_artist_played = :d WHERE ID = :ID", {MinutesAgo(100), artistPlayed});
    PoolExecSQL("UPDATE songlist SET date_title_played = :d WHERE ID = :ID", {MinutesAgo(100), titlePlayed});
    PoolExecSQL("UPDATE songlist SET date_album_played = :d WHERE ID = :ID", {MinutesAgo(50), albumPlayed});
    PoolExecSQL("UPDATE songlist SET date_played = :d, date_artist_played = :d2 WHERE ID = :ID",
                {MinutesAgo(300), MinutesAgo(300), longAgo});
    PoolExecSQL("UPDATE songlist SET playlimit_count = 3, count_played = 3 WHERE ID = :ID", {limited});
    PoolExecSQL("UPDATE songlist SET playlimit_count = 3, count_played = 2 WHERE ID = :ID", {underLimit});

    EXPECT_EQ(Passing(), (std::set<int>{fresh, longAgo, underLimit}));

    // Zero minutes: only a last play in the future keeps a song out.
    Rules.SetMinArtistTime(0);
    Rules.SetMinSongTime(0);
    Rules.SetMinSongIDTime(0);
    Rules.SetMinAlbumTime(0);
    EXPECT_EQ(Passing(),
              (std::set<int>{fresh, songPlayed, artistPlayed, titlePlayed, albumPlayed, longAgo, underLimit}));
}

TEST_F(PlaylistRulesTest, NowPlayingAndQueuedSongsKeepTheirArtistsTitlesAndAlbumsOut) {
    const int playing = AddSong("P", "PT", "PA");
    const int sameArtistAsPlaying = AddSong("P", "x1", "x1");
    const int queued = AddSong("Q", "QT", "QA");
    const int sameAlbumAsQueued = AddSong("y", "y", "QA");
    const int sameTitleAsQueued = AddSong("z", "QT", "z");
    const int free = AddSong("F", "FT", "FA");
    auto song = std::make_shared<TSongInfo>();
    song->SetID(playing);
    song->SetArtist("P");
    Rules.SetNowPlaying(song);
    Enqueue(queued);
    (void)sameArtistAsPlaying, (void)sameAlbumAsQueued, (void)sameTitleAsQueued;
    EXPECT_EQ(Passing(), std::set<int>{free});
}

// The fragment grows with the queue; a full queue of long, all different names must still run.
TEST_F(PlaylistRulesTest, FiveHundredQueuedSongsStayWithinTheDatabaseLimits) {
    const std::string pad(200, 'x');
    for (int i = 0; i < 500; ++i) {
        const std::string n = std::to_string(i);
        Enqueue(AddSong("Artist " + n + pad, "Title " + n + pad, "Album " + n + pad));
    }
    const int free = AddSong("Free", "Free", "Free");
    TVariantArray params;
    EXPECT_EQ(Passing(), std::set<int>{free});
}

TEST_F(PlaylistRulesTest, SongTypeClauseTakesOnlyALetter) {
    EXPECT_EQ(Rules.SongTypeClause('S'), " AND (songtype = 'S') ");
    EXPECT_EQ(Rules.SongTypeClause('A'), " AND (songtype = 'A') ");
    for (char bad : {'\'', 's', '0', '\0', ')', static_cast<char>(0xC3)})
        EXPECT_THROW(Rules.SongTypeClause(bad), ERotationError) << static_cast<int>(bad);
    EXPECT_EQ(Rules.StatusClause(0), " AND (status = 0) ");
}

TEST_F(PlaylistRulesTest, ConfigurationRoundTripsAndKeepsDefaultsForMissingKeys) {
    auto config = NewConfig();
    auto node = config->Section("PlaylistRules");
    node->WriteInteger("MinArtistTime", 30);
    node->WriteString("MinQueueSize", "not a number");
    Rules.LoadConfig(*node);
    EXPECT_EQ(Rules.GetMinArtistTime(), 30);
    EXPECT_EQ(Rules.GetMinSongTime(), 240);
    EXPECT_EQ(Rules.GetMinQueueSize(), 0);
    EXPECT_TRUE(Rules.GetUseGhostQueue());

    Rules.SetMinQueueSize(3);
    Rules.SetUseGhostQueue(false);
    Rules.SetMinAlbumTime(15);
    auto saved = NewConfig()->Section("PlaylistRules");
    Rules.SaveConfig(*saved);
    TPlaylistRules other;
    other.LoadConfig(*saved);
    EXPECT_EQ(other.GetMinArtistTime(), 30);
    EXPECT_EQ(other.GetMinAlbumTime(), 15);
    EXPECT_EQ(other.GetMinQueueSize(), 3);
    EXPECT_FALSE(other.GetUseGhostQueue());
}

}  // namespace
}  // namespace kelvar
