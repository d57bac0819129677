// The built-in collections over songlist columns: song types, weight classes, play limits, the
// recycle bin and the group categories.
#include <map>
#include <tuple>

#include "CategoryTestSupport.h"
#include "core/playlist/GetSongList.h"
#include "core/playlist/LevelCategories.h"
#include "core/playlist/SongList.h"

namespace kelvar {
namespace {

using categorytest::TCategoryFixture;

class CategoryKindsTest : public TCategoryFixture {
protected:
    ISongItemListPtr Load(TCustomCategory& category) {
        ISongItemListPtr result;
        category.OnSongList = [&](TCustomCategory&, const ISongItemListPtr& songs) { result = songs; };
        CategoryLoadSongs(category, true);
        EXPECT_TRUE(PumpUntil([&] { return result != nullptr && category.Loader == nullptr; }));
        category.OnSongList = nullptr;
        return result;
    }

    ILevelItemListPtr LoadLevels(TLevelCategory& category) {
        ILevelItemListPtr result;
        category.OnLevelList = [&](TCustomCategory&, const ILevelItemListPtr& levels) { result = levels; };
        category.RefreshLevels(true);
        EXPECT_TRUE(PumpUntil([&] { return result != nullptr && category.LevelLoader == nullptr; }));
        category.OnLevelList = nullptr;
        return result;
    }

