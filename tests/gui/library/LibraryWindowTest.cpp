// The library window over a real core: opening on the saved category, the category tree's
// actions and drags, the layouts, the track actions and drops from other windows and the
// desktop.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QSplitter>
#include <QToolButton>
#include <QUrl>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "LibraryCoreFixture.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/LevelCategories.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/engine/unMDIForm.h"
#include "gui/library/unPlaylist.h"
#include "gui/library/unSearch.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unDropTarget.h"
#include "gui/lists/unGUIFunc.h"
#include "gui/lists/unLevelList.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

bool SendDrop(QWidget* Target, const QMimeData& Mime, QPoint Pos) {
    QDragEnterEvent enter(Pos, Qt::CopyAction, &Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(Pos), Qt::CopyAction, &Mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &drop);
    return drop.isAccepted();
}

class LibraryWindow : public librarytest::TCoreFixture {
protected:
    void SetUp() override {
        TCoreFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-library-" + std::to_string(getpid()));
        fs::create_directories(Folder);
        GuiConfig = TConfigDoc_XML::Create("");
        Beat = std::make_unique<THeartBeat>([this] { return Tick.load(); }, false);
        GuiHeartBeat = Beat.get();
        TCategoryTree& tree = *Manager->Categories;
        Rock = tree.CreateCategory(tree.FindByID(0), "Rock");
        Jazz = tree.CreateCategory(tree.FindByID(0), "Jazz");
        Inner = tree.CreateCategory(Rock, "Rock inner");
    }
    void TearDown() override {
        SetMessageHandler(nullptr);
        SetModalHandler(nullptr);
        if (Item.IsActive()) Item.Deactivate();
        FreeSearchWindow();
        GuiHeartBeat = nullptr;
        Beat.reset();
        GuiConfig = nullptr;
        std::error_code ec;
        fs::remove_all(Folder, ec);
        TCoreFixture::TearDown();
    }

    // Songs "Song 0" .. stored in Category, durations 60 s each.
    std::vector<int32_t> FillCategory(TCustomCategory* Category, int Count) {
        auto items = NewSongItemList();
        std::vector<int32_t> ids;
        for (int i = 0; i < Count; ++i) {
            const int id = AddSongRow("/music/" + Category->Name + std::to_string(i) + ".mp3", "Artist",
                                      "Song " + std::to_string(i), 60000);
            items->Add().SongID = id;
            ids.push_back(id);
        }
        Category->AddSongs(*items, 0, 0);
        return ids;
    }

    void RunHeartBeat() {
        Tick += 100;
        Beat->CheckDue();
        Beat->RunDue();
    }

    // Opens the window on Category and waits for its tracks.
    TfoPlaylist& Open(TCustomCategory* Category) {
        GuiConfig->Section("Playlist")->WriteString("ActiveCategory", Category->Name);
        Item.Activate();
        TfoPlaylist& f = *Item.Frame();
        f.resize(400, 600);
        f.show();
        Item.Refresh();
        RunHeartBeat();
        EXPECT_TRUE(PumpUntil([&] { return f.tvSongList->SongList() != nullptr; }));
        return f;
    }

    std::vector<std::string> Captions(TfoPlaylist& f) {
        std::vector<std::string> out;
        if (auto list = f.tvSongList->SongList())
            for (int i = 0; i < list->Count(); ++i) out.push_back(list->Items(i).Caption);
        return out;
    }

    // The category's rows as stored, in sort order.
    std::vector<std::string> Stored(TCustomCategory* Category) {
        Manager->Categories->GetDelayedQuery()->WaitForAll();
        auto rows = PoolQuery(
            "SELECT songlist.title FROM categorylist JOIN songlist ON songlist.ID = categorylist.songID WHERE "
            "categoryID = :id ORDER BY sortID",
            {Category->ID});
        std::vector<std::string> out;
        for (rows->First(); !rows->Eof(); rows->Next()) out.push_back(rows->GetValue("title"));
        return out;
    }

    fs::path Folder;
    std::atomic<uint32_t> Tick{1000};
    std::unique_ptr<THeartBeat> Beat;
    TwiPlaylist Item;
    TCustomCategory *Rock = nullptr, *Jazz = nullptr, *Inner = nullptr;
};

