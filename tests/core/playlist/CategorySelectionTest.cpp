// Choosing one song of a category or a folder: the methods' orders, the rules and status
// clauses, and the folder conditions on file names.
#include <filesystem>
#include <fstream>
#include <set>

#include <unistd.h>

#include "CategoryTestSupport.h"
#include "core/playlist/CatDirectory.h"
#include "core/playlist/CategorySelection.h"
#include "core/playlist/SongList.h"
#include "foundation/MiscFunc.h"

namespace kelvar {
namespace {

using categorytest::TCategoryFixture;

class CategorySelectionTest : public TCategoryFixture {
protected:
    // Three songs whose orders differ per method:
    //   song | balance | weight | date_played | date_artist_played
    //   0    | 3       | 90     | 2020-03     | 2020-01
    //   1    | 1       | 10     | 2020-01     | 2020-03
    //   2    | 2       | 50     | 2020-02     | 2020-02
    void SetUp() override {
        TCategoryFixture::SetUp();
        Ids = AddSongRows(3);
        const char* rows[][5] = {{"3", "90", "2020-03-01", "2020-01-01"},
                                 {"1", "10", "2020-01-01", "2020-03-01"},
                                 {"2", "50", "2020-02-01", "2020-02-01"}};
        for (int i = 0; i < 3; ++i)
            PoolExecSQL("UPDATE songlist SET balance = " + std::string(rows[i][0]) + ", weight = " + rows[i][1] +
                            ", date_played = '" + rows[i][2] + "', date_artist_played = '" + rows[i][3] +
                            "' WHERE ID = :ID",
                        {Ids[i]});
        Mine = Tree->CreateCategory(Find("Playlist"), "Mine");
        auto items = ItemsOf(Ids);
        Mine->AddSongs(*items, 0, 0);
    }

    int Select(TCustomCategory& category, int method, bool enforce = true) {
        ISongInfoPtr song = category.SelectSong({method, enforce});
        return song ? song->GetID() : 0;
    }

    std::vector<int32_t> Ids;
    TCustomCategory* Mine = nullptr;
};

TEST_F(CategorySelectionTest, EachMethodTakesTheFirstOfItsOrder) {
    struct TCase {
        int Method;
        int Song;
    };
    // Firebird orders by the first key of each method alone.
    const TCase cases[] = {{smWeighted, 1}, {smPriority, 0}, {smMRP, 0}, {smLRP, 1}, {smMRPA, 1}, {smLRPA, 0}};
    for (const auto& c : cases) EXPECT_EQ(Select(*Mine, c.Method), Ids[c.Song]) << "method " << c.Method;

    ISongInfoPtr song = Mine->SelectSong({});
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->GetID(), Ids[1]);  // method 0 when missing
    EXPECT_EQ(song->GetValue("songID"), std::to_string(Ids[1]));
    EXPECT_EQ(song->GetArtist(), "Artist 1");
    EXPECT_EQ(song->GetValue("filename"), "/music/song1.mp3");

