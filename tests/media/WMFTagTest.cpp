#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include <filesystem>

#include "media/Decoder_WM9_Sync.h"
#include "media/MediaTestUtil.h"
#include "media/WMAFixture.h"
#include "media/WMFTag.h"

namespace kelvar {
namespace {

using test::TTempDir;

class WMFTagTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.File("song.wma");
        test::MakeWmaFile(path, 1500, {{"title", "Original"}, {"author", "Someone"}, {"copyright", "(c) Us"}});
    }

    // Stores attributes the way other programs do, with types of their own choosing.
    void StoreRaw(const std::function<void(TagLib::ASF::Tag&)>& change) {
        TagLib::ASF::File file(path.c_str());
        ASSERT_TRUE(file.isValid());
        change(*file.tag());
        ASSERT_TRUE(file.save());
    }

    TTempDir dir;
    std::string path;
};

TEST_F(WMFTagTest, ReadsHeaderTextsAndFigures) {
    TWMFTagKelvar tag;
    ASSERT_TRUE(tag.Open(path));
    EXPECT_EQ(tag.Title(), "Original");
    EXPECT_EQ(tag.Artist(), "Someone");
    EXPECT_EQ(tag.GetString("Copyright"), "(c) Us");
    EXPECT_NEAR(static_cast<double>(tag.Duration()), 1500, 100);
    EXPECT_NEAR(static_cast<double>(tag.GetNumber("Bitrate", 0)), 128000, 20000);
    // Missing ones give their defaults.
    EXPECT_EQ(tag.Album(), "");
    EXPECT_EQ(tag.GetString("WM/Nothing", "dflt"), "dflt");
    EXPECT_EQ(tag.TrackNo(), 0);
    EXPECT_EQ(tag.BPM(), 0);
    EXPECT_EQ(tag.SongType(), '?');
    EXPECT_FALSE(tag.Overlay());
    EXPECT_EQ(tag.GetPicture(), nullptr);
    EXPECT_EQ(tag.GetBinary("WM/Nothing", nullptr, 0), 0);
}

TEST_F(WMFTagTest, ConvertsEachAttributeTypeLikeTheHeaderEditor) {
    StoreRaw([](TagLib::ASF::Tag& tag) {
        tag.setAttribute("DWord", TagLib::ASF::Attribute(7u));
        tag.setAttribute("QWord", TagLib::ASF::Attribute(5000000000ULL));
        tag.setAttribute("Word", TagLib::ASF::Attribute(static_cast<unsigned short>(12)));
        tag.setAttribute("Bool", TagLib::ASF::Attribute(true));
        tag.setAttribute("Text", TagLib::ASF::Attribute(TagLib::String("07")));
        tag.setAttribute("Words", TagLib::ASF::Attribute(TagLib::String("seven")));
        tag.setAttribute("Blob", TagLib::ASF::Attribute(TagLib::ByteVector("\x01\x02\x03", 3)));
    });
    TWMFTagKelvar tag;
    ASSERT_TRUE(tag.Open(path));
    struct Case {
        const char* Name;
        const char* Text;
        int64_t Number;
    } cases[] = {
        {"DWord", "7", 7},    {"QWord", "5000000000", 5000000000},
        {"Word", "12", 12},   {"Bool", "1", 1},
        {"Text", "07", 7},    {"Words", "seven", -1},  // no number: the default
        {"Blob", "dflt", -1},                          // binary reads as neither
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tag.GetString(c.Name, "dflt"), c.Text) << c.Name;
        EXPECT_EQ(tag.GetNumber(c.Name, -1), c.Number) << c.Name;
    }
    uint8_t blob[8] = {};
    EXPECT_EQ(tag.GetBinary("Blob", nullptr, 0), 3);
    EXPECT_EQ(tag.GetBinary("Blob", blob, 2), 2);
    EXPECT_EQ(blob[1], 2);
    // A string's value is its UTF-16 text with the terminating zero.
    EXPECT_EQ(tag.GetBinary("Text", nullptr, 0), 6);
}

TEST_F(WMFTagTest, TrackNumberReadsAnyTypeAndIsWrittenAsText) {
    StoreRaw([](TagLib::ASF::Tag& tag) { tag.setAttribute("WM/TrackNumber", TagLib::ASF::Attribute(7u)); });
    TWMFTagKelvar tag;
    ASSERT_TRUE(tag.Open(path));
    EXPECT_EQ(tag.TrackNo(), 7);
    tag.SetString("WM/TrackNumber", "07");
    EXPECT_EQ(tag.TrackNo(), 7);
    tag.SetTrackNo(7);
    EXPECT_EQ(tag.GetBinary("WM/TrackNumber", nullptr, 0), 4);  // "7" as text
    tag.SetTrackNo(0);
    EXPECT_EQ(tag.GetString("WM/TrackNumber", "gone"), "gone");
    tag.SetString("WM/TrackNumber", "6/15");
    EXPECT_EQ(tag.TrackNo(), 6);
}

