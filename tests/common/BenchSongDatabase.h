#pragma once
// The benchmarks' song database: a temporary embedded database in a folder of its own (with its
// own engine lock folder), the tables and data of the setup's schema scripts, and the pool open on
// it with the benchmark's thread as the main thread of a plain loop. Removed at the end.
//
//   kelvar::benchdb::TBenchSongDatabase db("playlist");
//   PoolExecSQL("INSERT INTO songlist ... " + kelvar::benchdb::NumberRows(100000) + "SELECT ... FROM n");
//
// KELVAR_BENCH_KEEP=1 keeps the database for a look at its plans; KELVAR_BENCH_ASYNC_WRITES=1
// switches forced writes off, to tell the disk's share of a figure from the program's;
// KELVAR_BENCH_CACHE=<folder> keeps a copy of a filled database that names a cache (made once,
// minutes for a million songs) and starts the next run from it while the schema is unchanged.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/SongSchemaScript.h"
#include "database/SQLPool.h"
#include "database/SQLPool_DataLink.h"
#include "database/datalink/DLFib.h"
#include "foundation/MainThread.h"
#include "setup/DLCreateDatabase.h"

namespace kelvar::benchdb {

// A tenth of a second of 16-bit stereo silence.
inline void WriteSilentWav(const std::filesystem::path& path) {
    const uint32_t dataSize = 4410 * 4;
    auto put32 = [](std::ofstream& out, uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [](std::ofstream& out, uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put32(out, 36 + dataSize);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);
    put16(out, 2);
    put32(out, 44100);
    put32(out, 44100 * 4);
    put16(out, 4);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataSize);
    const std::string silence(dataSize, '\0');
    out.write(silence.data(), dataSize);
}

inline bool EnvironmentFlag(const char* name) {
    const char* value = std::getenv(name);
    return value && std::string(value) == "1";
}

// A common table expression "n" of the numbers i = 0 .. Count - 1, made of two short recursions
// (the engine stops a recursion at 1024); Count is a multiple of 1000 up to 1,024,000. The text
// ends with a space, ready for the statement's SELECT ... FROM n.
inline std::string NumberRows(int count) {
    if (count < 1000 || count % 1000 != 0 || count / 1000 > 1024)
        throw std::invalid_argument("NumberRows: " + std::to_string(count) + " is not a multiple of 1000");
    const std::string inner = std::to_string(count / 1000);
    return "WITH RECURSIVE a AS (SELECT 0 AS k FROM RDB$DATABASE UNION ALL SELECT k + 1 FROM a WHERE k < 999), "
           "b AS (SELECT 0 AS j FROM RDB$DATABASE UNION ALL SELECT j + 1 FROM b WHERE j < " +
           std::to_string(count / 1000 - 1) + "), n AS (SELECT a.k * " + inner + " + b.j AS i FROM a CROSS JOIN b) ";
}

class TBenchSongDatabase {
public:
    struct TOptions {
        // The tables and data of the setup's tables.sql and data.sql; without it the database is empty.
        bool Schema = true;
        // Runs on the made database before the pool opens on it (fills through ExecDirect).
        std::function<void(TBenchSongDatabase&)> BeforePool;
        // The name of the filled database's copy under KELVAR_BENCH_CACHE; empty: never cached.
        std::string Cache;
    };
    // An empty database, for a benchmark that makes its own tables.
    static TOptions WithoutSchema() {
        TOptions options;
        options.Schema = false;
        return options;
    }
    // The schema, then Fill before the pool opens.
    static TOptions FilledBy(std::function<void(TBenchSongDatabase&)> fill, std::string cache = "") {
        TOptions options;
        options.BeforePool = std::move(fill);
        options.Cache = std::move(cache);
        return options;
    }

    // The folder is kelvar-<Name>bench-<process id> in the temporary folder.
    explicit TBenchSongDatabase(const std::string& name) : TBenchSongDatabase(name, TOptions{}) {}