    static std::vector<std::string> Captions(const ISongItemListPtr& list) {
        std::vector<std::string> result;
        for (int i = 0; list && i < list->Count(); ++i) result.push_back(list->Items(i).Caption);
        return result;
    }
};

TEST_F(CategoryKindsTest, WeightClassesMakeMusicOfTheMiddleWeight) {
    const auto ids = AddSongRows(4);
    PoolExecSQL("UPDATE songlist SET songtype = 'J'");
    auto items = ItemsOf({ids[0], ids[1], ids[2]});
    Find("Heavy rotation")->AddSongs(*items, 0, 0);
    EXPECT_EQ(items->Items(2).ListID, ids[2]);
    WaitForTree();
    EXPECT_EQ(CountRows("songlist", "weight = 70 AND songtype = 'S'"), 3);
    EXPECT_EQ(CountRows("categorylist"), 0);
    EXPECT_EQ(Load(*Find("Heavy rotation"))->Count(), 3);

    // 90.5 stays a fraction, and 100 is a power hit.
    auto power = ItemsOf({ids[3]});
    Find("Power hit")->AddSongs(*power, 0, 0);
    WaitForTree();
    EXPECT_EQ(Number("SELECT weight FROM songlist WHERE ID = :ID", {ids[3]}), 90.5);
    PoolExecSQL("UPDATE songlist SET weight = 100 WHERE ID = :ID", {ids[3]});
    EXPECT_EQ(Load(*Find("Power hit"))->Count(), 1);
}

TEST_F(CategoryKindsTest, AllOfATypeListsEverySongOfItWhateverItsStatus) {
    const auto ids = AddSongRows(3);
    PoolExecSQL("UPDATE songlist SET status = 6 WHERE ID = :ID", {ids[0]});
    PoolExecSQL("UPDATE songlist SET songtype = 'N' WHERE ID = :ID", {ids[1]});
    EXPECT_EQ(Captions(Load(*Find("Music (All)"))),
              (std::vector<std::string>{"Artist 0 - Title 0", "Artist 2 - Title 2"}));

    auto items = ItemsOf({ids[0]});
    Find("News (All)")->AddSongs(*items, 0, 0);
    WaitForTree();
    EXPECT_EQ(Load(*Find("News (All)"))->Count(), 2);
}

// The whole library is read along the artist index with each artist's titles put in order by
// the loader: the same order as the statement's "ORDER BY artist, title" over artists and titles
// that tie, differ in case, trailing blanks or NULL, or go beyond ASCII. The first rows reach the
// window before the rest, in the list that becomes the category's.
TEST_F(CategoryKindsTest, MusicAllComesInBatchesInTheStatementsOrder) {
    const std::vector<int32_t> ids = AddSongRows(3 * static_cast<int>(TGetSongList::FirstBatch));
    // Without a match DECODE gives NULL.
    PoolExecSQL(
        "UPDATE songlist SET artist = DECODE(MOD(ID * 7, 8), 0, 'Abba', 1, 'abba', 2, 'Abba ', 3, '', 4, "
        "'\xC3\x9Cn\xC3\xAF', 5, 'Zed', 6, 'Abb'), title = DECODE(MOD(ID * 5, 9), 0, 'b', 1, 'B', 2, 'a ', 3, 'a', "
        "4, '', 5, '\xF0\x9F\x8E\xB5', 6, '\xC3\xA9', 8, 'b ')");

    // Each song's sort key as the database compares it.
    std::map<int32_t, std::tuple<bool, std::string, bool, std::string>> keys;
    std::vector<int32_t> expected;
    auto rows = PoolQuery(
        "SELECT ID, artist, title, CASE WHEN artist IS NULL THEN 0 ELSE 1 END AS hasArtist, CASE WHEN title IS NULL "
        "THEN 0 ELSE 1 END AS hasTitle FROM songlist WHERE (ID>0) AND (songtype = 'S') ORDER BY "
        "songlist.artist,songlist.title");
    auto trimmed = [](std::string v) { return v.erase(v.find_last_not_of(' ') + 1); };
    for (rows->First(); !rows->Eof(); rows->Next()) {
        const auto id = static_cast<int32_t>(rows->GetFieldValue("ID").AsInteger());
        keys[id] = {rows->GetFieldValue("hasArtist").AsInteger() == 1,
                    trimmed(rows->GetFieldValue("artist").AsString()), rows->GetFieldValue("hasTitle").AsInteger() == 1,
                    trimmed(rows->GetFieldValue("title").AsString())};
        expected.push_back(id);
    }
    ASSERT_EQ(expected.size(), ids.size());

    TCustomCategory& all = *Find("Music (All)");
    std::vector<int> firsts;
    ISongItemListPtr shown;
    size_t rowsAtFirst = 0;
    all.OnSongRows = [&](TCustomCategory&, const ISongItemListPtr& songs, int first) {
        firsts.push_back(first);
        if (first == 0) rowsAtFirst = static_cast<size_t>(songs->Count());
        shown = songs;
    };
    ISongItemListPtr songs = Load(all);
    all.OnSongRows = nullptr;
    ASSERT_NE(songs, nullptr);
    ASSERT_EQ(songs->Count(), static_cast<int>(ids.size()));
    EXPECT_EQ(shown, songs);
    ASSERT_GE(firsts.size(), 2u);
    EXPECT_EQ(firsts.front(), 0);
    EXPECT_EQ(rowsAtFirst, TGetSongList::FirstBatch);
    for (int i = 0; i < songs->Count(); ++i)
        ASSERT_EQ(keys.at(songs->Items(i).SongID), keys.at(expected[static_cast<size_t>(i)])) << "row " << i;
    EXPECT_EQ(songs->TotalDuration(),
              songs->Items(songs->Count() - 1).StartTime + songs->Items(songs->Count() - 1).Duration / 1000);
}

TEST_F(CategoryKindsTest, PlayLimitClasses) {
    const auto ids = AddSongRows(3);
    auto once = ItemsOf({ids[0]});
    Find("Play once and remove")->AddSongs(*once, 0, 0);
    WaitForTree();
    EXPECT_EQ(CountRows("songlist", "playlimit_count = 1 AND playlimit_action = 'remove'"), 1);
    EXPECT_EQ(Load(*Find("Play once and remove"))->Count(), 1);
    EXPECT_EQ(Load(*Find("Play once"))->Count(), 0);
    EXPECT_EQ(Load(*Find("Play unlimited"))->Count(), 2);

    PoolExecSQL("UPDATE songlist SET playlimit_count = 5 WHERE ID = :ID", {ids[1]});
    EXPECT_EQ(Load(*Find("Play limit (Other)"))->Count(), 1);
    EXPECT_FALSE(CategoryCanAddFiles(Find("Play limit (Other)")));
}

TEST_F(CategoryKindsTest, RecycleBinHoldsSongsOutOfRotationAndDeletesThemForGood) {
    TSongList library;
    auto* bin = dynamic_cast<TRecycleBinCategory*>(Find("Recycle Bin"));
    ASSERT_NE(bin, nullptr);
    bin->SongList = &library;

    const auto ids = AddSongRows(3);
    TCustomCategory* mine = Tree->CreateCategory(Find("Playlist"), "Mine");
    auto all = ItemsOf(ids);
    mine->AddSongs(*all, 0, 0);
    PoolExecSQL("INSERT INTO queuelist (ID, songID, sortID) VALUES (GEN_ID(GEN_queuelist_ID, 1), :s, 1000)", {ids[0]});
    PoolExecSQL("INSERT INTO requestlist (ID, songID) VALUES (GEN_ID(GEN_requestlist_ID, 1), :s)", {ids[1]});

    auto binned = ItemsOf({ids[0], ids[1]});
    bin->AddSongs(*binned, 0, 0);
    WaitForTree();
    EXPECT_EQ(CountRows("songlist", "status = 3"), 2);
    EXPECT_EQ(CountRows("categorylist"), 3);  // still in their categories
    EXPECT_EQ(Load(*bin)->Count(), 2);

    bin->ClearSongs();
    library.GetDelayedQuery()->WaitForAll();
    EXPECT_EQ(CountRows("songlist"), 1);
    EXPECT_EQ(CountRows("categorylist"), 1);
    EXPECT_EQ(CountRows("queuelist"), 0);
    EXPECT_EQ(CountRows("requestlist"), 0);
    EXPECT_EQ(Load(*bin)->Count(), 0);
    bin->SongList = nullptr;
}

TEST_F(CategoryKindsTest, FieldGroupsListDistinctValuesAndTheirSongs) {
    const auto ids = AddSongRows(4);
    PoolExecSQL("UPDATE songlist SET genre = 'Rock' WHERE ID IN (:a, :b)", {ids[0], ids[3]});
    PoolExecSQL("UPDATE songlist SET genre = 'Jazz' WHERE ID = :a", {ids[1]});
    auto* genre = dynamic_cast<TLevelCategory*>(Find("By Genre"));
    ASSERT_NE(genre, nullptr);

    // Before the groups are loaded there is nothing to list.
    std::string sql;
    TVariantArray params;
    EXPECT_FALSE(genre->GetSongListSQL(sql, params, ""));

    auto levels = LoadLevels(*genre);
    ASSERT_NE(levels, nullptr);
    ASSERT_EQ(levels->Count(), 3);
    EXPECT_EQ(levels->Items(0).Caption, "<none>");
    EXPECT_EQ(levels->Items(1).Caption, "Jazz");
    EXPECT_EQ(levels->Items(2).Caption, "Rock");

    genre->SetSelectedItem(0);
    EXPECT_EQ(Captions(Load(*genre)), std::vector<std::string>{"Artist 2 - Title 2"});
    genre->SetSelectedItem(2);
    EXPECT_EQ(Load(*genre)->Count(), 2);
    genre->SetSelectedItem(3);
    EXPECT_FALSE(genre->GetSongListSQL(sql, params, ""));

    // A group value is bound, never pasted into the statement.
    PoolExecSQL("UPDATE songlist SET genre = 'x'') OR (1=1' WHERE ID = :a", {ids[2]});
    levels = LoadLevels(*genre);
    ASSERT_EQ(levels->Count(), 3);
    genre->SetSelectedItem(2);
    EXPECT_EQ(levels->Items(2).Caption, "x') OR (1=1");
    EXPECT_EQ(Load(*genre)->Count(), 1);
}

TEST_F(CategoryKindsTest, AlphabetGroupsByFirstLetter) {
    const auto ids = AddSongRows(3);
    PoolExecSQL("UPDATE songlist SET artist = 'Cream' WHERE ID = :a", {ids[0]});
    PoolExecSQL("UPDATE songlist SET artist = '10cc' WHERE ID = :a", {ids[1]});
    PoolExecSQL("UPDATE songlist SET artist = 'Abba' WHERE ID = :a", {ids[2]});
    auto* byArtist = dynamic_cast<TLevelCategory*>(Find("By Artist (A to Z)"));
    ASSERT_NE(byArtist, nullptr);
    ILevelItemListPtr levels;
    byArtist->OnLevelList = [&](TCustomCategory&, const ILevelItemListPtr& l) { levels = l; };
    byArtist->RefreshLevels(false);
    ASSERT_NE(levels, nullptr);  // built at once
    ASSERT_EQ(levels->Count(), 27);
    EXPECT_EQ(levels->Items(0).Caption, "0..9");
    EXPECT_EQ(levels->Items(3).Caption, "C");
    EXPECT_EQ(levels->Items(3).ListID, 67);
    byArtist->OnLevelList = nullptr;

    byArtist->SetSelectedItem(3);
    EXPECT_EQ(Captions(Load(*byArtist)), std::vector<std::string>{"Cream - Title 0"});
    byArtist->SetSelectedItem(0);
    EXPECT_EQ(Captions(Load(*byArtist)), std::vector<std::string>{"10cc - Title 1"});
}

TEST_F(CategoryKindsTest, LevelLoaderReportsAndRecoversFromFailure) {
    EXPECT_EQ(TGetLevelList::ReportInterval(1000), 200);
    EXPECT_EQ(TGetLevelList::ReportInterval(20000), 405);

    auto* genre = dynamic_cast<TLevelCategory*>(Find("By Genre"));
    std::vector<std::string> statuses;
    genre->OnLevelStatus = [&](TCustomCategory&, int, const std::string& text) { statuses.push_back(text); };
    genre->LoadLevelList(true, "SELECT nothing FROM nowhere", {});
    ASSERT_TRUE(PumpUntil([&] { return genre->LevelLoader == nullptr; }));
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().rfind("Failed to load the groups (", 0), 0u) << statuses.back();
    genre->OnLevelStatus = nullptr;
    EXPECT_NE(LoadLevels(*genre), nullptr);

