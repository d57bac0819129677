// Reading a PLS play list of 100,000 entries.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/playlist/PlaylistLoader_imp.h"

namespace {

using namespace kelvar;
namespace fs = std::filesystem;

void BM_ReadPLS100000(benchmark::State& state) {
    const fs::path file = fs::temp_directory_path() / ("kelvar-bench-" + std::to_string(::getpid()) + ".pls");
    {
        std::ofstream out(file, std::ios::binary);
        out << "[playlist]\r\nNumberOfEntries=100000\r\n";
        for (int i = 1; i <= 100000; ++i)
            out << "File" << i << "=/music/folder" << i % 500 << "/song" << i << ".mp3\r\nTitle" << i << "=Song " << i
                << "\r\nLength" << i << "=180\r\n";
    }
    for (auto _ : state) {
        std::vector<std::string> list;
        LoadPlaylistFile(file.string(), list);
        if (list.size() != 100000) state.SkipWithError("entries missing");
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(state.iterations() * 100000);
    fs::remove(file);
}
BENCHMARK(BM_ReadPLS100000)->Unit(benchmark::kMillisecond);

}  // namespace
