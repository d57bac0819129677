// The playlist manager over a real song database, and the helpers that add files to the queue
// or to categories.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/SongTestDatabase.h"
#include "common/TempFolder.h"
#include "core/playlist/BuiltInCategoryTree.h"
#include "core/playlist/CategoryKinds.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistErrors.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/SongListHelpers.h"
#include "foundation/Errors.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class PlaylistManagerTest : public songtest::TSongDbFixture {
protected:
    std::string MakeFile(const std::string& relative) {
        const fs::path path = Dir.Path() / relative;
        fs::create_directories(path.parent_path());
        test::WriteWholeFile(path.string(), "");
        return path.string();
    }

    // The song IDs of a category's rows in order.
    static std::vector<int64_t> CategorySongs(int32_t categoryID) {
        std::vector<int64_t> ids;
        auto rows = PoolQuery("SELECT songID FROM categorylist WHERE categoryID = :c ORDER BY sortID", {categoryID});
        for (rows->First(); !rows->Eof(); rows->Next()) ids.push_back(rows->GetFieldValue("songID").AsInteger());
        return ids;
    }

    static int64_t SongIDOf(const std::string& file) {
        return PoolQuery("SELECT ID FROM songlist WHERE filename = :f", {file})->GetFieldValue("ID").AsInteger();
    }

    test::TTempFolder Dir;
};

TEST_F(PlaylistManagerTest, CreateBuildsTheTreeAndGivesTheBinItsLibrary) {
    TPlaylistManager manager;
    ASSERT_TRUE(manager.SongList && manager.Queue && manager.History && manager.Categories);
    auto* bin = dynamic_cast<TCustomRecycleBinCategory*>(manager.Categories->FindByName("recycle bin"));
    ASSERT_NE(bin, nullptr);
    EXPECT_EQ(bin->SongList, manager.SongList.get());
    EXPECT_EQ(manager.Queue->Count(), 0);
}

TEST_F(PlaylistManagerTest, CreateWithoutTreeBuilderFails) {
    const TFillCategoryTreeProc builder = FillCategoryTree;
    FillCategoryTree = nullptr;
    try {
        TPlaylistManager manager;
        ADD_FAILURE() << "made a manager without a tree builder";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "FillCategoryTree procedure not set!");
    }
    FillCategoryTree = builder;
}

TEST_F(PlaylistManagerTest, FilesGoToTheTopOrBottomOfTheQueue) {
    TPlaylistManager manager;
    const std::string a = MakeFile("q/a.mp3"), b = MakeFile("q/b.mp3"), c = MakeFile("q/c.mp3");
    AddFilesToQueue({a}, true, *manager.Queue, *manager.SongList);
    AddFilesToQueue({b, c}, false, *manager.Queue, *manager.SongList);
    AddFilesToQueue({}, false, *manager.Queue, *manager.SongList);
    std::vector<int64_t> order;
    IDatasetPtr list = manager.Queue->GetList();
    for (list->First(); !list->Eof(); list->Next()) order.push_back(list->GetFieldValue("songID").AsInteger());
    EXPECT_EQ(order, (std::vector<int64_t>{SongIDOf(b), SongIDOf(c), SongIDOf(a)}));
    EXPECT_EQ(manager.Queue->Count(), 3);
}

TEST_F(PlaylistManagerTest, FilesAndFolderTreesGoIntoCategories) {
    TPlaylistManager manager;
    TCategoryTree& tree = *manager.Categories;
    TCustomCategory* root = tree.FindByID(BuiltInCategoryID::Playlist);
    ASSERT_NE(root, nullptr);
    TCustomCategory* shows = tree.CreateCategory(root, "Shows");
    ASSERT_NE(shows, nullptr);

    const std::string first = MakeFile("files/1.mp3"), second = MakeFile("files/2.mp3");
    AddFilesToCategory({first}, true, shows, *manager.SongList);
    AddFilesToCategory({second}, false, shows, *manager.SongList);
    tree.GetDelayedQuery()->WaitForAll();
    EXPECT_EQ(CategorySongs(shows->ID), (std::vector<int64_t>{SongIDOf(second), SongIDOf(first)}));

    EXPECT_THROW(AddFilesToCategory({first}, true, tree.FindByName("Music"), *manager.SongList), EPlaylistError);

    // Each sub-folder becomes (or finds) the category of its name below its parent's category.
    const std::string morning = MakeFile("tree/Morning/m.mp3"), late = MakeFile("tree/Morning/Late/l.mp3");
    const std::string existing = MakeFile("tree/Shows/s.mp3");
    MakeFile("tree/top.mp3");
    AddFolderTreeToCategory((Dir.Path() / "tree").string(), root, tree, *manager.SongList);
    tree.GetDelayedQuery()->WaitForAll();
    TCustomCategory* morningCat = tree.FindByName("Morning");
    TCustomCategory* lateCat = tree.FindByName("Late");
    ASSERT_NE(morningCat, nullptr);
    ASSERT_NE(lateCat, nullptr);
    EXPECT_EQ(morningCat->Parent, root);
    EXPECT_EQ(lateCat->Parent, morningCat);
    EXPECT_EQ(CategorySongs(morningCat->ID), (std::vector<int64_t>{SongIDOf(morning)}));
    EXPECT_EQ(CategorySongs(lateCat->ID), (std::vector<int64_t>{SongIDOf(late)}));
    EXPECT_EQ(CategorySongs(shows->ID).back(), SongIDOf(existing));
    EXPECT_EQ(CountRows("songlist", "filename LIKE '%top.mp3'"), 0);

    EXPECT_THROW(AddFolderTreeToCategory((Dir.Path() / "nothing").string(), root, tree, *manager.SongList), EFileError);
}

}  // namespace
}  // namespace kelvar
