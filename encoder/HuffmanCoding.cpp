#include "encoder/HuffmanCoding.h"

#include "encoder/HuffmanTables.h"
#include "encoder/Mp3Tables.h"

#include <algorithm>
#include <cstdlib>

namespace brannoc {

namespace {
struct TableGroup {
    int largest;
    int count;
    int tables[3];
};

const TableGroup kGroups[] = {
    {0, 1, {0}},          {1, 1, {1}},         {2, 2, {2, 3}},      {3, 2, {5, 6}},      {5, 3, {7, 8, 9}},
    {7, 3, {10, 11, 12}}, {15, 2, {13, 15}},   {16, 2, {16, 24}},   {18, 2, {17, 24}},   {22, 2, {18, 24}},
    {30, 2, {19, 24}},    {46, 2, {20, 25}},   {78, 2, {20, 26}},   {142, 2, {21, 27}},  {270, 2, {21, 28}},
    {526, 2, {22, 29}},   {1038, 2, {22, 30}}, {2062, 2, {23, 30}}, {8206, 2, {23, 31}},
};

// The tables with their own cumulative sums, with the largest value each can code without escape
// (16 and 24 stand for their escape families).
struct CodeTable {
    int table;
    int largest;
};
const CodeTable kCodeTables[] = {{1, 1},  {2, 2},  {3, 2},  {5, 3},   {6, 3},   {7, 5},   {8, 5},  {9, 5},
                                 {10, 7}, {11, 7}, {12, 7}, {13, 15}, {15, 15}, {16, 16}, {24, 16}};

const TableGroup& GroupFor(int largest) {
    for (const TableGroup& g : kGroups)
        if (g.largest >= largest) return g;
    return kGroups[sizeof(kGroups) / sizeof(kGroups[0]) - 1];
}
}  // namespace

HuffmanCoding::HuffmanCoding(const int* longEdges, const int* shortEdges, bool exhaustiveSplit)
    : longEdges_(longEdges), shortEdges_(shortEdges), exhaustive_(exhaustiveSplit) {}

int HuffmanCoding::PairBits(int table, int x, int y) {
    if (table == 0) return 0;
    const HuffmanTable& t = kHuffmanTables[table];
    const int cx = std::min(x, t.size - 1);
    const int cy = std::min(y, t.size - 1);
    int bits = t.lengths[cx * t.size + cy] + (x != 0) + (y != 0);
    if (t.linbits) bits += t.linbits * ((x >= 15) + (y >= 15));
    return bits;
}

void HuffmanCoding::BuildCumulative(int pairs) {
    escapes_[0] = 0;
    for (int p = 0; p < pairs; ++p) escapes_[p + 1] = escapes_[p] + (abs_[2 * p] >= 15) + (abs_[2 * p + 1] >= 15);
    // A region never uses a table of a group above that of the granule's largest value.
    int largest = 0;
    for (int i = 0; i < 2 * pairs; ++i) largest = std::max(largest, abs_[i]);
    const int reach = GroupFor(largest).largest;
    int used = 0;
    const HuffmanTable* tables[15];
    int* sums[15];
    for (const CodeTable& code : kCodeTables) {
        if (code.largest > reach) break;
        tables[used] = &kHuffmanTables[code.table];
        sums[used] = cum_[code.table];
        sums[used][0] = 0;
        ++used;
    }
    // One pass over the pairs, every table at once: each pair is read and clamped once.
    for (int p = 0; p < pairs; ++p) {
        const int x = abs_[2 * p], y = abs_[2 * p + 1];
        const int signs = (x != 0) + (y != 0);
        for (int k = 0; k < used; ++k) {
            const HuffmanTable& t = *tables[k];
            const int top = t.size - 1;
            const int cx = x < top ? x : top, cy = y < top ? y : top;
            sums[k][p + 1] = sums[k][p] + t.lengths[cx * t.size + cy] + signs;
        }
    }
}

int HuffmanCoding::BestTable(int startPair, int endPair, int& table) const {
    int largest = 0;
    for (int i = 2 * startPair; i < 2 * endPair; ++i) largest = std::max(largest, abs_[i]);
    return BestTableOf(startPair, endPair, largest, table);
}

int HuffmanCoding::BestTableOf(int startPair, int endPair, int largest, int& table) const {
    if (endPair <= startPair) {
        table = 0;
        return 0;
    }
    const TableGroup& g = GroupFor(largest);
    int best = -1;
    table = g.tables[0];
    for (int c = 0; c < g.count; ++c) {
        const int t = g.tables[c];
        int bits;
        if (t == 0) {
            bits = 0;
        } else if (t < 16) {
            bits = cum_[t][endPair] - cum_[t][startPair];
        } else {
            const int base = t < 24 ? 16 : 24;
            bits = cum_[base][endPair] - cum_[base][startPair] +
                   kHuffmanTables[t].linbits * (escapes_[endPair] - escapes_[startPair]);
        }
        if (best < 0 || bits < best) {
            best = bits;
            table = t;
        }
    }
    return best;
}

int HuffmanCoding::CountBits(GranuleChannel& gc) {
    for (int i = 0; i < 576; ++i) abs_[i] = std::abs(gc.ix[i]);

    int end = 576;
    while (end >= 2 && abs_[end - 1] == 0 && abs_[end - 2] == 0) end -= 2;

    int count1 = 0, bitsA = 0, bitsB = 0;
    int big = end;
    while (big >= 4) {
        const int v = abs_[big - 4], w = abs_[big - 3], x = abs_[big - 2], y = abs_[big - 1];
        if ((v | w | x | y) > 1) break;
        const int index = v * 8 + w * 4 + x * 2 + y;
        const int signs = v + w + x + y;
        bitsA += kCount1Tables[0].lengths[index] + signs;
        bitsB += 4 + signs;
        ++count1;
        big -= 4;
    }
    gc.count1 = count1;
    gc.count1table_select = bitsB < bitsA ? 1 : 0;
    gc.count1Bits = gc.count1table_select ? bitsB : bitsA;
    gc.big_values = big / 2;

    const int pairs = gc.big_values;
    BuildCumulative(pairs);

    if (gc.window_switching) {
        const int split = gc.block_type == 2 ? shortEdges_[3] * 3 : longEdges_[8];
        const int r0 = std::min(split, big);
        gc.region0_count = gc.block_type == 2 ? 8 : 7;
        gc.region1_count = 0;
        gc.regionEnd[0] = r0;
        gc.regionEnd[1] = big;
        gc.regionEnd[2] = big;
        int bits = BestTable(0, r0 / 2, gc.table_select[0]);
        bits += BestTable(r0 / 2, pairs, gc.table_select[1]);
        gc.table_select[2] = 0;
        gc.bigValueBits = bits;
        return bits + gc.count1Bits;
    }

    int bands = 0;
    while (bands < kLongBands && longEdges_[bands] < big) ++bands;
    // Regions start and end on band edges: the band maxima give each region's largest value.
    int bandMax[kLongBands + 1] = {};
    for (int b = 0; b < bands; ++b) {
        const int end = std::min(longEdges_[b + 1], big);
        for (int i = longEdges_[b]; i < end; ++i) bandMax[b] = std::max(bandMax[b], abs_[i]);
    }
    auto edge = [&](int band) { return std::min(longEdges_[std::min(band, kLongBands)], big) / 2; };
    auto rangeMax = [&](int b0, int b1) {
        int m = 0;
        for (int b = b0; b < b1 && b < bands; ++b) m = std::max(m, bandMax[b]);
        return m;
    };
    auto regionCost = [&](int b0, int b1, int& table) {
        return BestTableOf(edge(b0), b1 >= bands ? pairs : edge(b1), rangeMax(b0, b1), table);
    };

    // At 24000 Hz some decoders in wide use place the edge of band 18 two lines lower than the
    // standard does; a region that ends there would be read with the wrong table, so no region
    // ends at that band.
    const int avoid = longEdges_[17] == 278 && longEdges_[18] == 332 ? 18 : -1;
    int bestR0 = 1, bestR1 = 1;
    int bestTables[3] = {0, 0, 0};
    int bestBits = -1;
    if (exhaustive_ && bands >= 3) {
        int cost0[17], table0[17], cost2[kLongBands + 2], table2[kLongBands + 2];
        for (int r0 = 1; r0 <= 16 && r0 < bands; ++r0) cost0[r0] = regionCost(0, r0, table0[r0]);
        for (int start = 2; start < bands; ++start) cost2[start] = regionCost(start, kLongBands + 1, table2[start]);
        for (int r0 = 1; r0 <= 16; ++r0)
            for (int r1 = 1; r1 <= 8; ++r1) {
                if (r0 + r1 >= bands || r0 == avoid || r0 + r1 == avoid) continue;
                int table1;
                const int bits = cost0[r0] + regionCost(r0, r0 + r1, table1) + cost2[r0 + r1];
                if (bestBits < 0 || bits < bestBits) {
                    bestBits = bits;
                    bestR0 = r0;
                    bestR1 = r1;
                    bestTables[0] = table0[r0];
                    bestTables[1] = table1;
                    bestTables[2] = table2[r0 + r1];
                }
            }
    }
    if (bestBits < 0) {
        // One third of the bands (rounded half up) for region0, half of the rest for region1.
        int r0 = bands <= 1 ? 1 : std::min(16, (2 * bands + 3) / 6);
        if (r0 < 1) r0 = 1;
        const int rest = bands - r0;
        int r1 = rest < 1 ? 1 : std::min(8, rest == 1 ? 1 : (rest + 1) / 2);
        if (r0 + r1 > kLongBands) r1 = std::max(1, kLongBands - r0);
        if (r0 + r1 == avoid) r1 += r1 < 8 ? 1 : -1;
        bestR0 = r0;
        bestR1 = r1;
        bestBits = regionCost(0, r0, bestTables[0]) + regionCost(r0, r0 + r1, bestTables[1]) +
                   regionCost(r0 + r1, kLongBands + 1, bestTables[2]);
    }
    int bestEnds[3] = {edge(bestR0) * 2, edge(bestR0 + bestR1) * 2, big};
    gc.region0_count = bestR0 - 1;
    gc.region1_count = bestR1 - 1;
    std::copy(bestTables, bestTables + 3, gc.table_select);
    std::copy(bestEnds, bestEnds + 3, gc.regionEnd);
    gc.bigValueBits = bestBits;
    return bestBits + gc.count1Bits;
}

void HuffmanCoding::Write(BitBuffer& out, const GranuleChannel& gc) {
    int start = 0;
    const int regions = gc.window_switching ? 2 : 3;
    for (int r = 0; r < regions; ++r) {
        const int end = gc.regionEnd[r];
        const int table = gc.table_select[r];
        if (table != 0) {
            const HuffmanTable& t = kHuffmanTables[table];
            for (int i = start; i < end; i += 2) {
                const int x = std::abs(gc.ix[i]), y = std::abs(gc.ix[i + 1]);
                const int cx = std::min(x, 15), cy = std::min(y, 15);
                const int index = cx * t.size + cy;
                out.Write(t.codes[index], t.lengths[index]);
                if (t.linbits && x >= 15) out.Write(static_cast<uint32_t>(x - 15), t.linbits);
                if (x) out.Write(gc.ix[i] < 0 ? 1 : 0, 1);
                if (t.linbits && y >= 15) out.Write(static_cast<uint32_t>(y - 15), t.linbits);
                if (y) out.Write(gc.ix[i + 1] < 0 ? 1 : 0, 1);
            }
        }
        start = std::max(start, end);
    }
    const HuffmanQuadTable& q = kCount1Tables[gc.count1table_select];
    int i = gc.big_values * 2;
    for (int k = 0; k < gc.count1; ++k, i += 4) {
        const int v = gc.ix[i], w = gc.ix[i + 1], x = gc.ix[i + 2], y = gc.ix[i + 3];
        const int index = (v != 0) * 8 + (w != 0) * 4 + (x != 0) * 2 + (y != 0);
        out.Write(q.codes[index], q.lengths[index]);
        if (v) out.Write(v < 0, 1);
        if (w) out.Write(w < 0, 1);
        if (x) out.Write(x < 0, 1);
        if (y) out.Write(y < 0, 1);
    }
}

}  // namespace brannoc
