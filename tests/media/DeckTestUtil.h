#pragma once
// Fixtures of the deck tests: tone files, and a test thread that stands in for the output
// thread by pulling a channel's mixer input.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "MediaTestUtil.h"
#include "audio/graph/Pins.h"

namespace kelvar::test {

// A 16-bit stereo 44100 Hz WAV file of the given samples.
inline std::string WriteWav(const TTempDir& dir, const std::string& name, const std::vector<int16_t>& samples) {
    Bytes chunks;
    AppendChunk(chunks, "fmt ", FormatBody(1, 2, 44100, 16, 4, 176400));
    AppendChunk(chunks, "data", ToBytes(samples));
    const std::string path = dir.File(name);
    WriteFile(path, RiffWave(chunks));
    return path;
}

inline std::vector<int16_t> Concat(std::vector<int16_t> a, const std::vector<int16_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Peak of 16-bit samples.
inline int Peak(const int16_t* samples, size_t count) {
    int peak = 0;
    for (size_t i = 0; i < count; ++i) peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return peak;
}

// Pulls Output in blocks of 10 ms until Done answers true or about MaxMs of wall time passed;
// each block with data goes to OnBlock. Answers whether Done held.
inline bool PullUntil(const IPinSourcePtr& output, const std::function<bool()>& done,
                      const std::function<void(const int16_t*, int, TStreamTime)>& onBlock = nullptr,
                      int maxMs = 20000) {
    std::vector<int16_t> block(441 * 2);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        TStreamTime time = 0;
        const int n = output->Pull(block.data(), static_cast<int>(block.size() * 2), time);
        if (n > 0) {
            if (onBlock) onBlock(block.data(), n / 2, time);
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    return true;
}

}  // namespace kelvar::test
