#include <gtest/gtest.h>

#include "TagFixtures.h"
#include "foundation/Errors.h"
#include "media/tags/ID3v1.h"

namespace kelvar {
namespace {

using test::Bytes;
using test::operator+;

Bytes Comment(const std::string& text, uint8_t b28 = 0, uint8_t b29 = 0) {
    Bytes c(30, 0);
    std::copy(text.begin(), text.end(), c.begin());
    c[28] = b28;
    c[29] = b29;
    return c;
}

TEST(ID3v1, ReadsFieldsOfVersion11) {
    test::TempDir dir;
    const std::string file = dir.File("a.mp3");
    test::WriteFile(
        file, Bytes(500, 0x55) + test::Id3v1Block("Title  ", "Artist", "Album", "1999", Comment("nice", 0, 7), 147));
    TID3v1 tag;
    ASSERT_TRUE(tag.ReadFromFile(file));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.VersionID(), 2);
    EXPECT_EQ(tag.Title(), "Title");
    EXPECT_EQ(tag.Artist(), "Artist");
    EXPECT_EQ(tag.Album(), "Album");
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.Comment(), "nice");
    EXPECT_EQ(tag.Track(), 7);
    EXPECT_EQ(tag.Genre(), "Synthpop");
}

TEST(ID3v1, VersionAndTrackFromTheCommentBytes) {
    const struct {
        Bytes comment;
        int version;
        int track;
        std::string text;
    } cases[] = {
        {Comment("x", 0, 0), 1, 0, "x"},
        {Comment("x", 0, 7), 2, 7, "x"},
        {Comment("x", ' ', '5'), 2, '5', "x"},
        {test::Text("123456789012345678901234567890"), 1, 0, "123456789012345678901234567890"},
    };
    for (const auto& c : cases) {
        TID3v1 tag;
        tag.ReadFromBlock(test::Id3v1Block("", "", "", "", c.comment, 0).data());
        EXPECT_EQ(tag.VersionID(), c.version);
        EXPECT_EQ(tag.Track(), c.track);
        EXPECT_EQ(tag.Comment(), c.text);
    }
}

TEST(ID3v1, GenreNames) {
    EXPECT_EQ(GenreName(0), "Blues");
    EXPECT_EQ(GenreName(17), "Rock");
    EXPECT_EQ(GenreName(147), "Synthpop");
    EXPECT_EQ(GenreName(148), "");
    EXPECT_EQ(GenreName(255), "");
    TID3v1 none;
    EXPECT_EQ(none.GenreID(), 255);
    EXPECT_EQ(none.Genre(), "");
}

TEST(ID3v1, PaddingGoesAZeroInsideStaysAndLatin1BecomesUtf8) {
    Bytes block = test::Id3v1Block("", "", "", "", Comment(""), 0);
    const Bytes title = {'A', 0, 'B', ' ', 0, 0};
    std::copy(title.begin(), title.end(), block.begin() + 3);
    block[33] = 'C';
    block[34] = 0xE9;  // é in Latin-1
    TID3v1 tag;
    tag.ReadFromBlock(block.data());
    EXPECT_EQ(tag.Title(), std::string("A\0B", 3));
    EXPECT_EQ(tag.Artist(), "C\xC3\xA9");
}

TEST(ID3v1, NoTagAndShortFiles) {
    test::TempDir dir;
    test::WriteFile(dir.File("plain"), Bytes(300, 1));
    TID3v1 tag;
    EXPECT_TRUE(tag.ReadFromFile(dir.File("plain")));
    EXPECT_FALSE(tag.Exists());

    test::WriteFile(dir.File("only"), test::Id3v1Block("T", "", "", "", Comment(""), 1));
    EXPECT_TRUE(tag.ReadFromFile(dir.File("only")));
    EXPECT_EQ(tag.Title(), "T");

    test::WriteFile(dir.File("short"), Bytes(100, 0));
    EXPECT_THROW(tag.ReadFromFile(dir.File("short")), EFileError);
    EXPECT_FALSE(tag.Exists());
    EXPECT_THROW(tag.ReadFromFile(dir.File("missing")), EFileError);
}

}  // namespace
}  // namespace kelvar
