#include <gtest/gtest.h>

#include "foundation/ConfigDoc_XML.h"
#include "foundation/MiscFunc.h"
#include "media/tags/MetaDataConfig_imp.h"

namespace kelvar {
namespace {

TEST(MetaDataConfig, DefaultsNameThePicturesFolderBeforeLoading) {
    TMetaDataConfig config;
    EXPECT_EQ(config.LocalPictureDir(), ProgramFolder() + "pictures/");
    EXPECT_EQ(PictureDir(), ProgramFolder() + "pictures/");
    EXPECT_EQ(config.WebPictureDir(), "");
    EXPECT_EQ(config.ImageSize(), 1);
    EXPECT_EQ(config.AmazonTag(), "Quelt");
    EXPECT_EQ(config.DefID3TagVer(), 3);
}

TEST(MetaDataConfig, WriteVersionIsAlways3Or4) {
    const struct {
        std::string stored;  // empty: key missing
        int expected;
    } cases[] = {{"", 3}, {"3", 3}, {"4", 4}, {"2", 4}, {"0", 4}, {"-7", 4}, {"5", 4}, {"99", 4}};
    for (const auto& c : cases) {
        auto doc = TConfigDoc_XML::Create("");
        if (!c.stored.empty()) doc->WriteString("DefID3TagVer", c.stored);
        TMetaDataConfig config;
        config.LoadConfig(*doc);
        EXPECT_EQ(config.DefID3TagVer(), c.expected) << c.stored;
        EXPECT_EQ(ID3v2WriteVersion.load(), c.expected) << c.stored;
    }
}

TEST(MetaDataConfig, FoldersGetTheirDelimitersAndRoundTrip) {
    auto doc = TConfigDoc_XML::Create("");
    doc->WriteString("LocalPictureDir", "/srv/covers");
    doc->WriteString("WebPictureDir", "http://example.org/pics");
    doc->WriteInteger("ImageSize", 2);
    doc->WriteString("AmazonTag", "abc");
    TMetaDataConfig config;
    config.LoadConfig(*doc);
    EXPECT_EQ(config.LocalPictureDir(), "/srv/covers/");
    EXPECT_EQ(PictureDir(), "/srv/covers/");
    EXPECT_EQ(config.WebPictureDir(), "http://example.org/pics/");
    EXPECT_EQ(config.ImageSize(), 2);
    EXPECT_EQ(config.AmazonTag(), "abc");

    config.SetWebPictureDir("http://x/");
    EXPECT_EQ(config.WebPictureDir(), "http://x/");
    config.SetWebPictureDir("");
    EXPECT_EQ(config.WebPictureDir(), "");

    auto saved = TConfigDoc_XML::Create("");
    config.SaveConfig(*saved);
    EXPECT_EQ(saved->ReadString("LocalPictureDir", ""), "/srv/covers/");
    EXPECT_EQ(saved->ReadInteger("DefID3TagVer", 0), 3);
    EXPECT_EQ(saved->ReadInteger("ImageSize", 0), 2);
}

TEST(MetaDataConfig, EmptyPictureFolderFallsBackToTheDefault) {
    // An empty setting must not turn into the file system's root.
    TMetaDataConfig config;
    config.SetLocalPictureDir("");
    EXPECT_EQ(config.LocalPictureDir(), ProgramFolder() + "pictures/");
    SetPictureDir("");
    EXPECT_EQ(PictureDir(), ProgramFolder() + "pictures/");
}

}  // namespace
}  // namespace kelvar