TEST_F(LibraryWindow, OpensOnTheSavedCategoryAndLoadsAtTheFirstTick) {
    FillCategory(Rock, 3);
    std::string name;
    Item.GetName(name);
    EXPECT_EQ(name, "Playlist");
    EXPECT_TRUE(Item.GetSizeable());
    GuiConfig->Section("Playlist")->WriteString("ActiveCategory", "Rock");
    GuiConfig->Section("Playlist")->WriteInteger("CatTreeMode", -4);
    Item.Activate();
    TfoPlaylist& f = *Item.Frame();
    QAbstractItemModelTester tester(f.tvSongList->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(f.CatTreeMode, 0);
    EXPECT_EQ(f.SelectedCategory(), Rock);
    EXPECT_EQ(f.tvSongList->Tag(), 1);
    for (int i = 0; i < 20; ++i) Loop->ProcessPending();
    EXPECT_EQ(f.tvSongList->SongList(), nullptr) << "nothing loads before the tick";
    RunHeartBeat();
    ASSERT_TRUE(PumpUntil([&] { return f.tvSongList->SongList() != nullptr; }));
    EXPECT_EQ(Captions(f), (std::vector<std::string>{"Artist - Song 0", "Artist - Song 1", "Artist - Song 2"}));
    EXPECT_EQ(f.lbSummary->text(), "3 tracks (0:03:00)");
    EXPECT_EQ(Beat->Count(), 0);

    // Choosing another category shows its tracks.
    f.tvCategory->setCurrentItem(f.NodeOf(Jazz));
    ASSERT_TRUE(PumpUntil([&] { return f.tvSongList->SongList() != nullptr; }));
    EXPECT_EQ(f.tvSongList->SongList()->Count(), 0);
    EXPECT_EQ(f.lbSummary->text(), "0 tracks (0:00:00)");

    Item.Deactivate();
    auto section = GuiConfig->Section("Playlist");
    EXPECT_EQ(section->ReadString("ActiveCategory", ""), "Jazz");
    EXPECT_EQ(section->ReadInteger("CatTreeMode", -1), 0);
    EXPECT_FALSE(section->ReadBool("Floating", true));
    EXPECT_EQ(Rock->OnSongList, nullptr);
    EXPECT_EQ(Jazz->OnSongList, nullptr);
}

TEST_F(LibraryWindow, NewRenameAndDeleteCategories) {
    Manager->Categories->CreateCategory(Jazz, "New folder");
    Manager->Categories->CreateCategory(Manager->Categories->FindByID(0), "new FOLDER (1)");
    TfoPlaylist& f = Open(Rock);
    f.RunAction([&] { f.NewCategory(); });
    TCustomCategory* made = Manager->Categories->FindByName("New folder (2)");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Parent, Rock);
    QTreeWidgetItem* node = f.NodeOf(made);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->text(0), "New folder (2)");
    EXPECT_TRUE(f.tvCategory->IsEditing());

    // A rename the category refuses keeps the old caption.
    node->setText(0, "Jazz");
    EXPECT_EQ(node->text(0), "New folder (2)");
    node->setText(0, "Blues");
    EXPECT_EQ(made->Name, "Blues");

    f.tvCategory->setCurrentItem(node);
    std::string asked;
    SetMessageHandler([&](const TMessageRequest& r) {
        asked = r.Text;
        return MsgButton::Yes;
    });
    f.DeleteCategory();
    EXPECT_EQ(asked, "Are you sure you want to delete this category and all sub-categories?");
    EXPECT_EQ(Manager->Categories->FindByName("Blues"), nullptr);
    EXPECT_EQ(f.NodeOf(made), nullptr);
    EXPECT_EQ(CountRows("category", "name = 'Blues'"), 0);
}

TEST_F(LibraryWindow, CategoryDragsKeepTheTreeSound) {
    TfoPlaylist& f = Open(Rock);
    QTreeWidgetItem* rock = f.NodeOf(Rock);
    QTreeWidgetItem* jazz = f.NodeOf(Jazz);
    QTreeWidgetItem* inner = f.NodeOf(Inner);
    f.tvCategory->setCurrentItem(rock);
    std::unique_ptr<QMimeData> mime(f.tvCategory->CategoryMime());
    EXPECT_FALSE(f.CategoryDragOver(mime.get(), rock)) << "onto itself";
    EXPECT_FALSE(f.CategoryDragOver(mime.get(), inner)) << "into its own subtree";
    EXPECT_FALSE(f.CategoryDragOver(mime.get(), nullptr));
    EXPECT_TRUE(f.CategoryDragOver(mime.get(), jazz));
    Rock->Capabilities &= static_cast<uint8_t>(~(1u << CategoryCapability::Move));
    EXPECT_FALSE(f.CategoryDragOver(mime.get(), jazz)) << "without the move bit";
    Rock->Capabilities = 255;

    // Jazz and Rock share their parent: Jazz goes before Rock.
    f.tvCategory->setCurrentItem(jazz);
    mime.reset(f.tvCategory->CategoryMime());
    f.CategoryDragDrop(mime.get(), rock);
    QTreeWidgetItem* parent = rock->parent();
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->indexOfChild(jazz) + 1, parent->indexOfChild(rock));
    EXPECT_LT(Jazz->ItemIndex, Rock->ItemIndex);
    // Into another parent: the last child of the target.
    f.CategoryDragDrop(mime.get(), inner);
    EXPECT_EQ(jazz->parent(), inner);
    EXPECT_EQ(Jazz->Parent, Inner);

    std::string shown;
    SetMessageHandler([&](const TMessageRequest& r) {
        shown = r.Text;
        return MsgButton::OK;
    });
    f.CategoryDragDrop(mime.get(), nullptr);
    EXPECT_EQ(shown, "You can only drop items on top of a category.");
}

TEST_F(LibraryWindow, LayoutModesCycleBackToTheSameHeight) {
    TfoPlaylist& f = Open(Rock);
    QCoreApplication::processEvents();
    const int height = f.pCategory->height();
    EXPECT_GE(height, 50);
    f.SetCatTreeMode(f.CatTreeMode + 1);
    EXPECT_EQ(f.CatTreeMode, 1);
    EXPECT_TRUE(f.pTop->isHidden());
    EXPECT_EQ(f.splitCatPlaylist->orientation(), Qt::Horizontal);
    EXPECT_EQ(f.btCategoryMinMax->text(), QString(QChar(0x2191)));
    f.SetCatTreeMode(f.CatTreeMode + 1);
    EXPECT_EQ(f.CatTreeMode, 2);
    EXPECT_FALSE(f.splitCatPlaylist->handle(1)->isEnabled());
    EXPECT_EQ(f.btCategoryMinMax->text(), QString(QChar(0x2193)));
    f.SetCatTreeMode(f.CatTreeMode + 1);
    EXPECT_EQ(f.CatTreeMode, 0);
    EXPECT_EQ(f.btCategoryMinMax->text(), QString(QChar(0x2190)));
    QCoreApplication::processEvents();
    EXPECT_EQ(f.pCategory->height(), height);

    // Floating keeps the size and position for the next float; a negative position floats at 0.
    f.FloatLeft = -30;
    f.FloatTop = 20;
    f.FloatWidth = 200;
    f.FloatHeight = 150;
    f.FloatCategories();
    ASSERT_TRUE(f.IsFloating());
    EXPECT_EQ(f.FloatForm->pos(), QPoint(0, 20));
    f.FloatForm->move(33, 44);
    auto section = GuiConfig->Section("Saved");
    f.SaveSettings(*section);
    EXPECT_TRUE(section->ReadBool("Floating", false));
    EXPECT_EQ(section->ReadInteger("FloatLeft", 0), 33);
    f.FloatForm->CloseClicked();
    EXPECT_FALSE(f.IsFloating());
    EXPECT_EQ(f.FloatLeft, 33);
    EXPECT_EQ(f.FloatTop, 44);
    EXPECT_EQ(f.pCategory->parentWidget(), f.splitCatPlaylist);
}

