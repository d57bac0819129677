// The weighted logic's song choice on a library of 100,000 songs under the rotation rules, with
// 0, 50 and 500 songs in the queue (every queued artist, title and album is kept out).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "common/BenchSongDatabase.h"
#include "core/rotation/Logic_weighted.h"
#include "core/rotation/PlaylistRules_imp.h"
#include "database/SQLPool.h"
#include "media/SongInfo_imp.h"

namespace {

using namespace kelvar;

constexpr int LibrarySize = 100000;

class TBenchDatabase {
public:
    TBenchDatabase() : Db("rotation") {
        PoolExecSQL("INSERT INTO songlist (ID, filename, artist, title, album, duration, weight, balance) " +
                    benchdb::NumberRows(LibrarySize) +
                    "SELECT GEN_ID(GEN_songlist_ID, 1), '/library/' || MOD(i, 500) || '/song' || i || '.mp3', "
                    "'Artist ' || MOD(i, 5000), 'Title ' || i, 'Album ' || MOD(i, 10000), 180000, 20 + RAND() * 60, "
                    "RAND() * 100 FROM n");
    }

    static TBenchDatabase& Get() {
        static TBenchDatabase db;
        return db;
    }

    // Queue rows for the first Count songs of a spread of the library.
    static void FillQueue(int count) {
        PoolExecSQL("DELETE FROM queuelist");
        for (int i = 0; i < count; ++i)
            PoolExecSQL(
                "INSERT INTO queuelist (ID, songID, sortID, requestID) "
                "VALUES (GEN_ID(GEN_queuelist_ID, 1), :songID, :sortID, 0)",
                {1 + (i * 7919) % LibrarySize, (i + 1) * 1000.0});
    }

private:
    benchdb::TBenchSongDatabase Db;
};

void BM_WeightedChooseSong(benchmark::State& state) {
    TBenchDatabase::Get();
    TBenchDatabase::FillQueue(static_cast<int>(state.range(0)));
    auto rules = std::make_shared<TPlaylistRules>();
    auto playing = TSongInfo::Create(1, "/library/0/song0.mp3");
    playing->SetArtist("Artist 0");
    playing->SetTitle("Title 0");
    playing->SetAlbum("Album 0");
    rules->SetNowPlaying(playing);
    TplWeightedRotation logic;
    logic.SetRules(rules);
    logic.SetRandomSeed(1);
    int chosen = 0;
    for (auto _ : state) {
        ISongInfoPtr song = logic.ChooseSong();
        if (song) ++chosen;
        benchmark::DoNotOptimize(song);
    }
    logic.GetDelayedQuery()->WaitForAll();
    if (chosen == 0) state.SkipWithError("no song chosen");
}
BENCHMARK(BM_WeightedChooseSong)->Arg(0)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);

// The rules' share of a choice: reading the queue and building the fragment.
void BM_BuildRulesSQL(benchmark::State& state) {
    TBenchDatabase::Get();
    TBenchDatabase::FillQueue(static_cast<int>(state.range(0)));
    TPlaylistRules rules;
    for (auto _ : state) {
        TVariantArray params;
        benchmark::DoNotOptimize(rules.BuildRulesSQL(params));
    }
}
BENCHMARK(BM_BuildRulesSQL)->Arg(0)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace
