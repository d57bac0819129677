// The library import of 10,000 small generated WAV files in 500 folders into an empty library,
// counted in files per second (a whole folder tree per iteration), and the same files imported a
// fifth at a time into the growing library.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "common/BenchSongDatabase.h"
#include "core/playlist/SongList.h"

namespace {

using namespace kelvar;

constexpr int FolderCount = 500;
constexpr int FilesPerFolder = 20;

benchdb::TBenchSongDatabase& Database() {
    static benchdb::TBenchSongDatabase db("library");
    static bool filled = false;
    if (!filled) {
        for (int f = 0; f < FolderCount; ++f) {
            const auto folder = db.Folder / "music" / ("Folder " + std::to_string(f));
            std::filesystem::create_directories(folder);
            for (int i = 0; i < FilesPerFolder; ++i)
                benchdb::WriteSilentWav(folder /
                                        ("Artist " + std::to_string(f) + " - Song " + std::to_string(i) + ".wav"));
        }
        filled = true;
    }
    return db;
}

void BM_ImportFolderTree(benchmark::State& state) {
    auto& db = Database();
    const std::string root = (db.Folder / "music").string();
    for (auto _ : state) {
        state.PauseTiming();
        PoolExecSQL("DELETE FROM songlist");
        TSongList library;
        state.ResumeTiming();
        ISongItemListPtr items = library.AddFolder(root, true);
        if (!items || items->Count() != FolderCount * FilesPerFolder) state.SkipWithError("not every file imported");
        state.PauseTiming();
        library.GetDelayedQuery()->WaitForAll();
        state.ResumeTiming();
    }
    state.counters["files/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * FolderCount * FilesPerFolder, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImportFolderTree)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The curve: the 500 folders imported 100 at a time (2,000 files each) into a library that grows
// from empty to 10,000 songs; one counter per step ("step1_files/s" into 0 rows, ... "step5" into
// 8,000). The cost of a file must not grow with the rows already stored.
void BM_ImportCurve(benchmark::State& state) {
    auto& db = Database();
    const std::string root = (db.Folder / "music").string();
    constexpr int Steps = 5, FoldersPerStep = FolderCount / Steps;
    std::vector<double> seconds(Steps, 0.0);
    for (auto _ : state) {
        state.PauseTiming();
        PoolExecSQL("DELETE FROM songlist");
        state.ResumeTiming();
        for (int step = 0; step < Steps; ++step) {
            std::vector<std::string> files;
            for (int f = step * FoldersPerStep; f < (step + 1) * FoldersPerStep; ++f)
                for (int i = 0; i < FilesPerFolder; ++i)
                    files.push_back(root + "/Folder " + std::to_string(f) + "/Artist " + std::to_string(f) +
                                    " - Song " + std::to_string(i) + ".wav");
            TSongList library;
            const auto start = std::chrono::steady_clock::now();
            ISongItemListPtr items = library.AddFileList(files);
            seconds[step] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (!items || items->Count() != static_cast<int>(files.size())) state.SkipWithError("files missing");
        }
    }
    for (int step = 0; step < Steps; ++step)
        state.counters["step" + std::to_string(step + 1) + "_files/s"] =
            static_cast<double>(state.iterations()) * FoldersPerStep * FilesPerFolder / seconds[step];
}
BENCHMARK(BM_ImportCurve)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
