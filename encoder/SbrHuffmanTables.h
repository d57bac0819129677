#pragma once

#include <cstdint>

namespace brannoc {

// One Huffman table: codes and lengths indexed by value + lav.
struct SbrHuffmanTable {
    const uint32_t* codes = nullptr;
    const int* lengths = nullptr;
    int lav = 0;
};

// The ten SBR code tables of the standard: envelope levels and balances in time and frequency
// direction at 1.5 and 3.0 dB, and noise-floor levels and balances in time direction.
enum class SbrHuffmanTableId {
    kEnvelopeTime15,
    kEnvelopeFreq15,
    kBalanceTime15,
    kBalanceFreq15,
    kEnvelopeTime30,
    kEnvelopeFreq30,
    kBalanceTime30,
    kBalanceFreq30,
    kNoiseTime30,
    kNoiseBalanceTime30,
};
constexpr int kSbrHuffmanTableCount = 10;

const SbrHuffmanTable& SbrStandardTable(SbrHuffmanTableId id);
// The table's name in the data file the sources were generated from.
const char* SbrStandardTableName(SbrHuffmanTableId id);

}  // namespace brannoc
