#include "media/tags/VCEdit.h"

#include <cstring>

#include <vorbis/codec.h>

namespace kelvar {

namespace {

constexpr size_t kChunk = 4096;
// How much leading data may precede the first Ogg page before the input counts as no Ogg.
constexpr size_t kMaxSearch = 256 * 1024;

void PutLE32(std::vector<unsigned char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

uint32_t GetLE32(const unsigned char* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool IsHeader(const std::vector<unsigned char>& packet, unsigned char type) {
    return packet.size() >= 7 && packet[0] == type && std::memcmp(packet.data() + 1, "vorbis", 6) == 0;
}

}  // namespace

std::vector<unsigned char> BuildCommentPacket(const std::string& vendor, const std::vector<std::string>& comments) {
    std::vector<unsigned char> out = {0x03, 'v', 'o', 'r', 'b', 'i', 's'};
    PutLE32(out, static_cast<uint32_t>(vendor.size()));
    out.insert(out.end(), vendor.begin(), vendor.end());
    PutLE32(out, static_cast<uint32_t>(comments.size()));
    for (const auto& c : comments) {
        PutLE32(out, static_cast<uint32_t>(c.size()));
        out.insert(out.end(), c.begin(), c.end());
    }
    out.push_back(0x01);
    return out;
}

bool ParseCommentPacket(const unsigned char* data, size_t length, std::string& vendor,
                        std::vector<std::string>& comments) {
    vendor.clear();
    comments.clear();
    if (length < 7 + 4 || data[0] != 0x03 || std::memcmp(data + 1, "vorbis", 6) != 0) return false;
    size_t pos = 7;
    auto take = [&](std::string& out) {
        if (length - pos < 4) return false;
        const uint32_t n = GetLE32(data + pos);
        pos += 4;
        if (n > length - pos) return false;
        out.assign(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        return true;
    };
    if (!take(vendor)) return false;
    if (length - pos < 4) return false;
    const uint32_t count = GetLE32(data + pos);
    pos += 4;
    // Every comment needs at least its 4 length bytes: no count can claim more.
    if (count > (length - pos) / 4) return false;
    comments.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::string c;
        if (!take(c)) return false;
        comments.push_back(std::move(c));
    }
    return true;
}

TVCEditState::TVCEditState() {
    ogg_sync_init(&FSync);
    std::memset(&FStream, 0, sizeof(FStream));
}

TVCEditState::~TVCEditState() {
    Clear();
    ogg_sync_clear(&FSync);
}

void TVCEditState::Clear() {
    if (FStreamInit) ogg_stream_clear(&FStream);
    FStreamInit = false;
    ogg_sync_reset(&FSync);
    FOpen = false;
    FRead = nullptr;
    Comments.clear();
    Vendor.clear();
    FIdHeader.clear();
    FSetupHeader.clear();
    FHeaderPages = 0;
    FHeaderEndsStream = false;
}

bool TVCEditState::Fail(const std::string& message) {
    FLastError = message;
    return false;
}

bool TVCEditState::NextPage(ogg_page& page) {
    for (;;) {
        const int r = ogg_sync_pageout(&FSync, &page);
        if (r == 1) return true;
        if (r < 0) continue;  // skipped bytes that were no page
        char* buffer = ogg_sync_buffer(&FSync, kChunk);
        if (!buffer || !FRead) return false;
        const size_t n = FRead(buffer, kChunk);
        if (n == 0) return false;
        ogg_sync_wrote(&FSync, static_cast<long>(n));
    }
}

bool TVCEditState::Open(TReadFunc read) {
    Clear();
    FLastError.clear();
    FRead = std::move(read);

    ogg_page page;
    size_t searched = 0;
    for (;;) {
        const int r = ogg_sync_pageout(&FSync, &page);
        if (r == 1) break;
        if (searched >= kMaxSearch) return Fail("Input is not an Ogg bitstream");
        char* buffer = ogg_sync_buffer(&FSync, kChunk);
        const size_t n = buffer ? FRead(buffer, kChunk) : 0;
        if (n == 0) return Fail("Input is not an Ogg bitstream");
        ogg_sync_wrote(&FSync, static_cast<long>(n));
        searched += n;
    }
    if (!ogg_page_bos(&page)) return Fail("Input is not an Ogg bitstream");
    FSerial = ogg_page_serialno(&page);
    FFirstPageNo = ogg_page_pageno(&page);
    ogg_stream_init(&FStream, static_cast<int>(FSerial));
    FStreamInit = true;
    if (ogg_stream_pagein(&FStream, &page) < 0) return Fail("Error reading first page of Ogg bitstream");
    FHeaderPages = 1;

    ogg_packet packet;
    if (ogg_stream_packetout(&FStream, &packet) != 1) return Fail("Error reading initial header packet");
    if (vorbis_synthesis_idheader(&packet) != 1) return Fail("Ogg bitstream does not contain Vorbis data");
    FIdHeader.assign(packet.packet, packet.packet + packet.bytes);

    std::vector<unsigned char> comment;
    int found = 0;
    while (found < 2) {
        const int r = ogg_stream_packetout(&FStream, &packet);
        if (r < 0) return Fail("Corrupt secondary header");
        if (r == 1) {
            auto& target = found == 0 ? comment : FSetupHeader;
            target.assign(packet.packet, packet.packet + packet.bytes);
            ++found;
            continue;
        }
        if (!NextPage(page)) return Fail("EOF before end of Vorbis headers");
        if (ogg_page_serialno(&page) != FSerial) return Fail("Multiplexed Ogg streams are not supported");
        if (ogg_stream_pagein(&FStream, &page) < 0) return Fail("Corrupt secondary header");
        ++FHeaderPages;
        if (ogg_page_eos(&page)) FHeaderEndsStream = true;
    }
    if (!ParseCommentPacket(comment.data(), comment.size(), Vendor, Comments)) return Fail("Corrupt comment header");
    if (!IsHeader(FSetupHeader, 0x05)) return Fail("Corrupt codebook header");
    // Audio packets begin on a fresh page; a stream that packs them after the headers can't be
    // re-paged without touching the audio.
    if (ogg_stream_packetpeek(&FStream, nullptr) == 1) return Fail("Audio data shares a page with the Vorbis headers");
    FOpen = true;
    return true;
}

bool TVCEditState::Write(const TWriteFunc& output) {
    if (!FOpen) return Fail("No Ogg Vorbis stream open");
    auto writePage = [&](const ogg_page& p) {
        return output(p.header, static_cast<size_t>(p.header_len)) && output(p.body, static_cast<size_t>(p.body_len));
    };

    ogg_stream_state out;
    ogg_stream_init(&out, static_cast<int>(FSerial));
    std::vector<unsigned char> comment = BuildCommentPacket(Vendor, Comments);
    auto packetIn = [&](std::vector<unsigned char>& data, int64_t number, bool last) {
        ogg_packet p{};
        p.packet = data.data();
        p.bytes = static_cast<long>(data.size());
        p.b_o_s = number == 0;
        p.e_o_s = last && FHeaderEndsStream;
        p.granulepos = 0;
        p.packetno = number;
        ogg_stream_packetin(&out, &p);
    };
    int newPages = 0;
    bool ok = true;
    ogg_page page;
    packetIn(FIdHeader, 0, false);
    while (ok && ogg_stream_flush(&out, &page)) {
        ok = writePage(page);
        ++newPages;
    }
    packetIn(comment, 1, false);
    packetIn(FSetupHeader, 2, true);
    while (ok && ogg_stream_flush(&out, &page)) {
        ok = writePage(page);
        ++newPages;
    }
    ogg_stream_clear(&out);
    if (!ok) return Fail("Cannot write to output");

    // Our stream's audio pages continue the new header's page numbering.
    const int64_t shift = int64_t(newPages) - (FFirstPageNo + FHeaderPages);
    bool renumber = shift != 0 && !FHeaderEndsStream;
    while (NextPage(page)) {
        if (renumber && ogg_page_serialno(&page) == FSerial) {
            const int64_t number = ogg_page_pageno(&page) + shift;
            const auto n = static_cast<uint32_t>(number);
            for (int i = 0; i < 4; ++i) page.header[18 + i] = static_cast<unsigned char>(n >> (8 * i));
            if (ogg_page_eos(&page)) renumber = false;
            ogg_page_checksum_set(&page);
        }
        if (!writePage(page)) return Fail("Cannot write to output");
    }
    return true;
}

}  // namespace kelvar
