#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "foundation/TextUtil.h"

namespace kelvar {
namespace {

TEST(TextUtil, CaseFoldingTouchesAsciiLettersOnly) {
    EXPECT_EQ(UpperAscii("abc-XYZ 09 äö"), "ABC-XYZ 09 äö");
    EXPECT_EQ(LowerAscii("ABC-xyz @[`{ ÄÖ"), "abc-xyz @[`{ ÄÖ");
}

TEST(TextUtil, ComparesAndSearchesWithoutCase) {
    struct {
        std::string_view A, B;
        bool Same, Starts;
    } cases[] = {
        {"Content-Type", "content-type", true, true},
        {"ICY-MetaInt", "icy-", false, true},
        {"abc", "abd", false, false},
        {"ab", "abc", false, false},
        {"", "", true, true},
        {"@", "`", false, false},  // neighbours of the letters are not letters
        {"Ä", "ä", false, false},  // UTF-8 letters are compared as bytes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameText(c.A, c.B), c.Same) << c.A << " " << c.B;
        EXPECT_EQ(StartsWithText(c.A, c.B), c.Starts) << c.A << " " << c.B;
    }
    EXPECT_EQ(FindText("Artist - Title", "TITLE"), 9u);
    EXPECT_EQ(FindText("aaa", "A", 1), 1u);
    EXPECT_EQ(FindText("aaa", "A", 3), std::string::npos);
    EXPECT_EQ(FindText("abc", "", 4), std::string::npos);
    EXPECT_EQ(FindText("abc", "abcd"), std::string::npos);
}

TEST(TextUtil, TrimsWhiteSpaceOnly) {
    EXPECT_EQ(TrimSpace(" \t\r\n\v\fa b\f\v\n\r\t "), "a b");
    EXPECT_EQ(TrimSpace("   "), "");
    EXPECT_EQ(TrimSpace("\x01x\x01"), "\x01x\x01");
}

TEST(TextUtil, ErrnoTextFromManyThreads) {
    std::vector<std::thread> threads;
    std::vector<std::string> texts(8);
    for (size_t i = 0; i < texts.size(); ++i)
        threads.emplace_back([&texts, i] { texts[i] = ErrnoText(i % 2 ? ENOENT : EACCES); });
    for (auto& t : threads) t.join();
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(texts[i], i % 2 ? "No such file or directory" : "Permission denied");
    EXPECT_FALSE(ErrnoText(123456).empty());
}

}  // namespace
}  // namespace kelvar

namespace kelvar {
namespace {

TEST(Utf8CaseFolding, LettersOfAnyScriptAndBrokenTextKeptAsItIs) {
    struct TCase {
        const char *text, *lower, *upper;
    } cases[] = {
        {"Rock", "rock", "ROCK"},
        {"\xC3\x89mission", "\xC3\xA9mission", "\xC3\x89MISSION"},  // Émission
        {"\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0", "\xD0\xBC\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0",
         "\xD0\x9C\xD0\xA3\xD0\x97\xD0\xAB\xD0\x9A\xD0\x90"},          // Музыка
        {"\xCE\xA3\xCE\xBF", "\xCF\x83\xCE\xBF", "\xCE\xA3\xCE\x9F"},  // Σο
        {"A\xFF"
         "b",
         "a\xFF"
         "b",
         "A\xFF"
         "B"},                                                               // not UTF-8: ASCII only
        {"\xF0\x9F\x8E\xB5 x", "\xF0\x9F\x8E\xB5 x", "\xF0\x9F\x8E\xB5 X"},  // four-byte character
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(LowerUtf8(c.text), c.lower) << c.text;
        EXPECT_EQ(UpperUtf8(c.text), c.upper) << c.text;
    }
    EXPECT_TRUE(SameTextUtf8("\xC3\x89mission", "\xC3\xA9MISSION"));
    EXPECT_FALSE(SameTextUtf8("\xC3\x89mission", "Emission"));
}

}  // namespace
}  // namespace kelvar
