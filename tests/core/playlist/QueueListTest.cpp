// The play queue on a real song database.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/SongTestDatabase.h"
#include "core/playlist/PlaylistErrors.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/QueueList.h"
#include "core/playlist/SongList.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

class QueueListTest : public songtest::TSongDbFixture {
protected:
    // Queue rows straight into the table: (songID, sortID) each.
    static void QueueRows(const std::vector<std::pair<int, double>>& rows) {
        for (const auto& [songID, sortID] : rows)
            PoolExecSQL("INSERT INTO queuelist (ID, songID, sortID) VALUES (NEXT VALUE FOR GEN_queuelist_ID, :s, :o)",
                        {songID, sortID});
    }

    static std::vector<double> SortIDs() {
        std::vector<double> values;
        auto rows = PoolQuery("SELECT sortID FROM queuelist ORDER BY sortID");
        for (rows->First(); !rows->Eof(); rows->Next()) values.push_back(rows->GetFieldValue("sortID").AsFloat());
        return values;
    }

    static ISongItemListPtr Items(std::initializer_list<int> songIDs) {
        ISongItemListPtr list = NewSongItemList();
        for (int id : songIDs) list->Add().SongID = id;
        return list;
    }

    static std::shared_ptr<TSongInfo> Song(int id, const std::string& artist, const std::string& title) {
        auto song = TSongInfo::Create(id, "/music/x.mp3");
        song->SetArtist(artist);
        song->SetTitle(title);
        return song;
    }

    TQueueList Queue;
};

TEST_F(QueueListTest, AddSongsPlacesBatchesBetweenTheirNeighbours) {
    const int a = AddSongRow("/m/a.mp3"), b = AddSongRow("/m/b.mp3");
    struct Case {
        std::vector<std::pair<int, double>> existing;
        double before;
        std::vector<double> expected;  // the new rows' sortIDs
    };
    for (const Case& c : {Case{{{a, 5000}}, 0, {7000, 8000}},   // bottom
                          Case{{{a, 3000}}, -1, {1000, 2000}},  // top
                          Case{{}, -1, {2000, 3000}}}) {        // top of an empty queue
        Queue.Clear();
        QueueRows(c.existing);
        ISongItemListPtr items = Items({a, b});
        ISongItemListPtr added;
        TEventLink listenOnAdd(Queue.OnAdd, [&](TQueueList&, const ISongItemListPtr& songs) { added = songs; });
        Queue.AddSongs(items, 0, 0, c.before);
        EXPECT_EQ(added, items);
        EXPECT_EQ(items->Items(0).SortID, c.expected[0]);
        EXPECT_EQ(items->Items(1).SortID, c.expected[1]);
        Queue.ApplyQueued();  // the rows are written behind the call
        for (int i = 0; i < 2; ++i) {
            auto row = PoolQuery("SELECT * FROM queuelist WHERE ID = :id", {items->Items(i).ListID});
            ASSERT_FALSE(row->IsEmpty());
            EXPECT_EQ(row->GetFieldValue("sortID").AsFloat(), c.expected[i]);
            EXPECT_EQ(row->GetFieldValue("songID").AsInteger(), items->Items(i).SongID);
        }
        EXPECT_EQ(Queue.Count(), static_cast<int>(c.existing.size()) + 2);
    }
}

TEST_F(QueueListTest, AddSongMarksRequestsAndRefusesInsertPosition) {
    const int id = AddSongRow("/m/req.mp3", "Artist", "Title");
    auto song = Song(id, "Artist", "Title");
    song->SetValue("requestID", "12");
    ISongItemListPtr added;
    TEventLink listenOnAdd(Queue.OnAdd, [&](TQueueList&, const ISongItemListPtr& songs) { added = songs; });

    EXPECT_THROW(Queue.AddSong(*song, ipInsert), EPlaylistError);
    EXPECT_EQ(added, nullptr);
    EXPECT_EQ(CountRows("queuelist"), 0);

    Queue.AddSong(*song, ipBottom);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->Items(0).Caption, "Artist - Title ~requested~");
    Queue.ApplyQueued();
    EXPECT_EQ(CountRows("queuelist", "requestID = 12 AND songID = " + std::to_string(id)), 1);

    song->SetValue("requestID", "soon");  // not a number: no request
    Queue.AddSong(*song, ipTop);
    EXPECT_EQ(added->Items(0).Caption, "Artist - Title");
    Queue.ApplyQueued();
    EXPECT_EQ(CountRows("queuelist", "requestID = 0"), 1);
}

