#include "encoder/BitBuffer.h"

#include <array>
#include <cstddef>

namespace brannoc {

BitBuffer::BitBuffer(int capacityBits)
    : words_((capacityBits + 15) / 16 + 1, 0), capacity_(static_cast<int64_t>(words_.size()) * 16) {}

void BitBuffer::Clear() {
    written_ = read_ = 0;
    overrun_ = false;
}

void BitBuffer::SetBits(int64_t position, uint32_t value, int n) {
    while (n > 0) {
        const int64_t wordIndex = (position >> 4) % static_cast<int64_t>(words_.size());
        const int offset = static_cast<int>(position & 15);
        const int room = 16 - offset;
        const int take = n < room ? n : room;
        const uint32_t chunk = (value >> (n - take)) & ((1u << take) - 1);
        const int shift = room - take;
        const uint32_t mask = ((1u << take) - 1) << shift;
        uint16_t& w = words_[static_cast<std::size_t>(wordIndex)];
        w = static_cast<uint16_t>((w & ~mask) | (chunk << shift));
        n -= take;
        position += take;
    }
}

void BitBuffer::Write(uint32_t value, int n) {
    if (n <= 0) return;
    if (n > 16) {
        Write(value >> 16, n - 16);
        Write(value & 0xFFFF, 16);
        return;
    }
    if (written_ + n - read_ > capacity_) overrun_ = true;
    SetBits(written_, value & ((1u << n) - 1), n);
    written_ += n;
}

void BitBuffer::WriteZeros(int n) {
    while (n > 0) {
        const int take = n > 16 ? 16 : n;
        Write(0, take);
        n -= take;
    }
}

uint32_t BitBuffer::GetBit(int64_t position) const {
    const int64_t wordIndex = (position >> 4) % static_cast<int64_t>(words_.size());
    return (words_[static_cast<std::size_t>(wordIndex)] >> (15 - (position & 15))) & 1u;
}

uint32_t BitBuffer::Peek(int64_t position, int n) const {
    uint32_t v = 0;
    while (n > 0) {
        const int64_t wordIndex = (position >> 4) % static_cast<int64_t>(words_.size());
        const int offset = static_cast<int>(position & 15);
        const int room = 16 - offset;
        const int take = n < room ? n : room;
        const uint32_t word = words_[static_cast<std::size_t>(wordIndex)];
        v = (v << take) | ((word >> (room - take)) & ((1u << take) - 1));
        n -= take;
        position += take;
    }
    return v;
}

void BitBuffer::Patch(int64_t position, uint32_t value, int n) { SetBits(position, value, n); }

uint32_t BitBuffer::Read(int n) {
    if (n <= 0) return 0;
    if (n > BitCount()) n = BitCount();
    const uint32_t v = Peek(read_, n);
    read_ += n;
    return v;
}

void BitBuffer::ReadBytes(uint8_t* out, int count) {
    for (int i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(Read(8));
}

void BitBuffer::Append(BitBuffer& other, int n) {
    while (n > 0) {
        const int take = n > 16 ? 16 : n;
        Write(other.Read(take), take);
        n -= take;
    }
}

BitCrc::BitCrc(BitBuffer& buffer, uint32_t polynomial, int width, uint32_t initial)
    : buffer_(buffer), polynomial_(polynomial), width_(width), initial_(initial) {}

void BitCrc::Reset() {
    field_ = -1;
    rangeCount_ = 0;
}

void BitCrc::Reserve() {
    field_ = buffer_.WritePosition();
    buffer_.Write(0, width_);
}

void BitCrc::AddRange(int64_t start, int length) {
    if (rangeCount_ < 4) ranges_[rangeCount_++] = {start, length};
}

uint32_t BitCrc::Run(uint32_t reg, uint32_t polynomial, int width, uint32_t data, int n) {
    const uint32_t top = 1u << (width - 1);
    const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1);
    for (int i = n - 1; i >= 0; --i) {
        const uint32_t bit = (data >> i) & 1u;
        const bool feedback = ((reg & top) != 0) != (bit != 0);
        reg = (reg << 1) & mask;
        if (feedback) reg ^= polynomial;
    }
    return reg & mask;
}

uint32_t BitCrc::Compute() const {
    uint32_t reg = initial_ & ((1u << width_) - 1);
    for (int r = 0; r < rangeCount_; ++r) {
        int64_t pos = ranges_[r].start;
        int left = ranges_[r].length;
        while (left > 0) {
            const int take = left > 16 ? 16 : left;
            reg = Run(reg, polynomial_, width_, buffer_.Peek(pos, take), take);
            pos += take;
            left -= take;
        }
    }
    return reg;
}

void BitCrc::ComputeAndPatch() {
    if (field_ >= 0) buffer_.Patch(field_, Compute(), width_);
}

namespace {
std::array<uint16_t, 256> BuildCrc16Table() {
    std::array<uint16_t, 256> t{};
    // Maps the register's top byte XOR the data byte to the register's change.
    for (uint32_t i = 0; i < 256; ++i) t[i] = static_cast<uint16_t>(BitCrc::Run(i << 8, 0x8005, 16, 0, 8));
    return t;
}
}  // namespace

uint16_t FrameCrc16(const uint8_t* data, int count, uint16_t crc) {
    static const std::array<uint16_t, 256> table = BuildCrc16Table();
    for (int i = 0; i < count; ++i) crc = static_cast<uint16_t>((crc << 8) ^ table[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

}  // namespace brannoc
