// The play history on a real song database.
#include <gtest/gtest.h>

#include <string>

#include "common/SongTestDatabase.h"
#include "core/playlist/HistoryList.h"
#include "core/playlist/PlaylistUtils.h"
#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

class HistoryListTest : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        TSongDbFixture::SetUp();
        LastHistoryBalance = 0;
    }

    static std::shared_ptr<TSongInfo> Song(int id) {
        auto song = TSongInfo::Create(id, "/music/a.mp3");
        song->SetArtist("Artist");
        song->SetTitle("Title");
        song->SetValue("duration", "183000");
        return song;
    }

    THistoryList History;
};

TEST_F(HistoryListTest, AddBooksTheSongsValues) {
    auto song = Song(42);
    song->SetValue("trackno", "7/12");
    song->SetValue("balance", "12.5");
    song->SetValue("requestID", "3");
    song->SetValue("songtype", "J");
    song->SetValue("ISRC", "GB-XYZ-26-00001");
    TSongItem seen;
    TEventLink listenOnAdd(History.OnAdd, [&](THistoryList&, const TSongItem& item) { seen = item; });

    History.Add(*song, 17);
    EXPECT_EQ(song->GetValue("listeners"), "17");
    EXPECT_EQ(LastHistoryBalance.load(), 12.5);

    IDatasetPtr row = PoolQuery("SELECT * FROM historylist");
    ASSERT_FALSE(row->IsEmpty());
    EXPECT_EQ(row->GetFieldValue("songID").AsInteger(), 42);
    EXPECT_EQ(row->GetFieldValue("trackno").AsInteger(), 0);
    EXPECT_EQ(row->GetFieldValue("listeners").AsInteger(), 17);
    EXPECT_EQ(row->GetFieldValue("requestID").AsInteger(), 3);
    EXPECT_EQ(row->GetFieldValue("duration").AsInteger(), 183000);
    EXPECT_EQ(row->GetFieldValue("artist").AsString(), "Artist");
    EXPECT_EQ(row->GetFieldValue("songtype").AsString(), "J");
    EXPECT_EQ(row->GetFieldValue("ISRC").AsString(), "GB-XYZ-26-00001");
    EXPECT_EQ(row->GetFieldValue("filename").AsString(), "/music/a.mp3");

    EXPECT_EQ(seen.ListID, row->GetFieldValue("ID").AsInteger());
    EXPECT_EQ(seen.SongID, 42);
    EXPECT_EQ(seen.Caption, "Artist - Title");
    EXPECT_EQ(seen.Duration, 183000);
    // The database keeps whole seconds of the bound time.
    const int64_t stored = TimeOfDayToMs(FieldOf(*row, "date_played").AsDateTime());
    EXPECT_EQ(seen.StartTime / 1000, stored / 1000);
}

TEST_F(HistoryListTest, SongsFromOutsideTheLibraryAreBookedToo) {
    // A web or file song: no ID, no balance, text where numbers belong, over-long values.
    auto song = TSongInfo::Create(-1, "http://stream.example/live");
    song->SetArtist(std::string(400, 'a') + "\xC3\xA9");
    song->SetValue("balance", "n/a");
    song->SetValue("requestID", "web");
    LastHistoryBalance = 4;
    History.Add(*song, 0);
    EXPECT_EQ(LastHistoryBalance.load(), 0);
    IDatasetPtr row = PoolQuery("SELECT * FROM historylist");
    ASSERT_FALSE(row->IsEmpty());
    EXPECT_EQ(row->GetFieldValue("requestID").AsInteger(), 0);
    EXPECT_EQ(row->GetFieldValue("artist").AsString(), std::string(255, 'a'));
}

TEST_F(HistoryListTest, GetListAnswersTheNewestRows) {
    auto rows = PoolQuery("SELECT * FROM historylist WHERE ID = 1", {}, false);
    for (int i = 0; i < 500; ++i) {
        rows->Append();
        rows->SetFieldValue("songID", i);
        FieldOf(*rows, "date_played").SetAsDateTime(EncodeDateTime(2026, 1, 1, 0, 0, 0, 0) + i / 1440.0);
        rows->Post();
    }
    IDatasetPtr list = History.GetList();
    int count = 0;
    int64_t previous = 500;
    for (list->First(); !list->Eof(); list->Next(), ++count) {
        const int64_t id = list->GetFieldValue("songID").AsInteger();
        EXPECT_LT(id, previous);
        previous = id;
    }
    EXPECT_EQ(count, 200);
    EXPECT_EQ(previous, 300);
}

}  // namespace
}  // namespace kelvar
