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
