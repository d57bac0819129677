// The pool on a song table of 100,000 rows in a temporary embedded database: a main-thread
// row-limited query on an indexed column, and delayed single-row updates per second.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "common/BenchSongDatabase.h"
#include "database/SQLPool.h"

namespace {

using namespace kelvar;

constexpr int RowCount = 100000;

// Creates the database, fills it and opens the pool once; removes it at exit.
class TBenchDatabase {
public:
    TBenchDatabase() : Db("sql", benchdb::TBenchSongDatabase::WithoutSchema()) {
        PoolExecSQL(
            "CREATE TABLE songlist (ID INTEGER NOT NULL PRIMARY KEY, title VARCHAR(100), "
            "weight INTEGER, count_played INTEGER DEFAULT 0)");
        PoolExecSQL("CREATE GENERATOR GEN_songlist_ID");
        PoolExecSQL("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(RowCount) +
                    ") DO BEGIN INSERT INTO songlist (ID, title, weight) VALUES (GEN_ID(GEN_songlist_ID, 1), "
                    "'Song', CAST(RAND() * 1000000 AS INTEGER)); i = i + 1; END END");
        PoolExecSQL("CREATE INDEX songlist_weight ON songlist (weight)");
    }

    static TBenchDatabase& Get() {
        static TBenchDatabase db;
        return db;
    }

private:
    benchdb::TBenchSongDatabase Db;
};

// The rotation's kind of query: the first rows by an indexed column, on the main connection.
void BM_MainThreadFirst10OrderBy(benchmark::State& state) {
    TBenchDatabase::Get();
    for (auto _ : state) {
        IDatasetPtr ds = PoolQueryLimit("SELECT ID, title, weight FROM songlist ORDER BY weight", {}, true, 10, 0);
        int rows = 0;
        for (; !ds->Eof(); ds->Next()) ++rows;
        if (rows != 10) state.SkipWithError("expected 10 rows");
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_MainThreadFirst10OrderBy)->Unit(benchmark::kMicrosecond);

// Play-count updates as the automation queues them, each a single row; counted per second.
void BM_DelayedSingleRowUpdates(benchmark::State& state) {
    TBenchDatabase::Get();
    IDelayedQueryPtr q = PoolNewDelayedQuery();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> id(1, RowCount);
    const int batch = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            q->ExecSQL("UPDATE songlist SET count_played = count_played + 1 WHERE ID = :ID", {id(random)}, nullptr,
                       false);
        if (!q->WaitForAll()) state.SkipWithError("database unreachable");
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_DelayedSingleRowUpdates)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
