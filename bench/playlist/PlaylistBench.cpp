// The playlist model on a song database made from the setup's scripts, with a library of
// 100,000 songs and a history of 100,000 rows: the queue and history calls the automation makes
// on the main thread, and the library import of 10,000 small files in 500 folders.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/BenchSongDatabase.h"
#include "core/playlist/HistoryList.h"
#include "core/playlist/QueueList.h"
#include "core/playlist/SongList.h"
#include "database/SQLPool.h"
#include "media/SongInfo_imp.h"

namespace {

using namespace kelvar;
namespace fs = std::filesystem;

constexpr int LibrarySize = 100000;
constexpr int HistorySize = 100000;

// Creates the database and fills it once; removes it at exit.
class TBenchDatabase {
public:
    TBenchDatabase() : Db("playlist") {
        PoolExecSQL("INSERT INTO songlist (ID, filename, artist, title, duration, weight, balance) " +
                    benchdb::NumberRows(LibrarySize) +
                    "SELECT GEN_ID(GEN_songlist_ID, 1), '/library/' || MOD(i, 500) || '/song' || i || '.mp3', "
                    "'Artist ' || MOD(i, 5000), 'Title ' || i, 180000, 65, RAND() * 100 FROM n");
        PoolExecSQL("INSERT INTO historylist (ID, date_played, songID, artist, title, duration) " +
                    benchdb::NumberRows(HistorySize) +
                    "SELECT GEN_ID(GEN_historylist_ID, 1), DATEADD(-i MINUTE TO CURRENT_TIMESTAMP), 1 + i, "
                    "'Artist', 'Title', 180000 FROM n");
    }

    static TBenchDatabase& Get() {
        static TBenchDatabase db;
        return db;
    }

    benchdb::TBenchSongDatabase Db;
};

ISongItemListPtr RandomSongs(int count) {
    ISongItemListPtr list = NewSongItemList();
    for (int i = 0; i < count; ++i) list->Add().SongID = 1 + (i * 7919) % LibrarySize;
    return list;
}

void BM_QueueAddSongs500(benchmark::State& state) {
    TBenchDatabase::Get();
    TQueueList queue;
    for (auto _ : state) {
        state.PauseTiming();
        queue.Clear();
        ISongItemListPtr songs = RandomSongs(500);
        state.ResumeTiming();
        queue.AddSongs(songs, 0, 0, 0);
    }
    queue.Clear();
}
BENCHMARK(BM_QueueAddSongs500)->Unit(benchmark::kMillisecond);

void BM_QueueAddSong(benchmark::State& state) {
    TBenchDatabase::Get();
    TQueueList queue;
    queue.Clear();
    auto song = TSongInfo::Create(1234, "/library/1/song1234.mp3");
    for (auto _ : state) queue.AddSong(*song, ipBottom);
    queue.Clear();
}
BENCHMARK(BM_QueueAddSong)->Unit(benchmark::kMillisecond);

void BM_QueuePopNext(benchmark::State& state) {
    TBenchDatabase::Get();
    TQueueList queue;
    queue.Clear();
    for (auto _ : state) {
        if (queue.Count() == 0) {
            state.PauseTiming();
            queue.AddSongs(RandomSongs(500), 0, 0, 0);
            queue.Count();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(queue.PopNext());
    }
    queue.Clear();
}
BENCHMARK(BM_QueuePopNext)->Unit(benchmark::kMillisecond);

void BM_QueueCount(benchmark::State& state) {
    TBenchDatabase::Get();
    TQueueList queue;
    queue.Clear();
    queue.AddSongs(RandomSongs(500), 0, 0, 0);
    for (auto _ : state) {
        queue.CachedCount = -1;  // the recount after an append
        benchmark::DoNotOptimize(queue.Count());
    }
    queue.Clear();
}
BENCHMARK(BM_QueueCount)->Unit(benchmark::kMillisecond);

// Opening the 500-row queue list and reading every row, as the queue window does.
void BM_QueueGetList500(benchmark::State& state) {
    TBenchDatabase::Get();
    TQueueList queue;
    queue.Clear();
    queue.AddSongs(RandomSongs(500), 0, 0, 0);
    for (auto _ : state) {
        IDatasetPtr rows = queue.GetList();
        int n = 0;
        for (rows->First(); !rows->Eof(); rows->Next()) ++n;
        if (n != 500) state.SkipWithError("queue rows missing");
    }
    queue.Clear();
}
BENCHMARK(BM_QueueGetList500)->Unit(benchmark::kMillisecond);

void BM_HistoryAdd(benchmark::State& state) {
    TBenchDatabase::Get();
    THistoryList history;
    auto song = TSongInfo::Create(1234, "/library/1/song1234.mp3");
    song->SetArtist("Artist");
    song->SetTitle("Title");
    song->SetValue("balance", "12.5");
    for (auto _ : state) history.Add(*song, 10);
}
BENCHMARK(BM_HistoryAdd)->Unit(benchmark::kMillisecond);

void BM_HistoryGetList(benchmark::State& state) {
    TBenchDatabase::Get();
    THistoryList history;
    for (auto _ : state) {
        IDatasetPtr rows = history.GetList();
        int n = 0;
        for (rows->First(); !rows->Eof(); rows->Next()) ++n;
        if (n != history.MaxItems) state.SkipWithError("history rows missing");
    }
}
BENCHMARK(BM_HistoryGetList)->Unit(benchmark::kMillisecond);

void BM_DeleteSong(benchmark::State& state) {
    TBenchDatabase::Get();
    TSongList library;
    int id = LibrarySize;
    for (auto _ : state) library.DeleteSong(id--);
}
BENCHMARK(BM_DeleteSong)->Unit(benchmark::kMillisecond)->Iterations(200);

// 10,000 empty .mp3 files in 500 folders below one prefix, imported as one folder walk.
void BM_ImportFolder10000(benchmark::State& state) {
    TBenchDatabase& db = TBenchDatabase::Get();
    const fs::path root = db.Db.Folder / "import";
    for (int folder = 0; folder < 500; ++folder) {
        const fs::path dir = root / ("folder" + std::to_string(folder));
        fs::create_directories(dir);
        for (int file = 0; file < 20; ++file)
            std::ofstream(dir / ("Artist " + std::to_string(folder) + " - Song " + std::to_string(file) + ".mp3"));
    }
    TSongList library;
    for (auto _ : state) {
        state.PauseTiming();
        PoolExecSQL("DELETE FROM songlist WHERE filename STARTING WITH :p", {root.string()});
        state.ResumeTiming();
        ISongItemListPtr items = library.AddFolder(root.string(), true);
        if (items->Count() != 10000) state.SkipWithError("files missing from the import");
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_ImportFolder10000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
