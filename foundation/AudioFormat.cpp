#include "foundation/AudioFormat.h"

#include <cmath>
#include <cstring>

namespace kelvar {

double BytesToMs(const TWaveFormat& format, int32_t bytes) {
    const uint32_t frame = FrameSize(format);
    if (frame == 0 || format.SamplesPerSec == 0) return 0.0;
    const int64_t frames = static_cast<int64_t>(bytes) / static_cast<int64_t>(frame);
    return static_cast<double>(frames) / format.SamplesPerSec * 1000.0;
}

int64_t BytesToMsRounded(const TWaveFormat& format, int32_t bytes) {
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    return static_cast<int64_t>(std::nearbyint(BytesToMs(format, bytes)));
}

int64_t MsToBytes(const TWaveFormat& format, int64_t ms) {
    const double bytes = static_cast<double>(ms) / 1000.0 * format.SamplesPerSec * FrameSize(format);
    return static_cast<int64_t>(std::nearbyint(bytes));
}

double FilterBytesToMs(const TFilterFormat& format, int32_t bytes) {
    if (format.Channels <= 0 || format.BitsPerSample <= 0 || format.SampleRate <= 0) return 0.0;
    const int64_t frame = static_cast<int64_t>(format.Channels) * (format.BitsPerSample / 8);
    if (frame <= 0) return 0.0;
    return static_cast<double>(bytes / frame) / format.SampleRate * 1000.0;
}

bool SameFormat(const TWaveFormat& a, const TWaveFormat& b) { return std::memcmp(&a, &b, sizeof(TWaveFormat)) == 0; }

}  // namespace kelvar
