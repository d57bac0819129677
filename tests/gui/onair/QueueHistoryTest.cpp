// The queue and history windows over the real queue and history tables: expected start times,
// changes made elsewhere showing once, drops, moves (many rows keep their order), removing,
// requests, choosing a song, and the history's time column, row limit and queueing.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>

#include "OnAirTestCore.h"
#include "core/playlist/PlaylistUtils.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unGUIFunc.h"
#include "gui/onair/unHistoryList.h"
#include "gui/onair/unQueueList.h"
#include "media/KelvarPlayer_imp.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

constexpr int64_t Clock(int H, int M, int S) { return ((H * 60 + M) * 60 + S) * 1000LL; }

class OnAirLists : public onairtest::TCoreFixture {
protected:
    void TearDown() override {
        SetMessageHandler(nullptr);
        Queue.reset();
        History.reset();
        onairtest::TCoreFixture::TearDown();
    }
    TfoQueueList& OpenQueue() {
        Queue = std::make_unique<TfoQueueList>();
        Queue->TimeOfDay = [this] { return Now; };
        Queue->PlaylistManager = Manager;
        Queue->Api = Api.get();
        Queue->Init();
        Queue->show();
        return *Queue;
    }
    TfoHistoryList& OpenHistory() {
        History = std::make_unique<TfoHistoryList>();
        History->PlaylistManager = Manager;
        History->Api = Api.get();
        History->Init();
        History->show();
        return *History;
    }
    // Song items of library songs, ready for the queue.
    ISongItemListPtr Items(const std::vector<std::pair<int, int>>& Songs) {
        auto list = NewSongItemList();
        for (auto [n, ms] : Songs) {
            TSongItem& item = list->Add();
            item.SongID = AddSong(n, ms);
            item.Caption = "Artist " + std::to_string(n) + " - Title " + std::to_string(n);
            item.Duration = ms;
        }
        return list;
    }
    void Enqueue(const std::vector<std::pair<int, int>>& Songs, int RequestID = 0) {
        Manager->Queue->AddSongs(Items(Songs), RequestID, 0, 0);
    }
    // The song IDs of the queue table in play order, and of the window's rows.
    std::vector<int> TableOrder() {
        std::vector<int> ids;
        IDatasetPtr rows = Manager->Queue->GetList();
        for (rows->First(); !rows->Eof(); rows->Next())
            ids.push_back(static_cast<int>(rows->GetFieldValue("songID").AsInteger()));
        return ids;
    }
    static std::vector<int> Shown(const ISongItemListPtr& Rows) {
        std::vector<int> ids;
        for (int i = 0; i < Rows->Count(); ++i) ids.push_back(Rows->Items(i).SongID);
        return ids;
    }
    static std::string ETA(TfoQueueList& Q, int Row) { return FormatSongTime(1, Q.ETAOfRow(Row)); }
    static std::string Status(TfoStatusSection& S) { return S.StatusText->text().toStdString(); }

    int64_t Now = Clock(12, 0, 0);
    std::unique_ptr<TfoQueueList> Queue;
    std::unique_ptr<TfoHistoryList> History;
};

TEST_F(OnAirLists, QueueShowsExpectedStartTimesAcrossMidnight) {
    Enqueue({{1, 180000}, {2, 240000}, {3, 0}});
    Now = Clock(23, 58, 30);
    TfoQueueList& q = OpenQueue();
    ASSERT_EQ(q.Rows()->Count(), 3);
    EXPECT_EQ(ETA(q, 0), "23:58:30");
    EXPECT_EQ(ETA(q, 1), "0:01:30");
    EXPECT_EQ(ETA(q, 2), "0:05:30");
    EXPECT_EQ(Status(q), "3 tracks (0:07:00)+??");
    EXPECT_EQ(q.tvQueueList->Model()->data(q.tvQueueList->Model()->index(2, 2), Qt::DisplayRole).toString(), "??:??");
    // The clock moves on with each tick.
    Now += 60000;
    q.Tick();
    EXPECT_EQ(ETA(q, 0), "23:59:30");
    // Time left on a playing deck pushes every row back.
    ASSERT_TRUE(Api->DeckPlayer(TDeckId::DeckA)
                    ->LoadSong(TSongInfo::Create(AddSong(9, 5000), (Folder / "song9.wav").string())));
    Api->DeckPlayer(TDeckId::DeckA)->Play();
    q.UpdateETA();
    EXPECT_NEAR(static_cast<double>(q.Base() - Now), 5000, 200);
    Api->DeckPlayer(TDeckId::DeckA)->Unload();
}

