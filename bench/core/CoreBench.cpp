// The core's heartbeat work on a 100,000-song library: one automation tick that loads the idle
// deck (the rotation's choice and the deck's load) and one queue fill. Reported per iteration and
// as the worst single run ("max_ms").
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Kelvar.h"
#include "core/ProcessPriority.h"
#include "core/playlist/PlaylistManager.h"
#include "database/SQLPool.h"
#include "database/SQLPool_DataLink.h"
#include "database/datalink/DLFib.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/MainThread.h"
#include "media/SongInfo_imp.h"

using namespace kelvar;
namespace fs = std::filesystem;

namespace {

constexpr int LibrarySize = 100000;
constexpr int SongFiles = 8;

void WriteToneWav(const std::string& path, int ms) {
    const uint32_t frames = static_cast<uint32_t>(int64_t{44100} * ms / 1000);
    std::vector<int16_t> pcm(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) pcm[2 * i] = pcm[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(i * 0.05));
    const uint32_t bytes = frames * 4;
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(bytes);
    f.write(reinterpret_cast<const char*>(pcm.data()), bytes);
}

// The statements of a schema script: a statement ends with ";" at the end of a line.
std::vector<std::string> Statements(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<std::string> out;
    std::string current;
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ') line.pop_back();
        if (!line.empty() && line.back() == ';') {
            current += line.substr(0, line.size() - 1);
            out.push_back(current);
            current.clear();
        } else {
            current += line + "\n";
        }
    }
    if (current.find_first_not_of(" \t\r\n") != std::string::npos) out.push_back(current);
    return out;
}

// The song database made from the schema scripts and filled once; the core on it.
class TCoreBench {
public:
    TCoreBench() {
        Folder = fs::temp_directory_path() / ("kelvar-corebench-" + std::to_string(getpid()));
        fs::create_directories(Folder / "lock");
        setenv("FIREBIRD_LOCK", (Folder / "lock").c_str(), 0);
        Path = (Folder / "songs.fdb").string();
        for (int i = 0; i < SongFiles; ++i)
            WriteToneWav((Folder / ("song" + std::to_string(i) + ".wav")).string(), 8000);
        CreateDatabase();

        Loop = std::make_shared<TPlainMainLoop>();
        SetMainThreadDispatcher(Loop);
        Manager = std::make_shared<TDataLinkPoolManager>();
        Manager->Driver = "FIREBIRD";
        Manager->ServerMode = "EMBEDDED";
        Manager->Database = Path;
        Manager->Username = "SYSDBA";
        Manager->Open();
        Core = std::make_unique<TKelvar>();
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto node = Doc->Section("Kelvar");
        node->WriteInteger("ProcessPriority", GetPriorityClass());
        node->Section("AudioPipe")->Section("Output")->WriteInteger("OutputType1", 0);
        Core->LoadConfig(*node);
    }

    ~TCoreBench() {
        Core.reset();
        Manager->Close();
        Manager.reset();
        Loop->ProcessPending();
        SetMainThreadDispatcher(nullptr);
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }

    static TCoreBench& Get() {
        static TCoreBench bench;
        return bench;
    }

    std::unique_ptr<TKelvar> Core;

private:
    // Made through the client library directly: the fill's block uses PSQL variables, which the
    // pool would take for parameters.
    void CreateDatabase() {
        TIntFunctions& f = FibClientLibrary().Acquire();
        ISC_STATUS_ARRAY status{};
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        auto fail = [&](const std::string& what) {
            if (db) f.isc_detach_database(status, &db);
            FibClientLibrary().Release();
            throw std::runtime_error("benchmark database: " + what);
        };
        const std::string create = "CREATE DATABASE '" + Path + "' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8";
        if (f.isc_dsql_execute_immediate(status, &db, &tr, 0, create.c_str(), 3, nullptr) != 0) fail("create " + Path);
        auto run = [&](const std::string& sql) {
            isc_tr_handle t = 0;
            if (f.isc_start_transaction(status, &t, 1, &db, 0, nullptr) != 0) fail("transaction");
            if (f.isc_dsql_execute_immediate(status, &db, &t, 0, sql.c_str(), 3, nullptr) != 0) fail(sql);
            if (f.isc_commit_transaction(status, &t) != 0) fail("commit");
        };
        const std::string schema = std::string(KELVAR_SOURCE_DIR) + "/setup/sql-firebird/";
        for (const char* script : {"tables.sql", "data.sql"}) {
            for (const auto& sql : Statements(schema + script)) run(sql);
        }
        // Distinct artists, titles and albums; the files repeat.
        run("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < " + std::to_string(LibrarySize) +
            ") DO BEGIN INSERT INTO songlist (ID, filename, artist, title, album, duration, weight) VALUES "
            "(GEN_ID(GEN_songlist_ID, 1), '" +
            (Folder / "song").string() + "' || MOD(:i, " + std::to_string(SongFiles) +
            ") || '.wav', 'Artist ' || :i, 'Title ' || :i, 'Album ' || :i, 8000, 10 + MOD(:i, 90)); "
            "i = i + 1; END END");
        f.isc_detach_database(status, &db);
        FibClientLibrary().Release();
    }

