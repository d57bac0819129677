// The song list of a user category: adding, removing, reordering and loading its entries.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "CategoryTestSupport.h"
#include "core/playlist/GetSongList.h"

namespace kelvar {
namespace {

using categorytest::TCategoryFixture;

// Threads of this process that are loading a category list (they name themselves).
int LoaderThreads() {
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name == "kelvar-loader") ++count;
    }
    return count;
}

class CustomCategoryTest : public TCategoryFixture {
protected:
    void SetUp() override {
        TCategoryFixture::SetUp();
        Category = Tree->CreateCategory(Find("Playlist"), "Mine");
        ASSERT_NE(Category, nullptr);
    }

    std::vector<double> SortIDs() {
        std::vector<double> result;
        auto rows = PoolQuery("SELECT sortID FROM categorylist WHERE categoryID = :ID ORDER BY sortID", {Category->ID});
        for (rows->First(); !rows->Eof(); rows->Next()) result.push_back(rows->GetFieldValue("sortID").AsFloat());
        return result;
    }

    // Loads through the loader thread and answers the list it delivered.
    ISongItemListPtr Load(TCustomCategory& category, bool force = true) {
        ISongItemListPtr result;
        category.OnSongList = [&](TCustomCategory&, const ISongItemListPtr& songs) { result = songs; };
        CategoryLoadSongs(category, force);
        EXPECT_TRUE(PumpUntil([&] { return result != nullptr; }));
        EXPECT_TRUE(PumpUntil([&] { return category.Loader == nullptr; }));
        category.OnSongList = nullptr;
        return result;
    }

    TCustomCategory* Category = nullptr;
};

TEST_F(CustomCategoryTest, AddedSongsTakeSortPositionsBetweenTheirNeighbours) {
    const auto ids = AddSongRows(4);
    auto bottom = ItemsOf({ids[0], ids[1]});
    Category->AddSongs(*bottom, 0, 0);
    EXPECT_EQ(SortIDs(), (std::vector<double>{2000, 3000}));
    EXPECT_EQ(bottom->Items(1).SortID, 3000);
    EXPECT_GT(bottom->Items(0).ListID, 0);
    EXPECT_EQ(Number("SELECT songID FROM categorylist WHERE ID = :ID", {bottom->Items(1).ListID}), ids[1]);

    auto top = ItemsOf({ids[2], ids[3]});
    Category->AddSongs(*top, 0, 2000);
    EXPECT_EQ(SortIDs(), (std::vector<double>{2000.0 / 3, 4000.0 / 3, 2000, 3000}));
}

TEST_F(CustomCategoryTest, SongTypeCategoriesGiveTheirTypeInBatches) {
    TCustomCategory* jingles = Tree->CreateCategory(Find("Jingles"), "Morning");
    ASSERT_NE(jingles, nullptr);
    const auto ids = AddSongRows(1200);
    auto items = ItemsOf(ids);
    jingles->AddSongs(*items, 0, 0);
    WaitForTree();
    EXPECT_EQ(CountRows("songlist", "songtype = 'J'"), 1200);
    EXPECT_EQ(CountRows("categorylist"), 1200);

    // Its list and its choice are limited to songs of that type.
    PoolExecSQL("UPDATE songlist SET songtype = 'S' WHERE ID = :ID", {ids[0]});
    auto list = Load(*jingles);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Count(), 1199);
}

TEST_F(CustomCategoryTest, RemoveClearAndDuplicates) {
    const auto ids = AddSongRows(3);
    TCustomCategory* other = Tree->CreateCategory(Find("Playlist"), "Other");
    auto theirs = ItemsOf({ids[0]});
    other->AddSongs(*theirs, 0, 0);

    auto items = ItemsOf({ids[0], ids[1], ids[0], ids[2], ids[0]});
    Category->AddSongs(*items, 0, 0);
    EXPECT_EQ(Category->RemoveDuplicates(), 2);
    // The entry with the least ID stays.
    EXPECT_EQ(CountRows("categorylist", "ID = " + std::to_string(items->Items(0).ListID)), 1);
    EXPECT_EQ(CountRows("categorylist", "categoryID = " + std::to_string(Category->ID)), 3);

    Category->RemoveSongs({items->Items(1).ListID, theirs->Items(0).ListID}, {});
    WaitForTree();
    EXPECT_EQ(CountRows("categorylist", "categoryID = " + std::to_string(Category->ID)), 2);
    EXPECT_EQ(CountRows("categorylist", "categoryID = " + std::to_string(other->ID)), 1);

    Category->ClearSongs();
    EXPECT_EQ(CountRows("categorylist", "categoryID = " + std::to_string(Category->ID)), 0);
    EXPECT_EQ(CountRows("categorylist"), 1);
}

TEST_F(CustomCategoryTest, MoveShuffleAndSortRenumber) {
    const auto ids = AddSongRows(5);
    auto items = ItemsOf(ids);
    Category->AddSongs(*items, 0, 0);
    EXPECT_EQ(Category->MoveSong(items->Items(4).ListID, 1000, 2000), 1500);
    WaitForTree();
    EXPECT_EQ(Number("SELECT sortID FROM categorylist WHERE ID = :ID", {items->Items(4).ListID}), 1500);

    Category->Shuffle();
    EXPECT_EQ(SortIDs(), (std::vector<double>{1000, 2000, 3000, 4000, 5000}));

    // Titles "Title 0" .. "Title 4": descending puts the last song first.
    Category->Sort("title,artist", false);
    EXPECT_EQ(Number("SELECT sortID FROM categorylist WHERE songID = :ID", {ids[4]}), 1000);
    EXPECT_EQ(Number("SELECT sortID FROM categorylist WHERE songID = :ID", {ids[0]}), 5000);
    Category->Sort("date_added", true);
    EXPECT_EQ(SortIDs(), (std::vector<double>{1000, 2000, 3000, 4000, 5000}));
}

