#include <gtest/gtest.h>

#include <sys/stat.h>

#include <vorbis/codec.h>

#include "TagFixtures.h"
#include "media/tags/OggTag.h"
#include "media/tags/OggTagUtils.h"
#include "media/tags/TagErrors.h"

namespace kelvar {
namespace {

using test::Bytes;
using test::operator+;

TEST(OggTagUtils, ParseComments) {
    const std::vector<std::string> raw = {"Artist=Jane", "no name here", "Bad\tName=x",
                                          "A=b=c",       "=v",           "Caf\xC3\xA9=\xC3\xA9"};
    bool nonASCII = true;
    TStrComments list = ParseComments(raw, cmANSI, &nonASCII);
    ASSERT_EQ(list.size(), raw.size());
    EXPECT_FALSE(nonASCII);
    EXPECT_EQ(list[0].Name, "Artist");
    EXPECT_EQ(list[0].Value, "Jane");
    EXPECT_EQ(list[1].Name, "");
    EXPECT_EQ(list[1].Full, "no name here");
    EXPECT_EQ(list[2].Name, "");
    EXPECT_EQ(list[2].Value, "Bad\tName=x");
    EXPECT_EQ(list[3].Value, "b=c");
    EXPECT_EQ(list[4].Name, "");  // an empty name counts as none; nothing is lost
    EXPECT_EQ(list[4].Full, "=v");
    EXPECT_EQ(list[5].Name, "");  // é is outside the name characters
    EXPECT_EQ(list[5].Value, "Caf\xC3\xA9=\xC3\xA9");

    list = ParseComments(std::vector<std::string>{"T=Caf\xC3\xA9"}, cmASCII, &nonASCII);
    EXPECT_TRUE(nonASCII);
    EXPECT_EQ(list[0].Value, "Caf??");

    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add(&vc, "TITLE=x");
    list = ParseComments(vc, cmUnicode);
    vorbis_comment_clear(&vc);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Full, "TITLE=x");
}

TEST(OggTagUtils, TextConversions) {
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80")),
              "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80").size(), 2u);
    EXPECT_EQ(AnsiToUtf8("\xE9\x80"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(AnsiToUtf8("\xC3\xA9"), "\xC3\xA9");  // already UTF-8
    // A stray byte in UTF-8 text costs that character only.
    EXPECT_EQ(AnsiToUtf8("Caf\xC3\xA9 \xFF na\xC3\xAFve"), "Caf\xC3\xA9 \xC3\xBF na\xC3\xAFve");
    std::string latin;
    EXPECT_TRUE(Utf8ToLatin1("\xC3\xBF", latin));
    EXPECT_EQ(latin, "\xFF");
    EXPECT_FALSE(Utf8ToLatin1("\xC4\x80", latin));
    EXPECT_FALSE(IsValidUtf8("\xC3"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a lone surrogate
}

TEST(VCEdit, CommentPacketParsingChecksEveryLength) {
    const auto packet = BuildCommentPacket("vendor", {"A=1", "B=22"});
    std::string vendor;
    std::vector<std::string> comments;
    ASSERT_TRUE(ParseCommentPacket(packet.data(), packet.size(), vendor, comments));
    EXPECT_EQ(vendor, "vendor");
    EXPECT_EQ(comments, (std::vector<std::string>{"A=1", "B=22"}));
    for (size_t n = 0; n + 1 < packet.size(); ++n)  // the framing byte is optional
        EXPECT_FALSE(ParseCommentPacket(packet.data(), n, vendor, comments)) << n;
    auto hostile = packet;
    hostile[7 + 4 + 6] = 0xFF;  // comment count far beyond the data
    hostile[7 + 4 + 6 + 3] = 0x7F;
    EXPECT_FALSE(ParseCommentPacket(hostile.data(), hostile.size(), vendor, comments));
    hostile = packet;
    hostile[7] = 0xF0;  // vendor length beyond the data
    EXPECT_FALSE(ParseCommentPacket(hostile.data(), hostile.size(), vendor, comments));
}

class OggTagTest : public testing::Test {
protected:
    std::string Make(const std::vector<std::string>& comments, double seconds = 1.0) {
        const std::string file = dir.File("song.ogg");
        test::WriteFile(file, test::OggVorbisFile(seconds, comments));
        return file;
    }
    test::TempDir dir;
};

TEST_F(OggTagTest, LoadsCommentsAndDuration) {
    const std::string file = Make({"Artist=Jane", "TITLE=Song", "DESCRIPTION=one", "DESCRIPTION=two", "YEAR=1999",
                                   "TRACKNUMBER=3/12", "BPM=120,5", "OVERLAY=yes", "odd comment"});
    TOggKelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(file)) << tag.LastError;
    EXPECT_EQ(tag.Artist(), "Jane");
    EXPECT_EQ(tag.Title(), "Song");
    EXPECT_EQ(tag.Comment(), "one");
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.TrackNo(), 3);
    EXPECT_DOUBLE_EQ(tag.BPM(), 120.5);
    EXPECT_TRUE(tag.Overlay());
    EXPECT_EQ(tag.SongType(), "?");
    EXPECT_EQ(tag.Rating(), 0);
    EXPECT_NEAR(tag.Duration, 1000, 5);
}

TEST_F(OggTagTest, SaveRewritesOnlyTheComments) {
    const std::string file = Make({"Artist=Jane", "DESCRIPTION=one", "DESCRIPTION=two", "odd comment"});
    const int64_t samples = test::DecodeOggSamples(file);
    ASSERT_GT(samples, 40000);
    TOggKelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    tag.SetArtist("Jane");
    tag.SetComment("");
    tag.SetTitle("\xE6\x97\xA5\xE6\x9C\xAC \xC3\xBF");
    tag.SetBPM(120);
    tag.SetSongType("Music");
    tag.SetXFade("a=1&b=2");
    ASSERT_TRUE(tag.SaveToFile()) << tag.LastError;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"song.ogg"});

    TOggKelvarTag back;
    ASSERT_TRUE(back.LoadFromFile(file));
    EXPECT_EQ(back.Lines, (std::vector<std::string>{"ARTIST=Jane", "DESCRIPTION=two", "odd comment",
                                                    "TITLE=\xE6\x97\xA5\xE6\x9C\xAC \xC3\xBF", "BPM=120.000",
                                                    "SongType=M", "XFade=a=1&b=2"}));
    EXPECT_EQ(test::DecodeOggSamples(file), samples);
    EXPECT_NEAR(back.Duration, 1000, 5);
}

