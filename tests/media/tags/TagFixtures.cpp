#include "TagFixtures.h"

#include "common/OggVorbisEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

namespace kelvar::test {

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes SyncSafeBytes(uint32_t v) {
    return {uint8_t((v >> 21) & 0x7F), uint8_t((v >> 14) & 0x7F), uint8_t((v >> 7) & 0x7F), uint8_t(v & 0x7F)};
}

Bytes BigEndianBytes(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

Bytes Id3Frame(const std::string& id, const Bytes& payload, int version, uint16_t flags) {
    const auto size = static_cast<uint32_t>(payload.size());
    return Text(id) + (version == 3 ? BigEndianBytes(size) : SyncSafeBytes(size)) +
           Bytes{uint8_t(flags >> 8), uint8_t(flags & 0xFF)} + payload;
}

Bytes Id3Frame22(const std::string& id, const Bytes& payload) {
    const auto size = static_cast<uint32_t>(payload.size());
    return Text(id) + Bytes{uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)} + payload;
}

Bytes Id3Tag(int version, uint8_t flags, const Bytes& body, size_t padding) {
    Bytes all = body;
    all.resize(body.size() + padding, 0);
    return Text("ID3") + Bytes{uint8_t(version), 0, flags} + SyncSafeBytes(static_cast<uint32_t>(all.size())) + all;
}

Bytes Id3v1Block(const std::string& title, const std::string& artist, const std::string& album, const std::string& year,
                 const Bytes& comment30, uint8_t genre) {
    Bytes b(128, 0);
    std::memcpy(b.data(), "TAG", 3);
    auto put = [&](size_t at, const std::string& s, size_t n) {
        std::memcpy(b.data() + at, s.data(), std::min(n, s.size()));
    };
    put(3, title, 30);
    put(33, artist, 30);
    put(63, album, 30);
    put(93, year, 4);
    std::memcpy(b.data() + 97, comment30.data(), std::min<size_t>(30, comment30.size()));
    b[127] = genre;
    return b;
}

Bytes Mp3Frames(int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        Bytes frame(417, 0);
        frame[0] = 0xFF;
        frame[1] = 0xFB;
        frame[2] = 0x90;
        frame[3] = 0x00;
        out = out + frame;
    }
    return out;
}

Bytes Mp3FramesWithXing(int count, uint32_t frames, uint32_t bytes) {
    Bytes out = Mp3Frames(count);
    // MPEG-1 stereo: the VBR header sits 36 bytes into the frame.
    std::memcpy(out.data() + 36, "Xing", 4);
    const Bytes f = BigEndianBytes(frames), b = BigEndianBytes(bytes);
    std::copy(f.begin(), f.end(), out.begin() + 36 + 8);
    std::copy(b.begin(), b.end(), out.begin() + 36 + 12);
    return out;
}

Bytes OggVorbisFile(double seconds, const std::vector<std::string>& comments, int serial) {
    TOggEncoding encoding;
    encoding.Frames = static_cast<long>(seconds * 44100);
    encoding.Serial = serial;
    encoding.VbrQuality = 0.1f;
    return EncodeOggVorbisStream(encoding, comments);
}

int64_t DecodeOggSamples(const std::string& path) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return -1;
    int64_t frames = 0;
    char buffer[8192];
    int section = 0;
    for (;;) {
        const long n = ov_read(&vf, buffer, sizeof(buffer), 0, 2, 1, &section);
        if (n < 0) {
            frames = -1;
            break;
        }
        if (n == 0) break;
        frames += n / 2;
    }
    ov_clear(&vf);
    return frames;
}

std::vector<std::pair<int64_t, std::string>> OggLinks(const std::string& path) {
    std::vector<std::pair<int64_t, std::string>> links;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return links;
    for (long i = 0; i < ov_streams(&vf); ++i) {
        const char* title = vorbis_comment_query(ov_comment(&vf, static_cast<int>(i)), "TITLE", 0);
        links.emplace_back(ov_pcm_total(&vf, static_cast<int>(i)), title ? title : "");
    }
    ov_clear(&vf);
    return links;
}

}  // namespace kelvar::test
