// The category tree over a library of 100,000 songs: building the tree with 3,000 stored
// categories, loading a category of every song, the groups by artist, and one song choice by
// each selection method (with the rotation rules) in a user category and in "Music (All)".
#include <benchmark/benchmark.h>

#include "common/BenchSongDatabase.h"
#include "core/playlist/CategorySelection.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/LevelCategories.h"
#include "core/rotation/PlaylistRules_imp.h"

namespace {

using namespace kelvar;

constexpr int SongCount = 100000;
constexpr int StoredCategories = 3000;

struct TLibrary {
    benchdb::TBenchSongDatabase Db{"library"};
    std::unique_ptr<TCategoryTree> Tree;
    TCustomCategory* Everything = nullptr;

    TLibrary() {
        // Numbers 0 .. 99999 from a table of digits (statement text carries no parameters).
        PoolExecSQL("CREATE TABLE bench_digit (x INTEGER)");
        for (int d = 0; d < 10; ++d) PoolExecSQL("INSERT INTO bench_digit (x) VALUES (" + std::to_string(d) + ")");
        const std::string numbers =
            "(SELECT a.x + 10 * b.x + 100 * c.x + 1000 * d.x + 10000 * e.x AS n FROM bench_digit a, bench_digit b, "
            "bench_digit c, bench_digit d, bench_digit e) s";
        // Songs with varied artists, weights, balances and last plays (all long enough ago for
        // the rules to let most of them through).
        PoolExecSQL(
            "INSERT INTO songlist (ID, filename, artist, title, album, genre, duration, weight, balance, date_played, "
            "date_artist_played, date_album_played, date_title_played) SELECT NEXT VALUE FOR GEN_songlist_ID, "
            "'/music/' || MOD(n, 500) || '/' || n || '.mp3', 'Artist ' || MOD(n * 7, 5000), 'Title ' || n, "
            "'Album ' || MOD(n, 9000), 'Genre ' || MOD(n, 40), 180000, 1 + MOD(n * 13, 99), RAND() * 10, "
            "DATEADD(-(2000 + MOD(n * 7919, 500000)) MINUTE TO CURRENT_TIMESTAMP), "
            "DATEADD(-(2000 + MOD(n * 1049, 500000)) MINUTE TO CURRENT_TIMESTAMP), "
            "DATEADD(-(2000 + MOD(n * 3571, 500000)) MINUTE TO CURRENT_TIMESTAMP), "
            "DATEADD(-(2000 + MOD(n * 1297, 500000)) MINUTE TO CURRENT_TIMESTAMP) FROM " +
            numbers + " WHERE n < " + std::to_string(SongCount));
        // 100 folders of 29 categories below "Playlist", plus the one that lists every song.
        PoolExecSQL(
            "INSERT INTO category (ID, parentID, name, levelindex, itemindex) SELECT 100000 + n, 0, "
            "'Folder ' || n, 1, n FROM " +
            numbers + " WHERE n < 100");
        PoolExecSQL(
            "INSERT INTO category (ID, parentID, name, levelindex, itemindex) SELECT 200000 + n, "
            "100000 + n / 100, 'Category ' || n, 2, MOD(n, 100) FROM " +
            numbers + " WHERE n < 10000 AND MOD(n, 100) < " + std::to_string(StoredCategories / 100 - 1));
        PoolExecSQL("ALTER SEQUENCE GEN_category_ID RESTART WITH 300000");
        Tree = std::make_unique<TCategoryTree>();
        Tree->SetRules(std::make_shared<TPlaylistRules>());
        Tree->Fill();
        Everything = Tree->CreateCategory(Tree->FindByID(0), "Everything");
        PoolExecSQL(
            "INSERT INTO categorylist (ID, songID, categoryID, sortID) SELECT GEN_ID(GEN_categorylist_ID, 1), "
            "ID, :cat, ID * 1000 FROM songlist",
            {Everything->ID});
    }
    ~TLibrary() {
        Tree->GetDelayedQuery()->WaitForAll();
        Tree.reset();
    }
};

TLibrary& Library() {
    static TLibrary library;
    return library;
}

void BM_FillTreeWithStoredCategories(benchmark::State& state) {
    auto& library = Library();
    for (auto _ : state) {
        TCategoryTree tree;
        tree.Fill();
        if (tree.Count() < StoredCategories) state.SkipWithError("categories missing");
    }
    (void)library;
}
BENCHMARK(BM_FillTreeWithStoredCategories)->Unit(benchmark::kMillisecond);

void BM_LoadCategoryOf100kSongs(benchmark::State& state) {
    auto& library = Library();
    for (auto _ : state) {
        ISongItemListPtr songs;
        library.Everything->OnSongList = [&](TCustomCategory&, const ISongItemListPtr& list) { songs = list; };
        CategoryLoadSongs(*library.Everything, true);
        library.Db.PumpUntil([&] { return songs != nullptr && library.Everything->Loader == nullptr; });
        if (songs->Count() != SongCount) state.SkipWithError("wrong song count");
    }
    library.Everything->OnSongList = nullptr;
}
BENCHMARK(BM_LoadCategoryOf100kSongs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GroupByArtist(benchmark::State& state) {
    auto& library = Library();
    auto* byArtist = dynamic_cast<TLevelCategory*>(library.Tree->FindByName("By Artist"));
    for (auto _ : state) {
        ILevelItemListPtr levels;
        byArtist->OnLevelList = [&](TCustomCategory&, const ILevelItemListPtr& list) { levels = list; };
        byArtist->RefreshLevels(true);
        library.Db.PumpUntil([&] { return levels != nullptr && byArtist->LevelLoader == nullptr; });
        if (levels->Count() != 5000) state.SkipWithError("wrong group count");
    }
    byArtist->OnLevelList = nullptr;
}
BENCHMARK(BM_GroupByArtist)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: the method, and 0 for the user category of every song or 1 for "Music (All)".
void BM_SelectSong(benchmark::State& state) {
    auto& library = Library();
    TCustomCategory* category = state.range(1) == 0 ? library.Everything : library.Tree->FindByName("Music (All)");
    const TVariantArray params{static_cast<int>(state.range(0)), true};
    for (auto _ : state) {
        ISongInfoPtr song = category->SelectSong(params);
        if (!song) state.SkipWithError("no song chosen");
        benchmark::DoNotOptimize(song);
    }
}
BENCHMARK(BM_SelectSong)
    ->ArgsProduct({{smWeighted, smPriority, smRandom, smMRP, smLRP, smMRPA, smLRPA, smShuffleLogic}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
