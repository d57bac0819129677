// The search window over the song database: the statement it builds, finding songs by each
// field, typing, queueing and deleting the found songs.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "LibraryCoreFixture.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/library/unSearch.h"
#include "gui/library/unSearchList.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unGUIFunc.h"

namespace kelvar {
namespace {

TEST(SearchStatement, ConditionsParametersAndLimits) {
    TSearchRequest all;
    all.Text = "abc";
    all.Album = all.Filename = true;
    all.Limit100 = false;
    std::string sql;
    TVariantArray params;
    ASSERT_TRUE(BuildSearchSQL(all, sql, params));
    EXPECT_EQ(sql,
              "SELECT  songlist.* FROM songlist WHERE   (UPPER(artist) LIKE :search1)   OR  (UPPER(title) LIKE "
              ":search2)   OR  (UPPER(album) LIKE :search3)   OR  (UPPER(filename) LIKE :search4)  ORDER BY artist "
              "ASC, title ASC");
    ASSERT_EQ(params.size(), 4u);
    EXPECT_EQ(params[3].AsString(), "%ABC%");

    TSearchRequest prefix;
    prefix.Text = "/Mu";
    prefix.Substring = false;
    prefix.Limit100 = false;
    prefix.Artist = prefix.Title = false;
    prefix.Filename = true;
    prefix.SongType = 'X';
    ASSERT_TRUE(BuildSearchSQL(prefix, sql, params));
    EXPECT_NE(sql.find("WHERE (  (UPPER(filename) LIKE :search1) ) AND (songtype IN ('X'))  ORDER BY"),
              std::string::npos)
        << sql;
    EXPECT_EQ(params[0].AsString(), "/MU%");

    TSearchRequest none = all;
    none.Text = "";
    EXPECT_FALSE(BuildSearchSQL(none, sql, params));
    none.Text = "x";
    none.Artist = none.Title = none.Album = none.Filename = false;
    EXPECT_FALSE(BuildSearchSQL(none, sql, params));
}

class SearchFrame : public librarytest::TCoreFixture {
protected:
    void SetUp() override {
        TCoreFixture::SetUp();
        AddSongRow("/music/Abba/Waterloo.mp3", "ABBA", "Waterloo", 165000);
        AddSongRow("/music/Beatles/Help.mp3", "The Beatles", "Help!", 140000);
        AddSongRow("/archive/x.ogg", "Миша", "Ночь", 200000);
        const int fx = AddSongRow("/fx/boom.wav", "Effects", "Boom", 2000);
        PoolExecSQL("UPDATE songlist SET album = 'Gold', songtype = 'S' WHERE ID <> :id", {fx});
        PoolExecSQL("UPDATE songlist SET songtype = 'X' WHERE ID = :id", {fx});
        Frame = std::make_unique<TfoSearchList>();
        Frame->SetPlaylistManager(Manager);
        Frame->Init();
    }
    void TearDown() override {
        SetMessageHandler(nullptr);
        Frame.reset();
        FreeSearchWindow();
        TCoreFixture::TearDown();
    }
    std::vector<std::string> Found(const std::string& Text) {
        Frame->eSearch->blockSignals(true);
        Frame->eSearch->setText(QString::fromStdString(Text));
        Frame->eSearch->blockSignals(false);
        Frame->Search();
        EXPECT_TRUE(PumpUntil([this] { return Frame->PendingID == 0; }));
        std::vector<std::string> captions;
        if (auto list = Frame->tvSongList->SongList())
            for (int i = 0; i < list->Count(); ++i) captions.push_back(list->Items(i).Caption);
        return captions;
    }
    std::unique_ptr<TfoSearchList> Frame;
};

// Limited to a hundred, the search answers the first hundred rows of the whole answer: NULL
// artists first, then artist and title, with many songs per artist.
TEST_F(SearchFrame, TheFirstHundredAreThoseOfTheWholeAnswer) {
    PoolExecSQL(
        "INSERT INTO songlist (ID, filename, artist, title) WITH RECURSIVE r AS (SELECT 0 AS n FROM RDB$DATABASE "
        "UNION ALL SELECT n + 1 FROM r WHERE n < 299) SELECT NEXT VALUE FOR GEN_songlist_ID, '/bulk/' || n || "
        "'.mp3', CASE WHEN MOD(n, 10) = 0 THEN NULL ELSE 'Band ' || MOD(n * 7, 23) END, 'Song ' || (300 - n) FROM r");
    for (const char* text : {"song", "band 1", "/bulk/1", "s"}) {
        TSearchRequest request;
        request.Text = text;
        request.Filename = true;
        request.Limit100 = false;
        std::string sql;
        TVariantArray params;
        ASSERT_TRUE(BuildSearchSQL(request, sql, params));
        std::vector<int> whole;
        auto rows = PoolQuery(sql, params);
        for (rows->First(); !rows->Eof() && whole.size() < 100; rows->Next())
            whole.push_back(static_cast<int>(rows->GetFieldValue("ID").AsInteger()));
        request.Limit100 = true;
        ASSERT_TRUE(BuildSearchSQL(request, sql, params));
        std::vector<int> limited;
        rows = PoolQuery(sql, params);
        for (rows->First(); !rows->Eof(); rows->Next())
            limited.push_back(static_cast<int>(rows->GetFieldValue("ID").AsInteger()));
        EXPECT_EQ(limited, whole) << text;
        EXPECT_FALSE(whole.empty()) << text;
    }
}

TEST_F(SearchFrame, FindsByEachFieldInAnyCase) {
    QAbstractItemModelTester tester(Frame->tvSongList->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(Found("beat"), std::vector<std::string>{"The Beatles - Help!"});
    EXPECT_EQ(Found("ночь"), std::vector<std::string>{"Миша - Ночь"});
    EXPECT_EQ(Found("МИ"), std::vector<std::string>{"Миша - Ночь"});
    EXPECT_EQ(Found("gold"), std::vector<std::string>{});
    Frame->cbAlbum->setChecked(true);
    EXPECT_EQ(Found("gold").size(), 3u);
    Frame->cbAlbum->setChecked(false);
    Frame->cbArtist->setChecked(false);
    Frame->cbTitle->setChecked(false);
    Frame->cbFilename->setChecked(true);
    Frame->cbSubstring->setChecked(false);
    EXPECT_EQ(Found("/MUSIC/"), (std::vector<std::string>{"ABBA - Waterloo", "The Beatles - Help!"}));
    EXPECT_EQ(Found("music"), std::vector<std::string>{});
    EXPECT_EQ(Frame->lbSummary->text(), "0 tracks (0:00:00)");

    Frame->cbSubstring->setChecked(true);
    Frame->eSongType->blockSignals(true);
    Frame->eSongType->setCurrentIndex(Frame->eSongType->findText("X - Sound FX"));
    Frame->eSongType->blockSignals(false);
    EXPECT_EQ(Found("/"), std::vector<std::string>{"Effects - Boom"});
    Frame->eSongType->blockSignals(true);
    Frame->eSongType->setCurrentIndex(0);
    Frame->eSongType->blockSignals(false);
    EXPECT_EQ(Found("/").size(), 4u);
    EXPECT_EQ(Frame->lbSummary->text(), "4 tracks (0:08:27)");

    EXPECT_EQ(Found(""), std::vector<std::string>{});
    EXPECT_EQ(Frame->tvSongList->SongList(), nullptr);
    EXPECT_EQ(Frame->lbSummary->text(), "Enter your search");
}

TEST_F(SearchFrame, TypingSearchesSoonerForLongerTexts) {
    Frame->show();
    QTest::keyClicks(Frame->eSearch, "w");
    EXPECT_TRUE(Frame->DelayTimer->isActive());
    EXPECT_EQ(Frame->DelayTimer->interval(), 400);
    QTest::keyClicks(Frame->eSearch, "ate");
    EXPECT_EQ(Frame->DelayTimer->interval(), 100);
    ASSERT_TRUE(PumpUntil(
        [this] { return !Frame->DelayTimer->isActive() && Frame->PendingID == 0 && Frame->tvSongList->SongList(); }));
    EXPECT_EQ(Frame->tvSongList->SongList()->Count(), 1);
    // A search still queued is cancelled by the next one: only the last one answers.
    Frame->eSearch->blockSignals(true);
    Frame->eSearch->setText("help");
    Frame->Search();
    const int first = Frame->PendingID;
    Frame->eSearch->setText("abba");
    Frame->Search();
    EXPECT_NE(Frame->PendingID, first);
    // A search already running answers first; the last one's rows are what stays.
    EXPECT_TRUE(PumpUntil([this] {
        auto list = Frame->tvSongList->SongList();
        return Frame->PendingID == 0 && list && list->Count() == 1 && list->Items(0).Caption == "ABBA - Waterloo";
    }));
}

TEST_F(SearchFrame, QueuesAndDeletesTheSelectedSongs) {
    ASSERT_EQ(Found("e").size(), 3u);  // ABBA, Effects, The Beatles
    SelectSongTreeRange(*Frame->tvSongList, 0, 0);
    Frame->QueueSelected(false);
    SelectSongTreeRange(*Frame->tvSongList, 1, 1);
    Frame->QueueSelected(true);
    Manager->Queue->GetList();
    auto queued = PoolQuery(
        "SELECT songlist.artist FROM queuelist JOIN songlist ON songlist.ID = queuelist.songID ORDER BY sortID");
    std::vector<std::string> order;
    for (queued->First(); !queued->Eof(); queued->Next()) order.push_back(queued->GetValue("artist"));
    EXPECT_EQ(order, (std::vector<std::string>{"Effects", "ABBA"}));

    Frame->UpdateMenu();
    EXPECT_TRUE(Frame->alDelete->isEnabled());
    std::string asked;
    SetMessageHandler([&](const TMessageRequest& r) {
        asked = r.Text;
        return MsgButton::Yes;
    });
    SelectSongTreeRange(*Frame->tvSongList, 0, 1);
    Frame->DeleteSelected(false);
    EXPECT_EQ(asked,
              "Are you sure you want to delete the selected songs completely from the Media Library and ALL "
              "categories?");
    ASSERT_EQ(Frame->tvSongList->SongList()->Count(), 1);
    EXPECT_EQ(Frame->tvSongList->SongList()->Items(0).Caption, "The Beatles - Help!");
    EXPECT_EQ(Frame->lbSummary->text(), "1 tracks (0:02:20)");
    EXPECT_TRUE(Frame->tvSongList->SelectedRows().empty());
    EXPECT_EQ(CountRows("songlist"), 2);
    Frame->UpdateMenu();
    EXPECT_FALSE(Frame->alDelete->isEnabled());
}

TEST_F(SearchFrame, OpensOnceWithTheTypedCharacter) {
    OpenSearchWindow(Manager, "W");
    TfoSearch* window = SearchWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Search");
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->foSearchList1->eSearch->text(), "W");
    EXPECT_EQ(window->foSearchList1->eSearch->cursorPosition(), 1);
    EXPECT_EQ(window->foSearchList1->tvSongList->Tag(), 2);
    ASSERT_TRUE(PumpUntil(
        [&] { return window->foSearchList1->tvSongList->SongList() && window->foSearchList1->PendingID == 0; }));
    EXPECT_EQ(window->foSearchList1->tvSongList->SongList()->Count(), 1);
    OpenSearchWindow(Manager, "");
    EXPECT_EQ(SearchWindow(), window);
    EXPECT_EQ(window->foSearchList1->eSearch->text(), "W");
    window->close();
    EXPECT_EQ(window->foSearchList1->SongSearch, nullptr);
}

}  // namespace
}  // namespace kelvar
