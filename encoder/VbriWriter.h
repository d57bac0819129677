#pragma once
#include <cstdint>

namespace brannoc {

// The seek table of the VBRI header: byte positions of frames, thinned by doubling the spacing so that
// the visible table keeps one spacing and at most 200 entries.
class VbriSeekTable {
public:
    void Push(uint32_t value);
    int Count() const;
    uint32_t Get(int i) const;
    int Step() const;  // spacing of the visible entries
    int Pushed() const { return pushed_; }
    uint32_t Last() const { return last_; }

private:
    int pushed_ = 0;
    int stored_ = 0;
    int step_ = 1;
    uint32_t entries_[300] = {};
    uint32_t last_ = 0;
};

// Records every frame of a VBR stream and builds the extra frame that carries the "VBRI" block.
class VbriWriter {
public:
    VbriWriter(int coreRate, int channels, bool sbr);

    void SetInfo(int delay, int quality);
    void Record(uint32_t position, int frameSize);
    int Size() const { return size_; }
    // Writes Size() bytes.
    void Build(uint8_t* buffer, bool privateBit, bool copyright, bool original) const;

private:
    VbriSeekTable table_;
    int size_ = 0;
    int version_ = 0;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int channels_ = 1;
    int bitrateIndex_ = 0;
    int rateIndex_ = 0;
    int samplesPerFrame_ = 1152;
    int delay_ = 0;
    int quality_ = 100;
    int lastFrame_ = 0;
    bool sbr_ = false;
    bool recorded_ = false;
};

}  // namespace brannoc
