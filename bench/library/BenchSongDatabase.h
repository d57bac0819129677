#pragma once
// A temporary embedded song database made from the setup's schema scripts, with the pool open
// on it and the benchmark's thread as the main thread of a plain loop. Removed at exit.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "database/SQLPool.h"
#include "database/SQLPool_DataLink.h"
#include "database/datalink/DLFib.h"
#include "foundation/MainThread.h"

namespace kelvar::bench {

class TBenchSongDatabase {
public:
    TBenchSongDatabase() {
        namespace fs = std::filesystem;
        Folder = fs::temp_directory_path() / ("kelvar-librarybench-" + std::to_string(getpid()));
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
        for (const char* script : {"tables.sql", "data.sql"})
            for (const std::string& sql : Statements(std::string(KELVAR_SOURCE_DIR) + "/setup/sql-firebird/" + script))
                PoolExecSQL(sql);
    }

    ~TBenchSongDatabase() {
        Manager->Close();
        Manager.reset();
        Loop->ProcessPending();
        SetMainThreadDispatcher(nullptr);
        // KELVAR_BENCH_KEEP=1 keeps the database for a look at its plans.
        const char* keep = std::getenv("KELVAR_BENCH_KEEP");
        if (keep && std::string(keep) == "1") return;
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
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
    void CreateDatabase() {
        TIntFunctions& f = FibClientLibrary().Acquire();
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        std::string sql = "CREATE DATABASE '" + Path + "' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8";
        ISC_STATUS r = f.isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), 3, nullptr);
        if (r == 0) f.isc_detach_database(status, &db);
        // KELVAR_BENCH_ASYNC_WRITES=1 switches forced writes off, to tell the disk's share of a
        // figure from the program's.
        const char* async = std::getenv("KELVAR_BENCH_ASYNC_WRITES");
        if (r == 0 && async && std::string(async) == "1") {
            const char dpb[] = {
                isc_dpb_version1, isc_dpb_user_name, 6, 'S', 'Y', 'S', 'D', 'B', 'A', isc_dpb_force_write, 1, 0};
            db = 0;
            if (f.isc_attach_database(status, 0, Path.c_str(), &db, sizeof dpb, dpb) == 0)
                f.isc_detach_database(status, &db);
        }
        FibClientLibrary().Release();
        if (r != 0) throw std::runtime_error("could not create the benchmark database " + Path);
    }

    // The statements of a script: a statement ends with a ";" at the end of a line.
    static std::vector<std::string> Statements(const std::string& path) {
        std::ifstream in(path);
        if (!in) throw std::runtime_error("cannot read " + path);
        std::vector<std::string> result;
        std::string current;
        for (std::string line; std::getline(in, line);) {
            while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ') line.pop_back();
            size_t start = line.find_first_not_of(" \t");
            if (start == std::string::npos) continue;
            if (line.compare(start, 2, "--") == 0) continue;
            if (line.back() == ';') {
                current += line.substr(0, line.size() - 1);
                result.push_back(current);
                current.clear();
            } else {
                current += line + "\n";
            }
        }
        return result;
    }
};

}  // namespace kelvar::bench
