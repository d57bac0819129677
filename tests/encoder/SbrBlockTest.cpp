// The SBR block the frame writer puts into a frame's ancillary data: its size, tag, length field,
// CRC and alignment.
#include "encoder/FrameWriter.h"
#include "encoder/SbrSideData.h"

#include <gtest/gtest.h>

#include <vector>

using namespace brannoc;

namespace {

SbrSideData Side(int header, int payload, int protectedBits, int channels) {
    SbrSideData s;
    s.headerBits = header;
    s.payloadBits = payload;
    s.protectedBits = protectedBits;
    s.channels = channels;
    for (int i = 0; i < header + payload; ++i) s.bits.Write(static_cast<uint32_t>((i * 7 + i / 3) % 2), 1);
    return s;
}

struct Reader {
    const std::vector<uint8_t>& data;
    int pos;
    uint32_t Get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++pos) v = (v << 1) | ((data[static_cast<size_t>(pos / 8)] >> (7 - pos % 8)) & 1u);
        return v;
    }
};

}  // namespace

TEST(SbrBlock, SizeFollowsPayloadHeaderAndCrc) {
    struct Row {
        int header, payload, protectedBits, bits;
    };
    for (const Row& r : {Row{0, 100, 0, 120},      // R = 101, 7 alignment bits, length 13
                         Row{0, 100, 56, 120},     // R = 108, no alignment
                         Row{21, 2100, 88, 2152},  // length 266: the second length byte
                         Row{21, 4050, 88, 4104},  // length 510, the largest the field names
                         Row{21, 4060, 88, 0},     // too long: no block
                         Row{0, 0, 0, 0}}) {
        EXPECT_EQ(FrameWriter::SbrBlockBits(Side(r.header, r.payload, r.protectedBits, 1)), r.bits)
            << r.header << " " << r.payload << " " << r.protectedBits;
    }
}

TEST(SbrBlock, FollowsTheGranulesWithTagLengthCrcAndAlignment) {
    for (int withCrc = 0; withCrc <= 1; ++withCrc) {
        // 22050 Hz mono at 16 kbit/s: one granule per frame, and the block is all the main data there is.
        FrameWriter w;
        FrameHeaderSettings s;
        s.rate = 22050;
        s.mode = 3;
        ASSERT_TRUE(w.Configure(s));
        SbrSideData side = withCrc ? Side(21, 100, 88, 1) : Side(0, 100, 0, 1);
        const SbrSideData copy = withCrc ? Side(21, 100, 88, 1) : Side(0, 100, 0, 1);
        GranuleRecord gr[1] = {};
        gr[0].sbrBits = FrameWriter::SbrBlockBits(side);
        std::vector<uint8_t> out(1000, 0xEE);
        int written = 0;
        ASSERT_EQ(w.WriteFrame(gr, 2, 0, 0, out.data(), 1000, written, &side), 0);
        EXPECT_FALSE(side.HasData()) << "the bits were moved into the frame";
        ASSERT_EQ(w.Flush(out.data(), 1000, written), 0);
        ASSERT_EQ(written, 52);
        Reader r{out, 8 * (4 + 9)};
        EXPECT_EQ(r.Get(4), withCrc ? 15u : 13u) << "single channel, header or not";
        const uint32_t length = r.Get(8);
        EXPECT_EQ(static_cast<int>(length), (gr[0].sbrBits - 16) / 8);
        EXPECT_EQ(r.Get(1), static_cast<uint32_t>(withCrc));
        const uint32_t crc = withCrc ? r.Get(7) : 0;
        const int dataStart = r.pos;
        SbrSideData expected = copy;
        for (int i = 0; i < copy.headerBits + copy.payloadBits; ++i) ASSERT_EQ(r.Get(1), expected.bits.Read(1)) << i;
        while (r.pos < 8 * (4 + 9) + gr[0].sbrBits) ASSERT_EQ(r.Get(1), 0u) << "alignment";
        EXPECT_EQ(r.pos % 8, 0);
        if (withCrc) {
            // An 8-bit register, polynomial 0x45, all ones at the start, over the protected bits and the
            // 4 after them; its low 7 bits are sent.
            Reader c{out, dataStart};
            uint32_t reg = 0xFF;
            for (int i = 0; i < 88 + 4; ++i) {
                const bool feedback = ((reg >> 7) & 1u) != c.Get(1);
                reg = (reg << 1) & 0xFF;
                if (feedback) reg ^= 0x45;
            }
            EXPECT_EQ(crc, reg & 0x7F);
        }
    }
}