    // Only the fixed columns can be grouped by.
    auto* field = dynamic_cast<TFieldLevelCategory*>(genre);
    field->FieldName = "genre FROM songlist; --";
    EXPECT_THROW(field->RefreshLevels(true), ECategoryError);
}

TEST_F(CategoryKindsTest, GroupCategoryFreedWhileItsLoadersRunHearsNothingMore) {
    AddSongRows(4);
    // Freed from its own group-list handler, with the loader's end still to come.
    auto owned = std::make_unique<TFieldLevelCategory>(Tree.get(), nullptr, 0, 0, "Groups", -100);
    owned->FieldName = "genre";
    std::weak_ptr<TGetLevelList> levelLoader;
    owned->OnLevelList = [&](TCustomCategory&, const ILevelItemListPtr&) { owned.reset(); };
    owned->RefreshLevels(true);
    levelLoader = owned->LevelLoader;
    EXPECT_TRUE(PumpUntil([&] { return owned == nullptr && levelLoader.expired(); }));

    // Freed while both its loaders still run.
    auto busy = std::make_unique<TFieldLevelCategory>(Tree.get(), nullptr, 0, 0, "Groups", -100);
    busy->FieldName = "genre";
    bool heard = false;
    busy->OnLevelList = [&](TCustomCategory&, const ILevelItemListPtr&) { heard = true; };
    busy->OnSongList = [&](TCustomCategory&, const ISongItemListPtr&) { heard = true; };
    busy->RefreshLevels(true);
    busy->LoadSongList(true, "SELECT ID as songID, artist, title, duration FROM songlist", {});
    std::weak_ptr<TGetLevelList> groups = busy->LevelLoader;
    std::weak_ptr<TGetSongList> songs = busy->Loader;
    busy.reset();
    EXPECT_TRUE(PumpUntil([&] { return groups.expired() && songs.expired(); }));
    EXPECT_FALSE(heard);
}

}  // namespace
}  // namespace kelvar
