// One bad byte inside UTF-8 text costs that character only, in every tag format that declares
// UTF-8: the valid characters around it stay as they are.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "TagFixtures.h"
#include "media/tags/ID3v2Ex.h"
#include "media/tags/OggTag.h"

namespace kelvar {
namespace {

using test::Bytes;
using test::Text;
using test::operator+;

// "Café" and "naïve" around a lone 0xFF, which reads as "ÿ" (Windows-1252).
const std::string kBadText = "Caf\xC3\xA9 \xFF na\xC3\xAFve";
const std::string kRead = "Caf\xC3\xA9 \xC3\xBF na\xC3\xAFve";
// A two-byte sequence cut short at the end: the lead byte alone reads as "Ã".
const std::string kCutText = "Bj\xC3\xB6rk \xC3";
const std::string kCutRead = "Bj\xC3\xB6rk \xC3\x83";

TEST(BadUtf8Byte, CostsThatCharacterOnlyInEveryFormat) {
    test::TempDir dir;
    int n = 0;
    auto id3 = [&](int version, const Bytes& frame) {
        const std::string path = dir.File("f" + std::to_string(n++) + ".mp3");
        test::WriteFile(path, test::Id3Tag(version, 0, frame, 16) + test::Mp3Frames(3));
        auto tag = std::make_unique<TID3v2KelvarTag>();
        tag->LoadFromFile(path);
        return tag;
    };
    auto ogg = [&](const std::string& comment) {
        const std::string path = dir.File("f" + std::to_string(n++) + ".ogg");
        test::WriteFile(path, test::OggVorbisFile(0.1, {comment}));
        auto tag = std::make_unique<TOggKelvarTag>();
        tag->LoadFromFile(path);
        return tag;
    };
    const Bytes utf8{3};
    struct Case {
        const char* what;
        std::function<std::string()> read;
        std::string expected;
    } cases[] = {
        {"ID3v2.4 text frame", [&] { return id3(4, test::Id3Frame("TIT2", utf8 + Text(kBadText), 4))->Title(); },
         kRead},
        {"ID3v2.4 text frame cut inside a character",
         [&] { return id3(4, test::Id3Frame("TPE1", utf8 + Text(kCutText), 4))->Artist(); }, kCutRead},
        {"ID3v2.3 comment with a UTF-8 encoding byte",
         [&] { return id3(3, test::Id3Frame("COMM", utf8 + Text("eng") + Bytes{0} + Text(kBadText), 3))->Comment(); },
         kRead},
        {"ID3v2.4 user text: value",
         [&] {
             return id3(4, test::Id3Frame("TXXX", utf8 + Text("Catalog") + Bytes{0} + Text(kBadText), 4))->Catalog();
         },
         kRead},
        {"ID3v2.4 user text: a bad byte in the description",
         [&] {
             return id3(4, test::Id3Frame("TXXX", utf8 + Text("Cat\xFF") + Bytes{0} + Text("x"), 4))
                 ->GetUserText("Cat\xC3\xBF");
         },
         "x"},
        {"Vorbis comment", [&] { return ogg("TITLE=" + kBadText)->Title(); }, kRead},
        {"Vorbis comment cut inside a character", [&] { return ogg("ARTIST=" + kCutText)->Artist(); }, kCutRead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.read(), c.expected);
    }
}

}  // namespace
}  // namespace kelvar
