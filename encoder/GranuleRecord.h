#pragma once
#include <cstdint>

namespace brannoc {

constexpr int kMarkNotCoded = -9999;
constexpr int kMaxQuantized = 8191;
constexpr int kMaxAncillaryBytes = 272;

// The coded data of one granule and channel: what the frame writer puts into side information and
// main data.
struct GranuleChannel {
    int ix[576];            // quantized values, signed
    int scalefac[39];       // long: bands 0..21; short: band * 3 + window
    int slen[4];            // bit width of each scalefactor partition
    int partitionBands[4];  // scalefactors in each partition (short: bands x 3 windows)
    int part2Length;        // scalefactor bits
    int part2_3_length;
    int big_values;
    int global_gain;  // the side information's field value
    int scalefac_compress;
    int block_type;
    int window_switching;
    int table_select[3];
    int region0_count;
    int region1_count;
    int subblock_gain[3];
    int preflag;
    int scalefac_scale;
    int count1table_select;
    int count1;        // quadruples
    int regionEnd[3];  // lines where each big-values region ends
    int bigValueBits;
    int count1Bits;
};

struct GranuleRecord {
    GranuleChannel ch[2];
    int sbrBits;
    int ancillaryBits;
    int ancillaryBytes;
    uint8_t ancillary[kMaxAncillaryBytes];
};

}  // namespace brannoc
