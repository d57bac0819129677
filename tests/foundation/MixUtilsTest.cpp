#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "foundation/MixUtils.h"

namespace kelvar {
namespace {

TEST(MixUtils, Clip16AndZeroFill) {
    EXPECT_EQ(Clip16(40000), 32767);
    EXPECT_EQ(Clip16(-40000), -32768);
    EXPECT_EQ(Clip16(-5), -5);
    uint8_t buf[6] = {1, 2, 3, 4, 5, 6};
    ZeroFill(buf, 2, 5);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 6), (std::vector<uint8_t>{1, 2, 0, 0, 0, 6}));
    ZeroFill(buf, 5, 5);
    EXPECT_EQ(buf[5], 6);
}

TEST(MixUtils, MixAddClipsEachSum) {
    std::vector<int16_t> dest(8, 32767), src(8, 32767);
    EXPECT_EQ(MixAdd(dest.data(), src.data(), 16, 16, 16), 16u);
    EXPECT_EQ(dest, std::vector<int16_t>(8, 32767));

    std::vector<int16_t> d{-30000, 100, 5}, s{-30000, -300, 7};
    MixAdd(d.data(), s.data(), 6, 6, 6);
    EXPECT_EQ(d, (std::vector<int16_t>{-32768, -200, 12}));
}

// A longer source is copied behind the mix only as far as the destination has room.
TEST(MixUtils, MixAddNeverWritesPastTheDestination) {
    struct {
        size_t DestBytes, SrcBytes, Capacity, Valid;
        std::vector<int16_t> Expect;
    } cases[] = {
        {4, 8, 8, 8, {11, 12, 3, 4}},   {4, 8, 6, 6, {11, 12, 3, -1}},  {4, 8, 4, 4, {11, 12, -1, -1}},
        {8, 4, 8, 8, {11, 12, 10, 10}}, {8, 8, 4, 4, {11, 12, -1, -1}},  // a destination count above the capacity is cut to it
        {0, 8, 4, 4, {1, 2, -1, -1}},
    };
    for (const auto& c : cases) {
        // Samples within the capacity hold 10, the rest is a guard of -1 that must stay.
        std::array<int16_t, 6> dest;
        for (size_t i = 0; i < dest.size(); ++i) dest[i] = i < c.Capacity / 2 ? 10 : -1;
        const std::array<int16_t, 4> src{1, 2, 3, 4};
        EXPECT_EQ(MixAdd(dest.data(), src.data(), c.DestBytes, c.SrcBytes, c.Capacity), c.Valid);
        EXPECT_EQ(std::vector<int16_t>(dest.begin(), dest.begin() + 4), c.Expect)
            << c.DestBytes << " " << c.SrcBytes << " " << c.Capacity;
        for (size_t i = c.Capacity / 2; i < dest.size(); ++i) EXPECT_EQ(dest[i], -1);
    }
}

TEST(MixUtils, StereoToMonoInPlace) {
    std::vector<int16_t> buf{10000, 10000, -30000, -30000, 100, -50, 32767, 32767};
    StereoToMono(buf.data(), buf.data(), buf.size() * 2);
    EXPECT_EQ(std::vector<int16_t>(buf.begin(), buf.begin() + 4), (std::vector<int16_t>{18000, -32768, 45, 32767}));
}

TEST(MixUtils, InterleaveBothModesAndInPlace) {
    const std::vector<int16_t> left{1, 2, 3, 4}, right{5, 6, 7, 8};
    std::vector<int16_t> out(8);
    Interleave(left.data(), right.data(), out.data(), 1, 8);
    EXPECT_EQ(out, (std::vector<int16_t>{1, 5, 2, 6, 3, 7, 4, 8}));
    Interleave(left.data(), right.data(), out.data(), 2, 8);
    EXPECT_EQ(out, (std::vector<int16_t>{1, 2, 5, 6, 3, 4, 7, 8}));

    for (int mode : {1, 2}) {
        std::vector<int16_t> expect(8);
        Interleave(left.data(), right.data(), expect.data(), mode, 8);
        std::vector<int16_t> inLeft{1, 2, 3, 4, 0, 0, 0, 0};
        Interleave(inLeft.data(), right.data(), inLeft.data(), mode, 8);
        EXPECT_EQ(inLeft, expect) << mode;
        std::vector<int16_t> inRight{5, 6, 7, 8, 0, 0, 0, 0};
        Interleave(left.data(), inRight.data(), inRight.data(), mode, 8);
        EXPECT_EQ(inRight, expect) << mode;
        std::vector<int16_t> shifted{0, 1, 2, 3, 4, 0, 0, 0, 0};  // a source overlapping part-way
        Interleave(shifted.data() + 1, right.data(), shifted.data(), mode, 8);
        EXPECT_EQ(std::vector<int16_t>(shifted.begin(), shifted.begin() + 8), expect) << mode;
    }
}

}  // namespace
}  // namespace kelvar