TEST_F(OggTagTest, PicturesGrowAndShrinkTheHeaderPages) {
    const std::string file = Make({"TITLE=x"}, 2.0);
    const int64_t samples = test::DecodeOggSamples(file);
    // A picture large enough to spread the comment header over several pages.
    std::string bytes(150000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    test::WriteFile(dir.File("cover.png"), Bytes(bytes.begin(), bytes.end()));
    auto picture = std::make_shared<TPictureInfo>(dir.File("cover.png"));
    {
        TOggKelvarTag tag;
        ASSERT_TRUE(tag.LoadFromFile(file));
        tag.SetPicture(picture);
        ASSERT_TRUE(tag.SaveToFile()) << tag.LastError;
    }
    EXPECT_EQ(test::DecodeOggSamples(file), samples);
    {
        TOggKelvarTag tag;
        ASSERT_TRUE(tag.LoadFromFile(file));
        auto back = tag.GetPicture();
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->GetMimeType(), "png");
        EXPECT_EQ(back->GetDescription(), "cover.png");
        ASSERT_EQ(back->GetSize(), bytes.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(back->GetData()), back->GetSize()), bytes);
        // Removing it takes effect even after the picture was fetched.
        tag.SetPicture(nullptr);
        ASSERT_TRUE(tag.SaveToFile()) << tag.LastError;
    }
    EXPECT_EQ(test::DecodeOggSamples(file), samples);
    TOggKelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    EXPECT_EQ(tag.GetPicture(), nullptr);
    EXPECT_EQ(tag.Lines, std::vector<std::string>{"TITLE=x"});
}

TEST_F(OggTagTest, ChainedStreamsKeepTheirLaterLinks) {
    const std::string file = dir.File("chain.ogg");
    test::WriteFile(file, test::OggVorbisFile(0.5, {"TITLE=first"}, 1) + test::OggVorbisFile(0.5, {"TITLE=second"}, 2));
    const auto links = test::OggLinks(file);
    ASSERT_EQ(links.size(), 2u);
    const int64_t samples = test::DecodeOggSamples(file);  // the first link
    TOggKelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    EXPECT_EQ(tag.Title(), "first");
    tag.SetLyrics(std::string(200000, 'l'));  // several more header pages in the first link
    ASSERT_TRUE(tag.SaveToFile()) << tag.LastError;
    EXPECT_EQ(test::OggLinks(file), links);
    EXPECT_EQ(test::DecodeOggSamples(file), samples);
    TOggKelvarTag back;
    ASSERT_TRUE(back.LoadFromFile(file));
    EXPECT_EQ(back.Lyrics().size(), 200000u);
}