    std::set<int> seen;
    for (int i = 0; i < 200; ++i) seen.insert(Select(*Mine, smRandom));
    EXPECT_EQ(seen, (std::set<int>{Ids[0], Ids[1], Ids[2]}));
    for (int method : {int(smShuffleLogic), 42}) EXPECT_NE(Select(*Mine, method), 0) << method;
}

TEST_F(CategorySelectionTest, OnlyAvailableSongsOfTheCategoryThatPassTheRules) {
    const auto outside = AddSongRows(1, "/elsewhere/");
    PoolExecSQL("UPDATE songlist SET balance = -5 WHERE ID = :ID", {outside[0]});
    PoolExecSQL("UPDATE songlist SET status = 3 WHERE ID = :ID", {Ids[1]});
    EXPECT_EQ(Select(*Mine, smWeighted), Ids[2]);

    // The rules' fragment follows the category's own placeholders, values in the same order.
    Rules->Fragment = " AND (artist <> :artistNPS) ";
    Rules->FragmentValues = {std::string("Artist 2")};
    EXPECT_EQ(Select(*Mine, smWeighted), Ids[0]);
    const int built = Rules->BuildCount;
    EXPECT_EQ(Select(*Mine, smWeighted, false), Ids[2]);
    EXPECT_EQ(Rules->BuildCount, built);

    PoolExecSQL("UPDATE songlist SET status = 6");
    for (int method : {int(smWeighted), int(smRandom)}) EXPECT_EQ(Select(*Mine, method), 0) << method;
    EXPECT_EQ(Select(*Find("Music"), smWeighted), 0);  // folders choose nothing
}

TEST_F(CategorySelectionTest, BuiltInCollectionsSelectOverTheirColumns) {
    PoolExecSQL("UPDATE songlist SET songtype = 'J' WHERE ID = :ID", {Ids[1]});
    EXPECT_EQ(Select(*Find("Music (All)"), smWeighted), Ids[2]);
    EXPECT_EQ(Select(*Find("Jingles (All)"), smWeighted), Ids[1]);
    EXPECT_EQ(Select(*Find("Power hit"), smWeighted), Ids[0]);
    EXPECT_EQ(Select(*Find("No rotation"), smWeighted), 0);  // weight 10 is "Rare rotation"
    EXPECT_EQ(Select(*Find("Rare rotation"), smWeighted), Ids[1]);

    PoolExecSQL("UPDATE songlist SET playlimit_count = 3 WHERE ID = :ID", {Ids[2]});
    EXPECT_EQ(Select(*Find("Play limit (Other)"), smWeighted), Ids[2]);
    EXPECT_EQ(Select(*Find("Play unlimited"), smWeighted), Ids[1]);
    for (const char* none : {"Recycle Bin", "By Genre", "Content"}) EXPECT_EQ(Select(*Find(none), smWeighted), 0);
}

class CatDirectoryTest : public TCategoryFixture {
protected:
    int Matches(const std::string& folder, bool recursive) {
        TCatDirectory source(nullptr, recursive, folder, Rules.get());
        std::string where;
        TVariantArray values;
        source.FolderWhere(where, values);
        return static_cast<int>(Number("SELECT count(*) FROM songlist " + where, values));
    }
    void Store(const std::vector<std::string>& names) {
        for (const auto& name : names) AddSongRow(name);
    }
};

TEST_F(CatDirectoryTest, FolderConditionsMatchNamesLiterally) {
    Store({"/music/a.mp3", "/music/sub/b.mp3", "/musicx/c.mp3", "/Music/d.mp3", "/mu_ic/e.mp3", "/mu%ic/f.mp3",
           "/ñú/g.mp3", "/ñú/h/i.mp3"});
    struct TCase {
        const char* Folder;
        bool Recursive;
        int Count;
    };
    const TCase cases[] = {
        {"/music", false, 1}, {"/music/", true, 2}, {"/Music", true, 1},  // names keep their case
        {"/mu_ic", true, 1},  {"/mu%ic", true, 1},  {"/mu\\ic", true, 0}, {"/ñú", false, 1}, {"/ñú", true, 2},
    };
    for (const auto& c : cases) EXPECT_EQ(Matches(c.Folder, c.Recursive), c.Count) << c.Folder << " " << c.Recursive;

    TCatDirectory source(nullptr, false, "/music", Rules.get());
    EXPECT_EQ(source.Folder, "/music/");
    ISongInfoPtr song = source.SelectSong({smLRP, false});
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->GetFilename(), "/music/a.mp3");
}

TEST_F(CatDirectoryTest, RescanAddsNewFilesAndMarksMissingOnes) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("kelvar-catdir-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "sub");
    for (const char* name : {"new.mp3", "sub/deeper.mp3"}) std::ofstream(folder / name) << "not really audio";
    const std::string base = folder.string() + "/";
    AddSongRow(base + "gone.mp3");

    TSongList library;
    TCatDirectory source(&library, false, folder.string(), Rules.get());
    source.Rescan();
    library.GetDelayedQuery()->WaitForAll();
    EXPECT_EQ(CountRows("songlist", "filename = '" + base + "new.mp3' AND status = 0"), 1);
    EXPECT_EQ(CountRows("songlist", "filename = '" + base + "sub/deeper.mp3'"), 0);
    EXPECT_EQ(CountRows("songlist", "filename = '" + base + "gone.mp3' AND status = 6"), 1);

    ISongInfoPtr song = source.SelectSong({smWeighted, false});
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->GetFilename(), base + "new.mp3");
    fs::remove_all(folder);
}

}  // namespace
}  // namespace kelvar
