// The bit buffer, the CRCs, the Huffman tables and the frame writer's room check.
#include "encoder/BitBuffer.h"
#include "encoder/FrameWriter.h"
#include "encoder/HuffmanCoding.h"
#include "encoder/HuffmanTables.h"
#include "encoder/Mp3Tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

using namespace brannoc;

TEST(BitBuffer, WritesAndReadsAcrossWordsAndWraps) {
    BitBuffer b(64);
    for (int round = 0; round < 50; ++round) {
        b.Write(0x5, 3);
        b.Write(0x1ABCDE, 21);
        b.Write(0xFFFFFFFFu, 32);
        EXPECT_EQ(b.BitCount(), 56);
        EXPECT_EQ(b.Read(3), 0x5u);
        EXPECT_EQ(b.Read(5), 0x1Au);
        EXPECT_EQ(b.Read(16), 0xBCDEu);
        EXPECT_EQ(b.Read(16), 0xFFFFu);
        EXPECT_EQ(b.Read(16), 0xFFFFu);
        EXPECT_FALSE(b.Overrun());
    }
    b.WriteZeros(100);
    EXPECT_TRUE(b.Overrun()) << "more than the capacity in flight";
}

TEST(BitBuffer, AppendMovesBitsBetweenBuffers) {
    BitBuffer a(128), b(128);
    a.Write(0x3FF, 10);
    b.Write(1, 1);
    b.Append(a, 10);
    EXPECT_EQ(a.BitCount(), 0);
    EXPECT_EQ(b.Read(11), 0x7FFu);
}

TEST(BitCrc, PatchesTheCrcOfTheBitsThatFollowItsField) {
    BitBuffer b(256);
    BitCrc crc(b, 0x45, 7, 0x7F);
    crc.Reset();
    crc.Reserve();
    const int64_t start = b.WritePosition();
    b.Write(0xA5, 8);
    b.Write(0x3, 2);
    crc.AddRange(start, 10);
    crc.ComputeAndPatch();
    uint32_t reg = BitCrc::Run(0x7F, 0x45, 7, 0xA5, 8);
    reg = BitCrc::Run(reg, 0x45, 7, 0x3, 2);
    EXPECT_EQ(b.Read(7), reg);
}

TEST(FrameCrc, MatchesABitwiseComputation) {
    const uint8_t data[] = {0xFB, 0x90, 0x12, 0x34, 0x56, 0x78, 0x9A};
    uint16_t expected = 0xFFFF;
    for (uint8_t byte : data) expected = static_cast<uint16_t>(BitCrc::Run(expected, 0x8005, 16, byte, 8));
    EXPECT_EQ(FrameCrc16(data, sizeof data), expected);
}

TEST(HuffmanTables, EveryTableIsACompletePrefixCode) {
    for (int t = 1; t < 32; ++t) {
        const HuffmanTable& table = kHuffmanTables[t];
        if (!table.codes || (t > 16 && t != 24)) continue;  // tables 17..23 and 25..31 share the codes of 16 and 24
        double kraft = 0;
        const int n = table.size * table.size;
        for (int i = 0; i < n; ++i) {
            kraft += std::ldexp(1.0, -table.lengths[i]);
            for (int j = 0; j < n; ++j) {
                if (i == j || table.lengths[j] < table.lengths[i]) continue;
                const uint32_t prefix = table.codes[j] >> (table.lengths[j] - table.lengths[i]);
                EXPECT_FALSE(prefix == table.codes[i]) << "table " << t << " codes " << i << " and " << j;
            }
        }
        EXPECT_DOUBLE_EQ(kraft, 1.0) << "table " << t;
    }
    EXPECT_EQ(kHuffmanTables[23].linbits, 13);
    EXPECT_EQ(kHuffmanTables[31].linbits, 13);
}

