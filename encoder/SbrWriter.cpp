#include "encoder/SbrWriter.h"

namespace brannoc {

namespace {

struct Sink {
    BitBuffer* out;
    int bits = 0;
    void Put(int value, int n) {
        if (out != nullptr) out->Write(static_cast<uint32_t>(value) & ((1u << n) - 1u), n);
        bits += n;
    }
};

int CeilLog2(int n) {
    int bits = 0;
    while ((1 << bits) < n) ++bits;
    return bits;
}

}  // namespace

int SbrWriteHeader(BitBuffer* out, const SbrHeader& h, bool singleChannel) {
    Sink s{out};
    s.Put(h.leading, 2);
    s.Put(h.amplitudeResolution, 1);
    s.Put(h.startIndex, 4);
    s.Put(h.stopIndex, 4);
    s.Put(h.crossoverBand, 3);
    s.Put(0, 2);
    s.Put(h.headerFlag, 1);
    s.Put(h.extension1, 1);
    s.Put(h.extension2, 1);
    if (singleChannel) s.Put(h.midSideClass, 2);
    if (h.extension1) {
        s.Put(h.frequencyScale, 2);
        s.Put(h.alterScale, 1);
        s.Put(h.noiseBands, 2);
    }
    if (h.extension2) {
        s.Put(h.limiterBands, 2);
        s.Put(h.limiterGains, 2);
        s.Put(h.interpolation, 1);
        s.Put(h.smoothing, 1);
        s.Put(0, 1);
    }
    return s.bits;
}

int SbrWriteGrid(BitBuffer* out, const SbrGridControl& c, int fixfixResolution) {
    Sink s{out};
    s.Put(c.frameClass, 2);
    switch (c.frameClass) {
        case kFixFix:
            s.Put(CeilLog2(c.envelopes), 2);
            s.Put(fixfixResolution, 1);
            break;
        case kFixVar:
        case kVarFix: {
            s.Put(c.frameClass == kFixVar ? c.absEnd - 9 : c.absStart, 3);
            const int n = c.frameClass == kFixVar ? c.trailCount : c.leadCount;
            const int* rel = c.frameClass == kFixVar ? c.trail : c.lead;
            s.Put(n, 2);
            for (int i = 0; i < n; ++i) s.Put((rel[i] - 2) / 2, 2);
            s.Put(c.pointer, CeilLog2(n + 2));
            // FIXVAR lists its resolutions from the last envelope back.
            for (int i = 0; i <= n; ++i) s.Put(c.resolution[c.frameClass == kFixVar ? n - i : i], 1);
            break;
        }
        default: {
            s.Put(c.absStart, 3);
            s.Put(c.absEnd - 9, 3);
            s.Put(c.leadCount, 2);
            s.Put(c.trailCount, 2);
            for (int i = 0; i < c.leadCount; ++i) s.Put((c.lead[i] - 2) / 2, 2);
            for (int i = 0; i < c.trailCount; ++i) s.Put((c.trail[i] - 2) / 2, 2);
            s.Put(c.pointer, CeilLog2(c.leadCount + c.trailCount + 2));
            for (int i = 0; i <= c.leadCount + c.trailCount; ++i) s.Put(c.resolution[i], 1);
            break;
        }
    }
    return s.bits;
}

int SbrProtectedBits(bool crc, bool pair, bool withHeader) {
    if (!crc) return 0;
    if (pair) return withHeader ? 136 : 104;
    return withHeader ? 88 : 56;
}

}  // namespace brannoc
