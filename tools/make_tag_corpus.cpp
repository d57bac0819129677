// kelvar-tag-corpus: writes a folder of small tagged MP3 and Ogg Vorbis files for the tag scan
// comparison (half of each).
//
//   kelvar-tag-corpus FOLDER COUNT
#include "common/OggVorbisEncoder.h"
#include "foundation/ProcessLocale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

void AppendFrame(Bytes& out, const std::string& id, const Bytes& payload) {
    Append(out, id);
    const auto n = static_cast<uint32_t>(payload.size());
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, 0});
    out.insert(out.end(), payload.begin(), payload.end());
}

void AppendText(Bytes& out, const std::string& id, const std::string& text) {
    Bytes p{0};
    Append(p, text);
    AppendFrame(out, id, p);
}

void AppendUserText(Bytes& out, const std::string& description, const std::string& text) {
    Bytes p{0};
    Append(p, description);
    p.push_back(0);
    Append(p, text);
    AppendFrame(out, "TXXX", p);
}

// A 2.3 tag, 40 MPEG-1 Layer III frames of silence-sized payload and an ID3v1 block.
Bytes MakeMp3(int index) {
    const std::string n = std::to_string(index);
    Bytes frames;
    AppendText(frames, "TIT2", "Title number " + n);
    AppendText(frames, "TPE1", "Artist " + std::to_string(index % 97));
    AppendText(frames, "TALB", "Album " + std::to_string(index % 31));
    AppendText(frames, "TYER", std::to_string(1960 + index % 60));
    AppendText(frames, "TRCK", std::to_string(1 + index % 12) + "/12");
    AppendText(frames, "TCON", "Pop");
    AppendText(frames, "TBPM", std::to_string(80 + index % 80));
    AppendUserText(frames, "XFade", "fadeout=2000");
    AppendUserText(frames, "Rating", std::to_string(index % 5));
    AppendUserText(frames, "SongType", "S");
    Bytes comment{0, 'e', 'n', 'g', 0};
    Append(comment, "Comment " + n);
    AppendFrame(frames, "COMM", comment);
    frames.resize(frames.size() + 512, 0);
    const auto size = static_cast<uint32_t>(frames.size());
    Bytes file{'I',
               'D',
               '3',
               3,
               0,
               0,
               uint8_t((size >> 21) & 0x7F),
               uint8_t((size >> 14) & 0x7F),
               uint8_t((size >> 7) & 0x7F),
               uint8_t(size & 0x7F)};
    file.insert(file.end(), frames.begin(), frames.end());
    for (int i = 0; i < 40; ++i) {
        Bytes frame(417, 0);
        frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0x00;
        file.insert(file.end(), frame.begin(), frame.end());
    }
    Bytes v1(128, 0);
    v1[0] = 'T', v1[1] = 'A', v1[2] = 'G';
    const std::string title = "Title number " + n;
    std::copy_n(title.begin(), std::min<size_t>(30, title.size()), v1.begin() + 3);
    v1[127] = 13;
    file.insert(file.end(), v1.begin(), v1.end());
    return file;
}

// One second of a tone in a mono Ogg Vorbis stream with the given comments.
Bytes MakeOgg(const std::vector<std::string>& comments) {
    return kelvar::test::EncodeOggVorbisStream(kelvar::test::TOggEncoding{}, comments);
}

bool Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    kelvar::UseEnvironmentLocale();  // paths with any letters
    if (argc != 3) {
        std::fprintf(stderr, "usage: kelvar-tag-corpus FOLDER COUNT\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int count = std::atoi(argv[2]);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // Encoding is slow, so a few Ogg variants are made and written under many names.
    std::vector<Bytes> oggs;
    for (int v = 0; v < 8; ++v)
        oggs.push_back(MakeOgg({"ARTIST=Artist " + std::to_string(v), "TITLE=Title " + std::to_string(v), "ALBUM=Album",
                                "DATE=2001", "TRACKNUMBER=" + std::to_string(v + 1), "BPM=120.000",
                                "XFade=fadeout=2000", "RATING=3", "SongType=S"}));
    for (int i = 0; i < count; ++i) {
        char name[32];
        const bool mp3 = i % 2 == 0;
        std::snprintf(name, sizeof(name), "song%05d.%s", i, mp3 ? "mp3" : "ogg");
        if (!Write(folder / name, mp3 ? MakeMp3(i) : oggs[static_cast<size_t>(i / 2) % oggs.size()])) {
            std::fprintf(stderr, "kelvar-tag-corpus: cannot write %s\n", (folder / name).c_str());
            return 1;
        }
    }
    return 0;
}
