// The song database operations the windows call instead of holding SQL, on a real database.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/SongTestDatabase.h"
#include "core/playlist/SongRows.h"
#include "core/playlist/SongSearch.h"

namespace kelvar {
namespace {

class SongRowsTest : public songtest::TSongDbFixture {
protected:
    static int AddAlbumSong(const std::string& title, const std::string& album, int trackNo) {
        const int id = AddSongRow("/music/" + title + ".mp3", "Artist", title);
        PoolExecSQL("UPDATE songlist SET album = :album, trackno = :trackno WHERE ID = :ID", {album, trackNo, id});
        return id;
    }

    static std::vector<std::string> Titles(IDataset& Rows) {
        std::vector<std::string> titles;
        for (Rows.First(); !Rows.Eof(); Rows.Next()) titles.push_back(Rows.GetValue("title"));
        return titles;
    }
};

TEST_F(SongRowsTest, EditorsOpenTheirSongsEditable) {
    const int b = AddSongRow("/b.mp3", "Beta", "One");
    AddSongRow("/c.mp3", "Gamma", "Two");
    const int a = AddSongRow("/a.mp3", "Alpha", "Three");
    EXPECT_EQ(OpenSongsForEdit({}), nullptr);

    IDatasetPtr rows = OpenSongsForEdit({b, a});
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(Titles(*rows), (std::vector<std::string>{"Three", "One"}));
    rows->First();
    rows->Edit();
    rows->SetFieldValue("title", "Changed");
    rows->Post();
    EXPECT_EQ(CountRows("songlist", "title = 'Changed' AND ID = " + std::to_string(a)), 1);

    IDatasetPtr one = OpenSongForEdit(b);
    ASSERT_FALSE(one->IsEmpty());
    EXPECT_EQ(one->GetFieldValue("songID").AsInteger(), b);
}

TEST_F(SongRowsTest, AlbumTracksLeaveTheEditedSongOutInTrackOrder) {
    const int edited = AddAlbumSong("Middle", "Album", 2);
    AddAlbumSong("Last", "Album", 3);
    AddAlbumSong("First", "Album", 1);
    AddAlbumSong("Elsewhere", "Other", 1);
    IDatasetPtr rows = OpenAlbumTracks("Album", edited);
    EXPECT_EQ(Titles(*rows), (std::vector<std::string>{"First", "Last"}));
    EXPECT_TRUE(rows->HasField("songID"));
}

TEST_F(SongRowsTest, MaintenanceClampsWeightsAndClearsTheHistory) {
    const int low = AddSongRow("/low.mp3"), high = AddSongRow("/high.mp3"), mid = AddSongRow("/mid.mp3");
    PoolExecSQL("UPDATE songlist SET weight = -5 WHERE ID = :ID", {low});
    PoolExecSQL("UPDATE songlist SET weight = 250 WHERE ID = :ID", {high});
    PoolExecSQL("UPDATE songlist SET weight = 40 WHERE ID = :ID", {mid});
    PoolExecSQL("INSERT INTO historylist (ID, songID) VALUES (1, :ID)", {mid});
    ResetSongWeights();
    for (const auto& [id, weight] : {std::pair{low, 1.0}, {high, 99.0}, {mid, 40.0}}) {
        IDatasetPtr row = PoolQuery("SELECT weight, balance FROM songlist WHERE ID = :ID", {id});
        EXPECT_EQ(row->GetFieldValue("weight").AsFloat(), weight) << id;
        EXPECT_DOUBLE_EQ(row->GetFieldValue("balance").AsFloat(), 1.0 / weight) << id;
    }
    ClearHistory();
    EXPECT_EQ(CountRows("historylist"), 0);
    EXPECT_NO_THROW(CheckSongDatabase());
}

TEST_F(SongRowsTest, ASearchHandsItsSongsToTheMainThread) {
    AddSongRow("/w.mp3", "ABBA", "Waterloo", 165000);
    AddSongRow("/x.mp3", "Queen", "Bicycle", 180000);
    TSongSearch search;
    TSearchRequest nothing;
    EXPECT_EQ(search.Search(nothing, [](int, const ISongItemListPtr&) { ADD_FAILURE(); }), 0);

    TSearchRequest request;
    request.Text = "abba";
    ISongItemListPtr found;
    const int id = search.Search(request, [&](int, const ISongItemListPtr& Songs) { found = Songs; });
    EXPECT_GT(id, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!found && std::chrono::steady_clock::now() < until) {
        Loop->ProcessPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(found->Count(), 1);
    EXPECT_EQ(found->Items(0).Caption, "ABBA - Waterloo");
    EXPECT_EQ(found->Items(0).Duration, 165000);
}

}  // namespace
}  // namespace kelvar
