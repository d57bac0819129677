#include "media/tags/OggLength.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelvar {

namespace {

constexpr long kChunk = 4096;
// How far the start may be searched for the first page, and the end for the last one (a page
// is at most 65,307 bytes).
constexpr long kMaxStartSearch = 256 * 1024;
constexpr long kTail = 65536 + 1024;

// Little-endian bit fields of a packet, as the Vorbis headers pack them.
class TBits {
public:
    TBits(const unsigned char* data, size_t bytes) : FData(data), FBits(bytes * 8) {}
    size_t Count() const { return FBits; }
    bool Bit(size_t at) const { return (FData[at >> 3] >> (at & 7)) & 1; }
    // Width bits from At on, or -1 past the end.
    long Field(size_t at, int width) const {
        if (at + static_cast<size_t>(width) > FBits) return -1;
        long v = 0;
        for (int k = 0; k < width; ++k) v |= long(Bit(at + static_cast<size_t>(k))) << k;
        return v;
    }

private:
    const unsigned char* FData;
    size_t FBits;
};

int ILog(unsigned v) {
    int bits = 0;
    for (; v; v >>= 1) ++bits;
    return bits;
}

struct TVorbisSetup {
    int32_t Rate = 0;
    long BlockSizes[2] = {0, 0};
    std::vector<bool> ModeLong;  // the block flag of each mode
};

// The identification header as the decoder library accepts it.
bool ReadIdHeader(const ogg_packet& p, TVorbisSetup& setup) {
    if (p.bytes < 30 || p.packet[0] != 1 || std::memcmp(p.packet + 1, "vorbis", 6) != 0) return false;
    const unsigned char* b = p.packet;
    const uint32_t version = b[7] | (b[8] << 8) | (b[9] << 16) | (uint32_t(b[10]) << 24);
    const uint32_t rate = b[12] | (b[13] << 8) | (b[14] << 16) | (uint32_t(b[15]) << 24);
    const int small = b[28] & 15, large = b[28] >> 4;
    if (version != 0 || b[11] == 0 || rate == 0 || rate > 0x7FFFFFFF || small < 6 || large < small || large > 13 ||
        (b[29] & 1) == 0)
        return false;
    setup.Rate = static_cast<int32_t>(rate);
    setup.BlockSizes[0] = 1L << small;
    setup.BlockSizes[1] = 1L << large;
    return true;
}

// The modes close the setup header, so they are read from its end backwards: before the
// framing bit, 41 bits per mode (block flag, window type 0, transform type 0, mapping below 64)
// and before them the 6-bit count less one. The longest run of such modes whose count matches
// is taken, as other readers that skip the codebooks do.
bool ReadModes(const ogg_packet& p, TVorbisSetup& setup) {
    if (p.bytes < 8 || p.packet[0] != 5 || std::memcmp(p.packet + 1, "vorbis", 6) != 0) return false;
    const TBits bits(p.packet, static_cast<size_t>(p.bytes));
    size_t framing = bits.Count();
    while (framing > 56 && !bits.Bit(framing - 1)) --framing;
    if (framing <= 56) return false;
    const size_t end = framing - 1;  // the framing bit itself
    size_t count = 0;
    for (size_t m = 1; m <= 64 && 41 * m + 6 + 56 <= end; ++m) {
        const size_t start = end - 41 * m;
        if (bits.Field(start + 1, 16) != 0 || bits.Field(start + 17, 16) != 0 || bits.Field(start + 33, 8) > 63) break;
        if (static_cast<size_t>(bits.Field(start - 6, 6)) + 1 == m) count = m;
    }
    if (count == 0) return false;
    setup.ModeLong.clear();
    for (size_t j = 0; j < count; ++j) setup.ModeLong.push_back(bits.Bit(end - 41 * (count - j)));
    return true;
}

// The block size of an audio packet; -1 for anything else (the library skips those too).
long PacketBlockSize(const ogg_packet& p, const TVorbisSetup& setup) {
    if (p.bytes <= 0) return -1;
    const TBits bits(p.packet, static_cast<size_t>(p.bytes));
    if (bits.Bit(0)) return -1;
    const long mode = bits.Field(1, ILog(static_cast<unsigned>(setup.ModeLong.size() - 1)));
    if (mode < 0 || static_cast<size_t>(mode) >= setup.ModeLong.size()) return -1;
    return setup.BlockSizes[setup.ModeLong[static_cast<size_t>(mode)] ? 1 : 0];
}

class TPageReader {
public:
    explicit TPageReader(std::FILE* file) : FFile(file) { ogg_sync_init(&FSync); }
    ~TPageReader() { ogg_sync_clear(&FSync); }
    TPageReader(const TPageReader&) = delete;
    TPageReader& operator=(const TPageReader&) = delete;

