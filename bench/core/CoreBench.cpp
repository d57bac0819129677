// The core's heartbeat work on a 100,000-song library (KELVAR_BENCH_SONGS=1000000 for a million):
// one automation tick that loads the idle deck (the rotation's choice and the deck's load), one
// queue fill, and an hour of songs. Reported per iteration and as the worst single run ("max_ms").
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/million/MillionLibrary.h"
#include "common/BenchSongDatabase.h"
#include "core/Kelvar.h"
#include "core/ProcessPriority.h"
#include "core/playlist/PlaylistManager.h"
#include "core/rotation/PlaylistControl_imp.h"
#include "foundation/ConfigDoc_XML.h"
#include "media/SongInfo_imp.h"

using namespace kelvar;

namespace {

// 100,000 songs, or KELVAR_BENCH_SONGS (a multiple of 1000 up to 1,024,000).
int LibrarySize() {
    static const int size = [] {
        const char* text = std::getenv("KELVAR_BENCH_SONGS");
        return text ? std::atoi(text) : 100000;
    }();
    return size;
}
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

// The song database made from the schema scripts and filled once; the core on it.
class TCoreBench {
public:
    TCoreBench()
        : Db("core", benchdb::TBenchSongDatabase::FilledBy([](benchdb::TBenchSongDatabase& db) { Fill(db); },
                                                           "core-" + std::to_string(LibrarySize()))) {
        // A library taken from the cache names the files where the run that made it put them.
        WriteSongFiles(SongFolder(Db));
        Control = std::make_shared<TPlaylistControl>();
        Core = std::make_unique<TKelvar>(Control);
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto node = Doc->Section("Kelvar");
        node->WriteInteger("ProcessPriority", GetPriorityClass());
        node->Section("AudioPipe")->Section("Output")->WriteInteger("OutputType1", 0);
        Core->LoadConfig(*node);
    }

    ~TCoreBench() { Core.reset(); }

    static TCoreBench& Get() {
        static TCoreBench bench;
        return bench;
    }

private:
    // The song files, and the library through the client library directly: the fill's block uses
    // PSQL variables, which the pool would take for parameters.
    static void Fill(benchdb::TBenchSongDatabase& db) {
        WriteSongFiles(SongFolder(db));
        // Distinct artists, titles and albums; the files repeat. Every balance is 0, as in a
        // library just made.
        benchdb::WithoutIndexes(
            db, benchdb::SongListIndexes(),
            {"INSERT INTO songlist (ID, filename, artist, title, album, duration, weight) " +
                 benchdb::NumberRows(LibrarySize()) + "SELECT i + 1, '" + (SongFolder(db) / "song").string() +
                 "' || MOD(i, " + std::to_string(SongFiles) +
                 ") || '.wav', 'Artist ' || i, 'Title ' || i, 'Album ' || i, 8000, 10 + MOD(i, 90) FROM n",
             "ALTER SEQUENCE GEN_songlist_ID RESTART WITH " + std::to_string(LibrarySize())});
    }

    // The song files: beside the database, or with a cached library in the cache folder.
    static std::filesystem::path SongFolder(const benchdb::TBenchSongDatabase& db) {
        const char* cache = std::getenv("KELVAR_BENCH_CACHE");
        return cache && *cache ? std::filesystem::path(cache) / "core-songs" : db.Folder;
    }
    static void WriteSongFiles(const std::filesystem::path& folder) {
        std::filesystem::create_directories(folder);
        for (int i = 0; i < SongFiles; ++i) {
            const auto file = folder / ("song" + std::to_string(i) + ".wav");
            if (!std::filesystem::exists(file)) WriteToneWav(file.string(), 8000);
        }
    }

