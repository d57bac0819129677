#pragma once

namespace brannoc {

// Huffman code lengths of one delta kind, indexed by value + lav.
struct SbrLengthTable {
    const int* lengths = nullptr;
    int lav = 0;
};

// Delta coder of one channel's envelope or noise data; keeps the previous envelope in
// high-resolution indexing.
struct SbrEnvCoder {
    int lowBands = 0, highBands = 0;
    int offset = 0;  // 2 x low - high
    int previous[48] = {};
    bool previousValid = false;
    bool timeDeltasAllowed = true;
    int firstBitsLevel = 6, firstBitsBalance = 5;
    SbrLengthTable levelFreq, levelTime, balanceFreq, balanceTime;
};

void SbrEnvCoderInit(SbrEnvCoder& coder, int lowBands, int highBands);

// values[e][b]: replaced by the coded deltas; timeFlags[e]: 0 frequency, 1 time. With reset the
// first envelope is frequency coded (a header frame). Returns the Huffman bits of the choice.
int SbrDeltaCode(int values[][48], const int* resolution, SbrEnvCoder& coder, int* timeFlags, bool coupled,
                 int envelopes, bool secondChannel, bool reset);

}  // namespace brannoc
