#include "OggFixture.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kelvar::test {

std::vector<uint8_t> EncodeOggVorbis(long frames, const std::vector<std::string>& comments, int serial, int channels) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init(&vi, channels, 44100, -1, 128000, -1) != 0) {
        vorbis_info_clear(&vi);
        throw std::runtime_error("vorbis_encode_init failed");
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    for (const auto& c : comments) vorbis_comment_add(&vc, c.c_str());
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);
    ogg_packet h0, h1, h2;
    vorbis_analysis_headerout(&vd, &vc, &h0, &h1, &h2);
    ogg_stream_packetin(&os, &h0);
    ogg_stream_packetin(&os, &h1);
    ogg_stream_packetin(&os, &h2);
    std::vector<uint8_t> out;
    ogg_page og;
    auto emit = [&] {
        out.insert(out.end(), og.header, og.header + og.header_len);
        out.insert(out.end(), og.body, og.body + og.body_len);
    };
    while (ogg_stream_flush(&os, &og)) emit();
    long done = 0;
    bool eos = false;
    // Some noise under the tone, so the audio fills several pages as real music does.
    uint32_t noise = 12345;
    while (!eos) {
        const long n = std::min<long>(1024, frames - done);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (long i = 0; i < n; ++i)
                for (int ch = 0; ch < channels; ++ch) {
                    noise = noise * 1664525u + 1013904223u;
                    const float hiss = 0.05f * (static_cast<float>(noise >> 8) / 16777216.0f - 0.5f);
                    buffer[ch][i] = 0.3f * static_cast<float>(std::sin(2 * M_PI * 440 * double(done + i) / 44100)) + hiss;
                }
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            done += n;
        } else {
            vorbis_analysis_wrote(&vd, 0);
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) {
                    emit();
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

}  // namespace kelvar::test

namespace kelvar::test {

std::vector<uint8_t> OggWithBrokenSetup(const std::vector<std::string>& comments) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    vorbis_encode_init(&vi, 2, 44100, -1, 128000, -1);
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    for (const auto& c : comments) vorbis_comment_add(&vc, c.c_str());
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    ogg_packet h0, h1, h2;
    vorbis_analysis_headerout(&vd, &vc, &h0, &h1, &h2);
    std::vector<unsigned char> junk = {5, 'v', 'o', 'r', 'b', 'i', 's'};
    junk.resize(200, 0x77);
    h2.packet = junk.data();
    h2.bytes = static_cast<long>(junk.size());
    ogg_stream_state os;
    ogg_stream_init(&os, 7);
    ogg_stream_packetin(&os, &h0);
    ogg_stream_packetin(&os, &h1);
    ogg_stream_packetin(&os, &h2);
    std::vector<uint8_t> out;
    ogg_page og;
    while (ogg_stream_flush(&os, &og)) {
        out.insert(out.end(), og.header, og.header + og.header_len);
        out.insert(out.end(), og.body, og.body + og.body_len);
    }
    ogg_stream_clear(&os);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

}  // namespace kelvar::test
