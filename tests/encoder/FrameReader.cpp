#include "FrameReader.h"

#include <cstring>

namespace {
const int kBitrates[2][15] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
const int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

struct Bits {
    const uint8_t* p;
    size_t pos = 0;
    uint32_t Get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++pos) v = (v << 1) | ((p[pos / 8] >> (7 - pos % 8)) & 1);
        return v;
    }
};

uint16_t Crc16(const uint8_t* data, int count, uint16_t crc) {
    for (int i = 0; i < count; ++i) {
        for (int b = 7; b >= 0; --b) {
            const bool feedback = ((crc & 0x8000) != 0) != (((data[i] >> b) & 1) != 0);
            crc = static_cast<uint16_t>(crc << 1);
            if (feedback) crc ^= 0x8005;
        }
    }
    return crc;
}

uint8_t Crc8(const uint8_t* data, int count) {
    uint32_t reg = 0xFF;
    for (int i = 0; i < count; ++i)
        for (int b = 7; b >= 0; --b) {
            const bool feedback = ((reg & 0x80) != 0) != (((data[i] >> b) & 1) != 0);
            reg = (reg << 1) & 0xFF;
            if (feedback) reg ^= 0x45;
        }
    return static_cast<uint8_t>(reg);
}
}  // namespace

StreamInfo ReadStream(const std::vector<uint8_t>& mp3) {
    StreamInfo s;
    std::vector<uint8_t> reservoir;  // main data of all frames so far
    size_t pos = 0;
    while (pos + 4 <= mp3.size()) {
        const uint8_t* h = mp3.data() + pos;
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) {
            s.error = "lost sync at byte " + std::to_string(pos);
            return s;
        }
        FrameInfo f;
        const int versionBits = (h[1] >> 3) & 3;
        if (versionBits == 1 || ((h[1] >> 1) & 3) != 1) {
            s.error = "not a Layer III header";
            return s;
        }
        f.version = versionBits == 3 ? 0 : (versionBits == 2 ? 1 : 2);
        f.hasCrc = (h[1] & 1) == 0;
        f.bitrateIndex = h[2] >> 4;
        const int rateIndex = (h[2] >> 2) & 3;
        if (f.bitrateIndex == 0 || f.bitrateIndex == 15 || rateIndex == 3) {
            s.error = "bad bitrate or rate index";
            return s;
        }
        f.rate = kRates[f.version][rateIndex];
        f.padding = (h[2] >> 1) & 1;
        f.privateBit = h[2] & 1;
        f.mode = h[3] >> 6;
        f.modeExtension = (h[3] >> 4) & 3;
        f.copyright = (h[3] >> 3) & 1;
        f.original = (h[3] >> 2) & 1;
        f.granules = f.version == 0 ? 2 : 1;
        f.channels = f.mode == 3 ? 1 : 2;
        const int bitrate = kBitrates[f.version == 0 ? 0 : 1][f.bitrateIndex] * 1000;
        f.size = (f.version == 0 ? 144 : 72) * bitrate / f.rate + f.padding;
        if (pos + static_cast<size_t>(f.size) > mp3.size()) {
            s.error = "truncated frame";
            return s;
        }
        const int sideBytes = f.version == 0 ? (f.channels == 1 ? 17 : 32) : (f.channels == 1 ? 9 : 17);
        const int headBytes = 4 + (f.hasCrc ? 2 : 0);
        f.vbri = f.size > 40 && std::memcmp(h + 36, "VBRI", 4) == 0;
        if (f.hasCrc) {
            uint16_t crc = Crc16(h + 2, 2, 0xFFFF);
            crc = Crc16(h + 6, sideBytes, crc);
            f.crcOk = crc == ((h[4] << 8) | h[5]);
        }
        Bits b{h + headBytes};
        f.mainDataBegin = static_cast<int>(b.Get(f.version == 0 ? 9 : 8));
        b.Get(f.version == 0 ? (f.channels == 1 ? 5 : 3) : (f.channels == 1 ? 1 : 2));
        if (f.version == 0) b.Get(4 * f.channels);
        int used = 0;
        for (int g = 0; g < f.granules; ++g)
            for (int c = 0; c < f.channels; ++c) {
                f.part23[g][c] = static_cast<int>(b.Get(12));
                used += f.part23[g][c];
                b.Get(9 + 8 + (f.version == 0 ? 4 : 9));
                if (b.Get(1)) {
                    f.blockType[g][c] = static_cast<int>(b.Get(2));
                    b.Get(1 + 10 + 9);
                } else {
                    b.Get(15 + 7);
                }
                b.Get(f.version == 0 ? 3 : 2);
            }
        if (!f.vbri) {
            const int slot = f.size - headBytes - sideBytes;
            if (f.mainDataBegin > static_cast<int>(reservoir.size())) {
                s.error = "main_data_begin reaches before the stream";
                return s;
            }
            const size_t start = reservoir.size() - static_cast<size_t>(f.mainDataBegin);
            reservoir.insert(reservoir.end(), h + headBytes + sideBytes, h + headBytes + sideBytes + slot);
            const size_t endBits = reservoir.size() * 8;
            const size_t granuleEnd = start * 8 + static_cast<size_t>(used);
            if (granuleEnd > endBits) {
                s.error = "granules run past the frame";
                return s;
            }
            // The frame's ancillary bits run up to where the next frame's main data starts; they are
            // known once that frame is read, so keep the tail for now.
            f.ancillaryBits = static_cast<int>(endBits - granuleEnd);
            Bits a{reservoir.data(), granuleEnd};
            for (int i = 0; i < f.ancillaryBits / 8; ++i) f.ancillary.push_back(static_cast<uint8_t>(a.Get(8)));
            if (f.ancillaryBits % 8)
                f.ancillary.push_back(static_cast<uint8_t>(a.Get(f.ancillaryBits % 8) << (8 - f.ancillaryBits % 8)));
            if (!s.frames.empty() && !s.frames.back().vbri) {
                FrameInfo& prev = s.frames.back();
                // Whatever the new frame takes from the reservoir was not the previous frame's.
                const int taken = f.mainDataBegin * 8;
                prev.ancillaryBits = std::max(0, prev.ancillaryBits - taken);
                prev.ancillary.resize(static_cast<size_t>((prev.ancillaryBits + 7) / 8));
            }
        }
        s.frames.push_back(f);
        pos += static_cast<size_t>(f.size);
    }
    if (pos != mp3.size()) s.error = "trailing bytes";
    return s;
}

bool FindInfoBlock(const StreamInfo& stream, int& delay, uint32_t& value) {
    for (const FrameInfo& f : stream.frames) {
        // The block is not byte aligned: look at every bit offset.
        const std::vector<uint8_t>& a = f.ancillary;
        const int bits = f.ancillaryBits;
        for (int off = 0; off + 64 <= bits; ++off) {
            uint8_t block[8];
            Bits r{a.data(), static_cast<size_t>(off)};
            for (uint8_t& x : block) x = static_cast<uint8_t>(r.Get(8));
            if (block[0] == 0xB0 && Crc8(block, 7) == block[7]) {
                delay = (block[1] << 8) | block[2];
                value = (static_cast<uint32_t>(block[3]) << 24) | (block[4] << 16) | (block[5] << 8) | block[6];
                return true;
            }
        }
    }
    return false;
}
