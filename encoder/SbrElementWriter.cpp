#include "encoder/SbrElementWriter.h"

#include "encoder/SbrWriter.h"

#include <algorithm>

namespace brannoc {

namespace {

struct Sink {
    BitBuffer* out;
    int bits = 0;
    void Put(uint32_t value, int n) {
        if (n <= 0) return;
        if (out != nullptr) out->Write(value & (n >= 32 ? 0xFFFFFFFFu : ((1u << n) - 1u)), n);
        bits += n;
    }
    void Code(const SbrHuffmanTable& t, int value) {
        const int i = std::clamp(value, -t.lav, t.lav) + t.lav;
        Put(t.codes[i], t.lengths[i]);
    }
};

void Envelope(Sink& s, const SbrChannelFrame& c, bool balance, const SbrHuffmanSet& t) {
    const SbrHuffmanTable& freq = balance ? t.balanceFreq : t.levelFreq;
    const SbrHuffmanTable& time = balance ? t.balanceTime : t.levelTime;
    // First value: 7 bits for 1.5 dB levels, 6 for 3.0 dB levels and 1.5 dB balances, 5 for 3.0 dB balances.
    const int firstBits = t.amplitudeResolution == 0 ? (balance ? 6 : 7) : (balance ? 5 : 6);
    for (int e = 0; e < c.info.envelopes; ++e) {
        const int n = c.info.resolution[e] ? c.bandsHigh : c.bandsLow;
        if (c.envelopeFlags[e] == 0) {
            s.Put(static_cast<uint32_t>(c.envelope[e][0]), firstBits);
            for (int b = 1; b < n; ++b) s.Code(freq, c.envelope[e][b]);
        } else {
            for (int b = 0; b < n; ++b) s.Code(time, c.envelope[e][b]);
        }
    }
}

void Noise(Sink& s, const SbrChannelFrame& c, bool balance, const SbrHuffmanSet& t) {
    const SbrHuffmanTable& freq = balance ? t.noiseBalanceFreq : t.noiseLevelFreq;
    const SbrHuffmanTable& time = balance ? t.noiseBalanceTime : t.noiseLevelTime;
    for (int q = 0; q < c.info.noiseEnvelopes; ++q) {
        if (c.noiseFlags[q] == 0) {
            s.Put(static_cast<uint32_t>(c.noise[q][0]), 5);
            for (int b = 1; b < c.noiseBands; ++b) s.Code(freq, c.noise[q][b]);
        } else {
            for (int b = 0; b < c.noiseBands; ++b) s.Code(time, c.noise[q][b]);
        }
    }
}

void Flags(Sink& s, const SbrChannelFrame& c) {
    for (int e = 0; e < c.info.envelopes; ++e) s.Put(static_cast<uint32_t>(c.envelopeFlags[e]), 1);
    for (int q = 0; q < c.info.noiseEnvelopes; ++q) s.Put(static_cast<uint32_t>(c.noiseFlags[q]), 1);
}

void Sinusoids(Sink& s, const SbrChannelFrame& c) {
    if (c.sinusoids == nullptr) {
        s.Put(0, 1);
        return;
    }
    s.bits += SbrWriteSinusoids(s.out, *c.sinusoids);
}

int Header(Sink& s, const SbrHeader& h, const SbrHeaderState& st, bool single) {
    if (!st.sendHeader) return 0;
    const int bits = SbrWriteHeader(s.out, h, single);
    s.bits += bits;
    return bits;
}

}  // namespace

SbrHuffmanSet SbrStandardHuffmanSet(int amplitudeResolution) {
    using Id = SbrHuffmanTableId;
    const bool fine = amplitudeResolution == 0;
    SbrHuffmanSet s;
    s.levelFreq = SbrStandardTable(fine ? Id::kEnvelopeFreq15 : Id::kEnvelopeFreq30);
    s.levelTime = SbrStandardTable(fine ? Id::kEnvelopeTime15 : Id::kEnvelopeTime30);
    s.balanceFreq = SbrStandardTable(fine ? Id::kBalanceFreq15 : Id::kBalanceFreq30);
    s.balanceTime = SbrStandardTable(fine ? Id::kBalanceTime15 : Id::kBalanceTime30);
    // Noise floors: time deltas have tables of their own, frequency deltas use the 3.0 dB envelope ones.
    s.noiseLevelFreq = SbrStandardTable(Id::kEnvelopeFreq30);
    s.noiseLevelTime = SbrStandardTable(Id::kNoiseTime30);
    s.noiseBalanceFreq = SbrStandardTable(Id::kBalanceFreq30);
    s.noiseBalanceTime = SbrStandardTable(Id::kNoiseBalanceTime30);
    s.amplitudeResolution = amplitudeResolution;
    return s;
}

SbrElementBits SbrWriteSingle(BitBuffer* out, const SbrHeader& h, const SbrHeaderState& st, const SbrChannelFrame& c,
                              const SbrHuffmanSet& t) {
    Sink s{out};
    SbrElementBits r;
    r.header = Header(s, h, st, true);
    s.Put(static_cast<uint32_t>(h.dualRate), 1);
    s.Put(static_cast<uint32_t>(h.mode3), 1);
    s.bits += SbrWriteGrid(out, c.grid, c.fixfixResolution);
    Flags(s, c);
    s.Put(static_cast<uint32_t>(c.invfMode), 2);
    s.Put(static_cast<uint32_t>(c.channelValue), 2);
    if (h.headerFlag) s.Put(static_cast<uint32_t>(c.perChannelMode), 3);
    Envelope(s, c, false, t);
    Noise(s, c, false, t);
    Sinusoids(s, c);
    s.Put(0, 1);
    r.payload = s.bits - r.header;
    r.protectedBits = SbrProtectedBits(st.crc, false, r.header > 0);
    return r;
}

SbrElementBits SbrWritePair(BitBuffer* out, const SbrHeader& h, const SbrHeaderState& st, const SbrChannelFrame& l,
                            const SbrChannelFrame& rt, bool coupled, const SbrHuffmanSet& t) {
    Sink s{out};
    SbrElementBits r;
    r.header = Header(s, h, st, false);
    s.Put(static_cast<uint32_t>(h.dualRate), 1);
    s.Put(coupled ? 1u : 0u, 1);
    if (coupled) {
        s.bits += SbrWriteGrid(out, l.grid, l.fixfixResolution);
        Flags(s, l);
        Flags(s, rt);
        s.Put(static_cast<uint32_t>(l.invfMode), 2);
        s.Put(static_cast<uint32_t>(l.channelValue), 2);
        if (h.headerFlag) s.Put(static_cast<uint32_t>(l.perChannelMode), 3);
        Envelope(s, l, false, t);
        Noise(s, l, false, t);
        Envelope(s, rt, true, t);
        Noise(s, rt, true, t);
        Sinusoids(s, l);
        Sinusoids(s, rt);
        s.Put(0, 1);
    } else {
        s.bits += SbrWriteGrid(out, l.grid, l.fixfixResolution);
        s.bits += SbrWriteGrid(out, rt.grid, rt.fixfixResolution);
        Flags(s, l);
        Flags(s, rt);
        s.Put(static_cast<uint32_t>(l.invfMode), 2);
        s.Put(static_cast<uint32_t>(rt.invfMode), 2);
        s.Put(static_cast<uint32_t>(l.channelValue), 2);
        s.Put(static_cast<uint32_t>(rt.channelValue), 2);
        if (h.headerFlag) {
            s.Put(static_cast<uint32_t>(l.perChannelMode), 3);
            s.Put(static_cast<uint32_t>(rt.perChannelMode), 3);
        }
        Envelope(s, l, false, t);
        Envelope(s, rt, false, t);
        Noise(s, l, false, t);
        Noise(s, rt, false, t);
        Sinusoids(s, l);
        Sinusoids(s, rt);
        s.Put(0, 1);
        s.Put(0, 1);
    }
    r.payload = s.bits - r.header;
    r.protectedBits = SbrProtectedBits(st.crc, true, r.header > 0);
    return r;
}

}  // namespace brannoc