TEST_F(QueueListTest, PopNextTakesTheFirstSongAndSkipsRowsOfGoneSongs) {
    const int a = AddSongRow("/m/a.mp3", "A", "First"), b = AddSongRow("/m/b.mp3", "B", "Second");
    QueueRows({{999999, 500}, {b, 2000}, {a, 1000}});
    EXPECT_EQ(Queue.Count(), 3);
    int popped = 0;
    TEventLink listenOnPop(Queue.OnPop, [&](TQueueList&, int queueID) { popped = queueID; });

    ISongInfoPtr song = Queue.PopNext();
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->GetID(), a);
    EXPECT_EQ(song->GetTitle(), "First");
    EXPECT_EQ(std::stoi(song->GetValue("queueID")), popped);
    EXPECT_EQ(Queue.Count(), 2);
    EXPECT_EQ(Queue.PopNext()->GetID(), b);

    // Only the row of a song that is gone is left: counted and listed, never played.
    EXPECT_EQ(Queue.PopNext(), nullptr);
    Queue.ApplyQueued();
    EXPECT_EQ(CountRows("queuelist"), 1);
    IDatasetPtr list = Queue.GetList();
    EXPECT_EQ(list->GetFieldValue("songID").AsInteger(), 999999);
    EXPECT_EQ(list->GetFieldValue("artist").AsString(), "");
}

TEST_F(QueueListTest, PopNextAfterClearAsksNothing) {
    const int a = AddSongRow("/m/a.mp3");
    QueueRows({{a, 1000}});
    bool changed = false;
    TEventLink listenOnChange(Queue.OnChange, [&](TQueueList&) { changed = true; });
    Queue.Clear();
    EXPECT_TRUE(changed);
    EXPECT_EQ(CountRows("queuelist"), 0);
    // A row added behind the queue's back is not seen: the cleared queue knows it is empty.
    QueueRows({{a, 1000}});
    EXPECT_EQ(Queue.PopNext(), nullptr);
    EXPECT_EQ(CountRows("queuelist"), 1);
}

TEST_F(QueueListTest, QueuedDeleteAndMoveAreSeenByGetList) {
    const int a = AddSongRow("/m/a.mp3"), b = AddSongRow("/m/b.mp3"), c = AddSongRow("/m/c.mp3");
    ISongItemListPtr items = Items({a, b, c});
    Queue.AddSongs(items, 0, 0, 0);
    EXPECT_EQ(Queue.Count(), 3);
    int deleted = 0;
    TEventLink listenOnDelete(Queue.OnDelete, [&](TQueueList&, int id) { deleted = id; });
    Queue.Delete(items->Items(0).ListID);
    EXPECT_EQ(deleted, items->Items(0).ListID);
    EXPECT_EQ(Queue.Count(), 2);

    EXPECT_EQ(Queue.MoveSong(items->Items(2).ListID, 1000, 2000), 1500);
    IDatasetPtr list = Queue.GetList();
    std::vector<int64_t> order;
    for (list->First(); !list->Eof(); list->Next()) order.push_back(list->GetFieldValue("songID").AsInteger());
    EXPECT_EQ(order, (std::vector<int64_t>{c, b}));
}

// The operator's queued edits against the automation's pop a moment later.
TEST_F(QueueListTest, APopRightAfterADeleteOrMoveHonoursIt) {
    const int a = AddSongRow("/m/a.mp3"), b = AddSongRow("/m/b.mp3");
    enum TEdit { Remove, MoveUp };
    struct Case {
        TEdit Edit;
        int GapMs;
    } cases[] = {{Remove, 0}, {Remove, 1}, {Remove, 2}, {MoveUp, 0}, {MoveUp, 1}, {MoveUp, 2}};
    for (const Case& c : cases)
        for (int round = 0; round < 3; ++round) {
            Queue.Clear();
            ISongItemListPtr items = Items({a, b});
            Queue.AddSongs(items, 0, 0, 0);
            if (c.Edit == Remove)
                Queue.Delete(items->Items(0).ListID);
            else
                Queue.MoveSong(items->Items(1).ListID, 0, items->Items(0).SortID);
            if (c.GapMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(c.GapMs));
            ISongInfoPtr song = Queue.PopNext();
            ASSERT_NE(song, nullptr);
            EXPECT_EQ(song->GetID(), b) << "edit " << c.Edit << ", gap " << c.GapMs << " ms, round " << round;
            Queue.ApplyQueued();
            EXPECT_EQ(Queue.Count(), CountRows("queuelist")) << "edit " << c.Edit << ", gap " << c.GapMs << " ms";
        }
}