TEST(HuffmanCoding, PartitionsAGranuleAndCountsWhatItWrites) {
    const int rate = 44100;
    HuffmanCoding coder(LongBandEdges(rate), ShortBandEdges(rate), true);
    GranuleChannel gc{};
    EXPECT_EQ(coder.CountBits(gc), 0) << "an all-zero granule costs nothing";
    EXPECT_EQ(gc.big_values, 0);
    EXPECT_EQ(gc.count1, 0);

    // Big values with an escape, then values of at most 1 at the top of the spectrum.
    for (int i = 0; i < 40; ++i) gc.ix[i] = (i % 7) * ((i & 1) ? -1 : 1);
    gc.ix[3] = 17;
    for (int i = 40; i < 48; ++i) gc.ix[i] = (i % 3 == 0) ? -1 : 0;
    const int bits = coder.CountBits(gc);
    EXPECT_EQ(gc.big_values, 21);
    EXPECT_EQ(gc.count1, 1);
    EXPECT_TRUE(gc.table_select[0] == 17 || gc.table_select[0] == 24) << gc.table_select[0];
    BitBuffer out(8192);
    HuffmanCoding::Write(out, gc);
    EXPECT_EQ(out.BitCount(), bits);
}

// At 24000 Hz decoders disagree on where band 18 starts (330 or 332): no region may end there.
TEST(HuffmanCoding, NoRegionEndsAtTheDisputedBandAt24000Hz) {
    HuffmanCoding coder(LongBandEdges(24000), ShortBandEdges(24000), true);
    for (int pattern = 0; pattern < 40; ++pattern) {
        GranuleChannel gc{};
        // Loud up to band 15, at most 1 in bands 15 to 17, loud again from band 18: the cheapest
        // split would end region1 exactly at band 18.
        for (int i = 0; i < 400; ++i)
            gc.ix[i] = (i < 194 || i >= 332) ? 2 + (i * 7 + pattern) % 6 : ((i + pattern) % 3 == 0);
        coder.CountBits(gc);
        ASSERT_GT(gc.big_values * 2, 332);
        EXPECT_NE(gc.regionEnd[0], 332) << pattern;
        EXPECT_NE(gc.regionEnd[1], 332) << pattern;
    }
}

TEST(HuffmanCoding, Count1TableBOnlyWhenStrictlyCheaper) {
    HuffmanCoding coder(LongBandEdges(44100), ShortBandEdges(44100), false);
    GranuleChannel gc{};
    for (int i = 0; i < 16; ++i) gc.ix[i] = 1;  // all ones: A costs 6 per quad, B 4
    coder.CountBits(gc);
    EXPECT_EQ(gc.count1table_select, 1);
    GranuleChannel sparse{};
    sparse.ix[3] = 1;
    coder.CountBits(sparse);
    EXPECT_EQ(sparse.count1table_select, 0);
}

TEST(FrameWriter, NeverWritesPastTheOutputAndKeepsTheFrameQueued) {
    FrameWriter w;
    FrameHeaderSettings s;
    s.rate = 44100;
    s.mode = 3;
    ASSERT_TRUE(w.Configure(s));
    GranuleRecord gr[2] = {};
    std::vector<uint8_t> out(2000, 0xEE);
    int written = 0;
    // A silent frame leaves its slot to the reservoir: it waits in the queue.
    EXPECT_EQ(w.WriteFrame(gr, 9, 0, 0, out.data(), 2000, written), 0);
    EXPECT_EQ(written, 0);
    EXPECT_TRUE(w.HasPendingFrames());
    // 100 bytes cannot hold its 417: nothing is written and the frame stays queued.
    EXPECT_EQ(w.Flush(out.data(), 100, written), 4);
    EXPECT_EQ(written, 0);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(out[static_cast<size_t>(i)], 0xEE);
    EXPECT_EQ(w.Flush(out.data(), 2000, written), 0);
    EXPECT_EQ(written, 417);
    EXPECT_EQ(out[0], 0xFF);
}
