#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "TagFixtures.h"
#include "foundation/Errors.h"
#include "media/tags/MPEGaudioEx.h"

namespace kelvar {
namespace {

using test::Bytes;
using test::operator+;
using test::Text;

class MPEGaudioExTest : public testing::Test {
protected:
    std::string Make(const Bytes& bytes) {
        const std::string file = dir.File("a.mp3");
        test::WriteFile(file, bytes);
        return file;
    }
    test::TempDir dir;
};

TEST_F(MPEGaudioExTest, ConstantBitRateFile) {
    const Bytes tag = test::Id3Tag(3, 0, test::Id3Frame("TIT2", Bytes{0} + Text("T"), 3), 100);
    const Bytes audio = test::Mp3Frames(200);
    const Bytes v1 = test::Id3v1Block("One", "", "", "", Bytes(30, 0), 0);
    const std::string file = Make(tag + audio + v1);
    TMPEGaudioEx mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(file));
    EXPECT_TRUE(mpeg.Frame().Found);
    EXPECT_EQ(mpeg.Frame().Position, 0);
    EXPECT_EQ(mpeg.Frame().Size, 417);
    EXPECT_EQ(GetSampleRate(mpeg.Frame()), 44100);
    EXPECT_EQ(mpeg.GetBitRate(), 128);
    EXPECT_NEAR(mpeg.GetDuration(), audio.size() * 8.0 / 128 / 1000, 1e-9);
    EXPECT_TRUE(mpeg.IsValid());
    EXPECT_EQ(mpeg.ID3v2().Title(), "T");
    EXPECT_EQ(mpeg.ID3v1().Title(), "One");
}

TEST_F(MPEGaudioExTest, SecondTagBehindTheFirstIsNotAudio) {
    const Bytes first = test::Id3Tag(3, 0, test::Id3Frame("TIT2", Bytes{0} + Text("First"), 3), 10);
    const Bytes second = test::Id3Tag(4, 0, test::Id3Frame("TIT2", Bytes{0} + Text("Second"), 4), 60000);
    const Bytes audio = test::Mp3Frames(200);
    const std::string file = Make(first + second + audio);
    TMPEGaudioEx mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(file));
    EXPECT_TRUE(mpeg.IsValid());
    EXPECT_NEAR(mpeg.GetDuration(), audio.size() * 8.0 / 128 / 1000, 1e-9);
    EXPECT_EQ(mpeg.ID3v2().Title(), "First");
}

TEST_F(MPEGaudioExTest, FrameSizesAndCoefficients) {
    TMPEGFrame f;
    f.VersionID = 3;
    f.LayerID = 1;
    f.BitRateID = 9;
    f.SampleRateID = 0;
    EXPECT_EQ(GetFrameLength(f), 417);
    f.PaddingBit = true;
    EXPECT_EQ(GetFrameLength(f), 418);
    f.VersionID = 2;  // MPEG-2 Layer III: 72
    EXPECT_EQ(GetCoefficient(f), 72);
    EXPECT_EQ(GetSampleRate(f), 22050);
    f.VersionID = 0;
    EXPECT_EQ(GetSampleRate(f), 11025);
    f.LayerID = 3;
    EXPECT_EQ(GetCoefficient(f), 48);
    EXPECT_EQ(GetPadding(f), 4);
}

TEST_F(MPEGaudioExTest, XingHeaderGivesTheDuration) {
    const std::string file = Make(test::Mp3FramesWithXing(10, 1000, 1000 * 417));
    TMPEGaudioEx mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(file));
    EXPECT_EQ(mpeg.VBR().ID, "Xing");
    EXPECT_NEAR(mpeg.GetDuration(), 1000 * 1152 / 44100.0, 1e-9);
    EXPECT_EQ(mpeg.GetBitRate(), 128);
    EXPECT_TRUE(mpeg.IsValid());

    // Far more bytes than the frames explain: above 448 kbit/s, so not valid.
    Make(test::Mp3FramesWithXing(10, 10, 10 * 417 * 5));
    ASSERT_TRUE(mpeg.ReadFromFile(file));
    EXPECT_GT(mpeg.GetBitRate(), 448);
    EXPECT_FALSE(mpeg.IsValid());
}

TEST_F(MPEGaudioExTest, LoneHeaderIsNotAFrame) {
    // A header whose follower isn't one; the real frames start after it.
    Bytes lone(500, 0);
    lone[0] = 0xFF;
    lone[1] = 0xFB;
    lone[2] = 0x90;
    const std::string file = Make(lone + test::Mp3Frames(20));
    TMPEGaudioEx mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(file));
    EXPECT_EQ(mpeg.Frame().Position, 500);
}

TEST_F(MPEGaudioExTest, MiddleBlockWhenTheStartHasNoFrame) {
    const std::string file = Make(test::Id3Tag(3, 0, test::Id3Frame("TIT2", Bytes{0} + Text("T"), 3)) + Bytes(5000, 0) +
                                  test::Mp3Frames(20));
    TMPEGaudioEx mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(file));
    EXPECT_TRUE(mpeg.Frame().Found);
    EXPECT_TRUE(mpeg.IsValid());
}

