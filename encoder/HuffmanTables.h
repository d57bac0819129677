#pragma once
#include <cstdint>

namespace brannoc {

// One big-values table: codes indexed x * size + y, with the escape width for values of 15 and more.
struct HuffmanTable {
    int size;
    int linbits;
    const uint16_t* codes;
    const uint8_t* lengths;
};

// One count1 table: codes indexed by the four magnitudes v w x y as bits 3..0.
struct HuffmanQuadTable {
    const uint16_t* codes;
    const uint8_t* lengths;
};

extern const HuffmanTable kHuffmanTables[32];
extern const HuffmanQuadTable kCount1Tables[2];

}  // namespace brannoc