TEST_F(OnAirLists, QueueFollowsChangesMadeElsewhereOnce) {
    Enqueue({{1, 1000}, {2, 2000}});
    TfoQueueList& q = OpenQueue();
    ASSERT_EQ(q.Rows()->Count(), 2);
    // Added at the bottom (another window): shown once, at the bottom, selected.
    Enqueue({{3, 3000}});
    EXPECT_EQ(Shown(q.Rows()), TableOrder());
    EXPECT_EQ(q.tvQueueList->SelectedRows(), std::vector<int>{2});
    // Added at the top.
    Manager->Queue->AddSongs(Items({{4, 4000}}), 0, 0, -1.0);
    EXPECT_EQ(Shown(q.Rows()), TableOrder());
    EXPECT_EQ(q.Rows()->Items(0).SongID, TableOrder().front());
    EXPECT_EQ(q.tvQueueList->SelectedRows(), std::vector<int>{0});
    // The automation takes the top song: the first row goes without a reload.
    const ISongItemListPtr before = q.Rows();
    ASSERT_TRUE(Manager->Queue->PopNext());
    EXPECT_EQ(q.Rows()->Count(), 3);
    EXPECT_EQ(Shown(q.Rows()), TableOrder());
    // A pop of a row that is not the first reloads from the table.
    q.QueuePopped(q.Rows()->Items(1).ListID);
    EXPECT_EQ(Shown(q.Rows()), TableOrder());
    // A deletion elsewhere removes the row.
    Manager->Queue->Delete(q.Rows()->Items(1).ListID);
    EXPECT_EQ(q.Rows()->Count(), 2);
    EXPECT_EQ(Shown(q.Rows()), TableOrder());
    // Shuffled or cleared elsewhere: reloaded.
    Manager->Queue->Clear();
    EXPECT_EQ(q.Rows()->Count(), 0);
    EXPECT_EQ(Status(q), "0 tracks (0:00:00)");

    // Closed: the window's handlers are gone, others' stay.
    bool otherCalled = false;
    q.Done();
    EXPECT_FALSE(Manager->Queue->OnAdd);
    EXPECT_FALSE(Manager->Queue->OnPop);
    TEventLink other(Manager->Queue->OnChange, [&](TQueueList&) { otherCalled = true; });
    q.Done();
    EXPECT_TRUE(Manager->Queue->OnChange);
    Manager->Queue->Clear();
    EXPECT_TRUE(otherCalled);
    other.Reset();
}

TEST_F(OnAirLists, RequestsAreMarked) {
    Enqueue({{1, 1000}});
    Enqueue({{2, 2000}}, 7);
    TfoQueueList& q = OpenQueue();
    EXPECT_EQ(q.Rows()->Items(0).Caption, "Artist 1 - Title 1");
    EXPECT_EQ(q.Rows()->Items(1).Caption, "Artist 2 - Title 2 ~requested~");
}