TEST_F(MPEGaudioExTest, TagsWithoutAudioReadAsAbsent) {
    const std::string file = Make(test::Id3Tag(3, 0, test::Id3Frame("TIT2", Bytes{0} + Text("T"), 3)) +
                                  Bytes(4000, 0x11) + test::Id3v1Block("One", "", "", "", Bytes(30, 0), 0));
    TMPEGaudioEx mpeg;
    mpeg.ReadFromFile(file);
    EXPECT_FALSE(mpeg.IsValid());
    EXPECT_FALSE(mpeg.ID3v1().Exists());
    EXPECT_FALSE(mpeg.ID3v2().Exists);
    EXPECT_EQ(mpeg.ID3v2().Title(), "");
}

TEST_F(MPEGaudioExTest, ShortFiles) {
    TMPEGaudioEx mpeg;
    EXPECT_FALSE(mpeg.ReadFromFile(Make(Bytes(5, 0))));
    EXPECT_THROW(mpeg.ReadFromFile(Make(Bytes(100, 0))), EFileError);
    // Too short to last 0.1 s.
    EXPECT_TRUE(mpeg.ReadFromFile(Make(test::Mp3Frames(3) + Bytes(200, 0))));
    EXPECT_FALSE(mpeg.IsValid());
}

TEST_F(MPEGaudioExTest, FindFrameNeverReadsPastTheBlock) {
    // Headers right at the block's end, VBR markers cut off: the exact-size buffer lets ASan see any over-read.
    const Bytes frames = test::Mp3FramesWithXing(2, 100, 41700);
    for (size_t n = 0; n <= frames.size(); n += 7) {
        Bytes block(frames.begin(), frames.begin() + n);
        TMPEGaudioEx mpeg;
        mpeg.FindFrame(block.data(), static_cast<int>(block.size()));
        if (mpeg.Frame().Found) {
            EXPECT_LE(mpeg.Frame().Position + mpeg.Frame().Size + 4, int(n));
        }
    }
}

// MPEG-1 Layer III frames at 44100 Hz of the given bit rate indices, one frame per entry.
Bytes FramesAt(const std::vector<int>& bitRateIds) {
    static constexpr int kKbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    Bytes out;
    for (int id : bitRateIds) {
        const size_t at = out.size();
        out.resize(at + size_t(144 * kKbps[id] * 1000 / 44100), 0);
        out[at] = 0xFF;
        out[at + 1] = 0xFB;
        out[at + 2] = uint8_t(id << 4);
    }
    return out;
}

// A variable bit rate without a length header: the length is the counted one, not a guess from
// the first frame; zero padding after the tag is no audio.
TEST_F(MPEGaudioExTest, HeaderlessVariableBitRateIsCountedAndPaddingSkipped) {
    std::vector<int> ids;
    for (int i = 0; i < 900; ++i) ids.push_back(i % 3 == 0 ? 14 : 5);
    const Bytes tag = test::Id3Tag(3, 0, test::Id3Frame("TIT2", Bytes{0} + Text("T"), 3), 10);
    const struct {
        const char* name;
        Bytes file;
        double seconds;
    } cases[] = {
        {"variable", tag + FramesAt(ids), 900 * 1152 / 44100.0},
        {"variable after zero padding", tag + Bytes(40000, 0) + FramesAt(ids), 900 * 1152 / 44100.0},
        {"constant after zero padding", tag + Bytes(40000, 0) + test::Mp3Frames(200), 200 * 417 * 8.0 / 128 / 1000},
    };
    for (const auto& c : cases) {
        TMPEGaudioEx mpeg;
        ASSERT_TRUE(mpeg.ReadFromFile(Make(c.file))) << c.name;
        EXPECT_TRUE(mpeg.IsValid()) << c.name;
        EXPECT_NEAR(mpeg.GetDuration(), c.seconds, 0.03) << c.name;
    }
}

// The count reads in large blocks, resynchronises over garbage and keeps a last frame that ends
// the stream.
TEST_F(MPEGaudioExTest, FrameCountReadsLargeBlocksAndSkipsGarbage) {
    Bytes data = Bytes{1, 2, 0xFF, 0xFB, 3} + FramesAt(std::vector<int>(12000, 9));  // 5 MB at 128 kbit/s
    data.insert(data.end(), {0xFF, 0xFB, 0x90});
    const TReadAt readAt = [&](int64_t offset, uint8_t* buffer, int64_t count) -> int64_t {
        const int64_t n = std::clamp<int64_t>(int64_t(data.size()) - offset, 0, count);
        std::copy_n(data.begin() + offset, n, buffer);
        return n;
    };
    const TMPEGFrameCount count = CountMPEGFrames(readAt, 0, int64_t(data.size()));
    EXPECT_EQ(count.Frames, 12000);
    EXPECT_EQ(count.Samples, 12000 * 1152);
    EXPECT_EQ(count.FirstFrame, 5);
    EXPECT_FALSE(count.BitRateVaries);
    EXPECT_LE(count.Reads, 10);
}

}  // namespace
}  // namespace kelvar
