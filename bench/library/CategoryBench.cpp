// The category tree over a library of 100,000 songs: building the tree with 3,000 stored
// categories, loading a category of every song, the groups by artist, and one song choice by
// each selection method (with the rotation rules) in a user category and in "Music (All)".
#include <benchmark/benchmark.h>

#include "BenchSongDatabase.h"
#include "core/playlist/CategorySelection.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/LevelCategories.h"
#include "core/rotation/PlaylistRules_imp.h"

namespace {

using namespace kelvar;

constexpr int SongCount = 100000;
constexpr int StoredCategories = 3000;

struct TLibrary {
    bench::TBenchSongDatabase Db;
    std::unique_ptr<TCategoryTree> Tree;
    TCustomCategory* Everything = nullptr;

    TLibrary() {
        // Songs with varied artists, weights, balances and last plays (all long enough ago for
        // the rules to let most of them through).
        PoolExecSQL(
            "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(SongCount) +
            ") DO BEGIN INSERT INTO songlist (ID, filename, artist, title, album, genre, duration, weight, balance, "
            "date_played, date_artist_played, date_album_played, date_title_played) VALUES (GEN_ID(GEN_songlist_ID, "
            "1), '/music/' || MOD(i, 500) || '/' || i || '.mp3', 'Artist ' || MOD(i * 7, 5000), 'Title ' || i, "
            "'Album ' || MOD(i, 9000), 'Genre ' || MOD(i, 40), 180000, 1 + MOD(i * 13, 99), RAND() * 10, "
            "DATEADD(-(2000 + MOD(i * 7919, 500000)) MINUTE TO CURRENT_TIMESTAMP), "
            "DATEADD(-(2000 + MOD(i * 104729, 500000)) MINUTE TO CURRENT_TIMESTAMP), "
            "DATEADD(-(2000 + MOD(i * 3571, 500000)) MINUTE TO CURRENT_TIMESTAMP), "
            "DATEADD(-(2000 + MOD(i * 1299709, 500000)) MINUTE TO CURRENT_TIMESTAMP)); i = i + 1; END END");
        // 100 folders of 29 categories below "Playlist", plus the one that lists every song.
        PoolExecSQL("EXECUTE BLOCK AS DECLARE f INTEGER = 0; DECLARE c INTEGER; DECLARE p INTEGER; BEGIN "
                    "WHILE (f < 100) DO BEGIN p = GEN_ID(GEN_category_ID, 1); "
                    "INSERT INTO category (ID, parentID, name, levelindex, itemindex) VALUES (p, 0, 'Folder ' || f, 1, f); "
                    "c = 0; WHILE (c < " + std::to_string(StoredCategories / 100 - 1) + ") DO BEGIN "
                    "INSERT INTO category (ID, parentID, name, levelindex, itemindex) VALUES (GEN_ID(GEN_category_ID, 1), "
                    "p, 'Category ' || f || '.' || c, 2, c); c = c + 1; END f = f + 1; END END");
        Tree = std::make_unique<TCategoryTree>();
        Tree->SetRules(std::make_shared<TPlaylistRules>());
        Tree->Fill();
        Everything = Tree->CreateCategory(Tree->FindByID(0), "Everything");
        PoolExecSQL("INSERT INTO categorylist (ID, songID, categoryID, sortID) SELECT GEN_ID(GEN_categorylist_ID, 1), "
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
