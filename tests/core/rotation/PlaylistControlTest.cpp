#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "RotationTestKit.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/SongList.h"
#include "core/rotation/PlaylistControl_imp.h"
#include "core/rotation/PlaylistLogic_imp.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

using rotationtest::TRotationFixture;
using rotationtest::TSongRow;

// A logic that hands out a fixed song and counts what it is told.
class TCountingLogic : public TPlaylistLogic {
public:
    ISongInfoPtr ChooseSong() override {
        ++Chosen;
        return Next;
    }
    void OnPlay(const ISongInfoPtr&) override {
        ++Played;
        if (FailOnPlay) throw std::runtime_error("logic failed");
    }
    void OnFail(const ISongInfoPtr&) override { ++Failed; }
    void LoadConfig(IConfigDoc& node) override { Setting = node.ReadString("Setting", Setting); }
    void SaveConfig(IConfigDoc& node) override { node.WriteString("Setting", Setting); }

    ISongInfoPtr Next;
    int Chosen = 0, Played = 0, Failed = 0;
    bool FailOnPlay = false;
    std::string Setting;
    IPlaylistRulesPtr GivenRules() const { return Rules; }
};

class PlaylistControlTest : public TRotationFixture {
protected:
    void SetUp() override {
        TRotationFixture::SetUp();
        Control = std::make_unique<TPlaylistControl>();
        Logic = std::make_shared<TCountingLogic>();
        Control->SetLogic(Logic);
    }
    void TearDown() override {
        Control->GetDelayedQuery()->WaitForAll();
        Control.reset();
        TRotationFixture::TearDown();
    }

    static ISongInfoPtr Song(int id, const std::string& artist = "", const std::string& title = "",
                             const std::string& album = "") {
        auto song = TSongInfo::Create(id, "/music/" + std::to_string(id) + ".mp3");
        song->SetArtist(artist);
        song->SetTitle(title);
        song->SetAlbum(album);
        return song;
    }

    void Queue(int id) { Control->GetPlaylistManager()->Queue->AddSong(*Song(id), ipBottom); }

    // Whether the rules still exclude a now-playing song.
    bool HasNowPlaying() {
        TVariantArray params;
        return Control->GetRules()->BuildRulesSQL(params).find("NPS") != std::string::npos;
    }

    std::unique_ptr<TPlaylistControl> Control;
    std::shared_ptr<TCountingLogic> Logic;
};

TEST_F(PlaylistControlTest, NextSongComesFromQueueThenGhostThenLogic) {
    EXPECT_EQ(Logic->GivenRules(), Control->GetRules());
    const int queued = AddSong("Q", "QT", "QA");
    const int chosen = AddSong("C", "CT", "CA");
    Queue(queued);
    Control->GetRules()->SetGhostSong(Song(999, "Ghost"));
    ISongInfoPtr song = Control->GetNextSong();
    ASSERT_TRUE(song);
    EXPECT_EQ(song->GetID(), queued);
    EXPECT_EQ(CountRows("queuelist"), 0);
    EXPECT_EQ(Control->GetRules()->GetGhostSong(), nullptr) << "a queued song drops the ghost song";
    EXPECT_TRUE(HasNowPlaying());

    auto ghost = Song(chosen, "Ghost");
    Control->GetRules()->SetGhostSong(ghost);
    EXPECT_EQ(Control->GetNextSong(), ghost);
    EXPECT_EQ(Control->GetRules()->GetGhostSong(), nullptr);
    EXPECT_EQ(Logic->Chosen, 0);

    Logic->Next = Song(chosen, "C");
    EXPECT_EQ(Control->GetNextSong(), Logic->Next);
    EXPECT_EQ(Logic->Chosen, 1);

    Logic->Next = nullptr;
    EXPECT_EQ(Control->GetNextSong(), nullptr);
    EXPECT_FALSE(HasNowPlaying());

    // Without a logic there is simply no choice.
    Control->SetLogic(nullptr);
    EXPECT_EQ(Control->GetNextSong(), nullptr);
    Control->SongFailed(Song(1));
    Control->SongEnded(Song(1));
}