// Appends and pops are written behind the calls: pops at once after them still take the queue in
// order (rows in the table and rows still being written alike), each song once.
TEST_F(QueueListTest, PopsRightAfterAppendsTakeEachSongOnceInOrder) {
    const int a = AddSongRow("/m/a.mp3"), b = AddSongRow("/m/b.mp3"), c = AddSongRow("/m/c.mp3");
    for (int round = 0; round < 3; ++round) {
        Queue.Clear();
        Queue.AddSongs(Items({c}), 0, 0, 0);
        Queue.ApplyQueued();                   // c is in the table
        Queue.AddSongs(Items({a}), 0, 0, 0);   // after c
        Queue.AddSongs(Items({b}), 0, 0, -1);  // before c
        EXPECT_EQ(Queue.Count(), 3);
        std::vector<int> order;
        while (ISongInfoPtr song = Queue.PopNext()) order.push_back(song->GetID());
        EXPECT_EQ(order, (std::vector<int>{b, c, a})) << "round " << round;
        EXPECT_EQ(Queue.Count(), 0);
        Queue.ApplyQueued();
        EXPECT_EQ(CountRows("queuelist"), 0) << "round " << round;
    }
}

TEST_F(QueueListTest, ACropIsOneQueuedStatementThatTheNextPopSees) {
    const int a = AddSongRow("/m/a.mp3"), b = AddSongRow("/m/b.mp3");
    ISongItemListPtr items = NewSongItemList();
    for (int i = 0; i < 300; ++i) items->Add().SongID = i == 299 ? b : a;
    Queue.AddSongs(items, 0, 0, 0);
    std::vector<int32_t> cropped;
    for (int i = 0; i < 299; ++i) cropped.push_back(items->Items(i).ListID);
    int events = 0;
    Queue.OnDelete.Add([&](TQueueList&, int) { ++events; });
    Queue.DeleteSongs(cropped);
    EXPECT_EQ(events, 299);
    EXPECT_EQ(Queue.PopNext()->GetID(), b);
    EXPECT_EQ(Queue.Count(), 0);
    Queue.ApplyQueued();
    EXPECT_EQ(CountRows("queuelist"), 0);
}

TEST_F(QueueListTest, ShuffleNumbersEveryRow) {
    const int a = AddSongRow("/m/a.mp3");
    QueueRows({{a, 5}, {a, 6}, {a, 7}, {a, 8}, {a, 9}});
    bool changed = false;
    TEventLink listenOnChange(Queue.OnChange, [&](TQueueList&) { changed = true; });
    Queue.Shuffle();
    EXPECT_TRUE(changed);
    EXPECT_EQ(SortIDs(), (std::vector<double>{1000, 2000, 3000, 4000, 5000}));
}

TEST_F(QueueListTest, RemovingDuplicatesKeepsTheOldestEntryAndRecounts) {
    const int a = AddSongRow("/m/a.mp3"), b = AddSongRow("/m/b.mp3");
    Queue.AddSongs(Items({a, b, a, a, b}), 0, 0, 0);
    Queue.ApplyQueued();
    const int firstA = FieldInt(*PoolQuery("SELECT MIN(ID) AS ID FROM queuelist WHERE songID = :s", {a}), "ID");
    EXPECT_EQ(Queue.Count(), 5);
    EXPECT_EQ(Queue.RemoveQueueDuplicates(), 3);
    EXPECT_EQ(Queue.Count(), 2);
    EXPECT_EQ(CountRows("queuelist", "ID = " + std::to_string(firstA)), 1);
}

TEST_F(QueueListTest, DeletingASongMakesTheQueueCountAgain) {
    const int a = AddSongRow("/m/a.mp3"), b = AddSongRow("/m/b.mp3");
    Queue.AddSongs(Items({a, b, a}), 0, 0, 0);
    EXPECT_EQ(Queue.Count(), 3);
    TSongList library;
    EXPECT_TRUE(library.DeleteSong(a));
    EXPECT_EQ(Queue.Count(), 1);
}

}  // namespace
}  // namespace kelvar