    fs::path Folder;
    std::string Path;
    std::shared_ptr<TPlainMainLoop> Loop;
    std::shared_ptr<TDataLinkPoolManager> Manager;
    IConfigDocPtr Doc;
};

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A tick with deck A less than 10 s before its end and deck B empty: the tick chooses and loads the next
// song into deck B.
void BM_TickLoadingTheNextSong(benchmark::State& state) {
    TKelvar& core = *TCoreBench::Get().Core;
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        core.DeckB->Unload();
        if (core.DeckA->GetState() == DeckState::Empty) {
            core.QueueNext(core.DeckA);
            core.DeckA->Play();
        }
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        core.Tick();
        worst = std::max(worst, MsSince(start));
        if (core.DeckB->GetState() != DeckState::Ready) {
            state.SkipWithError("deck B was not loaded");
            break;
        }
    }
    state.counters["max_ms"] = worst;
}
BENCHMARK(BM_TickLoadingTheNextSong)->Unit(benchmark::kMillisecond)->Iterations(10);

// The same tick with the next song already held by the queue fill (the ghost song): the core's
// own work and the deck's load, without the rotation's query.
void BM_TickLoadingTheHeldSong(benchmark::State& state) {
    TKelvar& core = *TCoreBench::Get().Core;
    auto rules = core.PlaylistControl->GetRules();
    ISongInfoPtr held = core.PlaylistControl->GetFallbackSong();
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        core.DeckB->Unload();
        if (core.DeckA->GetState() == DeckState::Empty) {
            core.QueueNext(core.DeckA);
            core.DeckA->Play();
        }
        rules->SetGhostSong(held);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        core.Tick();
        worst = std::max(worst, MsSince(start));
        if (core.DeckB->GetState() != DeckState::Ready) {
            state.SkipWithError("deck B was not loaded");
            break;
        }
    }
    state.counters["max_ms"] = worst;
}
BENCHMARK(BM_TickLoadingTheHeldSong)->Unit(benchmark::kMillisecond)->Iterations(50);

// A tick with nothing to do (both decks busy).
void BM_TickIdle(benchmark::State& state) {
    TKelvar& core = *TCoreBench::Get().Core;
    if (core.DeckA->GetState() == DeckState::Empty) core.QueueNext(core.DeckA);
    if (core.DeckB->GetState() == DeckState::Empty) core.QueueNext(core.DeckB);
    double worst = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        core.Tick();
        worst = std::max(worst, MsSince(start));
    }
    state.counters["max_ms"] = worst;
}
BENCHMARK(BM_TickIdle)->Unit(benchmark::kMicrosecond)->Iterations(200);

// A queue fill that appends the logic's choice (the queue kept below its minimum size).
void BM_QueueFill(benchmark::State& state) {
    TKelvar& core = *TCoreBench::Get().Core;
    auto rules = core.PlaylistControl->GetRules();
    auto queue = core.PlaylistControl->GetPlaylistManager()->Queue.get();
    rules->SetMinQueueSize(1000000);
    double worst = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        core.QueueFill();
        worst = std::max(worst, MsSince(start));
    }
    state.counters["max_ms"] = worst;
    state.counters["queued"] = queue->Count();
    rules->SetMinQueueSize(0);
    queue->Clear();
}
BENCHMARK(BM_QueueFill)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
