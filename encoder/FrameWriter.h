#pragma once
#include "encoder/BitBuffer.h"
#include "encoder/GranuleRecord.h"
#include "encoder/Mp3Tables.h"
#include "encoder/SbrSideData.h"

#include <cstdint>
#include <vector>

namespace brannoc {

struct FrameHeaderSettings {
    int rate = 44100;
    int mode = 1;  // 1 joint stereo, 2 dual channel, 3 single channel
    bool crc = false;
    bool privateBit = false;
    bool copyright = false;
    bool original = false;
};

// Turns the coded granules of a frame into a Layer III frame: header, CRC, side information and main
// data that may start in earlier frames (the bit reservoir). A frame leaves the writer once its main
// data is complete.
class FrameWriter {
public:
    FrameWriter();
    bool Configure(const FrameHeaderSettings& settings);

    int HeaderBits() const { return headerBits_; }  // header, CRC and side information
    int ReservoirBytes() const { return reservoir_; }
    int MaxMainDataBegin(int frameBits) const;
    int FrameBits(int bitrateIndex, int padding) const;

    // Bits the SBR block of this side data takes in the ancillary data: tag, length, CRC field,
    // header and payload, aligned so that the block ends on a byte. 0 without data, or when the
    // length field cannot name the block.
    static int SbrBlockBits(const SbrSideData& sbr);

    // Writes the frame of the given granules, with the SBR block of sbr after the fill bits when it
    // holds data (its bits are moved out). Emits every completed frame into out; returns 0, or 4 when a
    // completed frame does not fit (it stays queued and nothing is written past outSize).
    int WriteFrame(GranuleRecord* granules, int bitrateIndex, int padding, int modeExtension, uint8_t* out, int outSize,
                   int& written, SbrSideData* sbr = nullptr);
    // Emits the queued frames that fit, completing missing main data with zero bytes; 4 when not even
    // one fits. HasPendingFrames tells whether more remain.
    int Flush(uint8_t* out, int outSize, int& written);

    bool HasPendingFrames() const { return queueRead_ != queueWrite_; }
    void ClearFrameSizes() { frameSizes_.clear(); }
    const std::vector<int>& FrameSizes() const { return frameSizes_; }

private:
    struct PendingFrame {
        uint8_t head[48];
        int headBytes;
        int slotBytes;
    };

    int EmitReady(uint8_t* out, int outSize, int& written);
    void WriteFillBits(int n);
    void WriteSbrBlock(SbrSideData& sbr);

    FrameHeaderSettings settings_;
    MpegVersion version_ = MpegVersion::Mpeg1;
    int granules_ = 2;
    int channels_ = 2;
    int sideInfoBits_ = 256;
    int headerBits_ = 288;
    int reservoir_ = 0;
    int fillPosition_ = 0;
    BitBuffer head_;
    BitBuffer main_;
    static constexpr int kQueueSize = 257;
    PendingFrame queue_[kQueueSize];
    int queueRead_ = 0;
    int queueWrite_ = 0;
    std::vector<int> frameSizes_;
};

}  // namespace brannoc
