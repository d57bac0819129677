#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RotationTestKit.h"
#include "core/rotation/Logic_weighted.h"
#include "core/rotation/PlaylistRules_imp.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

using rotationtest::TRotationFixture;
using rotationtest::TSongRow;

class WeightedRotationTest : public TRotationFixture {
protected:
    void SetUp() override {
        TRotationFixture::SetUp();
        Logic = std::make_shared<TplWeightedRotation>();
        Logic->SetRules(Rules);
        Logic->SetRandomSeed(1234);
    }
    void TearDown() override {
        Logic.reset();
        TRotationFixture::TearDown();
    }

    static int AddWeighted(const std::string& artist, double weight, double balance) {
        TSongRow row;
        row.Artist = artist;
        row.Title = artist + " title";
        row.Album = artist + " album";
        row.Weight = weight;
        row.Balance = balance;
        return AddSong(row);
    }

    // How often each song is chosen in Count choices.
    std::map<int, int> Choices(int count) {
        std::map<int, int> seen;
        for (int i = 0; i < count; ++i) {
            ISongInfoPtr song = Logic->ChooseSong();
            seen[song ? song->GetID() : 0]++;
        }
        Logic->GetDelayedQuery()->WaitForAll();
        return seen;
    }

    std::shared_ptr<TPlaylistRules> Rules = std::make_shared<TPlaylistRules>();
    std::shared_ptr<TplWeightedRotation> Logic;
};

TEST_F(WeightedRotationTest, LowestBalanceRowIsSkippedAndTheLastRowTakesTheRest) {
    Logic->EnforceRules = false;
    const int only = AddWeighted("only", 50, 1);
    EXPECT_EQ(Choices(20), (std::map<int, int>{{only, 20}}));

    const int second = AddWeighted("second", 50, 2);
    const int third = AddWeighted("third", 50, 3);
    const auto seen = Choices(1000);
    EXPECT_EQ(seen.count(only), 0u);
    EXPECT_NEAR(seen.at(second), 100, 40);
    EXPECT_NEAR(seen.at(third), 900, 40);
}

// Equal balances fall to the heavier songs, whether few songs share the balance or so many that
// the whole order has to be sorted.
TEST_F(WeightedRotationTest, EqualBalancesGoByWeight) {
    Logic->EnforceRules = false;
    for (int songs : {12, 60}) {
        PoolExecSQL("DELETE FROM songlist");
        std::map<int, double> weightOf;
        for (int i = 0; i < songs; ++i) weightOf[AddWeighted("artist" + std::to_string(i), 11 + i, 7)] = 11 + i;
        const double heaviest = 10 + songs;
        for (int i = 0; i < 30; ++i) {
            ISongInfoPtr song = Logic->ChooseSong();
            ASSERT_TRUE(song);
            const double weight = weightOf.at(song->GetID());
            EXPECT_LT(weight, heaviest) << songs << " songs: the first candidate is never taken";
            EXPECT_GE(weight, heaviest - 9) << songs << " songs: only the ten heaviest are candidates";
            Logic->GetDelayedQuery()->WaitForAll();
            PoolExecSQL("UPDATE songlist SET balance = 7");  // the choice raised one
        }
    }
}

// The queue's artists, albums and titles are kept out the way the database compares texts:
// trailing blanks don't count and a NULL never passes.
TEST_F(WeightedRotationTest, QueuedArtistsAlbumsAndTitlesAreKeptOut) {
    Enqueue(AddSong("Q", "QT", "QA"));
    Enqueue(AddSong("R", " ", ""));
    AddSong("Q  ", "x1", "x1");
    AddSong("y", "y", "QA");
    AddSong("z", "QT ", "z");
    AddSong("R", "w", "w");
    const int nullArtist = AddSong("n", "n", "n");
    PoolExecSQL("UPDATE songlist SET artist = NULL WHERE ID = :ID", {nullArtist});
    const int free = AddSong("F", "FT", "FA");
    for (int i = 0; i < 5; ++i) {
        ISongInfoPtr song = Logic->ChooseSong();
        ASSERT_TRUE(song);
        EXPECT_EQ(song->GetID(), free);
        Logic->GetDelayedQuery()->WaitForAll();
        PoolExecSQL("UPDATE songlist SET date_artist_played = '2000-01-01'");
    }
    // The database's own reading of the rules agrees.
    TVariantArray params{0};
    auto rows = PoolQuery("SELECT ID FROM songlist WHERE (ID > :zero) " + Rules->BuildRulesSQL(params), params);
    std::vector<int> passing;
    for (rows->First(); !rows->Eof(); rows->Next())
        passing.push_back(static_cast<int>(rows->GetFieldValue("ID").AsInteger()));
    EXPECT_EQ(passing, std::vector<int>{free});
}