    // The next whole page with a good checksum; false at the end or after Limit bytes.
    bool Next(ogg_page& page, long limit = -1) {
        for (;;) {
            const long r = ogg_sync_pageseek(&FSync, &page);
            if (r > 0) return true;
            if (r < 0) continue;
            if (limit >= 0 && FRead >= limit) return false;
            char* buffer = ogg_sync_buffer(&FSync, kChunk);
            const size_t n = buffer ? std::fread(buffer, 1, kChunk, FFile) : 0;
            if (n == 0) return false;
            ogg_sync_wrote(&FSync, static_cast<long>(n));
            FRead += static_cast<long>(n);
        }
    }

private:
    std::FILE* FFile;
    ogg_sync_state FSync;
    long FRead = 0;
};

struct TStream {
    explicit TStream(int serial) { ogg_stream_init(&State, serial); }
    ~TStream() { ogg_stream_clear(&State); }
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    ogg_stream_state State;
};

// The granule position of the file's last page when it belongs to Serial.
bool LastGranule(std::FILE* file, int serial, int64_t& granule) {
    if (fseeko(file, 0, SEEK_END) != 0) return false;
    const off_t size = ftello(file);
    if (size <= 0) return false;
    const off_t from = std::max<off_t>(0, size - kTail);
    if (fseeko(file, from, SEEK_SET) != 0) return false;
    TPageReader reader(file);
    ogg_page page;
    bool any = false;
    int lastSerial = 0;
    while (reader.Next(page)) {
        any = true;
        lastSerial = ogg_page_serialno(&page);
        granule = ogg_page_granulepos(&page);
    }
    return any && lastSerial == serial && granule >= 0;
}

}  // namespace

bool OggVorbisLength(std::FILE* file, int64_t& frames, int32_t& rate) {
    std::rewind(file);
    TPageReader reader(file);
    ogg_page page;
    if (!reader.Next(page, kMaxStartSearch) || !ogg_page_bos(&page)) return false;
    const int serial = ogg_page_serialno(&page);
    TStream stream(serial);
    TVorbisSetup setup;
    ogg_packet packet;
    int headers = 0;
    bool onPage = ogg_stream_pagein(&stream.State, &page) == 0;
    // The three headers, then the first audio page that ends a packet: its position less the
    // samples its packets make is where the stream starts.
    int64_t accumulated = 0;
    long lastBlock = -1;
    int64_t start = 1;
    while (onPage) {
        // Only a page after the one that ends the headers counts (as for the library).
        const bool audioPage = headers == 3;
        for (;;) {
            const int r = ogg_stream_packetout(&stream.State, &packet);
            if (r == 0) break;
            if (r < 0) {
                if (headers < 3) return false;
                continue;  // a hole among the audio packets
            }
            if (headers == 0) {
                if (!ReadIdHeader(packet, setup)) return false;
            } else if (headers == 2) {
                if (!ReadModes(packet, setup)) return false;
            }
            if (headers < 3) {
                ++headers;
                continue;
            }
            const long block = PacketBlockSize(packet, setup);
            if (block < 0) continue;
            if (lastBlock != -1) accumulated += (lastBlock + block) >> 2;
            lastBlock = block;
        }
        if (audioPage && ogg_page_granulepos(&page) != -1) {
            start = ogg_page_granulepos(&page) - accumulated;
            break;
        }
        if (!reader.Next(page)) return false;
        // A second stream beside ours: the library's own walk decides.
        if (ogg_page_serialno(&page) != serial || ogg_page_bos(&page)) return false;
        onPage = ogg_stream_pagein(&stream.State, &page) == 0;
    }
    // A stream cut from a longer one starts later; so few files do that the library counts
    // them, which also keeps the modes read from the end out of their count. An earlier
    // start is the usual trim of the first samples: 0.
    if (start > 0) return false;
    int64_t last = 0;
    if (!LastGranule(file, serial, last)) return false;
    frames = last;
    rate = setup.Rate;
    return true;
}

}  // namespace kelvar