TEST_F(WMFTagTest, OnlyStreamZeroHoldsTheFilesAttributes) {
    StoreRaw([](TagLib::ASF::Tag& tag) {
        TagLib::ASF::Attribute mood(TagLib::String("stream mood"));
        mood.setStream(1);
        tag.setAttribute("WM/Mood", mood);
        TagLib::ASF::Attribute genre(TagLib::String("stream genre"));
        genre.setStream(1);
        tag.setAttribute("WM/Genre", genre);
    });
    {
        TWMFTagKelvar tag;
        ASSERT_TRUE(tag.Open(path));
        EXPECT_EQ(tag.Mood(), "");
        EXPECT_EQ(tag.GetString("WM/Genre", "none"), "none");
        tag.SetMood("new");
        tag.DeleteAttribute("WM/Genre");
        ASSERT_TRUE(tag.Flush());
    }
    TagLib::ASF::File file(path.c_str());
    const auto& map = file.tag()->attributeListMap();
    ASSERT_TRUE(map.contains("WM/Mood"));
    const auto& moods = map["WM/Mood"];
    ASSERT_EQ(moods.size(), 2u);
    for (const auto& a : moods) EXPECT_EQ(a.toString(), a.stream() == 0 ? "new" : "stream mood");
    ASSERT_TRUE(map.contains("WM/Genre"));
    EXPECT_EQ(map["WM/Genre"].front().stream(), 1);
    TWMFTagKelvar again;
    ASSERT_TRUE(again.Open(path));
    EXPECT_EQ(again.Mood(), "new");
}

TEST_F(WMFTagTest, AlbumArtistStandsInForAMissingAuthor) {
    StoreRaw([](TagLib::ASF::Tag& tag) {
        tag.setArtist("");
        tag.setAttribute("WM/AlbumArtist", TagLib::ASF::Attribute(TagLib::String("Band")));
    });
    TWMFTagKelvar tag;
    ASSERT_TRUE(tag.Open(path));
    EXPECT_EQ(tag.Artist(), "Band");
    tag.SetArtist("Singer");
    EXPECT_EQ(tag.Artist(), "Singer");
    EXPECT_EQ(tag.GetString("Author"), "Singer");
    EXPECT_EQ(tag.GetString("WM/AlbumArtist"), "Band");
}

TEST_F(WMFTagTest, WrittenAttributesReadBackAndTheFileStillPlays) {
    const std::string picturePath = dir.File("cover.jpg");
    test::WriteFile(picturePath, {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 5, 0xFF, 0xD9});
    {
        TWMFTagKelvar tag;
        ASSERT_TRUE(tag.Open(path));
        tag.SetTitle("Ünïcødé title");
        tag.SetArtist("Artist");
        tag.SetAlbum("Album");
        tag.SetBPM(128);
        tag.SetComment("A comment");
        tag.SetComposer("Composer");
        tag.SetGenre("Pop");
        tag.SetISRC("USABC0000001");
        tag.SetLyrics("la la");
        tag.SetMood("Happy");
        tag.SetPublisher("Label");
        tag.SetTrackNo(3);
        tag.SetArtistURL("http://artist");
        tag.SetBuyURL("http://buy");
        tag.SetYear("1999");
        tag.SetCatalog("CAT-1");
        tag.SetFeeAgency("Agency");
        tag.SetPLine("(P) 1999");
        tag.SetSongType('S');
        tag.SetUPC("0123456789012");
        tag.SetXFade("&fadeout=3000");
        tag.SetRating(4);
        tag.SetPicFile("az_1.jpg");
        tag.SetOverlay(false);
        tag.SetSongRights("all");
        ASSERT_TRUE(tag.LoadPictureFromFile(picturePath));
        EXPECT_FALSE(tag.LoadPictureFromFile(dir.File("no-such.jpg")));
        ASSERT_TRUE(tag.Flush());
    }
    TWMFTagKelvar tag;
    ASSERT_TRUE(tag.Open(path));
    EXPECT_EQ(tag.Title(), "Ünïcødé title");
    EXPECT_EQ(tag.Artist(), "Artist");
    EXPECT_EQ(tag.Album(), "Album");
    EXPECT_EQ(tag.BPM(), 128);
    EXPECT_EQ(tag.Comment(), "A comment");
    EXPECT_EQ(tag.Composer(), "Composer");
    EXPECT_EQ(tag.Genre(), "Pop");
    EXPECT_EQ(tag.ISRC(), "USABC0000001");
    EXPECT_EQ(tag.Lyrics(), "la la");
    EXPECT_EQ(tag.Mood(), "Happy");
    EXPECT_EQ(tag.Publisher(), "Label");
    EXPECT_EQ(tag.TrackNo(), 3);
    EXPECT_EQ(tag.ArtistURL(), "http://artist");
    EXPECT_EQ(tag.BuyURL(), "http://buy");
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.Catalog(), "CAT-1");
    EXPECT_EQ(tag.FeeAgency(), "Agency");
    EXPECT_EQ(tag.PLine(), "(P) 1999");
    EXPECT_EQ(tag.SongType(), 'S');
    EXPECT_EQ(tag.UPC(), "0123456789012");
    EXPECT_EQ(tag.XFade(), "&fadeout=3000");
    EXPECT_EQ(tag.Rating(), 4);
    EXPECT_EQ(tag.PicFile(), "az_1.jpg");
    EXPECT_FALSE(tag.Overlay());
    EXPECT_EQ(tag.GetString("kelvarOverlay"), "NO");
    EXPECT_EQ(tag.SongRights(), "all");
    EXPECT_EQ(tag.GetString("Copyright"), "(c) Us");  // untouched fields survive
    IPictureInfoPtr picture = tag.GetPicture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->GetSize(), 11u);
    EXPECT_EQ(picture->GetMimeType(), "jpeg");
    EXPECT_EQ(picture->GetDescription(), "cover.jpg");
    EXPECT_EQ(picture->GetPictureType(), 3);
    EXPECT_EQ(picture->GetData()[4], 1);

    Decoder_WM9_Sync::TDecoder_WMA decoder;
    ASSERT_TRUE(decoder.Open(path));
    EXPECT_NEAR(decoder.GetInfo()->Duration, 1500, 100);
    EXPECT_NEAR(static_cast<double>(test::DecodeAll(decoder).Pcm.size()) / (44100 * 4 / 1000), 1500, 120);
}