// Songs made in one statement: Balance and Weight are expressions of n = 0 .. Count - 1.
static void AddSongs(int count, const std::string& balance, const std::string& weight) {
    PoolExecSQL(
        "INSERT INTO songlist (ID, filename, artist, title, album, duration, balance, weight) WITH RECURSIVE r AS "
        "(SELECT 0 AS n FROM RDB$DATABASE UNION ALL SELECT n + 1 FROM r WHERE n < " +
        std::to_string(count - 1) +
        ") SELECT NEXT VALUE FOR GEN_songlist_ID, '/bulk/' || n || '.mp3', 'A' || MOD(n, 13), 'T' || n, 'L' || n, "
        "180000, " +
        balance + ", " + weight + " FROM r");
}

// The candidates read along the indexes are the first rows of the plain statement, whatever the
// balances: all equal, a few values, all different, or lower ones beyond the first rows read;
// with queued artists kept out and weights that tie too.
TEST_F(WeightedRotationTest, IndexCandidatesEqualTheSortedStatement) {
    const struct {
        const char* Name;
        const char* Balance;
        const char* Weight;
    } cases[] = {
        {"all equal", "0", "20 + MOD(n * 37, 61)"},
        {"few values", "MOD(n, 3)", "20 + MOD(n * 37, 61)"},
        {"all different", "(200 - n) / 100.0", "20 + MOD(n, 7)"},
        {"equal weights", "MOD(n, 2)", "50"},
        {"one low among many", "CASE WHEN n = 170 THEN -1 WHEN n < 100 THEN 0 ELSE 2 END", "20 + MOD(n * 11, 61)"},
    };
    for (const auto& c : cases) {
        for (bool queued : {false, true}) {
            PoolExecSQL("DELETE FROM queuelist");
            PoolExecSQL("DELETE FROM songlist");
            AddSongs(180, c.Balance, c.Weight);
            if (queued) {
                // The heaviest songs' artists go out.
                auto heavy = PoolQuery("SELECT FIRST 3 ID FROM songlist ORDER BY weight DESC");
                for (heavy->First(); !heavy->Eof(); heavy->Next())
                    Enqueue(static_cast<int>(heavy->GetFieldValue("ID").AsInteger()));
            }
            TVariantArray params{Logic->MinWeight};
            auto rows = PoolQueryLimit("SELECT ID, balance, weight FROM songlist WHERE (weight>:minweight) " +
                                           Rules->BuildRulesSQL(params) +
                                           " AND (status = 0) AND (songtype = 'S') ORDER BY balance ASC, weight DESC",
                                       params, true, 10, 0);
            std::vector<std::pair<double, double>> expected;
            for (rows->First(); !rows->Eof(); rows->Next())
                expected.emplace_back(rows->GetFieldValue("balance").AsFloat(),
                                      rows->GetFieldValue("weight").AsFloat());

            std::vector<int> ids;
            ASSERT_TRUE(Logic->IndexCandidates(ids)) << c.Name;
            std::vector<std::pair<double, double>> actual;
            for (int id : ids) actual.emplace_back(FieldOf(id, "balance"), FieldOf(id, "weight"));
            EXPECT_EQ(actual, expected) << c.Name << (queued ? ", queued artists out" : "");
            ASSERT_EQ(expected.size(), 10u);
        }
    }
}

// On a library whose heaviest songs share a few artists and a balance, hundreds of choices and
// plays keep every artist 40 minutes apart (a song every four minutes). Time runs on by moving
// the rule's limit back rather than every stored date, which would leave the engine thousands of
// old record versions to clean.
TEST_F(WeightedRotationTest, ArtistSeparationHoldsOverManyChoicesOnASkewedLibrary) {
    Rules->SetMinSongTime(0);
    Rules->SetMinAlbumTime(0);
    Rules->SetMinSongIDTime(0);
    AddSongs(260, "CASE WHEN MOD(n, 13) < 4 THEN 0 ELSE n / 100.0 END",
             "CASE WHEN MOD(n, 13) < 4 THEN 95 ELSE 15 + MOD(n, 5) END");
    PoolExecSQL("UPDATE songlist SET date_artist_played = '2000-01-01'");
    const TDateTime start = NowDateTime() - 1000.0 / 1440;  // the picks' time starts 1000 minutes ago
    std::map<std::string, int> lastPick;
    int heavyPicks = 0;
    for (int pick = 0; pick < 200; ++pick) {
        // Four minutes per pick: a play at pick p lies at start + 4 p minutes; 40 minutes apart.
        Rules->SetMinArtistTime(1000 - 4 * pick + 40);
        ISongInfoPtr song = Logic->ChooseSong();
        ASSERT_TRUE(song) << "no song at choice " << pick;
        const std::string artist = song->GetArtist();
        auto last = lastPick.find(artist);
        if (last != lastPick.end()) {
            EXPECT_GT(pick - last->second, 10) << artist << " at " << pick;
        }
        lastPick[artist] = pick;
        if (artist == "A0" || artist == "A1" || artist == "A2" || artist == "A3") ++heavyPicks;
        Logic->GetDelayedQuery()->WaitForAll();
        // Played as the playlist control records a play, half way through the pick's minutes.
        PoolExecSQL("UPDATE songlist SET balance = balance + 1 / weight WHERE ID = :ID", {song->GetID()});
        PoolExecSQL("UPDATE songlist SET date_artist_played = :at WHERE artist = :artist",
                    {TDLVariant::FromDateTime(start + (4.0 * pick + 2) / 1440), artist});
    }
    // The heavy artists come back as soon as the rule lets them.
    EXPECT_GE(heavyPicks, 40);
}

