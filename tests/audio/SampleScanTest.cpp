#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "audio/nodes/SampleScan.h"
#include "audio/nodes/VUMeter_imp.h"

namespace kelvar {
namespace {

// Samples with the extremes mixed in, stored at an odd byte offset when Odd.
struct TSamples {
    TSamples(size_t Count, bool Odd, uint32_t Seed) : Values(Count), Bytes(Count * 2 + 1) {
        std::mt19937 random(Seed);
        std::uniform_int_distribution<int> any(INT16_MIN, INT16_MAX);
        const int16_t extremes[] = {INT16_MIN, INT16_MAX, -32767, 0, 1, -1};
        for (auto& v : Values)
            v = random() % 5 == 0 ? extremes[random() % 6] : static_cast<int16_t>(any(random) / (1 + random() % 64));
        Data = Bytes.data() + (Odd ? 1 : 0);
        if (Count > 0) std::memcpy(Data, Values.data(), Count * 2);  // Values.data() may be null
    }
    std::vector<int16_t> Values;
    std::vector<uint8_t> Bytes;
    uint8_t* Data;
};

TEST(SampleScan, MatchesSampleBySampleAtEveryLengthAndAlignment) {
    for (size_t count = 0; count < 80; ++count) {
        for (bool odd : {false, true}) {
            const TSamples s(count, odd, static_cast<uint32_t>(count * 2 + odd));
            int lo = 0, hi = 0;
            for (size_t i = 0; i < count; ++i) {
                lo = i == 0 ? s.Values[i] : std::min<int>(lo, s.Values[i]);
                hi = i == 0 ? s.Values[i] : std::max<int>(hi, s.Values[i]);
            }
            int gotLo = 1, gotHi = 1;
            SampleRange16(s.Data, count, gotLo, gotHi);
            EXPECT_EQ(gotLo, lo) << count;
            EXPECT_EQ(gotHi, hi) << count;
            const int magnitude = std::max(hi, -lo);
            for (int threshold : {0, magnitude - 1, magnitude, 32767, 32768}) {
                EXPECT_EQ(AnySampleAbove16(s.Data, count, threshold), count > 0 && magnitude > threshold) << count;
            }
            int gotLeft = 0, gotRight = 0;
            StereoPeaks16(s.Data, count / 2, gotLeft, gotRight);
            // A last odd sample is no whole frame.
            int wholeLeft = 0, wholeRight = 0;
            for (size_t i = 0; i + 1 < count; i += 2) {
                if (s.Values[i] != INT16_MIN) wholeLeft = std::max(wholeLeft, std::abs(int{s.Values[i]}));
                if (s.Values[i + 1] != INT16_MIN) wholeRight = std::max(wholeRight, std::abs(int{s.Values[i + 1]}));
            }
            EXPECT_EQ(gotLeft, wholeLeft) << count;
            EXPECT_EQ(gotRight, wholeRight) << count;
        }
    }
}

TEST(SampleScan, LoudSampleFoundAnywhereInALongBlock) {
    std::vector<int16_t> quiet(5000, 100);
    for (size_t at : {size_t{0}, size_t{127}, size_t{128}, size_t{4999}}) {
        auto block = quiet;
        block[at] = -20000;
        EXPECT_TRUE(AnySampleAbove16(block.data(), block.size(), 19999)) << at;
        EXPECT_FALSE(AnySampleAbove16(block.data(), block.size(), 20000)) << at;
    }
}

// The meter's levels do not depend on how the stream is cut into blocks.
TEST(SampleScan, MeterLevelsIndependentOfBlockSizes) {
    // A level that changes from window to window, below full scale.
    std::vector<int16_t> samples(44100 * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] =
            static_cast<int16_t>((static_cast<int>(i * 37 % 2001) - 1000) * static_cast<int>(1 + i / 3001 % 29));
    auto levelsAfter = [&](std::vector<int> Cuts, size_t Bytes) {
        TVUMeter meter;
        meter.SetFormat(DefaultAudioFormat);
        meter.SetDelay(0);
        meter.Start();
        const auto* data = reinterpret_cast<const uint8_t*>(samples.data());
        for (size_t at = 0, k = 0; at < Bytes; ++k) {
            const int n = std::min<int>(Cuts[k % Cuts.size()], static_cast<int>(Bytes - at));
            meter.Process(data + at, n);
            at += static_cast<size_t>(n);
        }
        std::pair<double, double> levels;
        meter.GetLevels(levels.first, levels.second);
        return levels;
    };
    for (size_t bytes : {4412u, 8824u, 30000u, 97020u, 176400u}) {
        const auto whole = levelsAfter({1 << 20}, bytes);
        for (std::vector<int> cuts : {std::vector<int>{4}, {4412, 4408}, {1000, 12, 4, 7000}, {8820}}) {
            EXPECT_EQ(levelsAfter(cuts, bytes), whole) << bytes;
        }
    }
}

}  // namespace
}  // namespace kelvar
