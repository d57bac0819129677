#pragma once
// Helpers of the output tests: a test tone source, waiting for a condition, and ALSA PCMs of
// the test's own (a "file" PCM over "null" captures exactly the bytes played).
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/Signals.h"

namespace kelvar::testkit {

// Polls Condition until it holds or a generous limit passes; answers whether it held.
inline bool WaitUntil(const std::function<bool()>& Condition, int LimitMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(LimitMs);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Interleaved 16-bit stereo: a sine of Hz at Amplitude on the chosen sides, Frames long.
inline std::vector<int16_t> MakeTone(int Frames, double Hz, int Amplitude, bool Left = true, bool Right = true,
                                     int Rate = 44100) {
    return test::SineSamples(Hz, Amplitude, static_cast<size_t>(Frames), Rate, 2, {Left, Right});
}

// Peak absolute sample of every Stride-th sample from Offset.
inline int Peak(const int16_t* Samples, size_t Count, size_t Offset = 0, size_t Stride = 1) {
    int peak = 0;
    for (size_t i = Offset; i < Count; i += Stride) peak = std::max(peak, std::abs(static_cast<int>(Samples[i])));
    return peak;
}

// A source for an output's pull callback: hands out Data once, then nothing.
class TToneFeed {
public:
    explicit TToneFeed(std::vector<int16_t> Data) : FData(std::move(Data)) {}
    int operator()(void* Buffer, int Length) {
        const size_t bytes = FData.size() * 2;
        const size_t pos = FPos.load();
        const size_t n = std::min(bytes - pos, static_cast<size_t>(Length));
        std::memcpy(Buffer, reinterpret_cast<const uint8_t*>(FData.data()) + pos, n);
        FPos = pos + n;
        ++FCalls;
        return static_cast<int>(n);
    }
    bool Done() const { return FPos.load() >= FData.size() * 2; }
    int Calls() const { return FCalls.load(); }

private:
    std::vector<int16_t> FData;
    std::atomic<size_t> FPos{0};
    std::atomic<int> FCalls{0};
};

// A temporary folder with an ALSA configuration that defines "kelvar_capture" (a file PCM
// over null writing Capture()) and makes the process's ALSA read it.
class TAlsaCaptureConf {
public:
    TAlsaCaptureConf() {
        FFolder = std::filesystem::temp_directory_path() /
                  ("kelvar-alsa-" + std::to_string(getpid()) + "-" + std::to_string(++Counter()));
        std::filesystem::create_directories(FFolder);
        const auto conf = FFolder / "test.conf";
        std::ofstream out(conf);
        out << "pcm.kelvar_capture {\n  type file\n  slave.pcm \"null\"\n  file \"" << Capture().string()
            << "\"\n  format \"raw\"\n}\n";
        out.close();
        if (const char* old = getenv("ALSA_CONFIG_PATH")) FOldPath = old, FHadPath = true;
        setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf.string()).c_str(), 1);
    }
    ~TAlsaCaptureConf() {
        if (FHadPath)
            setenv("ALSA_CONFIG_PATH", FOldPath.c_str(), 1);
        else
            unsetenv("ALSA_CONFIG_PATH");
        std::error_code ec;
        std::filesystem::remove_all(FFolder, ec);
    }
    std::filesystem::path Capture() const { return FFolder / "captured.raw"; }
    std::vector<int16_t> ReadCapture() const {
        std::ifstream in(Capture(), std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

private:
    static int& Counter() {
        static int counter = 0;
        return counter;
    }
    std::filesystem::path FFolder;
    std::string FOldPath;
    bool FHadPath = false;
};

}  // namespace kelvar::testkit
