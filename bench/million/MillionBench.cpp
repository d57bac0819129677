// The library at a million songs on the embedded database: the weighted rotation's choice for
// three spreads of balances, the search index's load and the search limited to 100 rows, a
// category of every song delivered to the library window (its first rows and the whole list),
// 2,000 new files imported into it, 10,000 songs found missing deleted the way the maintenance
// tool does, and the play-limit maintenance pass, with nothing due and with 1,000 songs due.
// The library is made once (a few minutes); each figure is the median of
// repeated runs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "MillionLibrary.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/CustomCategory.h"
#include "core/playlist/SharedSongIndex.h"
#include "core/playlist/SongList.h"
#include "core/playlist/SongSearch.h"
#include "core/rotation/Logic_weighted.h"
#include "core/rotation/PlaylistControl_imp.h"
#include "core/rotation/PlaylistRules_imp.h"
#include "database/SQLPool.h"
#include "gui/library/unSearchList.h"

namespace {

using namespace kelvar;
using Clock = std::chrono::steady_clock;

constexpr int SongCount = 1000000;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct TMillion {
    benchdb::TBenchSongDatabase Db{"million", benchdb::TBenchSongDatabase::FilledBy(
                                                  [](benchdb::TBenchSongDatabase& db) {
                                                      const auto start = Clock::now();
                                                      benchdb::FillSongs(db, SongCount);
                                                      std::fprintf(stderr, "library of %d songs made in %.0f s\n",
                                                                   SongCount, MsSince(start) / 1000);
                                                  },
                                                  "million")};
    std::string Balances = "0";

    // The pool closes meanwhile: the engine rebuilds an index only while no statement uses it.
    void UseBalances(const std::string& expression) {
        if (expression == Balances) return;
        Db.Manager->Close();
        benchdb::SetBalances(Db, expression);
        Db.Manager->Open();
        Balances = expression;
    }
};

// Closed by main, not at exit: the client library loads a plugin during an import whose exit
// handler shuts the library down, and a static closed after that crashed in its last commit.
std::unique_ptr<TMillion> TheMillion;

TMillion& Million() {
    if (!TheMillion) TheMillion = std::make_unique<TMillion>();
    return *TheMillion;
}

// Argument: 0 every balance equal (a new library), 1 five values, 2 all different.
void BM_WeightedChoice(benchmark::State& state) {
    static const char* const spreads[] = {"0", "MOD(ID, 5)", "MOD(ID * 7919, 1000003) / 1000.0"};
    auto& million = Million();
    million.UseBalances(spreads[state.range(0)]);
    auto rules = std::make_shared<TPlaylistRules>();
    TplWeightedRotation logic;
    logic.SetRules(rules);
    logic.SetRandomSeed(1);
    for (auto _ : state) {
        ISongInfoPtr song = logic.ChooseSong();
        if (!song) state.SkipWithError("no song chosen");
        benchmark::DoNotOptimize(song);
        // A choice queues its statistics write, and a reader of a row another connection has
        // changed waits for that commit. On air choices are a song apart and the write is long
        // done by the next; back to back, the next choice would time the previous one's commit.
        state.PauseTiming();
        logic.GetDelayedQuery()->WaitForAll();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WeightedChoice)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The search index loaded from the library on its own thread (the first search of a session
// starts it): the time until it is in place, and its size.
void BM_SearchIndexLoad(benchmark::State& state) {
    Million();
    for (auto _ : state) {
        SongIndexForget();
        if (!SongIndexWaitLoaded(std::chrono::minutes(10))) state.SkipWithError("index not loaded");
    }
    state.counters["MB"] = static_cast<double>(SongIndexMemoryBytes()) / (1 << 20);
    state.counters["bytes/song"] = static_cast<double>(SongIndexMemoryBytes()) / SongCount;
}
BENCHMARK(BM_SearchIndexLoad)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

// The search window's search limited to 100 rows, as the window makes it (queued, run on the
// search worker through the loaded index, the songs handed to the main thread). Argument 0: "7"
// in artist or title (about half the songs match: the statement, the hundred come at once);
// 1: a title matched by one song; 2: " 123" in title or album (2,221 songs, two ID lists).
void BM_SearchFirst100(benchmark::State& state) {
    Million();
    if (!SongIndexWaitLoaded(std::chrono::minutes(10))) state.SkipWithError("index not loaded");
    TSearchRequest request;
    static const char* const texts[] = {"7", "Title 765432", " 123"};
    request.Text = texts[state.range(0)];
    request.Album = state.range(0) == 2;
    request.Artist = state.range(0) != 2;
    TSongSearch search;
    int rows = 0;
    for (auto _ : state) {
        ISongItemListPtr songs;
        search.Search(request, [&](int, const ISongItemListPtr& found) { songs = found; });
        Million().Db.PumpUntil([&] { return songs != nullptr; });
        rows = songs->Count();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_SearchFirst100)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

// "Music (All)" loaded for the library window: "first_rows_ms" until the loader's first rows
// reach the main thread (what the window paints first), the time until the whole list is there.
void BM_CategoryOfEverySong(benchmark::State& state) {
    Million();
    TCategoryTree tree;
    tree.SetRules(std::make_shared<TPlaylistRules>());
    tree.Fill();
    TCustomCategory* all = tree.FindByName("Music (All)");
    int count = 0;
    double first = 0;
    for (auto _ : state) {
        ISongItemListPtr songs;
        bool rows = false;
        const auto start = Clock::now();
        all->OnSongRows = [&](TCustomCategory&, const ISongItemListPtr&, int) {
            if (!rows) first += MsSince(start);
            rows = true;
        };
        all->OnSongList = [&](TCustomCategory&, const ISongItemListPtr& list) { songs = list; };
        CategoryLoadSongs(*all, true);
        Million().Db.PumpUntil([&] { return songs != nullptr && all->Loader == nullptr; });
        count = songs->Count();
    }
    all->OnSongList = nullptr;
    all->OnSongRows = nullptr;
    tree.GetDelayedQuery()->WaitForAll();
    state.counters["songs"] = count;
    state.counters["first_rows_ms"] = first / static_cast<double>(state.iterations());
}
BENCHMARK(BM_CategoryOfEverySong)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

// 2,000 new small WAV files in 20 folders into the million-song library (tags read, rows
// written); a new set of files per run.
void BM_ImportIntoMillion(benchmark::State& state) {
    auto& million = Million();
    constexpr int Files = 2000;
    static int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto root = million.Db.Folder / ("import" + std::to_string(run++));
        for (int i = 0; i < Files; ++i) {
            const auto folder = root / ("Folder " + std::to_string(i % 20));
            std::filesystem::create_directories(folder);
            benchdb::WriteSilentWav(folder / ("Artist " + std::to_string(i) + " - Song.wav"));
        }
        TSongList library;
        state.ResumeTiming();
        ISongItemListPtr items = library.AddFolder(root.string(), true);
        if (!items || items->Count() != Files) state.SkipWithError("not every file imported");
    }
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * Files, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImportIntoMillion)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

// 10,000 songs spread over the library deleted one by one in one write run, as the maintenance
// tool's check for missing files does.
void BM_DeleteTenThousandMissing(benchmark::State& state) {
    Million();
    static int round = 0;
    for (auto _ : state) {
        TSongList library;
        const int offset = 1 + round++;
        TSongList::TWriteRun run(library);
        for (int i = 0; i < 10000; ++i) library.DeleteSong(offset + i * 97);
    }
}
BENCHMARK(BM_DeleteTenThousandMissing)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

// One play-limit maintenance pass, called with the timing paused: the time is the main thread's
// call (it starts the pass), and the pass on the worker (the read and the deletions) goes into
// workerMs. The pass must leave nothing due.
void TimePlayLimitPass(benchmark::State& state, double& workerMs) {
    auto control = std::make_unique<TPlaylistControl>();
    state.ResumeTiming();
    control->PlayLimitMaintenance();
    state.PauseTiming();
    const auto started = Clock::now();
    control->WaitForPlayLimitDeletions();
    workerMs += MsSince(started);
    control->PlayLimitMaintenance();
    if (!control->GetPlayLimitClean()) state.SkipWithError("due songs were left");
}

// Play-limit maintenance after a song with a play limit has played, none due; "worker_ms" is the
// pass's read.
void BM_PlayLimitMaintenance(benchmark::State& state) {
    Million();
    double workerMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TimePlayLimitPass(state, workerMs);
        state.ResumeTiming();
    }
    state.counters["worker_ms"] = workerMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlayLimitMaintenance)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Play-limit maintenance with 1,000 songs due to be removed, spread over the library; "worker_ms"
// is the pass's read and deletions.
void BM_PlayLimitThousandDue(benchmark::State& state) {
    Million();
    static int round = 0;
    double workerMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Keys that BM_DeleteTenThousandMissing leaves (it takes 1 to 3 modulo 97).
        const int offset = 50 + round++;
        ISQLConnectionPtr connection = PoolGetWriteConnection();
        for (int i = 0; i < 1000; ++i)
            connection->ExecSQL(
                "UPDATE songlist SET playlimit_count = 1, count_played = 1, "
                "playlimit_action = 'remove' WHERE ID = :ID",
                {offset + i * 970});
        connection->Commit();
        connection.reset();
        TimePlayLimitPass(state, workerMs);
        state.ResumeTiming();
    }
    state.counters["worker_ms"] = workerMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlayLimitThousandDue)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheMillion.reset();
    return 0;
}
