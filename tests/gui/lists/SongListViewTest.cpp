// The song and group list views over their list objects, the drop positions, the category
// subtree test and the drag data between windows.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

#include "common/GuiTestKit.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unDragDrop.h"
#include "gui/lists/unGUIFunc.h"
#include "gui/lists/unLevelList.h"

namespace kelvar {
namespace {

ISongItemListPtr ListOf(std::initializer_list<double> sortIDs) {
    auto list = NewSongItemList();
    int n = 0;
    for (double s : sortIDs) {
        TSongItem& item = list->Add();
        item.ListID = 100 + n;
        item.SongID = 200 + n;
        item.Caption = "Song " + std::to_string(n);
        item.SortID = s;
        item.Duration = 60000 * (n + 1);
        ++n;
    }
    return list;
}

class SongListView : public guitest::GuiTest {};

TEST_F(SongListView, RowsAreTheListsItemsAndFollowTheSameListSetAgain) {
    TVirtualSongTree tree;
    QAbstractItemModelTester tester(tree.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    tree.SetSongList(nullptr);
    EXPECT_EQ(tree.model()->rowCount(), 0);

    auto list = ListOf({1000, 2000});
    list->Items(1).Duration = -1;
    tree.SetSongList(list);
    ASSERT_EQ(tree.model()->rowCount(), 2);
    EXPECT_EQ(tree.model()->index(0, 0).data().toString(), "1");
    EXPECT_EQ(tree.model()->index(0, 1).data().toString(), "Song 0");
    EXPECT_EQ(tree.model()->index(0, 2).data().toString(), "1:00");
    EXPECT_EQ(tree.model()->index(1, 2).data().toString(), "-0:00");
    EXPECT_EQ(tree.model()->headerData(1, Qt::Horizontal).toString(), "Artist - Title");

    list->Add().Caption = "Late";
    tree.SetSongList(list);
    EXPECT_EQ(tree.model()->rowCount(), 3);
    EXPECT_EQ(tree.model()->index(2, 1).data().toString(), "Late");

    tree.Model()->SetDurationStyle(TDurationStyle::UnknownMarked);
    EXPECT_EQ(tree.model()->index(1, 2).data().toString(), "??:??");
    EXPECT_EQ(tree.model()->index(0, 2).data().toString(), "1:00");
    // Seventy-five minutes do not wrap at the hour.
    list->Items(0).Duration = 75 * 60000;
    EXPECT_EQ(tree.model()->index(0, 2).data().toString(), "75:00");
}

// A list that grows while it loads: the new rows are announced as inserted, so the selection
// and the scroll position stay.
TEST_F(SongListView, RowsAppendedToTheShownListKeepTheSelection) {
    TVirtualSongTree tree;
    QAbstractItemModelTester tester(tree.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    auto list = ListOf({1000, 2000, 3000});
    tree.SetSongList(list);
    tree.selectRow(1);
    for (int i = 0; i < 2; ++i) list->Add().Caption = "More " + std::to_string(i);
    tree.RowsAppended(3);
    ASSERT_EQ(tree.model()->rowCount(), 5);
    EXPECT_EQ(tree.model()->index(4, 1).data().toString(), "More 1");
    EXPECT_EQ(tree.SelectedRows(), std::vector<int>{1});
    tree.RowsAppended(5);  // nothing new
    EXPECT_EQ(tree.model()->rowCount(), 5);
}

TEST_F(SongListView, SelectedItemsAreCopiesInRowOrder) {
    TVirtualSongTree tree;
    tree.SetSongList(ListOf({10, 20, 30, 40}));
    ISongItemListPtr picked;
    GetSelectedSongItems(tree, picked);
    ASSERT_NE(picked, nullptr);
    EXPECT_EQ(picked->Count(), 0);

    SelectSongTreeRange(tree, 1, 2);
    tree.selectionModel()->select(tree.model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    GetSelectedSongItems(tree, picked);
    ASSERT_EQ(picked->Count(), 3);
    EXPECT_EQ(picked->Items(0).ListID, 100);
    EXPECT_EQ(picked->Items(2).SongID, 202);
    EXPECT_EQ(picked->Items(1).Caption, "Song 1");
    EXPECT_EQ(picked->Items(1).SortID, 20);
    EXPECT_EQ(picked->Items(1).Duration, 120000);
    picked->Items(0).Caption = "changed";
    EXPECT_EQ(tree.SongList()->Items(0).Caption, "Song 0");

    InvertSongTreeSelection(tree);
    EXPECT_EQ(tree.SelectedRows(), std::vector<int>{3});
    SelectAllSongTree(tree);
    EXPECT_EQ(tree.SelectedRows().size(), 4u);
    SelectSongTreeRange(tree, 2, 1);
    EXPECT_TRUE(tree.SelectedRows().empty());
}

TEST(SortIDForDrop, BoundsAndPositionUsed) {
    auto three = ListOf({1000, 2000, 3000});
    auto empty = NewSongItemList();
    struct Case {
        const ISongItemList* List;
        TInsertPos Asked;
        int Index;
        TInsertPos Used;
        double Before, After;
    } cases[] = {
        {nullptr, ipTop, 0, ipBottom, 0, 0},
        {empty.get(), ipInsert, 3, ipBottom, 0, 0},
        {three.get(), ipBottom, 0, ipBottom, 3000, 3300},
        {three.get(), ipTop, 5, ipTop, 0, 1000},
        {three.get(), ipInsert, 0, ipTop, 0, 1000},
        {three.get(), ipInsert, -4, ipTop, 0, 1000},
        {three.get(), ipInsert, 2, ipInsert, 2000, 3000},
        {three.get(), ipInsert, 3, ipBottom, 3000, 3300},
    };
    for (const Case& c : cases) {
        double before = -1, after = -1;
        EXPECT_EQ(SortIDForDrop(c.List, before, after, c.Index, c.Asked), c.Used) << c.Index;
        EXPECT_EQ(before, c.Before) << c.Index;
        EXPECT_EQ(after, c.After) << c.Index;
    }
}

TEST_F(SongListView, TreeNodeDescendants) {
    QTreeWidget tree;
    auto* a = new QTreeWidgetItem(&tree, {"A"});
    auto* sibling = new QTreeWidgetItem(&tree, {"B"});
    auto* child = new QTreeWidgetItem(a, {"A1"});
    auto* grandchild = new QTreeWidgetItem(child, {"A11"});
    EXPECT_TRUE(IsTreeNodeDescendant(a, grandchild));
    EXPECT_TRUE(IsTreeNodeDescendant(a, child));
    EXPECT_FALSE(IsTreeNodeDescendant(a, a));
    EXPECT_FALSE(IsTreeNodeDescendant(a, sibling));
    EXPECT_FALSE(IsTreeNodeDescendant(grandchild, a));
    EXPECT_FALSE(IsTreeNodeDescendant(nullptr, a));
}

TEST_F(SongListView, DragDataCarriesRowsTagAndSource) {
    TVirtualSongTree tree, other;
    tree.SetTag(3);
    tree.SetSongList(ListOf({5, 6, 7}));
    SelectSongTreeRange(tree, 1, 2);
    std::unique_ptr<QMimeData> mime(tree.SelectedRowsMime());
    TSongDrop drop;
    ASSERT_TRUE(DecodeSongDrop(mime.get(), drop));
    EXPECT_FALSE(drop.IsFiles);
    EXPECT_EQ(drop.SourceTag, 3);
    EXPECT_TRUE(drop.FromTree(&tree));
    EXPECT_FALSE(drop.FromTree(&other));
    ASSERT_EQ(drop.Songs->Count(), 2);
    EXPECT_EQ(drop.Songs->Items(1).Caption, "Song 2");
    EXPECT_EQ(drop.Songs->Items(1).SortID, 7);
    EXPECT_EQ(tree.property("Tag").toInt(), 3);

    QMimeData garbage;
    garbage.setData(SongRowsMimeType, "short");
    EXPECT_FALSE(DecodeSongDrop(&garbage, drop));
    QMimeData text;
    text.setText("hello");
    EXPECT_FALSE(DecodeSongDrop(&text, drop));
}

TEST_F(SongListView, DesktopFilesKeepTheirFullNames) {
    const std::string longName = "/music/" + std::string(300, 'x') + "/Ünïcødé 曲.mp3";
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(longName)), QUrl("http://radio.example/stream"),
                  QUrl::fromLocalFile("/b.mp3")});
    std::vector<std::string> names;
    FilesFromDataObject(&mime, names);
    EXPECT_EQ(names, (std::vector<std::string>{longName, "/b.mp3"}));
    TSongDrop drop;
    ASSERT_TRUE(DecodeSongDrop(&mime, drop));
    EXPECT_TRUE(drop.IsFiles);
    EXPECT_EQ(drop.Files.size(), 2u);
    names.clear();
    FilesFromDataObject(nullptr, names);
    QMimeData none;
    FilesFromDataObject(&none, names);
    EXPECT_TRUE(names.empty());
}

TEST_F(SongListView, LevelListSelectsTheFirstGroup) {
    TfoLevelList frame;
    QAbstractItemModelTester tester(frame.tvLevelList->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    int selects = 0;
    frame.OnLevelSelect = [&](TfoLevelList&) { ++selects; };
    frame.LevelListLoaded(NewLevelItemList());
    EXPECT_EQ(selects, 0);
    EXPECT_EQ(frame.tvLevelList->model()->rowCount(), 0);

    auto levels = NewLevelItemList();
    levels->Add().Caption = "A";
    levels->Add().Caption = "B";
    frame.LevelListLoaded(levels);
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(frame.tvLevelList->model()->index(1, 0).data().toString(), "B");
    EXPECT_EQ(frame.tvLevelList->model()->headerData(0, Qt::Horizontal).toString(), "Select Group");
    frame.tvLevelList->setCurrentIndex(frame.tvLevelList->model()->index(1, 0));
    EXPECT_EQ(selects, 2);
}

}  // namespace
}  // namespace kelvar
