#include "common/Mp3Encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kelvar::test {

using Bytes = std::vector<uint8_t>;

Bytes EncodeMp3(const std::vector<int16_t>& samples, int rate, int channels, int kbps, bool vbr) {
    lame_global_flags* gf = lame_init();
    lame_set_in_samplerate(gf, rate);
    lame_set_out_samplerate(gf, rate);
    lame_set_num_channels(gf, channels);
    lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
    if (vbr) {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_quality(gf, 4);
    } else {
        lame_set_brate(gf, kbps);
    }
    lame_set_quality(gf, 7);
    if (lame_init_params(gf) < 0) throw std::runtime_error("lame_init_params failed");
    const int frames = static_cast<int>(samples.size() / channels);
    Bytes out(static_cast<size_t>(1.25 * frames + 7200) + 8192);
    int n = 0;
    if (channels == 1) {
        n = lame_encode_buffer(gf, const_cast<short*>(samples.data()), nullptr, frames, out.data(),
                               static_cast<int>(out.size()));
    } else {
        n = lame_encode_buffer_interleaved(gf, const_cast<short*>(samples.data()), frames, out.data(),
                                           static_cast<int>(out.size()));
    }
    if (n < 0) throw std::runtime_error("lame_encode_buffer failed");
    const int m = lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
    out.resize(static_cast<size_t>(n + std::max(m, 0)));
    // The Xing/Info frame with the real frame count and encoder delay.
    Bytes tag(8192);
    const size_t tagSize = lame_get_lametag_frame(gf, tag.data(), tag.size());
    if (tagSize > 0 && tagSize <= out.size()) std::memcpy(out.data(), tag.data(), tagSize);
    lame_close(gf);
    return out;
}

}  // namespace kelvar::test