    // Declared before the core: the core goes first, then the pool and the database.
    benchdb::TBenchSongDatabase Db;

public:
    // The core's playlist control, made here so that the benchmarks reach its rules and queue.
    IPlaylistControlPtr Control;
    std::unique_ptr<TKelvar> Core;

private:
    IConfigDocPtr Doc;
};

// The core's first two players.
TKelvarPlayer* DeckA(TKelvar& core) { return core.Players(0); }
TKelvarPlayer* DeckB(TKelvar& core) { return core.Players(1); }

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The calling thread's CPU time: a stall's wall time less this is waiting (the disk, a lock, or
// a CPU on a loaded machine).
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

// Ticks with deck A less than 10 s before its end and deck B empty, until one loads the next
// song into deck B.
void BM_TickLoadingTheNextSong(benchmark::State& state) {
    TKelvar& core = *TCoreBench::Get().Core;
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        DeckB(core)->Unload();
        if (DeckA(core)->GetState() == DeckState::Empty) {
            core.QueueNext(DeckA(core));
            DeckA(core)->Play();
        }
        // The rotation's choice is made on its worker; a tick takes it once it is ready. Only the
        // ticks are timed.
        const auto ready = std::chrono::steady_clock::now();
        while (DeckB(core)->GetState() != DeckState::Ready && MsSince(ready) < 10000) {
            state.ResumeTiming();
            const auto start = std::chrono::steady_clock::now();
            core.Tick();
            worst = std::max(worst, MsSince(start));
            state.PauseTiming();
            if (DeckB(core)->GetState() != DeckState::Ready) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        state.ResumeTiming();
        if (DeckB(core)->GetState() != DeckState::Ready) {
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
    auto rules = TCoreBench::Get().Control->GetRules();
    ISongInfoPtr held = TCoreBench::Get().Control->GetFallbackSong();
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        DeckB(core)->Unload();
        if (DeckA(core)->GetState() == DeckState::Empty) {
            core.QueueNext(DeckA(core));
            DeckA(core)->Play();
        }
        rules->SetGhostSong(held);
        // The rotation's choice is made on its worker; a tick takes it once it is ready. Only the
        // ticks are timed.
        const auto ready = std::chrono::steady_clock::now();
        while (DeckB(core)->GetState() != DeckState::Ready && MsSince(ready) < 10000) {
            state.ResumeTiming();
            const auto start = std::chrono::steady_clock::now();
            core.Tick();
            worst = std::max(worst, MsSince(start));
            state.PauseTiming();
            if (DeckB(core)->GetState() != DeckState::Ready) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        state.ResumeTiming();
        if (DeckB(core)->GetState() != DeckState::Ready) {
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
    if (DeckA(core)->GetState() == DeckState::Empty) core.QueueNext(DeckA(core));
    if (DeckB(core)->GetState() == DeckState::Empty) core.QueueNext(DeckB(core));
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
    auto rules = TCoreBench::Get().Control->GetRules();
    auto queue = TCoreBench::Get().Control->GetPlaylistManager()->Queue.get();
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

// An hour of three-minute songs as the automation runs them on the main thread: per song the
// queue fills until the rotation's choice is queued (queue kept at one song), then the ticks, 5 ms
// apart as the heartbeat's, until one loads the queued song into the idle deck (a tick never waits for a choice the worker has not
// made yet while the deck on air has time left). "max_ms" is the longest main-thread stall of the
// hour, "fill_max_ms" and "tick_max_ms" the longest of each kind, "cpu_max_ms" the most CPU time
// of one of them, "loaded" the songs loaded.
void BM_HourOfSongsStall(benchmark::State& state) {
    TKelvar& core = *TCoreBench::Get().Core;
    auto rules = TCoreBench::Get().Control->GetRules();
    auto queue = TCoreBench::Get().Control->GetPlaylistManager()->Queue.get();
    rules->SetMinQueueSize(1);
    double fillWorst = 0, tickWorst = 0, cpuWorst = 0;
    int loaded = 0;
    for (auto _ : state) {
        for (int song = 0; song < 20; ++song) {
            // The queue fill runs until the worker's choice is queued, as the heartbeat runs it.
            const auto fillStart = std::chrono::steady_clock::now();
            auto start = fillStart;
            while (queue->Count() == 0 && MsSince(fillStart) < 10000) {
                start = std::chrono::steady_clock::now();
                const double cpu = ThreadCpuMs();
                core.QueueFill();
                fillWorst = std::max(fillWorst, MsSince(start));
                cpuWorst = std::max(cpuWorst, ThreadCpuMs() - cpu);
                if (queue->Count() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            DeckB(core)->Unload();
            if (DeckA(core)->GetState() == DeckState::Empty) {
                core.QueueNext(DeckA(core));
                DeckA(core)->Play();
            }
            const auto songStart = std::chrono::steady_clock::now();
            while (DeckB(core)->GetState() != DeckState::Ready && MsSince(songStart) < 10000) {
                start = std::chrono::steady_clock::now();
                const double cpu = ThreadCpuMs();
                core.Tick();
                tickWorst = std::max(tickWorst, MsSince(start));
                cpuWorst = std::max(cpuWorst, ThreadCpuMs() - cpu);
                if (DeckB(core)->GetState() != DeckState::Ready)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (DeckB(core)->GetState() == DeckState::Ready) ++loaded;
        }
    }
    state.counters["max_ms"] = std::max(fillWorst, tickWorst);
    state.counters["fill_max_ms"] = fillWorst;
    state.counters["tick_max_ms"] = tickWorst;
    state.counters["cpu_max_ms"] = cpuWorst;
    state.counters["loaded"] = loaded;
    rules->SetMinQueueSize(0);
    queue->Clear();
}
BENCHMARK(BM_HourOfSongsStall)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
