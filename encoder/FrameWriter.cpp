#include "encoder/FrameWriter.h"

#include "encoder/HuffmanCoding.h"

#include <algorithm>
#include <cstring>

namespace brannoc {

namespace {
// The fill pattern of the ancillary data: 0xFE 0xFE and 48 fixed bytes, read with a fixed bit order.
const uint8_t kFillBytes[50] = {
    0xFE, 0xFE, 0x4B, 0x65, 0x6C, 0x76, 0x61, 0x72, 0x20, 0x42, 0x72, 0x61, 0x6E, 0x6E, 0x6F, 0x63, 0x20,
    0x4D, 0x50, 0x33, 0x20, 0x65, 0x6E, 0x63, 0x6F, 0x64, 0x65, 0x72, 0x20, 0x66, 0x69, 0x6C, 0x6C, 0x20,
    0x64, 0x61, 0x74, 0x61, 0x20, 0x2D, 0x2D, 0x2D, 0x2D, 0x2D, 0x2D, 0x2D, 0x2D, 0x2D, 0x2D, 0x2D,
};
const int kFillBitOrder[8] = {7, 6, 2, 3, 4, 5, 1, 0};
constexpr int kFillBits = 400;
}  // namespace

FrameWriter::FrameWriter() : head_(78128), main_(65536) { frameSizes_.reserve(kQueueSize); }

bool FrameWriter::Configure(const FrameHeaderSettings& settings) {
    if (!IsMpegRate(settings.rate) || settings.mode < 1 || settings.mode > 3) return false;
    settings_ = settings;
    version_ = VersionOfRate(settings.rate);
    granules_ = GranulesPerFrame(settings.rate);
    channels_ = settings.mode == 3 ? 1 : 2;
    sideInfoBits_ = SideInfoBits(version_, channels_);
    headerBits_ = 32 + (settings.crc ? 16 : 0) + sideInfoBits_;
    reservoir_ = 0;
    fillPosition_ = 0;
    head_.Clear();
    main_.Clear();
    queueRead_ = queueWrite_ = 0;
    frameSizes_.clear();
    return true;
}

int FrameWriter::FrameBits(int bitrateIndex, int padding) const {
    const int factor = version_ == MpegVersion::Mpeg1 ? 144 : 72;
    const int64_t bytes = static_cast<int64_t>(BitrateOfIndex(version_, bitrateIndex)) * factor / settings_.rate;
    return static_cast<int>(bytes * 8) + 8 * padding;
}

int FrameWriter::MaxMainDataBegin(int frameBits) const {
    int d = version_ == MpegVersion::Mpeg1 ? 511 : 255;
    if (frameBits + 8 * d > 7680) d = std::max(0, (7680 - frameBits) / 8);
    return d;
}

void FrameWriter::WriteFillBits(int n) {
    while (n > 0) {
        const int k = fillPosition_;
        const int bit = (kFillBytes[k / 8] >> kFillBitOrder[k % 8]) & 1;
        main_.Write(static_cast<uint32_t>(bit), 1);
        fillPosition_ = (fillPosition_ + 1) % kFillBits;
        --n;
    }
}

namespace {
struct SbrBlockLayout {
    int r = 0;  // CRC flag, CRC field, header and payload
    int align = 0;
    int length = 0;  // bytes after the tag and the length field
};

SbrBlockLayout LayOut(const SbrSideData& sbr) {
    SbrBlockLayout l;
    l.r = sbr.payloadBits + sbr.headerBits + 8 - (sbr.protectedBits > 0 ? 0 : 7);
    l.align = (8 - (l.r - 4) % 8) % 8;
    l.length = (l.r + l.align - 4) / 8;
    return l;
}

// The block's length field holds up to 255 + 255 bytes.
constexpr int kLargestSbrBlockLength = 510;
}  // namespace

int FrameWriter::SbrBlockBits(const SbrSideData& sbr) {
    if (!sbr.HasData()) return 0;
    const SbrBlockLayout l = LayOut(sbr);
    if (l.length > kLargestSbrBlockLength) return 0;
    return l.r + l.align + (l.length >= 255 ? 20 : 12);
}

void FrameWriter::WriteSbrBlock(SbrSideData& sbr) {
    const SbrBlockLayout l = LayOut(sbr);
    const bool crc = sbr.protectedBits > 0;
    const int data = sbr.headerBits + sbr.payloadBits;
    main_.Write(static_cast<uint32_t>(12 + (sbr.channels == 1 ? 1 : 0) + (sbr.headerBits > 0 ? 2 : 0)), 4);
    main_.Write(static_cast<uint32_t>(std::min(l.length, 255)), 8);
    if (l.length >= 255) main_.Write(static_cast<uint32_t>(l.length - 255), 8);
    main_.Write(crc ? 1 : 0, 1);
    const int64_t field = main_.WritePosition();
    if (crc) main_.Write(0, 7);
    const int64_t start = main_.WritePosition();
    main_.Append(sbr.bits, data);
    main_.WriteZeros(l.align);
    if (crc) {
        // An 8-bit register (polynomial 0x45, all ones at the start) whose low 7 bits are sent. The
        // range never reaches past the block, whose end is all a short element has.
        int left = std::min(sbr.protectedBits + 4, data + l.align);
        uint32_t reg = 0xFF;
        for (int64_t pos = start; left > 0;) {
            const int take = std::min(left, 16);
            reg = BitCrc::Run(reg, 0x45, 8, main_.Peek(pos, take), take);
            pos += take;
            left -= take;
        }
        main_.Patch(field, reg & 0x7F, 7);
    }
    sbr.Clear();
}

int FrameWriter::WriteFrame(GranuleRecord* granules, int bitrateIndex, int padding, int modeExtension, uint8_t* out,
                            int outSize, int& written, SbrSideData* sbr) {
    const int c = FrameBits(bitrateIndex, padding);
    const int d = MaxMainDataBegin(c);

    int used = 0;
    for (int g = 0; g < granules_; ++g) {
        for (int ch = 0; ch < channels_; ++ch) used += granules[g].ch[ch].part2_3_length;
        used += granules[g].sbrBits + granules[g].ancillaryBits;
    }

    int spare = 8 * (reservoir_ - d) + c - headerBits_ - used;
    if (spare <= 0) {
        spare = (8 - used % 8) % 8;
    } else {
        // Spare bits the reservoir cannot keep go into the granules as stuffing, as long as a decoder
        // reads them as zero quadruples inside the granule's 576 lines; the rest become fill bits.
        for (int g = 0; g < granules_ && spare > 0; ++g) {
            int passed = 0;
            for (int ch = 0; ch < channels_ && spare > 0; ++ch) {
                GranuleChannel& gc = granules[g].ch[ch];
                const int freeQuads = (576 - 2 * gc.big_values - 4 * gc.count1) / 4;
                const int quadRoom = gc.count1table_select ? 4 * freeQuads : freeQuads;
                int h = std::min(
                    {spare, 4092 - gc.part2_3_length, 7680 - gc.part2_3_length - headerBits_ - passed, quadRoom});
                h = std::max(0, h) & ~3;
                gc.part2_3_length += h;
                used += h;
                spare -= h;
                passed += gc.part2_3_length;
            }
        }
    }

    // Header.
    head_.Clear();
    head_.Write(version_ == MpegVersion::Mpeg25 ? 0xFFE : 0xFFF, 12);
    head_.Write(version_ == MpegVersion::Mpeg1 ? 1 : 0, 1);
    head_.Write(1, 2);  // layer III
    head_.Write(settings_.crc ? 0 : 1, 1);
    head_.Write(static_cast<uint32_t>(bitrateIndex), 4);
    head_.Write(static_cast<uint32_t>(SampleRateIndex(settings_.rate)), 2);
    head_.Write(static_cast<uint32_t>(padding), 1);
    head_.Write(settings_.privateBit, 1);
    head_.Write(static_cast<uint32_t>(settings_.mode), 2);
    head_.Write(settings_.mode == 1 ? static_cast<uint32_t>(modeExtension & 3) : 0, 2);
    head_.Write(settings_.copyright, 1);
    head_.Write(settings_.original, 1);
    head_.Write(0, 2);
    if (settings_.crc) head_.Write(0, 16);

    // Side information.
    const bool mpeg1 = version_ == MpegVersion::Mpeg1;
    head_.Write(static_cast<uint32_t>(reservoir_), mpeg1 ? 9 : 8);
    if (mpeg1) {
        head_.Write(0, channels_ == 1 ? 5 : 3);
        for (int ch = 0; ch < channels_; ++ch) head_.Write(0, 4);
    } else {
        head_.Write(0, channels_ == 1 ? 1 : 2);
    }
    for (int g = 0; g < granules_; ++g) {
        for (int ch = 0; ch < channels_; ++ch) {
            const GranuleChannel& gc = granules[g].ch[ch];
            head_.Write(static_cast<uint32_t>(gc.part2_3_length), 12);
            head_.Write(static_cast<uint32_t>(gc.big_values), 9);
            head_.Write(static_cast<uint32_t>(gc.global_gain), 8);
            head_.Write(static_cast<uint32_t>(gc.scalefac_compress), mpeg1 ? 4 : 9);
            head_.Write(static_cast<uint32_t>(gc.window_switching), 1);
            if (gc.window_switching) {
                head_.Write(static_cast<uint32_t>(gc.block_type), 2);
                head_.Write(0, 1);
                head_.Write(static_cast<uint32_t>(gc.table_select[0]), 5);
                head_.Write(static_cast<uint32_t>(gc.table_select[1]), 5);
                for (int w = 0; w < 3; ++w) head_.Write(static_cast<uint32_t>(gc.subblock_gain[w]), 3);
            } else {
                for (int r = 0; r < 3; ++r) head_.Write(static_cast<uint32_t>(gc.table_select[r]), 5);
                head_.Write(static_cast<uint32_t>(gc.region0_count), 4);
                head_.Write(static_cast<uint32_t>(gc.region1_count), 3);
            }
            if (mpeg1) head_.Write(static_cast<uint32_t>(gc.preflag), 1);
            head_.Write(static_cast<uint32_t>(gc.scalefac_scale), 1);
            head_.Write(static_cast<uint32_t>(gc.count1table_select), 1);
        }
    }

    // Main data.
    for (int g = 0; g < granules_; ++g) {
        for (int ch = 0; ch < channels_; ++ch) {
            const GranuleChannel& gc = granules[g].ch[ch];
            const int64_t start = main_.WritePosition();
            int index = 0;
            for (int p = 0; p < 4; ++p) {
                for (int i = 0; i < gc.partitionBands[p]; ++i, ++index)
                    if (gc.slen[p]) main_.Write(static_cast<uint32_t>(gc.scalefac[index]), gc.slen[p]);
            }
            HuffmanCoding::Write(main_, gc);
            int stuffing = gc.part2_3_length - static_cast<int>(main_.WritePosition() - start);
            while (stuffing > 0) {
                const int take = std::min(stuffing, 16);
                main_.Write((1u << take) - 1, take);
                stuffing -= take;
            }
        }
    }
    WriteFillBits(spare);
    if (sbr != nullptr && SbrBlockBits(*sbr) > 0) WriteSbrBlock(*sbr);
    for (int g = 0; g < granules_; ++g)
        for (int i = 0; i < granules[g].ancillaryBytes; ++i) main_.Write(granules[g].ancillary[i], 8);

    reservoir_ += (c - headerBits_) / 8 - (used + spare) / 8;

    PendingFrame& f = queue_[queueWrite_];
    f.headBytes = headerBits_ / 8;
    head_.ReadBytes(f.head, f.headBytes);
    if (settings_.crc) {
        uint16_t crc = FrameCrc16(f.head + 2, 2);
        crc = FrameCrc16(f.head + 6, f.headBytes - 6, crc);
        f.head[4] = static_cast<uint8_t>(crc >> 8);
        f.head[5] = static_cast<uint8_t>(crc & 0xFF);
    }
    f.slotBytes = (c - headerBits_) / 8;
    queueWrite_ = (queueWrite_ + 1) % kQueueSize;
    if (queueWrite_ == queueRead_) queueRead_ = (queueRead_ + 1) % kQueueSize;  // never in use
    return EmitReady(out, outSize, written);
}

int FrameWriter::EmitReady(uint8_t* out, int outSize, int& written) {
    // All frames that are ready leave together or none does, so that a refusal loses nothing.
    int need = 0;
    int have = main_.BitCount() / 8;
    for (int q = queueRead_; q != queueWrite_; q = (q + 1) % kQueueSize) {
        if (have < queue_[q].slotBytes) break;
        have -= std::min(have, queue_[q].slotBytes);
        need += queue_[q].headBytes + queue_[q].slotBytes;
    }
    if (written + need > outSize) return 4;
    while (queueRead_ != queueWrite_) {
        PendingFrame& f = queue_[queueRead_];
        const int available = main_.BitCount() / 8;
        if (available < f.slotBytes) break;
        const int size = f.headBytes + f.slotBytes;
        std::memcpy(out + written, f.head, static_cast<size_t>(f.headBytes));
        const int fromBuffer = std::min(available, f.slotBytes);
        main_.ReadBytes(out + written + f.headBytes, fromBuffer);
        std::memset(out + written + f.headBytes + fromBuffer, 0, static_cast<size_t>(f.slotBytes - fromBuffer));
        written += size;
        frameSizes_.push_back(size);
        queueRead_ = (queueRead_ + 1) % kQueueSize;
    }
    return 0;
}

int FrameWriter::Flush(uint8_t* out, int outSize, int& written) {
    // Whole frames as far as the output holds them; the rest waits for the next call.
    while (queueRead_ != queueWrite_) {
        PendingFrame& f = queue_[queueRead_];
        const int size = f.headBytes + f.slotBytes;
        if (written + size > outSize) return written > 0 ? 0 : 4;
        const int available = main_.BitCount() / 8;
        std::memcpy(out + written, f.head, static_cast<size_t>(f.headBytes));
        const int fromBuffer = std::min(available, f.slotBytes);
        main_.ReadBytes(out + written + f.headBytes, fromBuffer);
        std::memset(out + written + f.headBytes + fromBuffer, 0, static_cast<size_t>(f.slotBytes - fromBuffer));
        written += size;
        frameSizes_.push_back(size);
        queueRead_ = (queueRead_ + 1) % kQueueSize;
    }
    main_.Clear();
    reservoir_ = 0;
    return 0;
}

}  // namespace brannoc
