// The weighted logic's song choice on a library of 100,000 songs under the rotation rules, with
// 0, 50 and 500 songs in the queue (every queued artist, title and album is kept out).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "common/SongSchemaScript.h"
#include "core/rotation/Logic_weighted.h"
#include "core/rotation/PlaylistRules_imp.h"
#include "database/SQLPool.h"
#include "database/SQLPool_DataLink.h"
#include "database/datalink/DLFib.h"
#include "foundation/MainThread.h"
#include "media/SongInfo_imp.h"

namespace {

using namespace kelvar;
namespace fs = std::filesystem;

constexpr int LibrarySize = 100000;

class TBenchDatabase {
public:
    TBenchDatabase() {
        Folder = fs::temp_directory_path() / ("kelvar-rotationbench-" + std::to_string(getpid()));
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
        for (const std::string& sql : songtest::SchemaStatements(KELVAR_SCHEMA_DIR)) PoolExecSQL(sql);
        // Numbers 0 .. 99,999 from two short recursions (the engine stops a recursion at 1024).
        PoolExecSQL(
            "INSERT INTO songlist (ID, filename, artist, title, album, duration, weight, balance) "
            "WITH RECURSIVE a AS (SELECT 0 AS k FROM RDB$DATABASE UNION ALL SELECT k + 1 FROM a WHERE k < 999), "
            "b AS (SELECT 0 AS j FROM RDB$DATABASE UNION ALL SELECT j + 1 FROM b WHERE j < 99), "
            "n AS (SELECT a.k * 100 + b.j AS i FROM a CROSS JOIN b) "
            "SELECT GEN_ID(GEN_songlist_ID, 1), '/library/' || MOD(i, 500) || '/song' || i || '.mp3', "
            "'Artist ' || MOD(i, 5000), 'Title ' || i, 'Album ' || MOD(i, 10000), 180000, 20 + RAND() * 60, "
            "RAND() * 100 FROM n");
    }

    ~TBenchDatabase() {
        Manager->Close();
        Manager.reset();
        Loop->ProcessPending();
        SetMainThreadDispatcher(nullptr);
        std::error_code ec;
        fs::remove_all(Folder, ec);
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
    void CreateDatabase() {
        TIntFunctions& f = FibClientLibrary().Acquire();
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        std::string sql = "CREATE DATABASE '" + Path + "' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8";
        ISC_STATUS r = f.isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr);
        if (r == 0) f.isc_detach_database(status, &db);
        FibClientLibrary().Release();
        if (r != 0) throw std::runtime_error("could not create the benchmark database");
    }

    fs::path Folder;
    std::string Path;
    std::shared_ptr<TPlainMainLoop> Loop;
    std::shared_ptr<TDataLinkPoolManager> Manager;
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