TEST_F(WeightedRotationTest, OnlyAvailableMusicAboveTheMinimumWeightIsChosen) {
    Logic->EnforceRules = false;
    AddWeighted("at minimum", 10, 0);
    TSongRow jingle;
    jingle.Artist = "jingle";
    jingle.SongType = "J";
    AddSong(jingle);
    TSongRow missing;
    missing.Artist = "missing";
    missing.Status = 6;
    AddSong(missing);
    EXPECT_EQ(Logic->ChooseSong(), nullptr);

    const int good = AddWeighted("good", 10.5, 5);
    ISongInfoPtr song = Logic->ChooseSong();
    ASSERT_TRUE(song);
    EXPECT_EQ(song->GetID(), good);
    EXPECT_EQ(song->GetArtist(), "good");
}

TEST_F(WeightedRotationTest, AChoiceMarksTheArtistPlayedSoTheRulesKeepItAway) {
    const int a = AddWeighted("A", 50, 0);
    const int b = AddWeighted("B", 50, 0);
    ISongInfoPtr first = Logic->ChooseSong();
    ASSERT_TRUE(first);
    Logic->GetDelayedQuery()->WaitForAll();
    EXPECT_NEAR(FieldOf(first->GetID(), "balance"), 0.001, 1e-9);
    ISongInfoPtr second = Logic->ChooseSong();
    ASSERT_TRUE(second);
    EXPECT_NE(second->GetID(), first->GetID());
    Logic->GetDelayedQuery()->WaitForAll();
    EXPECT_EQ(Logic->ChooseSong(), nullptr);

    // Without the rules the artists' recent choice doesn't matter.
    Logic->EnforceRules = false;
    ISongInfoPtr any = Logic->ChooseSong();
    ASSERT_TRUE(any);
    EXPECT_TRUE(any->GetID() == a || any->GetID() == b);
}

TEST_F(WeightedRotationTest, PlaysAndRequestsMoveTheWeightWithinTenToHundred) {
    struct TCase {
        double Weight;
        std::string SongType;
        bool Request;
        double Expected;
    } cases[] = {
        {50, "S", false, 49.5}, {10.3, "S", false, 10.3}, {10.5, "S", false, 10.0}, {50, "J", false, 50},
        {50, "S", true, 55},    {96, "S", true, 96},      {95, "S", true, 100},     {50, "P", true, 50},
    };
    for (const TCase& c : cases) {
        TSongRow row;
        row.Weight = c.Weight;
        row.SongType = c.SongType;
        const int id = AddSong(row);
        auto song = std::make_shared<TSongInfo>();
        song->SetID(id);
        song->SetValue("songtype", c.SongType);
        if (c.Request) {
            std::string message;
            int code = 0;
            Logic->OnRequest(song, "host", message, code);
        } else {
            Logic->OnPlay(song);
        }
        Logic->GetDelayedQuery()->WaitForAll();
        EXPECT_NEAR(FieldOf(id, "weight"), c.Expected, 1e-9) << c.Weight << " " << c.SongType << " " << c.Request;
    }
}

TEST_F(WeightedRotationTest, AFailedSongDropsBelowTheMinimumEvenWithWeightZero) {
    Logic->EnforceRules = false;
    const int normal = AddWeighted("normal", 50, 1);
    const int zero = AddWeighted("zero", 0, 1);
    for (int id : {normal, zero}) {
        auto song = std::make_shared<TSongInfo>();
        song->SetID(id);
        Logic->OnFail(song);
    }
    Logic->GetDelayedQuery()->WaitForAll();
    EXPECT_DOUBLE_EQ(FieldOf(normal, "weight"), 5);
    EXPECT_NEAR(FieldOf(normal, "balance"), 1.02, 1e-9);
    EXPECT_DOUBLE_EQ(FieldOf(zero, "weight"), 5);
    EXPECT_DOUBLE_EQ(FieldOf(zero, "balance"), 1);
    auto played = PoolQuery("SELECT COUNT(*) AS N FROM songlist WHERE date_played > :d", {MinutesAgo(5)});
    EXPECT_EQ(played->GetFieldValue("N").AsInteger(), 2);
    EXPECT_EQ(Logic->ChooseSong(), nullptr);
}

}  // namespace
}  // namespace kelvar
