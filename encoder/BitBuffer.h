#pragma once
#include <cstdint>
#include <vector>

namespace brannoc {

// A ring of 16-bit words written and read most significant bit first. Positions are counted in bits
// since creation, so that a writer can come back to a place it reserved (CRC fields).
class BitBuffer {
public:
    explicit BitBuffer(int capacityBits);

    void Write(uint32_t value, int n);  // n up to 32
    uint32_t Read(int n);               // n up to 16
    void ReadBytes(uint8_t* out, int count);
    void Append(BitBuffer& other, int n);  // moves n bits out of other
    void WriteZeros(int n);

    int BitCount() const { return static_cast<int>(written_ - read_); }
    int64_t WritePosition() const { return written_; }
    int64_t ReadPosition() const { return read_; }
    bool Overrun() const { return overrun_; }
    void Clear();

    uint32_t Peek(int64_t position, int n) const;  // n up to 16, bits still held
    void Patch(int64_t position, uint32_t value, int n);

private:
    uint32_t GetBit(int64_t position) const;
    void SetBits(int64_t position, uint32_t value, int n);

    std::vector<uint16_t> words_;
    int64_t capacity_;
    int64_t written_ = 0;
    int64_t read_ = 0;
    bool overrun_ = false;
};

// CRC over ranges of a BitBuffer, most significant bit first, patched into a reserved field.
class BitCrc {
public:
    BitCrc(BitBuffer& buffer, uint32_t polynomial, int width, uint32_t initial);

    void Reset();
    void Reserve();  // writes width zero bits here and remembers the place
    void AddRange(int64_t start, int length);
    uint32_t Compute() const;
    void ComputeAndPatch();

    static uint32_t Run(uint32_t reg, uint32_t polynomial, int width, uint32_t data, int n);

private:
    BitBuffer& buffer_;
    uint32_t polynomial_;
    int width_;
    uint32_t initial_;
    int64_t field_ = -1;
    struct Range {
        int64_t start;
        int length;
    };
    Range ranges_[4];
    int rangeCount_ = 0;
};

// The frame CRC of the MPEG audio standard (polynomial 0x8005, initial 0xFFFF) over whole bytes.
uint16_t FrameCrc16(const uint8_t* data, int count, uint16_t crc = 0xFFFF);

}  // namespace brannoc
