#pragma once
#include "encoder/BitBuffer.h"
#include "encoder/GranuleRecord.h"

namespace brannoc {

// Partitions a granule's values into big values, count1 and zero regions, splits the big values into
// regions and picks the cheapest code table of each; writes the codes for the frame writer.
class HuffmanCoding {
public:
    HuffmanCoding(const int* longEdges, const int* shortEdges, bool exhaustiveSplit);

    // Fills the regions, tables and counts of gc from gc.ix and returns big-values + count1 bits.
    int CountBits(GranuleChannel& gc);

    static void Write(BitBuffer& out, const GranuleChannel& gc);

    static int PairBits(int table, int x, int y);  // magnitudes, with signs and escape bits

private:
    void BuildCumulative(int pairs);
    int BestTable(int startPair, int endPair, int& table) const;
    int BestTableOf(int startPair, int endPair, int largest, int& table) const;

    const int* longEdges_;
    const int* shortEdges_;
    bool exhaustive_;
    int abs_[576];
    // Cumulative bits per pair for each code table (index by table; 16 and 24 without escape bits).
    int cum_[25][289];
    int escapes_[289];
};

}  // namespace brannoc