TEST_F(PlaylistControlTest, FallbackIsTheSongPlayedLongestAgoAndMovesOn) {
    EXPECT_EQ(Control->GetFallbackSong(), nullptr);
    const int recent = AddSong("R", "R", "R");
    const int old = AddSong("O", "O", "O");
    PoolExecSQL("UPDATE songlist SET date_played = :d WHERE ID = :ID", {MinutesAgo(10), recent});
    PoolExecSQL("UPDATE songlist SET date_played = :d WHERE ID = :ID", {MinutesAgo(1000), old});
    ISongInfoPtr first = Control->GetFallbackSong();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->GetID(), old);
    EXPECT_EQ(first->GetArtist(), "O");
    Control->GetDelayedQuery()->WaitForAll();
    ISongInfoPtr second = Control->GetFallbackSong();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->GetID(), recent);
}

TEST_F(PlaylistControlTest, APlayIsBookedInHistoryAndStatistics) {
    TSongRow row;
    row.Artist = "A";
    row.Title = "T";
    row.Album = "L";
    row.Weight = 50;
    const int id = AddSong(row);
    const int sameArtist = AddSong("A", "other", "other");
    const int sameAlbum = AddSong("B", "other2", "L");
    const int untitled = AddSong("C", "", "");
    auto song = Song(id, "A", "T", "L");
    Control->SongPlayed(song);
    Control->GetDelayedQuery()->WaitForAll();

    EXPECT_EQ(Control->GetPlayCount(), 1);
    EXPECT_EQ(Logic->Played, 1);
    EXPECT_EQ(song->GetValue("requestID"), "0");
    EXPECT_EQ(CountRows("historylist", "songID = " + std::to_string(id)), 1);
    EXPECT_EQ(FieldOf(id, "count_played"), 1);
    EXPECT_EQ(FieldOf(id, "count_performances"), 1);
    EXPECT_NEAR(FieldOf(id, "balance"), 0.02, 1e-9);
    const TDLVariant recently = MinutesAgo(5);
    auto playedSince = [&](const std::string& column, int songID) {
        return PoolQuery("SELECT COUNT(*) AS N FROM songlist WHERE ID = :ID AND " + column + " > :d",
                         {songID, recently})
                   ->GetFieldValue("N")
                   .AsInteger() == 1;
    };
    EXPECT_TRUE(playedSince("date_played", id));
    EXPECT_TRUE(playedSince("date_artist_played", sameArtist));
    EXPECT_TRUE(playedSince("date_album_played", sameAlbum));
    EXPECT_FALSE(playedSince("date_artist_played", sameAlbum));

    // No title or album: no update touches the other songs without them.
    Control->SongPlayed(Song(untitled, "C"));
    Control->GetDelayedQuery()->WaitForAll();
    EXPECT_FALSE(playedSince("date_title_played", untitled));
    EXPECT_FALSE(playedSince("date_album_played", untitled));
    EXPECT_TRUE(playedSince("date_artist_played", untitled));
}

TEST_F(PlaylistControlTest, WeightZeroOrAFailingLogicStillBooksThePlay) {
    TSongRow row;
    row.Artist = "Z";
    row.Weight = 0;
    row.Balance = 2;
    const int id = AddSong(row);
    Logic->FailOnPlay = true;
    EXPECT_THROW(Control->SongPlayed(Song(id, "Z")), std::runtime_error);
    Control->GetDelayedQuery()->WaitForAll();
    EXPECT_EQ(FieldOf(id, "count_played"), 1);
    EXPECT_EQ(FieldOf(id, "balance"), 2);
    EXPECT_EQ(CountRows("historylist", "songID = " + std::to_string(id)), 1);
    Control->SongPlayed(nullptr);
    EXPECT_EQ(Control->GetPlayCount(), 1);
}

