#include "OggFixture.h"

#include "common/OggVorbisEncoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kelvar::test {

std::vector<uint8_t> EncodeOggVorbis(long frames, const std::vector<std::string>& comments, int serial, int channels) {
    TOggEncoding encoding;
    encoding.Frames = frames;
    encoding.Channels = channels;
    encoding.Serial = serial;
    encoding.Noise = 0.05f;
    return EncodeOggVorbisStream(encoding, comments);
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
