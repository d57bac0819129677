#include <gtest/gtest.h>

#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "TagFixtures.h"
#include "common/OggVorbisEncoder.h"
#include "media/tags/OggLength.h"

namespace kelvar {
namespace {

using test::Bytes;
using test::operator+;

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// What the decoder library counts: frames of the whole file, -1 when it can't open it.
int64_t LibraryFrames(const std::string& path) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return -1;
    const int64_t frames = ov_pcm_total(&vf, -1);
    ov_clear(&vf);
    return frames;
}

// Pages of an Ogg stream in file order.
std::vector<Bytes> Pages(const Bytes& data) {
    std::vector<Bytes> pages;
    size_t at = 0;
    while (at + 27 <= data.size()) {
        const size_t segments = data[at + 26];
        size_t size = 27 + segments;
        for (size_t i = 0; i < segments; ++i) size += data[at + 27 + i];
        pages.emplace_back(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + size));
        at += size;
    }
    return pages;
}

Bytes Join(const std::vector<Bytes>& pages) {
    Bytes out;
    for (const auto& p : pages) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Encode(long frames, int channels, float quality, float noise = 0.0f, int serial = 1) {
    test::TOggEncoding e;
    e.Frames = frames;
    e.Channels = channels;
    e.VbrQuality = quality;
    e.Noise = noise;
    e.Serial = serial;
    return test::EncodeOggVorbisStream(e, {"TITLE=x"});
}

TEST(OggLength, CountsAsTheDecoderLibraryDoes) {
    test::TempDir dir;
    const Bytes music = Encode(44100 * 3 + 77, 2, 0.4f, 0.3f);
    struct Case {
        const char* what;
        Bytes file;
    } cases[] = {
        {"tiny mono", Encode(100, 1, -1.0f)},
        {"one second stereo, nominal rate", Encode(44100, 2, -1.0f)},
        {"low quality, noise", Encode(44100 * 2 + 5, 1, 0.0f, 0.5f)},
        {"high quality, noise", Encode(30000, 2, 1.0f, 0.5f)},
        {"music", music},
        {"trailing junk after the last page", music + Bytes(3000, 0x55)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("a.ogg");
        test::WriteFile(path, c.file);
        std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "rb"));
        int64_t frames = -1;
        int32_t rate = 0;
        ASSERT_TRUE(OggVorbisLength(file.get(), frames, rate));
        EXPECT_EQ(rate, 44100);
        EXPECT_EQ(frames, LibraryFrames(path));
    }
}

TEST(OggLength, LeavesWhatThePagesCannotTellToTheLibrary) {
    test::TempDir dir;
    const Bytes first = Encode(44100, 1, -1.0f, 0.0f, 1);
    const Bytes second = Encode(22050, 1, -1.0f, 0.0f, 2);
    const std::vector<Bytes> pages = Pages(first);
    // Cut from a longer stream: its first audio page starts far into the stream.
    std::vector<Bytes> cut = Pages(Encode(44100 * 3, 2, 0.4f, 0.3f));
    ASSERT_GT(cut.size(), 5u);
    cut.erase(cut.begin() + 2, cut.begin() + 4);
    // An identification header without channels, on a page whose checksum fits.
    Bytes badHeader = pages[0];
    badHeader[28 + 11] = 0;
    ogg_page page{badHeader.data(), 28, badHeader.data() + 28, static_cast<long>(badHeader.size() - 28)};
    ogg_page_checksum_set(&page);
    for (size_t i = 1; i < pages.size(); ++i) badHeader = badHeader + pages[i];
    struct Case {
        const char* what;
        Bytes file;
    } cases[] = {
        {"chained streams", first + second},  {"a stream cut from a longer one", Join(cut)},
        {"no channels", badHeader},           {"headers only", Join({pages[0], pages[1]})},
        {"no Ogg at all", Bytes(5000, 0x41)}, {"empty", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("b.ogg");
        test::WriteFile(path, c.file);
        std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "rb"));
        int64_t frames = -1;
        int32_t rate = 0;
        EXPECT_FALSE(OggVorbisLength(file.get(), frames, rate));
    }
}

}  // namespace
}  // namespace kelvar