    TBenchSongDatabase(const std::string& name, const TOptions& options) {
        namespace fs = std::filesystem;
        Folder = fs::temp_directory_path() / ("kelvar-" + name + "bench-" + std::to_string(getpid()));
        fs::create_directories(Folder / "lock");
        // The engine reads its lock folder when the client library loads.
        setenv("FIREBIRD_LOCK", (Folder / "lock").c_str(), 0);
        Path = (Folder / "bench.fdb").string();
        const fs::path cached = CachedCopy(options);
        std::error_code ec;
        if (!cached.empty() && fs::exists(cached) && fs::copy_file(cached, Path, ec)) {
            std::fprintf(stderr, "database taken from %s\n", cached.c_str());
        } else {
            CreateDatabase();
            if (options.Schema) ExecDirect(songtest::SchemaStatements(KELVAR_SETUP_SQL_DIR));
            if (options.BeforePool) options.BeforePool(*this);
            if (!cached.empty()) {
                // Through a temporary name, so an interrupted copy is never taken.
                fs::create_directories(cached.parent_path(), ec);
                const fs::path part = cached.string() + ".part";
                if (fs::copy_file(Path, part, fs::copy_options::overwrite_existing, ec)) fs::rename(part, cached, ec);
            }
        }

        Loop = std::make_shared<TPlainMainLoop>();
        SetMainThreadDispatcher(Loop);
        Manager = std::make_shared<TDataLinkPoolManager>();
        Manager->Driver = "FIREBIRD";
        Manager->ServerMode = "EMBEDDED";
        Manager->Database = Path;
        Manager->Username = "SYSDBA";
        Manager->Open();
    }

    ~TBenchSongDatabase() {
        Manager->Close();
        Manager.reset();
        Loop->ProcessPending();
        SetMainThreadDispatcher(nullptr);
        if (EnvironmentFlag("KELVAR_BENCH_KEEP")) return;
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }

    TBenchSongDatabase(const TBenchSongDatabase&) = delete;
    TBenchSongDatabase& operator=(const TBenchSongDatabase&) = delete;

    // Runs statements through the client library directly, each in a transaction of its own: PSQL
    // blocks keep their variables, which the pool would take for parameters.
    void ExecDirect(const std::vector<std::string>& statements) const {
        TIntFunctions& f = FibClientLibrary().Acquire();
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        auto fail = [&](const std::string& what) {
            if (db) f.isc_detach_database(status, &db);
            FibClientLibrary().Release();
            throw std::runtime_error("benchmark database: " + what);
        };
        const char dpb[] = {isc_dpb_version1, isc_dpb_user_name, 6, 'S', 'Y', 'S', 'D', 'B', 'A'};
        if (f.isc_attach_database(status, 0, Path.c_str(), &db, sizeof dpb, dpb) != 0) fail("attach " + Path);
        for (const std::string& sql : statements) {
            isc_tr_handle tr = 0;
            if (f.isc_start_transaction(status, &tr, 1, &db, 0, nullptr) != 0) fail("transaction");
            if (f.isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr) != 0) fail(sql);
            if (f.isc_commit_transaction(status, &tr) != 0) fail("commit");
        }
        f.isc_detach_database(status, &db);
        FibClientLibrary().Release();
    }

    // Runs the main thread's calls until Done holds.
    void PumpUntil(const std::function<bool()>& done) {
        while (!done())
            if (Loop->ProcessPending() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }

    std::filesystem::path Folder;
    std::string Path;
    std::shared_ptr<TPlainMainLoop> Loop;
    std::shared_ptr<TDataLinkPoolManager> Manager;

private:
    // The cache file of Options for this schema (its scripts' text and the page size in the name),
    // or empty.
    static std::filesystem::path CachedCopy(const TOptions& options) {
        const char* folder = std::getenv("KELVAR_BENCH_CACHE");
        if (!folder || !*folder || options.Cache.empty()) return {};
        const std::string dir = KELVAR_SETUP_SQL_DIR;
        const size_t schema =
            std::hash<std::string>{}(songtest::ReadTextFile(dir + "tables.sql") +
                                     songtest::ReadTextFile(dir + "data.sql") + std::to_string(DatabasePageSize));
        return std::filesystem::path(folder) / (options.Cache + "-" + std::to_string(schema) + ".fdb");
    }

    void CreateDatabase() {
        TIntFunctions& f = FibClientLibrary().Acquire();
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        // Pages of the size the setup gives a station's database.
        std::string sql = "CREATE DATABASE '" + Path + "' USER 'SYSDBA' PAGE_SIZE " + std::to_string(DatabasePageSize) +
                          " DEFAULT CHARACTER SET UTF8";
        ISC_STATUS r = f.isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr);
        if (r == 0) f.isc_detach_database(status, &db);
        if (r == 0 && EnvironmentFlag("KELVAR_BENCH_ASYNC_WRITES")) {
            const char dpb[] = {
                isc_dpb_version1, isc_dpb_user_name, 6, 'S', 'Y', 'S', 'D', 'B', 'A', isc_dpb_force_write, 1, 0};
            db = 0;
            if (f.isc_attach_database(status, 0, Path.c_str(), &db, sizeof dpb, dpb) == 0)
                f.isc_detach_database(status, &db);
        }
        FibClientLibrary().Release();
        if (r != 0) throw std::runtime_error("could not create the benchmark database " + Path);
    }
};

}  // namespace kelvar::benchdb
