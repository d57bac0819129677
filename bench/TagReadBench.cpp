// Reading the tags and MPEG header of MP3 files, as the library import does for each file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/tags/ID3v2Ex.h"
#include "media/tags/MPEGaudioEx.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

void AppendFrame(Bytes& out, const std::string& id, const Bytes& payload) {
    Append(out, id);
    const auto n = static_cast<uint32_t>(payload.size());
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, 0});
    out.insert(out.end(), payload.begin(), payload.end());
}

Bytes TextPayload(const std::string& s) {
    Bytes p{0};
    Append(p, s);
    return p;
}

// An MP3 of 2.3 tag (texts, user texts, a picture of PictureBytes), 1000 frames and an ID3v1 block.
std::string MakeMp3(const std::filesystem::path& folder, size_t pictureBytes) {
    Bytes frames;
    AppendFrame(frames, "TIT2", TextPayload("A title of some length"));
    AppendFrame(frames, "TPE1", TextPayload("An artist"));
    AppendFrame(frames, "TALB", TextPayload("An album"));
    AppendFrame(frames, "TRCK", TextPayload("3/12"));
    AppendFrame(frames, "TYER", TextPayload("1999"));
    for (const char* d : {"XFade", "Rating", "SongType", "Overlay"}) {
        Bytes p{0};
        Append(p, d);
        p.push_back(0);
        Append(p, "value");
        AppendFrame(frames, "TXXX", p);
    }
    Bytes apic{0};
    Append(apic, "image/jpeg");
    apic.insert(apic.end(), {0, 3, 0});
    apic.resize(apic.size() + pictureBytes, 0x5A);
    AppendFrame(frames, "APIC", apic);
    frames.resize(frames.size() + 1024, 0);
    const auto n = static_cast<uint32_t>(frames.size());
    Bytes file{'I',
               'D',
               '3',
               3,
               0,
               0,
               uint8_t((n >> 21) & 0x7F),
               uint8_t((n >> 14) & 0x7F),
               uint8_t((n >> 7) & 0x7F),
               uint8_t(n & 0x7F)};
    file.insert(file.end(), frames.begin(), frames.end());
    for (int i = 0; i < 1000; ++i) {
        Bytes frame(417, 0);
        frame[0] = 0xFF;
        frame[1] = 0xFB;
        frame[2] = 0x90;
        file.insert(file.end(), frame.begin(), frame.end());
    }
    Bytes v1(128, 0);
    v1[0] = 'T';
    v1[1] = 'A';
    v1[2] = 'G';
    file.insert(file.end(), v1.begin(), v1.end());
    const std::string path = (folder / ("bench-" + std::to_string(pictureBytes) + ".mp3")).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    return path;
}

// A folder for the run's files, removed at exit.
struct TBenchFolder {
    TBenchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvar-tagbench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        Path = pattern;
    }
    ~TBenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    std::filesystem::path Path;
};

std::filesystem::path BenchFolder() {
    static const TBenchFolder folder;
    return folder.Path;
}

void BM_ID3v2Load(benchmark::State& state) {
    const std::string file = MakeMp3(BenchFolder(), static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        kelvar::TID3v2KelvarTag tag;
        tag.LoadFromFile(file);
        benchmark::DoNotOptimize(tag.Title());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ID3v2Load)->Arg(0)->Arg(100000);

void BM_MPEGaudioRead(benchmark::State& state) {
    const std::string file = MakeMp3(BenchFolder(), static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        kelvar::TMPEGaudioEx mpeg;
        mpeg.ReadFromFile(file);
        benchmark::DoNotOptimize(mpeg.GetDuration());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MPEGaudioRead)->Arg(0)->Arg(100000);

}  // namespace
