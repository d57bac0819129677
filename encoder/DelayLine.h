#pragma once
#include <vector>

namespace brannoc {

// A ring of channel-pair frames with a mirrored tail, so that any read of up to `mirror` frames is
// contiguous.
class DelayLine {
public:
    DelayLine(int frames, int mirror);

    void Init(int writePosition);  // clears everything; the delay becomes writePosition frames
    void Write(const float* pairs, int frames);
    const float* ReadPointer(int offset, int channel) const;  // frame (read + offset) modulo size
    float* WritablePointer(int offset, int channel);
    void Advance(int frames);

private:
    std::vector<float> storage_;
    int size_;
    int mirror_;
    int read_ = 0;
    int write_ = 0;
};

}  // namespace brannoc
