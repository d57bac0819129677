#include "encoder/VbriWriter.h"

#include "encoder/Mp3Tables.h"

#include <algorithm>
#include <cstring>

namespace brannoc {

void VbriSeekTable::Push(uint32_t value) {
    last_ = value;
    if (pushed_ % step_ == 0) {
        entries_[stored_++] = value;
        if (stored_ == 200) step_ *= 2;
        if (stored_ == 300) {
            for (int i = 0; i < 100; ++i) entries_[i] = entries_[2 * i];
            for (int i = 0; i < 100; ++i) entries_[100 + i] = entries_[200 + i];
            step_ *= 2;
            stored_ = 200;
        }
    }
    ++pushed_;
}

int VbriSeekTable::Count() const { return stored_ <= 200 ? stored_ : stored_ - 100; }

uint32_t VbriSeekTable::Get(int i) const {
    if (stored_ > 200) return i < 100 ? entries_[2 * i] : entries_[i + 100];
    return entries_[i];
}

int VbriSeekTable::Step() const {
    // With exactly 200 stored the spacing has already doubled for the entries to come, while the
    // visible ones still have the previous spacing.
    if (stored_ == 200) return step_ / 2;
    return step_;
}

VbriWriter::VbriWriter(int coreRate, int channels, bool sbr) : channels_(channels), sbr_(sbr) {
    const MpegVersion v = VersionOfRate(coreRate);
    version_ = static_cast<int>(v);
    rateIndex_ = SampleRateIndex(coreRate);
    samplesPerFrame_ = v == MpegVersion::Mpeg1 ? 1152 : 576;
    bitrateIndex_ = 14;
    for (int i = 0; i < 15; ++i) {
        const int bytes = BitrateOfIndex(v, i) / 8 * samplesPerFrame_ / coreRate;
        if (bytes > 2 * 200 + 58) {
            bitrateIndex_ = i;
            size_ = bytes;
            break;
        }
    }
    if (size_ == 0) size_ = BitrateOfIndex(v, 14) / 8 * samplesPerFrame_ / coreRate;
    delay_ = samplesPerFrame_ * (sbr ? 2 : 1);
}

void VbriWriter::SetInfo(int delay, int quality) {
    delay_ = delay + samplesPerFrame_ * (sbr_ ? 2 : 1);
    quality_ = quality;
}

void VbriWriter::Record(uint32_t position, int frameSize) {
    if (!recorded_) {
        table_.Push(0);
        recorded_ = true;
    }
    table_.Push(position + static_cast<uint32_t>(size_));
    lastFrame_ = frameSize;
}

namespace {
void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
}  // namespace

void VbriWriter::Build(uint8_t* b, bool privateBit, bool copyright, bool original) const {
    std::memset(b, 0, static_cast<size_t>(size_));
    b[0] = 0xFF;
    b[1] = 0xFB;
    b[2] = 0x30;
    b[3] = 0x4C;
    const int versionBits = version_ == 0 ? 3 : (version_ == 1 ? 2 : 0);
    b[1] = static_cast<uint8_t>((b[1] & ~0x18) | (versionBits << 3));
    b[2] = static_cast<uint8_t>((bitrateIndex_ << 4) | (rateIndex_ << 2) | (privateBit ? 1 : 0));
    b[3] = static_cast<uint8_t>((channels_ == 1 ? 0xC0 : 0x40) | (copyright ? 0x08 : 0) | (original ? 0x04 : 0));
    if (table_.Pushed() == 0) return;
    if (sbr_) {
        const uint8_t mark[4] = {static_cast<uint8_t>(channels_ == 1 ? 0xD0 : 0xC0), 0x1E, 0xE8, 0x00};
        std::memcpy(b + (channels_ == 1 ? 13 : 21), mark, 4);
    }
    std::memcpy(b + 36, "VBRI", 4);
    Put16(b + 40, 1);
    Put16(b + 42, static_cast<uint32_t>(delay_));
    Put16(b + 44, static_cast<uint32_t>(quality_));
    Put32(b + 46, table_.Last() + static_cast<uint32_t>(lastFrame_));
    Put32(b + 50, static_cast<uint32_t>(table_.Pushed()));
    const int count = table_.Count();
    Put16(b + 54, static_cast<uint32_t>(std::max(0, count - 1)));
    const int step = table_.Step();
    const int scale = std::clamp(step / (version_ == 0 ? 32 : 64), 1, 32768);
    Put16(b + 56, static_cast<uint32_t>(scale));
    Put16(b + 58, 2);
    Put16(b + 60, static_cast<uint32_t>(step));
    for (int i = 1; i < count && 62 + 2 * i <= size_; ++i) {
        const uint32_t delta = (table_.Get(i) - table_.Get(i - 1)) / static_cast<uint32_t>(scale);
        Put16(b + 62 + 2 * (i - 1), std::min<uint32_t>(delta, 65535));
    }
}

}  // namespace brannoc
