#pragma once
// Ogg Vorbis encoding with libvorbisenc for fixtures made at test time (and the bench corpus):
// a 440 Hz tone, optionally over soft noise, as one logical stream with the given comments.
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvar::test {

struct TOggEncoding {
    long Frames = 44100;
    int Channels = 1;
    int Serial = 1;
    float VbrQuality = -1.0f;  // below 0: nominal 128 kbit/s instead of a quality setting
    float Noise = 0.0f;        // peak level of the noise under the tone; real music fills more pages
};

inline std::vector<uint8_t> EncodeOggVorbisStream(const TOggEncoding& e, const std::vector<std::string>& comments) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    const int init = e.VbrQuality >= 0.0f ? vorbis_encode_init_vbr(&vi, e.Channels, 44100, e.VbrQuality)
                                          : vorbis_encode_init(&vi, e.Channels, 44100, -1, 128000, -1);
    if (init != 0) {
        vorbis_info_clear(&vi);
        throw std::runtime_error("vorbis encoder set-up failed");
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    for (const auto& c : comments) vorbis_comment_add(&vc, c.c_str());
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, e.Serial);
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
    uint32_t noise = 12345;
    while (!eos) {
        const long n = std::min<long>(1024, e.Frames - done);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (long i = 0; i < n; ++i)
                for (int ch = 0; ch < e.Channels; ++ch) {
                    float hiss = 0.0f;
                    if (e.Noise > 0.0f) {
                        noise = noise * 1664525u + 1013904223u;
                        hiss = e.Noise * (static_cast<float>(noise >> 8) / 16777216.0f - 0.5f);
                    }
                    buffer[ch][i] =
                        0.3f * static_cast<float>(std::sin(2 * M_PI * 440 * double(done + i) / 44100)) + hiss;
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
