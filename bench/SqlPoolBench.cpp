// The pool on a song table of 100,000 rows in a temporary embedded database: a main-thread
// row-limited query on an indexed column, and delayed single-row updates per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "database/SQLPool.h"
#include "database/SQLPool_DataLink.h"
#include "database/datalink/DLFib.h"
#include "foundation/MainThread.h"

namespace {

using namespace kelvar;
namespace fs = std::filesystem;

constexpr int RowCount = 100000;

// Creates the database, fills it and opens the pool once; removes it at exit.
class TBenchDatabase {
public:
    TBenchDatabase() {
        Folder = fs::temp_directory_path() / ("kelvar-sqlbench-" + std::to_string(getpid()));
        fs::create_directories(Folder / "lock");
        // The engine reads its lock folder when the client library loads.
        setenv("FIREBIRD_LOCK", (Folder / "lock").c_str(), 0);
        Path = (Folder / "bench.fdb").string();
        CreateDatabase();

        Loop = std::make_shared<TPlainMainLoop>();
        SetMainThreadDispatcher(Loop);
        Manager = std::make_shared<TDataLinkPoolManager>();
        Manager->Driver = "FIREBIRD";
        Manager->ServerMode = "EMBEDDED";
        Manager->Database = Path;
        Manager->Username = "SYSDBA";
        Manager->Open();
        PoolExecSQL(
            "CREATE TABLE songlist (ID INTEGER NOT NULL PRIMARY KEY, title VARCHAR(100), "
            "weight INTEGER, count_played INTEGER DEFAULT 0)");
        PoolExecSQL("CREATE GENERATOR GEN_songlist_ID");
        PoolExecSQL("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(RowCount) +
                    ") DO BEGIN INSERT INTO songlist (ID, title, weight) VALUES (GEN_ID(GEN_songlist_ID, 1), "
                    "'Song', CAST(RAND() * 1000000 AS INTEGER)); i = i + 1; END END");
        PoolExecSQL("CREATE INDEX songlist_weight ON songlist (weight)");
    }

    ~TBenchDatabase() {
        Manager->Close();
        Manager.reset();
        SetMainThreadDispatcher(nullptr);
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }

    static TBenchDatabase& Get() {
        static TBenchDatabase db;
        return db;
    }

private:
    void CreateDatabase() {
        TIntFunctions& f = FibClientLibrary().Acquire();
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        std::string sql = "CREATE DATABASE '" + Path + "' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8";
        ISC_STATUS r = f.isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr);
        if (r == 0) f.isc_detach_database(status, &db);
        FibClientLibrary().Release();
        if (r != 0) throw std::runtime_error("could not create the benchmark database " + Path);
    }

    fs::path Folder;
    std::string Path;
    std::shared_ptr<TPlainMainLoop> Loop;
    std::shared_ptr<TDataLinkPoolManager> Manager;
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