TEST_F(LibraryWindow, RemoveCropAndClear) {
    FillCategory(Rock, 6);
    TfoPlaylist& f = Open(Rock);
    SelectSongTreeRange(*f.tvSongList, 2, 2);
    f.tvSongList->selectionModel()->select(f.tvSongList->model()->index(5, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    f.SongCrop();
    EXPECT_EQ(Captions(f), (std::vector<std::string>{"Artist - Song 2", "Artist - Song 5"}));
    EXPECT_EQ(f.tvSongList->SelectedRows(), (std::vector<int>{0, 1}));
    EXPECT_EQ(Stored(Rock), (std::vector<std::string>{"Song 2", "Song 5"}));

    SelectSongTreeRange(*f.tvSongList, 0, 0);
    f.SongRemove();
    EXPECT_EQ(Captions(f), std::vector<std::string>{"Artist - Song 5"});
    EXPECT_EQ(f.lbSummary->text(), "1 tracks (0:01:00)");
    // Every row selected: the category is cleared, without a question.
    SetMessageHandler([](const TMessageRequest&) -> int {
        ADD_FAILURE() << "no question expected";
        return MsgButton::Cancel;
    });
    SelectAllSongTree(*f.tvSongList);
    f.SongRemove();
    EXPECT_TRUE(Captions(f).empty());
    EXPECT_EQ(Stored(Rock).size(), 0u);
    EXPECT_EQ(CountRows("songlist"), 6);
}

TEST_F(LibraryWindow, MovedRowsKeepTheirOrderAlsoAfterReload) {
    FillCategory(Rock, 5);
    TfoPlaylist& f = Open(Rock);
    SelectSongTreeRange(*f.tvSongList, 1, 1);
    f.tvSongList->selectionModel()->select(f.tvSongList->model()->index(3, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    std::unique_ptr<QMimeData> own(f.tvSongList->SelectedRowsMime());
    const QRect first = f.tvSongList->visualRect(f.tvSongList->model()->index(0, 1));
    ASSERT_TRUE(SendDrop(f.tvSongList->viewport(), *own, first.topLeft() + QPoint(3, 1)));
    EXPECT_EQ(Captions(f), (std::vector<std::string>{"Artist - Song 1", "Artist - Song 3", "Artist - Song 0",
                                                     "Artist - Song 2", "Artist - Song 4"}));
    EXPECT_EQ(f.tvSongList->SelectedRows(), (std::vector<int>{0, 1}));
    auto list = f.tvSongList->SongList();
    for (int i = 1; i < list->Count(); ++i) EXPECT_LT(list->Items(i - 1).SortID, list->Items(i).SortID);
    EXPECT_EQ(Stored(Rock), (std::vector<std::string>{"Song 1", "Song 3", "Song 0", "Song 2", "Song 4"}));

    // Many rows into one gap: each gets a value of its own, so the order survives the store.
    FillCategory(Jazz, 80);
    f.tvCategory->setCurrentItem(f.NodeOf(Jazz));
    ASSERT_TRUE(PumpUntil([&] { return f.tvSongList->SongList() && f.tvSongList->SongList()->Count() == 80; }));
    SelectSongTreeRange(*f.tvSongList, 2, 79);
    f.MoveSelectedRows(1);
    std::vector<std::string> expected = {"Song 0"};
    for (int i = 2; i < 80; ++i) expected.push_back("Song " + std::to_string(i));
    expected.push_back("Song 1");
    EXPECT_EQ(Stored(Jazz), expected);
    list = f.tvSongList->SongList();
    for (int i = 1; i < list->Count(); ++i) ASSERT_LT(list->Items(i - 1).SortID, list->Items(i).SortID) << i;
}

TEST_F(LibraryWindow, DropsFromOtherWindowsAndTheDesktop) {
    FillCategory(Rock, 3);
    TfoPlaylist& f = Open(Rock);
    // Rows of the search results (tag 2) dropped below the last row are appended.
    auto found = NewSongItemList();
    const int a = AddSongRow("/music/a.mp3", "Found", "A", 0);
    const int b = AddSongRow("/music/b.mp3", "Found", "B", 1000);
    found->Add() = TSongItem{0, a, "Found - A", 0, 0, 0};
    found->Add() = TSongItem{0, b, "Found - B", 0, 1000, 0};
    std::unique_ptr<QMimeData> search(NewSongRowsMime(*found, 2, 0));
    const QRect last = f.tvSongList->visualRect(f.tvSongList->model()->index(2, 1));
    ASSERT_TRUE(SendDrop(f.tvSongList->viewport(), *search, last.bottomLeft() - QPoint(0, 2)));
    EXPECT_EQ(Captions(f).back(), "Found - B");
    EXPECT_EQ(f.tvSongList->SelectedRows(), (std::vector<int>{3, 4}));
    EXPECT_EQ(f.lbSummary->text(), "5 tracks (0:03:01)+??");
    EXPECT_EQ(Stored(Rock), (std::vector<std::string>{"Song 0", "Song 1", "Song 2", "A", "B"}));

    // Desktop files dropped above row 2 go before it, with their full names.
    const std::string file = (Folder / (std::string(150, 'l') + " Ünï.wav")).string();
    coretest::WriteToneWav(file, 500, 440);
    QMimeData desktop;
    desktop.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    const QRect third = f.tvSongList->visualRect(f.tvSongList->model()->index(2, 1));
    ASSERT_TRUE(SendDrop(f.tvSongList->viewport(), desktop, third.topLeft() + QPoint(3, 1)));
    EXPECT_EQ(f.tvSongList->SongList()->Count(), 6);
    EXPECT_EQ(f.tvSongList->SelectedRows(), std::vector<int>{2});
    EXPECT_EQ(CountRows("songlist", "filename = '" + file + "'"), 1);
    EXPECT_EQ(Stored(Rock).size(), 6u);

    // Rows dropped on another category's node go to the end of that category.
    std::unique_ptr<QMimeData> queue(NewSongRowsMime(*found, 3, 0));
    EXPECT_TRUE(f.CategoryDragOver(queue.get(), f.NodeOf(Jazz)));
    f.CategoryDragDrop(queue.get(), f.NodeOf(Jazz));
    EXPECT_EQ(Stored(Jazz), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(f.tvSongList->SongList()->Count(), 6) << "the shown category is unchanged";
    // A category that takes no songs refuses them; a list tagged 6 is never taken.
    Jazz->Capabilities &= static_cast<uint8_t>(~(1u << CategoryCapability::AddSongs));
    EXPECT_FALSE(f.CategoryDragOver(queue.get(), f.NodeOf(Jazz)));
    std::unique_ptr<QMimeData> refused(NewSongRowsMime(*found, 6, 0));
    EXPECT_FALSE(SendDrop(f.tvSongList->viewport(), *refused, {5, 5}));

    // Desktop files on a tree node through the drop watch.
    const QRect node = f.tvCategory->visualItemRect(f.NodeOf(Inner));
    f.tvCategory->scrollToItem(f.NodeOf(Inner));
    ASSERT_TRUE(SendDrop(f.tvCategory->viewport(), desktop, f.tvCategory->visualItemRect(f.NodeOf(Inner)).center()));
    (void)node;
    EXPECT_EQ(Stored(Inner).size(), 1u);

    // Queueing the selected rows.
    SelectSongTreeRange(*f.tvSongList, 0, 1);
    f.QueueSelected(false);
    EXPECT_EQ(Manager->Queue->Count(), 2);
}

TEST_F(LibraryWindow, FolderAndGroupViews) {
    FillCategory(Rock, 3);
    TfoPlaylist& f = Open(Rock);
    // A folder shows its children as icons; opening one selects its node.
    f.tvCategory->setCurrentItem(f.NodeOf(Manager->Categories->FindByID(0)));
    EXPECT_TRUE(f.tvSongList->isHidden());
    EXPECT_FALSE(f.lvChildren->isHidden());
    std::vector<std::string> children;
    for (int i = 0; i < f.lvChildren->count(); ++i) children.push_back(f.lvChildren->item(i)->text().toStdString());
    EXPECT_EQ(children, (std::vector<std::string>{"Rock", "Jazz"}));
    f.lvChildren->setCurrentRow(1);
    f.alOpenChild->trigger();
    EXPECT_EQ(f.SelectedCategory(), Jazz);
    EXPECT_FALSE(f.tvSongList->isHidden());

    // Groups: the first group is chosen and its songs shown.
    auto* byArtist = dynamic_cast<TLevelCategory*>(Manager->Categories->FindByName("By Artist"));
    ASSERT_NE(byArtist, nullptr);
    f.tvCategory->setCurrentItem(f.NodeOf(byArtist));
    EXPECT_FALSE(f.foLevelList1->isHidden());
    ASSERT_TRUE(PumpUntil([&] {
        return f.foLevelList1->tvLevelList->model()->rowCount() > 0 && f.tvSongList->SongList() &&
               f.tvSongList->SongList()->Count() == 3;
    }));
    EXPECT_EQ(f.foLevelList1->tvLevelList->model()->index(0, 0).data().toString(), "Artist");
    f.tvCategory->setCurrentItem(f.NodeOf(Rock));
    EXPECT_TRUE(f.foLevelList1->isHidden());
    EXPECT_EQ(byArtist->OnLevelList, nullptr);
}

TEST_F(LibraryWindow, DropTargetWindowAddsToTheChosenCategory) {
    FillCategory(Rock, 1);
    TfoPlaylist& f = Open(Rock);
    f.OpenDropTarget();
    ASSERT_NE(f.DropTarget, nullptr);
    EXPECT_EQ(f.DropTarget->SelectedCategory(), "Rock");
    f.DropTarget->eCategory->setCurrentIndex(f.DropTarget->eCategory->findData("Jazz"));
    const std::string file = (Folder / "dropped.wav").string();
    coretest::WriteToneWav(file, 300, 440);
    f.DropTarget->DropFiles({file});
    EXPECT_EQ(Stored(Jazz).size(), 1u);
    auto rows = NewSongItemList();
    rows->Add().SongID = AddSongRow("/music/x.mp3", "X", "Row", 1000);
    TSongDrop drop;
    drop.SourceTag = 3;
    drop.Songs = rows;
    f.DropTarget->DropItems(drop);
    EXPECT_EQ(Stored(Jazz), (std::vector<std::string>{"dropped", "Row"}));
    EXPECT_EQ(f.tvSongList->SongList()->Count(), 1) << "the shown category is unchanged";
    f.Done();
    EXPECT_EQ(f.DropTarget, nullptr);
}

TEST_F(LibraryWindow, SavesTheCategoryAsM3UAndReportsBadPlayLists) {
    FillCategory(Rock, 2);
    TfoPlaylist& f = Open(Rock);
    const std::string target = (Folder / "rock.m3u").string();
    SetModalHandler([&](QDialog& d) {
        auto& dialog = dynamic_cast<QFileDialog&>(d);
        if (dialog.acceptMode() == QFileDialog::AcceptSave)
            dialog.selectFile(QString::fromStdString(target));
        else
            dialog.selectFile(QString::fromStdString((Folder / "broken.asx").string()));
        return int(QDialog::Accepted);
    });
    f.RunAction([&] { f.SongSaveList(); });
    std::ifstream in(target, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text,
              "#EXTM3U\r\n#EXTINF:60,Artist - Song 0\r\n/music/Rock0.mp3\r\n#EXTINF:60,Artist - Song "
              "1\r\n/music/Rock1.mp3\r\n");

    std::vector<std::string> shown;
    SetMessageHandler([&](const TMessageRequest& r) {
        shown.push_back(r.Text);
        return MsgButton::OK;
    });
    f.alSongAddPlaylist->trigger();
    EXPECT_EQ(shown, std::vector<std::string>{"Invalid playlist or unsupported playlist format"});
    EXPECT_EQ(Log->Count("Unhandled exception (Invalid playlist or unsupported playlist format)", "GUI"), 1);
    EXPECT_EQ(Stored(Rock).size(), 2u);
}

}  // namespace
}  // namespace kelvar
