#pragma once
// Helpers of the core's tests: a thread-safe logger that keeps every entry, short tone songs
// written as WAV files, and a tap between the output pair and the mix that records where the
// on-air mix went quiet.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "audio/graph/Pins.h"
#include "foundation/AudioFormat.h"
#include "foundation/Logger.h"

namespace kelvar::coretest {

class TMemoryLogger : public ILogger {
public:
    void Log(const std::string& message, const std::string& source, TLogKind kind) override {
        std::lock_guard<std::mutex> lock(FLock);
        FEntries.push_back(TLogRec{{}, message, source, kind});
    }
    std::vector<TLogRec> Entries() const {
        std::lock_guard<std::mutex> lock(FLock);
        return FEntries;
    }
    int Count(const std::string& prefix, const std::string& source = "") const {
        std::lock_guard<std::mutex> lock(FLock);
        return static_cast<int>(std::count_if(FEntries.begin(), FEntries.end(), [&](const TLogRec& e) {
            return e.Message.rfind(prefix, 0) == 0 && (source.empty() || e.Source == source);
        }));
    }

private:
    mutable std::mutex FLock;
    std::vector<TLogRec> FEntries;
};

// A stereo 44.1 kHz 16-bit WAV file of a steady tone.
inline void WriteToneWav(const std::string& path, int ms, double hz, int16_t amplitude = 8000) {
    const uint32_t frames = static_cast<uint32_t>(int64_t{44100} * ms / 1000);
    const uint32_t dataBytes = frames * 4;
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(dataBytes);
    std::vector<int16_t> block;
    block.reserve(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto s = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / 44100.0)));
        block.push_back(s);
        block.push_back(s);
    }
    f.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 2));
}

// Passes the mix through and keeps the longest quiet stretch (all samples below a level) seen
// while Watching is set, in ms of audio.
class TQuietTap : public IPinSource {
public:
    explicit TQuietTap(IPinSourcePtr Source) : FSource(std::move(Source)) {}
    void SetSink(IPinSinkPtr) override {}
    TWaveFormat GetFormat() override { return FSource->GetFormat(); }
    int Pull(void* Buffer, int Length, TStreamTime& Time) override {
        const int n = FSource->Pull(Buffer, Length, Time);
        const auto* s = static_cast<const int16_t*>(Buffer);
        const bool watching = Watching.load();
        for (int i = 0; i + 1 < n / 2; i += 2) {
            const bool quiet = std::abs(s[i]) < 64 && std::abs(s[i + 1]) < 64;
            if (quiet && watching) {
                ++FQuietFrames;
                LongestQuietMs = std::max(LongestQuietMs.load(), FQuietFrames * 1000.0 / 44100.0);
            } else {
                FQuietFrames = 0;
            }
        }
        PulledMs = PulledMs.load() + (n / 4) * 1000.0 / 44100.0;
        return n;
    }

    std::atomic<bool> Watching{false};
    std::atomic<double> LongestQuietMs{0};
    std::atomic<double> PulledMs{0};

private:
    IPinSourcePtr FSource;
    int64_t FQuietFrames = 0;
};

}  // namespace kelvar::coretest