TEST_F(PlaylistControlTest, PlayLimitMaintenanceRemovesAndErasesOnlyWhatIsDue) {
    const std::filesystem::path folder = Db->Folder / "limits";
    std::filesystem::create_directories(folder / "busy" / "inside");
    const std::string readOnly = (folder / "readonly.mp3").string();
    std::ofstream(readOnly) << "x";
    ::chmod(readOnly.c_str(), 0444);

    auto addLimited = [&](const std::string& file, int limit, int played, const std::string& action) {
        TSongRow row;
        row.FileName = file;
        const int id = AddSong(row);
        PoolExecSQL("UPDATE songlist SET playlimit_count = :l, count_played = :p, playlimit_action = :a WHERE ID = :ID",
                    {limit, played, action, id});
        return id;
    };
    const int removed = addLimited("/music/r.mp3", 2, 2, "remove");
    const int erased = addLimited(readOnly, 1, 3, "erase");
    const int undeletable = addLimited((folder / "busy").string(), 1, 1, "erase");
    const int notYet = addLimited("/music/n.mp3", 5, 4, "remove");
    const int keep = addLimited("/music/k.mp3", 1, 1, "none");
    Queue(removed);

    // The deletions wait for a category row of the removed song held by another transaction:
    // the pass returns at once and deletes on its worker meanwhile.
    PoolExecSQL("INSERT INTO categorylist (ID, songID, categoryID) VALUES (1, :id, 1)", {removed});
    ISQLConnectionPtr lock = PoolGetWriteConnection();
    lock->ExecSQL("UPDATE categorylist SET sortID = 2 WHERE ID = 1", {});
    std::promise<void> checked;
    std::thread release([&lock, done = checked.get_future()] {
        // Only a pass that wrongly deletes on the calling thread waits this long.
        done.wait_for(std::chrono::seconds(10));
        lock->Rollback();
    });
    Control->PlayLimitMaintenance();
    auto exists = [](int id) { return CountRows("songlist", "ID = " + std::to_string(id)) == 1; };
    EXPECT_TRUE(exists(removed)) << "deleted on the calling thread";
    // A pass while the last one runs hands nothing over again.
    Control->PlayLimitMaintenance();
    checked.set_value();
    release.join();
    Control->WaitForPlayLimitDeletions();
    EXPECT_FALSE(exists(removed));
    EXPECT_EQ(CountRows("categorylist"), 0);
    EXPECT_EQ(CountRows("queuelist"), 0);
    EXPECT_FALSE(exists(erased));
    EXPECT_FALSE(std::filesystem::exists(readOnly));
    EXPECT_TRUE(exists(undeletable));
    EXPECT_TRUE(exists(notYet));
    EXPECT_TRUE(exists(keep));
    EXPECT_FALSE(Control->GetPlayLimitClean()) << "the undeletable file is tried again";

    std::filesystem::remove_all(folder / "busy");
    Control->PlayLimitMaintenance();
    Control->WaitForPlayLimitDeletions();
    EXPECT_FALSE(exists(undeletable));
    // That pass deleted all it found, so the library counts as clean without another read.
    Control->PlayLimitMaintenance();
    EXPECT_TRUE(Control->GetPlayLimitClean());

    // A play of a song with a limit makes the next pass look again.
    auto limited = Song(notYet);
    limited->SetValue("playlimit_count", "5");
    Control->SongPlayed(limited);
    EXPECT_FALSE(Control->GetPlayLimitClean());
    Control->GetDelayedQuery()->WaitForAll();
    Control->PlayLimitMaintenance();
    Control->WaitForPlayLimitDeletions();
    EXPECT_FALSE(exists(notYet));

    // A song with a limit that plays once a pass has started may reach its limit after the pass
    // read: the pass's empty result must not count the library clean.
    Control->PlayLimitMaintenance();
    ASSERT_TRUE(Control->GetPlayLimitClean());
    const int late = addLimited("/music/l.mp3", 3, 0, "remove");
    auto lateSong = Song(late);
    lateSong->SetValue("playlimit_count", "3");
    Control->SongPlayed(lateSong);
    Control->GetDelayedQuery()->WaitForAll();
    Control->PlayLimitMaintenance();
    Control->SongPlayed(lateSong);
    Control->WaitForPlayLimitDeletions();
    Control->PlayLimitMaintenance();
    Control->WaitForPlayLimitDeletions();
    EXPECT_FALSE(Control->GetPlayLimitClean()) << "a limited play during the pass was forgotten";
}

TEST_F(PlaylistControlTest, ConfigurationGoesToItsThreeSubNodes) {
    auto config = NewConfig();
    auto node = config->Section("Kelvar");
    node->Section("PlaylistRules")->WriteInteger("MinQueueSize", 4);
    node->Section("Logic")->WriteString("Setting", "from file");
    node->Section("Songlist")->WriteInteger("DefWeight", 70);
    Control->LoadConfig(*node);
    EXPECT_EQ(Control->GetRules()->GetMinQueueSize(), 4);
    EXPECT_EQ(Logic->Setting, "from file");
    EXPECT_EQ(DefaultWeight.load(), 70);

    auto saved = NewConfig()->Section("Kelvar");
    Control->SaveConfig(*saved);
    EXPECT_EQ(saved->Section("PlaylistRules")->ReadInteger("MinQueueSize", 0), 4);
    EXPECT_EQ(saved->Section("Logic")->ReadString("Setting", ""), "from file");
    EXPECT_EQ(saved->Section("Songlist")->ReadInteger("DefWeight", 0), 70);
    DefaultWeight = 65;
}

}  // namespace
}  // namespace kelvar
