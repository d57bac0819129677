#include <gtest/gtest.h>

#include <ctime>
#include <sstream>

#include "TagFixtures.h"
#include "foundation/Errors.h"
#include "media/tags/MetaDataConfig_imp.h"
#include "media/tags/PictureInfo_imp.h"

namespace kelvar {
namespace {

using test::Bytes;

TEST(PictureInfo, FromFileTakesNameTypeAndBytes) {
    test::TempDir dir;
    test::WriteFile(dir.File("cover.JPG"), {0xFF, 0xD8, 0xFF, 0xE0});
    TPictureInfo picture(dir.File("cover.JPG"));
    EXPECT_EQ(picture.GetMimeType(), "jpeg");
    EXPECT_EQ(picture.GetDescription(), "cover.JPG");
    EXPECT_EQ(picture.GetFileExt(), ".jpg");
    EXPECT_EQ(picture.GetPictureType(), 3);
    ASSERT_EQ(picture.GetSize(), 4u);
    EXPECT_EQ(picture.GetData()[1], 0xD8);

    test::WriteFile(dir.File("b.png"), {1});
    EXPECT_EQ(TPictureInfo(dir.File("b.png")).GetMimeType(), "png");
    EXPECT_THROW(TPictureInfo(dir.File("missing.png")), EFileError);
}

TEST(PictureInfo, FileExtensionFromMimeType) {
    const struct {
        const char* mime;
        const char* ext;
    } cases[] = {
        {"image/png", ".png"},
        {"image/x-icon", ".x-icon"},
        {"Image/Gif", ".gif"},
        {"image/jpeg", ".jpg"},
        {"JPG", ".jpg"},
        {"", ".na"},
        {"image/", ".na"},
        {"bmp", ".bmp"},
        // From a hostile tag: nothing that could leave the folder or make an odd name.
        {"image/../../etc/x", ".etcx"},
        {"image/a\\b", ".ab"},
        {"image/..", ".na"},
        {"image/\x01\n", ".na"},
        {"image/abcdefghijklmnop", ".abcdefghij"},
    };
    for (const auto& c : cases) {
        TPictureInfo picture;
        picture.SetMimeType(c.mime);
        EXPECT_EQ(picture.GetFileExt(), c.ext) << c.mime;
    }
}

TEST(PictureInfo, EmptyPictureSavesNothing) {
    test::TempDir dir;
    TPictureInfo picture;
    std::ostringstream stream;
    EXPECT_FALSE(picture.SaveToStream(stream));
    EXPECT_FALSE(picture.SaveToFile(dir.File("x.jpg")));
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(PictureInfo, SaveToFileWritesTheBytes) {
    test::TempDir dir;
    test::WriteFile(dir.File("in.gif"), {'G', 'I', 'F', '8'});
    TPictureInfo picture(dir.File("in.gif"));
    ASSERT_TRUE(picture.SaveToFile(dir.File("out.gif")));
    EXPECT_EQ(test::ReadFile(dir.File("out.gif")), (Bytes{'G', 'I', 'F', '8'}));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.gif", "out.gif"}));
}

TEST(PictureInfo, SafeFileNamePartKeepsOnlyHarmlessCharacters) {
    EXPECT_EQ(SafeFileNamePart("A/B"), "AB");
    EXPECT_EQ(SafeFileNamePart("C:D"), "CD");
    EXPECT_EQ(SafeFileNamePart("Rock & Roll (Live), [1-2]_'x'."), "Rock & Roll (Live), [1-2]_'x'.");
    EXPECT_EQ(SafeFileNamePart("Caf\xC3\xA9*?\\"), "Caf");
}

TEST(PictureInfo, MakePictureFileName) {
    SetPictureDir("/pics/");
    EXPECT_EQ(MakePictureFileName(57, "A/B", "C:D", ".jpg"), "/pics/az_57_CD_AB.jpg");
    EXPECT_EQ(MakePictureFileName(3, "///", "***", ".png"), "/pics/az_3__.png");
    // An extension handed in by a caller can't carry a path either.
    EXPECT_EQ(MakePictureFileName(3, "a", "b", "./../x"), "/pics/az_3_b_a.x");

    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string day = std::to_string(local.tm_mon + 1) + std::to_string(local.tm_mday);
    const std::string first = MakePictureFileName(0, "a", "b", ".jpg");
    const std::string second = MakePictureFileName(-5, "a", "b", ".jpg");
    ASSERT_EQ(first.rfind("/pics/az_B" + day, 0), 0u) << first;
    const int n1 = std::stoi(first.substr(10 + day.size()));
    const int n2 = std::stoi(second.substr(10 + day.size()));
    EXPECT_EQ(n2, n1 + 1);
}

}  // namespace
}  // namespace kelvar