TEST_F(CustomCategoryTest, SortTakesOnlyTheListedFields) {
    const auto ids = AddSongRows(2);
    auto items = ItemsOf(ids);
    Category->AddSongs(*items, 0, 0);
    for (const char* field : {"artist; DELETE FROM songlist", "title) --", "status", ""})
        EXPECT_THROW(Category->Sort(field, true), ECategoryError) << field;
    EXPECT_EQ(CountRows("songlist"), 2);
    EXPECT_EQ(SortIDs(), (std::vector<double>{2000, 3000}));
}

TEST_F(CustomCategoryTest, LoadedListCarriesStartTimesAndIsCached) {
    const auto ids = AddSongRows(3);  // 1 s, 2 s and 3 s long
    auto items = ItemsOf(ids);
    Category->AddSongs(*items, 0, 0);
    PoolExecSQL("UPDATE songlist SET duration = 2500 WHERE ID = :ID", {ids[0]});

    std::vector<std::string> statuses;
    Category->OnStatus = [&](TCustomCategory&, int, const std::string& text) { statuses.push_back(text); };
    auto list = Load(*Category);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(list->Items(0).Caption, "Artist 0 - Title 0");
    EXPECT_EQ(list->Items(0).ListID, items->Items(0).ListID);
    EXPECT_EQ(list->Items(2).SortID, 4000);
    EXPECT_EQ(list->Items(1).StartTime, 2);
    EXPECT_EQ(list->Items(2).StartTime, 4);
    EXPECT_EQ(list->TotalDuration(), 7);
    EXPECT_EQ(statuses.front(), "Retrieving data...");

    // Cached: answered at once, no thread.
    ISongItemListPtr again;
    Category->OnSongList = [&](TCustomCategory&, const ISongItemListPtr& songs) { again = songs; };
    CategoryLoadSongs(*Category, false);
    EXPECT_EQ(again, list);
    EXPECT_EQ(Category->Loader, nullptr);

    // A second request while one runs is answered "Busy...".
    statuses.clear();
    CategoryLoadSongs(*Category, true);
    CategoryLoadSongs(*Category, true);
    EXPECT_EQ(statuses, std::vector<std::string>{"Busy..."});
    EXPECT_TRUE(PumpUntil([&] { return Category->Loader == nullptr; }));
    Category->OnSongList = nullptr;
    Category->OnStatus = nullptr;
}

TEST_F(CustomCategoryTest, FailedLoadReportsAndLeavesTheCategoryUsable) {
    std::vector<std::string> statuses;
    Category->OnStatus = [&](TCustomCategory&, int, const std::string& text) { statuses.push_back(text); };
    Category->LoadSongList(true, "SELECT no_such_column FROM categorylist", {});
    ASSERT_TRUE(PumpUntil([&] { return Category->Loader == nullptr; }));
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().rfind("Failed to load the songs (", 0), 0u) << statuses.back();
    Category->OnStatus = nullptr;
    // Its end delivered, the loader is gone and its thread joined, not left running on its own.
    EXPECT_EQ(LoaderThreads(), 0);

    AddSongRows(1);
    auto ids = AddSongRows(1, "/other/");
    auto items = ItemsOf(ids);
    Category->AddSongs(*items, 0, 0);
    auto list = Load(*Category);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Count(), 1);
}

TEST_F(CustomCategoryTest, CategoryGoingAwayStopsItsLoader) {
    auto ids = AddSongRows(300);
    auto items = ItemsOf(ids);
    Category->AddSongs(*items, 0, 0);
    bool delivered = false;
    Category->OnSongList = [&](TCustomCategory&, const ISongItemListPtr&) { delivered = true; };
    CategoryLoadSongs(*Category, true);
    std::weak_ptr<TGetSongList> loader = Category->Loader;
    Tree->Remove(Category);
    // The thread has ended; nothing it left on the main thread reaches the freed category.
    Loop->ProcessPending();
    EXPECT_FALSE(delivered);
    EXPECT_TRUE(PumpUntil([&] { return loader.expired(); }));
    EXPECT_EQ(LoaderThreads(), 0);
}

TEST_F(CustomCategoryTest, CategoryFreedWhenItsListArrivesHearsNothingOfTheLoadersEnd) {
    auto items = ItemsOf(AddSongRows(3));
    Category->AddSongs(*items, 0, 0);
    std::weak_ptr<TGetSongList> loader;
    bool delivered = false;
    // A window that drops the category once its list is in: the loader's end is still on its way.
    Category->OnSongList = [&](TCustomCategory& sender, const ISongItemListPtr&) {
        delivered = true;
        Tree->Remove(&sender);
    };
    CategoryLoadSongs(*Category, true);
    loader = Category->Loader;
    Category = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return delivered && loader.expired(); }));
    EXPECT_EQ(LoaderThreads(), 0);
}

}  // namespace
}  // namespace kelvar
