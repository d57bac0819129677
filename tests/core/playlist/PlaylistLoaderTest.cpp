#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/playlist/PlaylistLoader_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class PlaylistFiles : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() / ("kelvar-playlists-" + std::to_string(::getpid()));
        fs::create_directories(Folder / "lists");
    }
    void TearDown() override { fs::remove_all(Folder); }

    std::string Write(const std::string& name, const std::string& text) {
        fs::path path = Folder / "lists" / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::string In(const std::string& relative) const { return (Folder / relative).lexically_normal().string(); }

    fs::path Folder;
};

TEST_F(PlaylistFiles, EntriesResolveAgainstTheListsFolder) {
    std::string list = (Folder / "lists" / "x.m3u").string();
    struct Case {
        std::string entry, expected;
    } cases[] = {
        {"music\\a.mp3", In("lists/music/a.mp3")},
        {"../b.mp3", In("b.mp3")},
        {".\\c.mp3", In("lists/c.mp3")},
        {"  /srv/d.mp3\t", "/srv/d.mp3"},
        {"http://host:8000/stream", "http://host:8000/stream"},
        {"E:/e.mp3", "E:/e.mp3"},
        {"", In("lists") + "/"},
    };
    for (const Case& c : cases) {
        std::string result;
        ResolvePlaylistEntry(list, c.entry, result);
        EXPECT_EQ(result, c.expected) << c.entry;
    }
}

TEST_F(PlaylistFiles, ReadersByExtension) {
    std::vector<std::string> list;
    EXPECT_TRUE(
        LoadPlaylistFile(Write("a.m3u", "#EXTM3U\r\n#EXTINF:215,Artist - Title\r\nmusic\\a.mp3\r\n\r\n"), list));
    EXPECT_EQ(list, std::vector<std::string>{In("lists/music/a.mp3")});

    list.clear();
    EXPECT_TRUE(LoadPlaylistFile(
        Write("b.pls", "[playlist]\nNumberOfEntries=3\nFile1=/m/one.mp3\nfile3=three.ogg\nTitle1=ignored\n"), list));
    EXPECT_EQ(list, (std::vector<std::string>{"/m/one.mp3", In("lists") + "/", In("lists/three.ogg")}));

    list.clear();
    EXPECT_TRUE(LoadPlaylistFile(Write("c.asx",
                                       "<asx version=\"3.0\"><Entry><Ref href=\"/m/x.wma\"/></Entry>"
                                       "<title>t</title><ENTRY><Ref href=\"http://h/s\"/></ENTRY>"
                                       "<entry><Ref href=\"y.wma\"/></entry></asx>"),
                                 list));
    EXPECT_EQ(list, (std::vector<std::string>{"/m/x.wma", "http://h/s", In("lists/y.wma")}));

    list.clear();
    EXPECT_TRUE(LoadPlaylistFile(Write("d.xyz", "# comment\nz.mp3\n"), list));
    EXPECT_EQ(list, std::vector<std::string>{In("lists/z.mp3")});
}

TEST_F(PlaylistFiles, NonUtf8ListsAreReadAsWindowsText) {
    std::vector<std::string> list;
    ASSERT_TRUE(LoadPlaylistFile(Write("e.m3u", "/m/Caf\xE9.mp3\n/m/\xD0\x9C\xD1\x83.mp3\n"), list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], "/m/Caf\xC3\xA9.mp3");
}

TEST_F(PlaylistFiles, PlsEntriesAreBoundedByTheFileAndALongListReadsWhole) {
    std::vector<std::string> list;
    ASSERT_TRUE(LoadPlaylistFile(
        Write("f.pls", "[playlist]\nNumberOfEntries=504062993\nFile1=/m/a.mp3\nFile2=/m/b.mp3\n"), list));
    EXPECT_EQ(list, (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3"}));

    // 100,000 entries with their titles, keys in any case, first of two equal keys counting.
    std::string text = "[playlist]\r\nnumberofentries=100000\r\n";
    for (int i = 1; i <= 100000; ++i)
        text +=
            "File" + std::to_string(i) + "=/m/" + std::to_string(i) + ".mp3\r\nTitle" + std::to_string(i) + "=t\r\n";
    text += "FILE7=/m/late.mp3\r\n";
    list.clear();
    ASSERT_TRUE(LoadPlaylistFile(Write("g.pls", text), list));
    ASSERT_EQ(list.size(), 100000u);
    EXPECT_EQ(list[0], "/m/1.mp3");
    EXPECT_EQ(list[6], "/m/7.mp3");
    EXPECT_EQ(list[99999], "/m/100000.mp3");
}

TEST_F(PlaylistFiles, MissingFileAndBrokenXml) {
    std::vector<std::string> list{"kept"};
    EXPECT_FALSE(LoadPlaylistFile((Folder / "nothing.m3u").string(), list));
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
    EXPECT_ANY_THROW(LoadPlaylistFile(Write("bad.asx", "<asx><entry>"), list));
}

}  // namespace
}  // namespace kelvar
