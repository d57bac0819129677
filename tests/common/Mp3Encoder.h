#pragma once
// MP3 fixtures encoded at test time through the LAME encoder.
#include <cstdint>
#include <vector>

namespace kelvar::test {

// 16-bit interleaved PCM to MP3; vbr switches to variable bit rate. The first frame is the
// Xing/Info frame with the real frame count and encoder delay.
std::vector<uint8_t> EncodeMp3(const std::vector<int16_t>& samples, int rate, int channels, int kbps = 128,
                               bool vbr = false);

}  // namespace kelvar::test