TEST_F(OnAirLists, DropsGoWhereTheyFall) {
    Enqueue({{1, 1000}, {2, 1000}, {3, 1000}});
    TfoQueueList& q = OpenQueue();
    // Rows from the library dropped before row 1.
    TSongDrop drop;
    drop.SourceTag = 1;
    drop.Songs = Items({{4, 1000}, {5, 1000}});
    drop.Index = 1;
    const int song4 = drop.Songs->Items(0).SongID, song5 = drop.Songs->Items(1).SongID;
    ASSERT_TRUE(q.SongDragOver(drop));
    q.SongDragDrop(drop);
    ASSERT_EQ(q.Rows()->Count(), 5);  // shown once, not again by the queue's event
    EXPECT_EQ(q.Rows()->Items(1).SongID, song4);
    EXPECT_EQ(q.Rows()->Items(2).SongID, song5);
    EXPECT_EQ(q.tvQueueList->SelectedRows(), (std::vector<int>{1, 2}));
    EXPECT_EQ(Shown(q.Rows()), TableOrder());
    // Files from the desktop at the end.
    TSongDrop files;
    files.IsFiles = true;
    const std::string file = (Folder / "dropped.wav").string();
    coretest::WriteToneWav(file, 1500, 300);
    files.Files = {file};
    files.Index = 5;
    q.SongDragDrop(files);
    ASSERT_EQ(q.Rows()->Count(), 6);
    EXPECT_EQ(Shown(q.Rows()), TableOrder());
    EXPECT_EQ(CountRows("songlist", "filename = '" + file + "'"), 1);
    // Rows of another queue list are refused; tags past 6 too.
    TSongDrop other = drop;
    other.SourceTag = 3;
    other.Songs = Items({{6, 1000}});
    q.SongDragDrop(other);
    EXPECT_EQ(q.Rows()->Count(), 6);
    other.SourceTag = 7;
    EXPECT_FALSE(q.SongDragOver(other));
}

TEST_F(OnAirLists, MovedRowsKeepTheirOrderEvenWhenMany) {
    std::vector<std::pair<int, int>> songs;
    for (int i = 1; i <= 70; ++i) songs.push_back({i, 1000});
    Enqueue(songs);
    TfoQueueList& q = OpenQueue();
    // Sixty rows into the gap between the first two: halving the gap per row would run out of
    // precision and mix them up.
    SelectSongTreeRange(*q.tvQueueList, 10, 69);
    std::vector<int> expected = Shown(q.Rows());
    std::vector<int> moved(expected.begin() + 10, expected.end());
    expected.erase(expected.begin() + 10, expected.end());
    expected.insert(expected.begin() + 1, moved.begin(), moved.end());
    q.MoveSelectedRows(1);
    EXPECT_EQ(Shown(q.Rows()), expected);
    EXPECT_EQ(q.tvQueueList->SelectedRows().front(), 1);
    EXPECT_EQ(q.tvQueueList->SelectedRows().size(), 60u);
    EXPECT_EQ(TableOrder(), expected);
    q.Refresh();
    EXPECT_EQ(Shown(q.Rows()), expected);
}

TEST_F(OnAirLists, RemoveCropAndClear) {
    Enqueue({{1, 1000}, {2, 1000}, {3, 1000}, {4, 1000}, {5, 1000}});
    TfoQueueList& q = OpenQueue();
    std::vector<int> ids = Shown(q.Rows());
    SelectSongTreeRange(*q.tvQueueList, 1, 2);
    q.alQueueRemove->trigger();
    EXPECT_EQ(Shown(q.Rows()), (std::vector<int>{ids[0], ids[3], ids[4]}));
    EXPECT_EQ(TableOrder(), Shown(q.Rows()));
    SelectSongTreeRange(*q.tvQueueList, 1, 1);
    q.alQueueCrop->trigger();
    EXPECT_EQ(Shown(q.Rows()), (std::vector<int>{ids[3]}));
    EXPECT_EQ(TableOrder(), Shown(q.Rows()));
    // Every row selected: cleared without a question.
    SetMessageHandler([](const TMessageRequest&) -> int {
        ADD_FAILURE() << "no question expected";
        return MsgButton::Cancel;
    });
    SelectAllSongTree(*q.tvQueueList);
    q.alQueueRemove->trigger();
    EXPECT_EQ(q.Rows()->Count(), 0);
    EXPECT_EQ(CountRows("queuelist"), 0);
}

