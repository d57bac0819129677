#include "encoder/DelayLine.h"

#include <algorithm>

namespace brannoc {

DelayLine::DelayLine(int frames, int mirror)
    : storage_(static_cast<size_t>(2 * (frames + mirror)), 0.0f), size_(frames), mirror_(mirror) {}

void DelayLine::Init(int writePosition) {
    std::fill(storage_.begin(), storage_.end(), 0.0f);
    read_ = 0;
    write_ = writePosition % size_;
}

void DelayLine::Write(const float* pairs, int frames) {
    for (int i = 0; i < frames; ++i) {
        const int pos = write_;
        storage_[static_cast<size_t>(2 * pos)] = pairs[2 * i];
        storage_[static_cast<size_t>(2 * pos + 1)] = pairs[2 * i + 1];
        if (pos < mirror_) {
            storage_[static_cast<size_t>(2 * (size_ + pos))] = pairs[2 * i];
            storage_[static_cast<size_t>(2 * (size_ + pos) + 1)] = pairs[2 * i + 1];
        }
        write_ = (write_ + 1) % size_;
    }
}

const float* DelayLine::ReadPointer(int offset, int channel) const {
    const int frame = (read_ + offset) % size_;
    return storage_.data() + 2 * frame + channel;
}

float* DelayLine::WritablePointer(int offset, int channel) {
    const int frame = (read_ + offset) % size_;
    return storage_.data() + 2 * frame + channel;
}

void DelayLine::Advance(int frames) { read_ = (read_ + frames) % size_; }

}  // namespace brannoc