TEST_F(OggTagTest, RawPictureValues) {
    TOggPictureInfo good("MIMETYPE=image/jpeg|DESCRIPTION=d|PICTYPE=4|DATASIZE=3|PICTURE=0aFfzz|");
    EXPECT_EQ(good.GetMimeType(), "image/jpeg");
    EXPECT_EQ(good.GetDescription(), "d");
    EXPECT_EQ(good.GetPictureType(), 4);
    ASSERT_EQ(good.GetSize(), 3u);
    EXPECT_EQ(Bytes(good.GetData(), good.GetData() + 3), (Bytes{0x0A, 0xFF, 0x00}));
    EXPECT_EQ(TOggPictureInfo("DATASIZE=1|PICTURE=10").GetPictureType(), 3);
    EXPECT_THROW(TOggPictureInfo("DATASIZE=4|PICTURE=010203|"), ETagError);
    EXPECT_THROW(TOggPictureInfo("DATASIZE=-1|PICTURE=|"), ETagError);
    EXPECT_EQ(MakeRawPicture(good), "MIMETYPE=image/jpeg|DESCRIPTION=d|PICTYPE=4|DATASIZE=3|PICTURE=0aff00|");

    TOggKelvarTag tag;
    tag.SetValue("RAWPICTURE", "DATASIZE=4|PICTURE=010203|");
    EXPECT_EQ(tag.GetPicture(), nullptr);
}

TEST_F(OggTagTest, SetValueRules) {
    TOggTagEx tag;
    tag.Lines = {"DESCRIPTION=a", "description=b"};
    tag.SetComment("");
    EXPECT_EQ(tag.Lines, std::vector<std::string>{"description=b"});
    tag.SetValue("", "x");
    tag.SetValue("New", "v");
    tag.SetValue("NEW", "w");
    EXPECT_EQ(tag.Lines, (std::vector<std::string>{"description=b", "NEW=w"}));
    EXPECT_EQ(tag.GetValue("new"), "w");
}

TEST_F(OggTagTest, FailedSavesLeaveTheFileAlone) {
    const std::string file = Make({"TITLE=x"});
    const Bytes original = test::ReadFile(file);
    TOggKelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    tag.SetTitle("y");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(tag.SaveToFile());
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    // A folder the program can't write into.
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
    const bool dirWritable = ::access(dir.Path().c_str(), W_OK) == 0;  // root writes anyway
    if (!dirWritable) {
        EXPECT_FALSE(tag.SaveToFile());
    }
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    EXPECT_EQ(test::ReadFile(file), original);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"song.ogg"});

    // Not an Ogg stream: neither loads nor saves.
    test::WriteFile(dir.File("fake.ogg"), test::Mp3Frames(20));
    TOggKelvarTag fake;
    EXPECT_FALSE(fake.LoadFromFile(dir.File("fake.ogg")));
    EXPECT_NE(fake.LastError.find("Cannot open VCEdit for current File/Stream: "), std::string::npos);
    EXPECT_LT(fake.Duration, 0);
    fake.SetTitle("x");
    EXPECT_FALSE(fake.SaveToFile());
    EXPECT_EQ(test::ReadFile(dir.File("fake.ogg")), test::Mp3Frames(20));
}

TEST_F(OggTagTest, TruncatedFilesNeverHarm) {
    const Bytes full = test::OggVorbisFile(0.2, {"TITLE=x", "ARTIST=y"});
    for (size_t n = 0; n < full.size(); n += (n < 8000 ? 97 : 1001)) {
        test::WriteFile(dir.File("cut.ogg"), Bytes(full.begin(), full.begin() + n));
        TOggKelvarTag tag;
        tag.LoadFromFile(dir.File("cut.ogg"));
        if (tag.LoadFromFile(dir.File("cut.ogg"))) {
            EXPECT_EQ(tag.Title(), "x");
        }
    }
}

}  // namespace
}  // namespace kelvar