TEST_F(OnAirLists, DeleteFromAllAsksFirst) {
    Enqueue({{1, 1000}, {2, 1000}});
    TfoQueueList& q = OpenQueue();
    const int song = q.Rows()->Items(0).SongID;
    SelectSongTreeRange(*q.tvQueueList, 0, 0);
    std::string asked;
    SetMessageHandler([&](const TMessageRequest& R) {
        asked = R.Text;
        return MsgButton::Cancel;
    });
    q.alDelete->trigger();
    EXPECT_EQ(asked,
              "Are you sure you want to delete the selected songs completely from the Media Library and ALL "
              "categories?");
    EXPECT_EQ(q.Rows()->Count(), 2);
    SetMessageHandler([](const TMessageRequest&) { return MsgButton::Yes; });
    q.alDelete->trigger();
    EXPECT_EQ(q.Rows()->Count(), 1);
    EXPECT_EQ(CountRows("songlist", "ID = " + std::to_string(song)), 0);
}

TEST_F(OnAirLists, DoubleClickPlaysThatRowNext) {
    Enqueue({{1, 4000}, {2, 4000}, {3, 4000}});
    TfoQueueList& q = OpenQueue();
    const int third = q.Rows()->Items(2).SongID;
    SelectSongTreeRange(*q.tvQueueList, 2, 2);
    q.tvQueueList->setCurrentIndex(q.tvQueueList->Model()->index(2, 1));
    q.RowDoubleClicked();
    ASSERT_TRUE(Api->DeckPlayer(TDeckId::DeckA)->GetSong());
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetSong()->GetID(), third);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetState(), DeckState::Playing);
    EXPECT_EQ(q.Rows()->Count(), 2);  // popped off the top
    EXPECT_EQ(Shown(q.Rows()), TableOrder());
    Core->EjectAll();
}

TEST_F(OnAirLists, ChooseNextQueuesASongOrWarns) {
    TfoQueueList& q = OpenQueue();
    std::string warning;
    SetMessageHandler([&](const TMessageRequest& R) {
        warning = R.Text;
        return MsgButton::OK;
    });
    q.alChooseNext->trigger();  // an empty library
    EXPECT_EQ(warning,
              "Kelvar was unable to queue a song after 20 tries. This can be caused by incorrect playlist rotation "
              "rules or having too few files in your media library.");
    warning.clear();
    const int id = AddSong(1, 3000);
    q.alChooseNext->trigger();
    EXPECT_TRUE(warning.empty()) << warning;
    ASSERT_EQ(q.Rows()->Count(), 1);
    EXPECT_EQ(q.Rows()->Items(0).SongID, id);
    EXPECT_EQ(TableOrder(), std::vector<int>{id});
}

TEST_F(OnAirLists, QueueWindowItem) {
    TwiQueuelist item;
    std::string name, caption;
    item.GetName(name);
    item.GetCaption(caption);
    EXPECT_EQ(name, "Queuelist");
    EXPECT_EQ(caption, "Queue");
    EXPECT_TRUE(item.GetSizeable());
    item.Activate();
    EXPECT_EQ(item.Frame()->lbCaption->text(), "Queue");
    EXPECT_EQ(item.Frame()->tvQueueList->Tag(), 3);
    EXPECT_EQ(Beat->Count(), 1);
    EXPECT_TRUE(Manager->Queue->OnAdd);
    item.Deactivate();
    EXPECT_EQ(Beat->Count(), 0);
    EXPECT_FALSE(Manager->Queue->OnAdd);
}

void AddHistoryRow(const std::string& Played, int SongID, int Duration, const std::string& Artist) {
    PoolExecSQL(
        "INSERT INTO historylist (ID, date_played, songID, duration, artist, title) VALUES (GEN_ID(GEN_historylist_ID, "
        "1), :d, :s, :du, :a, :t)",
        {Played, SongID, Duration, Artist, std::string("Song")});
}

