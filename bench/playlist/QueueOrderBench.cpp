// The operator's queued queue edits against the automation's pop a moment later: 200 rounds of a
// delete and of a move, the pop 0 ms and 2 ms after the edit. The counters say how many edits the
// pop missed (a deleted song played, a moved song not taken first) and how often the cached count
// differed from the rows; the time is that of a whole round (two songs queued, the edit, the pop).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "common/BenchSongDatabase.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/QueueList.h"
#include "database/SQLPool.h"

namespace {

using namespace kelvar;

constexpr int Rounds = 200;

struct TSongs {
    TSongs() : Db("queueorder") {
        PoolExecSQL("INSERT INTO songlist (ID, filename) VALUES (1, '/m/a.mp3')");
        PoolExecSQL("INSERT INTO songlist (ID, filename) VALUES (2, '/m/b.mp3')");
    }
    static TSongs& Get() {
        static TSongs songs;
        return songs;
    }
    benchdb::TBenchSongDatabase Db;
};

void Race(benchmark::State& state, bool move) {
    TSongs::Get();
    const auto gap = std::chrono::milliseconds(state.range(0));
    int missed = 0, countWrong = 0;
    for (auto _ : state) {
        missed = countWrong = 0;
        TQueueList queue;
        for (int round = 0; round < Rounds; ++round) {
            queue.Clear();
            ISongItemListPtr items = NewSongItemList();
            items->Add().SongID = 1;
            items->Add().SongID = 2;
            queue.AddSongs(items, 0, 0, 0);
            if (move)
                queue.MoveSong(items->Items(1).ListID, 0, items->Items(0).SortID);
            else
                queue.Delete(items->Items(0).ListID);
            if (gap.count() > 0) std::this_thread::sleep_for(gap);
            ISongInfoPtr song = queue.PopNext();
            if (!song || song->GetID() != 2) ++missed;
            const int rows = FieldInt(*PoolQuery("SELECT COUNT(*) AS n FROM queuelist"), "n");
            if (queue.Count() != rows) ++countWrong;
        }
    }
    state.counters["missed"] = missed;
    state.counters["count_wrong"] = countWrong;
    state.counters["rounds"] = Rounds;
}

void BM_PopAfterDelete(benchmark::State& state) { Race(state, false); }
void BM_PopAfterMove(benchmark::State& state) { Race(state, true); }
BENCHMARK(BM_PopAfterDelete)->Arg(0)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PopAfterMove)->Arg(0)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
