#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "common/TempFolder.h"
#include "foundation/Clock.h"
#include "foundation/MiscFunc.h"
#include "foundation/UrlCoding.h"
#include "foundation/dButils.h"

namespace kelvar {
namespace {

TEST(MiscFunc, TimeTextToMs) {
    struct {
        const char* Text;
        int64_t Ms;
    } cases[] = {
        {"1500", 1500},
        {"1000", 1000},
        {"999", 999000},
        {"90", 90000},
        {"-5", -5000},
        {"2.5", 2500},
        {"0.0005", 0},
        {"abc", 0},
        {"x.5", 0},
        {"", 0},
        {"1:30", 90000},
        {"1:00:00", 3600000},
        {"1:02.500", 62500},
        {"1:02.5", 62005},
        {"2:1:00:00.250", 3600250},
        {"a:30", 30000},
        {":", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(TimeTextToMs(c.Text), c.Ms) << c.Text;
}

TEST(MiscFunc, FormatTimeMs) {
    struct {
        int Style;
        int64_t Ms;
        const char* Text;
    } cases[] = {
        {2, 83500, "1:23"},
        {3, 83500, "1:23.5"},
        {0, 3725000, "1:02"},
        {1, 3725000, "1:02:05"},
        {4, -1500, "-1"},
        {2, 3725000, "62:05"},
        {3, -83500, "-1:23.5"},
        {7, 1000, "Unknown time format"},
        {-1, 0, "Unknown time format"},
        {1, 0, "0:00:00"},
        {4, INT64_MIN, "-9223372036854775"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatTimeMs(c.Style, c.Ms), c.Text) << c.Style << " " << c.Ms;
}

TEST(MiscFunc, IsHTTPURLOfType) {
    struct {
        const char* Address;
        const char* Ext;
        bool Result;
    } cases[] = {
        {"http://host/stream.ogg", "ogg", true},
        {"HTTP://host/Stream.OGG", "Ogg", true},
        {"http://host/play?type=ogg", "OGG", true},
        {"http://host/play?format=vorbisogg&x=1", "ogg", true},
        {"http://host/stream.mp3", "ogg", false},
        {"http://host/a.ogg.mp3", "ogg", false},
        {"/music/song.mp3", "MP3", false},
        {"https://host/stream.ogg", "ogg", false},
        {"http://host/play", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsHTTPURLOfType(c.Address, c.Ext), c.Result) << c.Address << " " << c.Ext;
}

TEST(MiscFunc, PathPieces) {
    struct {
        const char* Path;
        const char* NameNoExt;
        const char* NoExt;
        const char* Folder;
    } cases[] = {
        {"/music/a.b/song.mp3", "song", "/music/a.b/song", "/music/a.b/"},
        {"/music/a.b/song", "song", "/music/a.b/song", "/music/a.b/"},
        {"song.tar.gz", "song.tar", "song.tar", ""},
        {"/home/u/.hidden", ".hidden", "/home/u/.hidden", "/home/u/"},
        {"C:\\Music\\x.mp3", "C:\\Music\\x", "C:\\Music\\x", "C:\\Music\\"},
        {"http://host/live.mp3", "http://host/live.mp3", "http://host/live", "http://host/"},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFileNameNoExt(c.Path), c.NameNoExt) << c.Path;
        EXPECT_EQ(RemoveFileExt(c.Path), c.NoExt) << c.Path;
        EXPECT_EQ(ExtractFilePathEx(c.Path), c.Folder) << c.Path;
    }
    EXPECT_EQ(RemoveFileExt("/opt/kelvar/KelvarZorvik") + ".core.xml", "/opt/kelvar/KelvarZorvik.core.xml");
}

TEST(MiscFunc, ArtistAndTitle) {
    EXPECT_EQ(JoinArtistTitle("", "Title"), "Title");
    EXPECT_EQ(JoinArtistTitle("Artist", "Title"), "Artist - Title");
    EXPECT_EQ(JoinArtistTitle(" ", "Title"), "  - Title");
    EXPECT_EQ(JoinArtistTitleTrimmed(" Artist ", " Title "), "Artist - Title");
    EXPECT_EQ(JoinArtistTitleTrimmed("  ", " Title "), "Title");

    struct {
        const char* Artist;
        const char* Title;
        const char* NewArtist;
        const char* NewTitle;
    } cases[] = {
        {"", "Abba - Waterloo", "Abba", "Waterloo"}, {"", "A-ha - Take On Me", "A", "ha - Take On Me"},
        {"", "-Intro - Song", "", "-Intro - Song"},  {"", "No dash", "", "No dash"},
        {"Known", "X - Y", "Known", "X - Y"},
    };
    for (const auto& c : cases) {
        std::string artist = c.Artist;
        std::string title = c.Title;
        SplitArtistTitle(artist, title);
        EXPECT_EQ(artist, c.NewArtist) << c.Title;
        EXPECT_EQ(title, c.NewTitle) << c.Title;
    }
}

TEST(MiscFunc, FirstCharOfAndTrim) {
    EXPECT_EQ(FirstCharOf("", 42), 42);
    EXPECT_EQ(FirstCharOf("A", 0), 65);
    EXPECT_EQ(FirstCharOf("\xe9", 0), 0xE9);
    EXPECT_EQ(TrimText("\t a b \r\n"), "a b");
}

TEST(MiscFunc, FileAttributes) {
    test::TTempFolder tmp;
    const std::string file = tmp.File("f.txt");
    test::WriteWholeFile(file, "x");
    ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
    EXPECT_FALSE(IsFileReadOnly(file));
    EXPECT_TRUE(SetFileReadOnly(file, true));
    EXPECT_TRUE(IsFileReadOnly(file));
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0444));
    EXPECT_TRUE(SetFileReadOnly(file, false));
    EXPECT_FALSE(IsFileReadOnly(file));
    EXPECT_TRUE(IsFileReadOnly(tmp.File("missing")));
    EXPECT_FALSE(SetFileReadOnly(tmp.File("missing"), true));

    SetFileReadOnly(file, true);
    EXPECT_TRUE(ForceDeleteFile(file));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(ForceDeleteFile(file));                  // already gone
    EXPECT_FALSE(ForceDeleteFile(tmp.Path().string()));  // a folder is not deleted
}

TEST(MiscFunc, AnInstalledClockDrivesMsSinceStart) {
    struct TFakeClock : IClock {
        int64_t Ms = 0;
        int64_t MsSinceStart() const override { return Ms; }
        std::chrono::system_clock::time_point Now() const override {
            return std::chrono::system_clock::time_point(std::chrono::milliseconds(Ms));
        }
    } fake;
    fake.Ms = 123456;
    SetClock(&fake);
    EXPECT_EQ(MsSinceStart(), 123456);
    EXPECT_EQ(ClockNow().time_since_epoch(), std::chrono::milliseconds(123456));
    SetClock(nullptr);
    EXPECT_LT(MsSinceStart(), 123456 * 1000);  // the system's again: this process is younger
    EXPECT_GT(ClockNow().time_since_epoch(), std::chrono::hours(24 * 365));
}

TEST(MiscFunc, ClockAndProgramLocation) {
    const int64_t a = MsSinceStart();
    const int64_t b = MsSinceStart();
    EXPECT_GE(a, 0);
    EXPECT_GE(b, a);
    const auto t = std::chrono::steady_clock::now();
    EXPECT_EQ(MsBetween(t + std::chrono::milliseconds(1500), t), 1500);
    EXPECT_EQ(MsBetween(t, t + std::chrono::hours(25)), -90000000);
    EXPECT_EQ(MsBetween(t + std::chrono::microseconds(1999), t), 1);

    EXPECT_EQ(ProgramPath(), std::filesystem::canonical("/proc/self/exe").string());
    EXPECT_EQ(ProgramFolder(), std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/");
}

TEST(MiscFunc, WideTextConversion) {
    const std::wstring wide = L"a\u00e9\u20ac\U0001F600";
    EXPECT_EQ(WideToUtf8(wide), "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(Utf8ToWide(WideToUtf8(wide)), wide);
    EXPECT_EQ(Utf8ToWide("a\xff"
                         "b\xc3"),
              L"a\ufffdb\ufffd");
    EXPECT_EQ(Utf8ToWide("\xed\xa0\x80"), L"\ufffd\ufffd\ufffd");  // an encoded surrogate
}

TEST(UrlCoding, EncodeAndDecode) {
    EXPECT_EQ(URLEncode("a b&c"), "a%20b%26c");
    EXPECT_EQ(URLEncode("Az09-_.~+\xff"), "Az09%2D%5F%2E%7E%2B%FF");
    EXPECT_EQ(URLDecode("a%20b%26c"), "a b&c");
    struct {
        const char* Text;
        const char* Decoded;
    } cases[] = {
        {"100%", "100%"}, {"a%4", "a%4"}, {"%41%42", "AB"},
        {"%4a%4A", "JJ"}, {"a+b", "a+b"}, {"%GG", "%GG"},
        {"%ZZ!", "%ZZ!"}, {"%%41", "%A"}, {"%e2%82%ac", "\xe2\x82\xac"},
    };
    for (const auto& c : cases) EXPECT_EQ(URLDecode(c.Text), c.Decoded) << c.Text;
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    EXPECT_EQ(URLDecode(URLEncode(all)), all);
}

TEST(DbUtils, Conversions) {
    EXPECT_DOUBLE_EQ(LinearToDb255(255), 0.0);
    EXPECT_DOUBLE_EQ(LinearToDb100(10), -20.0);
    EXPECT_NEAR(LinearToDb32768(16384), -6.0206, 1e-4);
    EXPECT_NEAR(LinearToDb255(0), -248.13, 0.01);
    EXPECT_DOUBLE_EQ(LinearToDb100(-10), -20.0);
    EXPECT_NEAR(DbToLinear100(6), 50.1187, 1e-4);
    EXPECT_DOUBLE_EQ(DbToLinear100(-6), DbToLinear100(6));
    EXPECT_NEAR(DbToLinear32768(-40), 327.68, 1e-9);
    EXPECT_NEAR(DbToLinear32768(0), 32768.0, 1e-6);
}

}  // namespace
}  // namespace kelvar