TEST_F(OnAirLists, HistoryShowsPlayTimesAndUnknownLengths) {
    AddHistoryRow("2026-12-10 09:05:07", 1, 200000, "Early");
    AddHistoryRow("2026-12-10 00:00:30", 2, 0, "Midnight");
    TfoHistoryList& h = OpenHistory();
    ASSERT_EQ(h.Rows()->Count(), 2);
    EXPECT_EQ(FormatSongTime(1, h.Rows()->Items(0).StartTime), "9:05:07");
    EXPECT_EQ(FormatSongTime(1, h.Rows()->Items(1).StartTime), "0:00:30");
    EXPECT_EQ(h.Rows()->Items(0).Caption, "Early - Song");
    EXPECT_EQ(h.tvHistorylist->Model()->data(h.tvHistorylist->Model()->index(1, 2), Qt::DisplayRole).toString(),
              "??:??");
    EXPECT_EQ(Status(h), "2 tracks (0:03:20)+??");
    EXPECT_EQ(h.tvHistorylist->Tag(), 4);
}

TEST_F(OnAirLists, HistoryTakesBookedSongsOnTopUpToItsLimit) {
    Manager->History->MaxItems = 3;
    for (int i = 0; i < 3; ++i) AddHistoryRow("2026-12-10 10:0" + std::to_string(i) + ":00", i + 1, 1000, "Old");
    TfoHistoryList& h = OpenHistory();
    ASSERT_EQ(h.Rows()->Count(), 3);
    const int oldest = h.Rows()->Items(2).ListID;
    const int id = AddSong(1, 2000);
    auto song = TSongInfo::Create(id, (Folder / "song1.wav").string());
    song->SetArtist("New");
    song->SetTitle("Song");
    song->SetDuration(2000);
    Manager->History->Add(*song, 0);
    ASSERT_EQ(h.Rows()->Count(), 3);
    EXPECT_EQ(h.Rows()->Items(0).SongID, id);
    EXPECT_EQ(h.Rows()->Items(0).Caption, "New - Song");
    for (int i = 0; i < 3; ++i) EXPECT_NE(h.Rows()->Items(i).ListID, oldest);
    h.Done();
    EXPECT_FALSE(Manager->History->OnAdd);
}

TEST_F(OnAirLists, HistoryQueuesSelectedRowsTopOrBottom) {
    Enqueue({{1, 1000}});
    const int queued = TableOrder().front();
    for (int i = 0; i < 3; ++i)
        AddHistoryRow("2026-12-10 10:0" + std::to_string(i) + ":00", AddSong(10 + i, 1000), 1000, "Played");
    TfoHistoryList& h = OpenHistory();
    TfoQueueList& q = OpenQueue();
    const std::vector<int> shown = Shown(h.Rows());
    SelectSongTreeRange(*h.tvHistorylist, 0, 2);
    h.UpdateActions();
    EXPECT_TRUE(h.alQueueTop->isEnabled());
    h.alQueueTop->trigger();
    std::vector<int> expected = shown;
    expected.push_back(queued);
    EXPECT_EQ(TableOrder(), expected);
    EXPECT_EQ(Shown(q.Rows()), expected);  // the queue window shows them once, on top
    SelectSongTreeRange(*h.tvHistorylist, 1, 1);
    h.alQueueBottom->trigger();
    expected.push_back(shown[1]);
    EXPECT_EQ(TableOrder(), expected);
    EXPECT_EQ(Shown(q.Rows()), expected);
    h.tvHistorylist->clearSelection();
    h.UpdateActions();
    EXPECT_FALSE(h.alQueueBottom->isEnabled());
    EXPECT_FALSE(h.alSongInfo->isEnabled());
}

TEST_F(OnAirLists, HistoryWindowItem) {
    TwiHistorylist item;
    std::string name, caption;
    item.GetName(name);
    item.GetCaption(caption);
    EXPECT_EQ(name, "Historylist");
    EXPECT_EQ(caption, "History");
    EXPECT_TRUE(item.GetSizeable());
    item.Activate();
    EXPECT_EQ(item.Frame()->lbCaption->text(), "History");
    EXPECT_TRUE(Manager->History->OnAdd);
    item.Deactivate();
    EXPECT_FALSE(Manager->History->OnAdd);
}

}  // namespace
}  // namespace kelvar
