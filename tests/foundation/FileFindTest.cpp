#include <gtest/gtest.h>

#include <filesystem>

#include "common/TempFolder.h"
#include "foundation/Errors.h"
#include "foundation/FileFind.h"

namespace kelvar {
namespace {

TEST(FileFind, MatchesMask) {
    struct {
        const char* Name;
        const char* Mask;
        bool Result;
    } cases[] = {
        {"dsp_stereo.so", "dsp_*.so", true},
        {"DSP_Stereo.SO", "dsp_*.so", true},
        {"dsp_.so", "dsp_*.so", true},
        {"xdsp_a.so", "dsp_*.so", false},
        {"song.mp3", "*.MP3", true},
        {"song.mp3x", "*.mp3", false},
        {"Track01.cda", "Track??.cda", true},
        {"Track1.cda", "Track??.cda", false},
        {"README", "*.*", true},
        {"a.b", "*.*", true},
        {"", "*", true},
        {"abc", "a*b*c", true},
        {"aXbYc", "a*b*c", true},
        {"abcb", "a*b", true},
        {"ab", "a*b*c", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.Name, c.Mask), c.Result) << c.Name << " " << c.Mask;
}

struct FileFindTree : ::testing::Test {
    test::TTempFolder Tmp;
    std::string Root;
    void SetUp() override {
        namespace fs = std::filesystem;
        Root = Tmp.Path().string();
        fs::create_directories(Tmp.Path() / "b" / "inner");
        fs::create_directories(Tmp.Path() / "a.MP3");
        for (const char* f : {"z.mp3", "one.MP3", "notes.txt", "b/two.mp3", "b/inner/three.Mp3", "a.MP3/four.mp3"})
            test::WriteWholeFile((Tmp.Path() / f).string(), "x");
    }
};

TEST_F(FileFindTree, FindsFilesAndFoldersByMaskInNameOrder) {
    std::vector<std::string> list{"kept"};
    FindFiles(list, "*.mp3", Root, false);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", Root + "/a.MP3", Root + "/one.MP3", Root + "/z.mp3"}));
}

TEST_F(FileFindTree, RecursiveSearchListsAFoldersMatchesBeforeItsSubfolders) {
    std::vector<std::string> list;
    FindFiles(list, "*.mp3", Root + "/", true);
    EXPECT_EQ(list,
              (std::vector<std::string>{Root + "/a.MP3", Root + "/one.MP3", Root + "/z.mp3", Root + "/a.MP3/four.mp3",
                                        Root + "/b/two.mp3", Root + "/b/inner/three.Mp3"}));
    list.clear();
    FindFiles(list, "*", Root + "/missing", true);
    EXPECT_TRUE(list.empty());
}

TEST_F(FileFindTree, ListSubFolders) {
    std::vector<std::string> list{"stale"};
    ListSubFolders(Root, list);
    EXPECT_EQ(list, (std::vector<std::string>{Root + "/a.MP3/", Root + "/b/", Root + "/b/inner/"}));
    try {
        ListSubFolders(Root + "/missing", list);
        FAIL() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), "Invalid path specified!");
    }
    EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace kelvar