TEST_F(WMFTagTest, ChangesAreLostOnlyWhenNotFlushed) {
    {
        TWMFTagKelvar tag;
        ASSERT_TRUE(tag.Open(path));
        tag.SetTitle("Changed");
        tag.Close();
    }
    TWMFTagKelvar tag;
    ASSERT_TRUE(tag.Open(path));
    EXPECT_EQ(tag.Title(), "Original");
}

// Flushing twice from one open tag: the second flush builds on the file the first one wrote,
// and a deletion reaches the file as well as an addition.
TEST_F(WMFTagTest, FlushesBuildOnEachOther) {
    {
        TWMFTagKelvar tag;
        ASSERT_TRUE(tag.Open(path));
        tag.SetTitle("First");
        tag.SetTrackNo(5);
        tag.SetCatalog("CAT");
        ASSERT_TRUE(tag.Flush());
        tag.SetAlbum("Second");
        tag.SetTrackNo(0);
        EXPECT_EQ(tag.TrackNo(), 0);  // reads see a change before it is flushed
        ASSERT_TRUE(tag.Flush());
    }
    TWMFTagKelvar tag;
    ASSERT_TRUE(tag.Open(path));
    EXPECT_EQ(tag.Title(), "First");
    EXPECT_EQ(tag.Album(), "Second");
    EXPECT_EQ(tag.Catalog(), "CAT");
    EXPECT_EQ(tag.TrackNo(), 0);
    EXPECT_EQ(tag.GetString("WM/TrackNumber", "none"), "none");
}

TEST_F(WMFTagTest, ReadOnlyFileIsNotWritten) {
    const test::Bytes before = test::ReadFileBytes(path);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    TWMFTagKelvar tag;
    ASSERT_TRUE(tag.Open(path));
    tag.SetTitle("Changed");
    EXPECT_FALSE(tag.Flush());
    EXPECT_EQ(test::ReadFileBytes(path), before);
    chmod(path.c_str(), 0644);
}

TEST_F(WMFTagTest, DamagedHeadersReadAsDefaultsOrDoNotOpen) {
    {
        TWMFTagKelvar tag;
        ASSERT_TRUE(tag.Open(path));
        tag.SetAlbum("Album");
        tag.SetCatalog("CAT");
        ASSERT_TRUE(tag.Flush());
    }
    const test::Bytes whole = test::ReadFileBytes(path);
    const std::string broken = dir.File("broken.wma");
    for (size_t at = 30; at < 1200; at += 97) {
        test::Bytes damaged = whole;
        for (size_t i = at; i < at + 8 && i < damaged.size(); ++i) damaged[i] = 0xFF;
        test::WriteFile(broken, damaged);
        TWMFTagKelvar tag;
        if (!tag.Open(broken)) continue;
        // Whatever survived reads; nothing else is asked of a damaged header.
        tag.Album();
        tag.Catalog();
        tag.Duration();
        tag.GetPicture();
    }
    for (size_t keep : {size_t(20), size_t(200), whole.size() / 2}) {
        test::WriteFile(broken, test::Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep)));
        TWMFTagKelvar tag;
        if (tag.Open(broken)) tag.Title();
    }
}

TEST_F(WMFTagTest, FilesOtherThanWindowsMediaDoNotOpen) {
    const std::string other = dir.File("other.wma");
    test::WriteFile(other, test::Bytes(4000, 0x5A));
    TWMFTagKelvar tag;
    EXPECT_FALSE(tag.Open(other));
    EXPECT_FALSE(tag.Open(dir.File("missing.wma")));
    EXPECT_FALSE(tag.IsOpen());
    EXPECT_EQ(tag.Title(), "");
    tag.SetTitle("ignored");
    EXPECT_FALSE(tag.Flush());
}

}  // namespace
}  // namespace kelvar
