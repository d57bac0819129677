#include <gtest/gtest.h>

#include "TagFixtures.h"
#include "media/tags/ID3vFrames.h"

namespace kelvar {
namespace {

using test::Bytes;
using test::operator+;

std::string Decode(const Bytes& raw) { return DecodeText(raw.data(), raw.size()); }

TEST(ID3v2Types, Numbers) {
    const uint8_t ss[4] = {0x00, 0x00, 0x02, 0x01};
    EXPECT_EQ(UnSyncSafe(ss), 257u);
    const uint8_t bad[4] = {0x00, 0x80, 0x00, 0x01};
    EXPECT_EQ(UnSyncSafe(bad), 0u);
    EXPECT_EQ(SyncSafe(257), (std::array<uint8_t, 4>{0, 0, 2, 1}));
    EXPECT_EQ(BigEndian32(0x01020304), (std::array<uint8_t, 4>{1, 2, 3, 4}));
    for (uint32_t v : {0u, 127u, 128u, 4096u, 0x0FFFFFFFu}) EXPECT_EQ(UnSyncSafe(SyncSafe(v).data()), v);
}

TEST(ID3v2Types, DecodeTextInEveryEncoding) {
    const struct {
        Bytes raw;
        std::string text;
    } cases[] = {
        {{}, ""},
        {{0, ' ', 'H', 'i', ' ', 0}, "Hi"},
        {{0, 'C', 'a', 'f', 0xE9}, "Caf\xC3\xA9"},
        {{1, 0xFF, 0xFE, 'H', 0, 'i', 0}, "Hi"},
        {{1, 0xFE, 0xFF, 0, 'H', 0, 'i'}, "Hi"},                                                    // big-endian mark
        {{1, 0xFF, 0xFE, 0xFF, 0x00, 0xFF, 0x30, 0xFF, 0x4E}, "\xC3\xBF\xE3\x83\xBF\xE4\xBB\xBF"},  // ÿ ヿ 仿
        {{1, 0xFF, 0xFE, 'A', 0, 0, 0, 'B', 0}, "A"},                   // a zero unit ends the text
        {{1, 0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},  // surrogate pair
        {{2, 0, 'H', 0, 'i'}, "Hi"},
        {{3, 0xC3, 0xA9, 't', 0xC3, 0xA9}, "\xC3\xA9t\xC3\xA9"},
        {{1, 0xFF, 0xFE, 'H'}, ""},  // odd trailing byte
        {{'r', 'a', 'w'}, "raw"},    // no encoding byte at all
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.raw), c.text) << testing::PrintToString(c.raw);
}

TEST(ID3v2Types, DecodeTextDesc) {
    Bytes comm = {1, 'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 'H', 0, 'i', 0};
    TTextDesc d = DecodeTextDesc(comm.data(), comm.size(), true);
    EXPECT_EQ(d.Language, "eng");
    EXPECT_EQ(d.Description, "");
    EXPECT_EQ(d.Text, "Hi");

    Bytes user = {1, 0xFF, 0xFE, 'A', 0, 0, 0, 0xFF, 0xFE, 'B', 0};
    d = DecodeTextDesc(user.data(), user.size(), false);
    EXPECT_EQ(d.Description, "A");
    EXPECT_EQ(d.Text, "B");

    Bytes noTerminator = {0, 'x', 'y'};
    d = DecodeTextDesc(noTerminator.data(), noTerminator.size(), false);
    EXPECT_EQ(d.Description, "");
    EXPECT_EQ(d.Text, "xy");

    Bytes shortLang = {0, 'e'};
    d = DecodeTextDesc(shortLang.data(), shortLang.size(), true);
    EXPECT_EQ(d.Text, "");
}

TEST(ID3v2Types, DecodePictureStopsAtTheEnd) {
    Bytes full = {0, 'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g', 0, 4, 'd', 0, 0xAA, 0xBB};
    TPictureHeader h = DecodePicture(full.data(), full.size());
    EXPECT_EQ(h.MimeType, "image/png");
    EXPECT_EQ(h.PictureType, 4);
    EXPECT_EQ(h.Description, "d");
    EXPECT_EQ(h.Offset, 14u);
    for (size_t cut = 0; cut < 14; ++cut) {
        TPictureHeader t = DecodePicture(full.data(), cut);
        EXPECT_LE(t.Offset, cut);
    }
}

TEST(ID3v2Frames, RegistryChoosesTheClass) {
    EXPECT_NE(dynamic_cast<TfrmTrack*>(CreateFrame("trck").get()), nullptr);
    EXPECT_NE(dynamic_cast<TfrmYear*>(CreateFrame("TYER").get()), nullptr);
    EXPECT_NE(dynamic_cast<TfrmGenre*>(CreateFrame("TCON").get()), nullptr);
    EXPECT_NE(dynamic_cast<TNumberFrame*>(CreateFrame("TBPM").get()), nullptr);
    EXPECT_NE(dynamic_cast<TfrmComment*>(CreateFrame("COMM").get()), nullptr);
    EXPECT_NE(dynamic_cast<TfrmLyrics*>(CreateFrame("USLT").get()), nullptr);
    EXPECT_NE(dynamic_cast<TPrivateFrame*>(CreateFrame("PRIV").get()), nullptr);
    EXPECT_NE(dynamic_cast<TPictureFrame*>(CreateFrame("APIC").get()), nullptr);
    EXPECT_NE(dynamic_cast<TStringFrame*>(CreateFrame("TIT2").get()), nullptr);
    EXPECT_NE(dynamic_cast<TStringFrame*>(CreateFrame("WOAR").get()), nullptr);
    EXPECT_NE(dynamic_cast<TDataFrame*>(CreateFrame("XYZW").get()), nullptr);
    EXPECT_NE(dynamic_cast<TDataFrame*>(CreateFrame("1ABC").get()), nullptr);
    auto user = CreateFrame("TXXX");
    EXPECT_FALSE(dynamic_cast<TTextDescFrame1&>(*user).HasLanguage);
    EXPECT_TRUE(dynamic_cast<TTextDescFrame1&>(*CreateFrame("COMM")).HasLanguage);
    EXPECT_EQ(CreateFrame("tit2")->ID, "TIT2");
}

TEST(ID3v2Frames, NumbersAndGenres) {
    const struct {
        const char* id;
        Bytes payload;
        int64_t value;
    } numbers[] = {
        {"TRCK", Bytes{0} + test::Text("3/12"), 3},
        {"TYER", Bytes{0} + test::Text("2004-05-01"), 2004},
        {"TBPM", Bytes{0} + test::Text(" 120 "), 120},
        {"TBPM", Bytes{0} + test::Text("fast"), 0},
    };
    for (const auto& n : numbers) {
        auto frame = CreateFrame(n.id);
        frame->ReadFrom(0, n.payload.data(), n.payload.size());
        EXPECT_EQ(dynamic_cast<TNumberFrame&>(*frame).Value(), n.value) << n.id;
    }
    const struct {
        std::string text;
        std::string genre;
    } genres[] = {{"(17)Rock", "Rock"},
                  {"(13)", "Pop"},
                  {"Jazz", "Jazz"},
                  {"Rock (Live)", "Rock (Live)"},
                  {"Relaxation :)", "Relaxation :)"},
                  {"(17)Rock (Live)", "Rock (Live)"},
                  {"17", "Rock"},
                  {"(RX)", "(RX)"},
                  {"2001", "2001"},
                  {"(999)", ""}};
    for (const auto& g : genres) {
        const Bytes payload = Bytes{0} + test::Text(g.text);
        TfrmGenre frame("TCON");
        frame.ReadFrom(0, payload.data(), payload.size());
        EXPECT_EQ(frame.Text, g.genre);
    }
}

TEST(ID3v2Frames, WritesFrameSizesByVersion) {
    for (uint8_t version : {3, 4}) {
        TNumberFrame frame("TBPM");
        frame.Version = version;
        frame.SetValue(120);
        TBytes out;
        EXPECT_EQ(frame.WriteTo(out), 14);
        EXPECT_EQ(out, (Bytes{'T', 'B', 'P', 'M', 0, 0, 0, 4, 0, 0, 0, '1', '2', '0'}));
    }
    // Above 127 the two size forms differ.
    TStringFrame big("TIT2");
    big.Text = std::string(200, 'a');
    for (uint8_t version : {3, 4}) {
        big.Version = version;
        TBytes out;
        big.WriteTo(out);
        const Bytes expected = version == 3 ? Bytes{0, 0, 0, 201} : Bytes{0, 0, 1, 73};
        EXPECT_EQ(Bytes(out.begin() + 4, out.begin() + 8), expected);
    }
}

// Every frame class reads back what it writes, in both versions and for texts of any script.
TEST(ID3v2Frames, RoundTripKeepsEveryCharacter) {
    const std::string texts[] = {"plain", "\xC3\x83\xC2\xA9", "Caf\xC3\xA9 \xC3\xBF",
                                 "\xE6\x97\xA5\xE6\x9C\xAC \xE3\x83\xBF", "emoji \xF0\x9F\x98\x80"};
    for (uint8_t version : {3, 4}) {
        for (const auto& text : texts) {
            auto roundTrip = [&](TBaseFrame& in, TBaseFrame& out) {
                in.Version = version;
                TBytes bytes;
                in.WriteTo(bytes);
                out.Version = version;
                out.ReadFrom(uint16_t((bytes[8] << 8) | bytes[9]), bytes.data() + 10, bytes.size() - 10);
            };
            TStringFrame s("TIT2"), s2("TIT2");
            s.Text = text;
            roundTrip(s, s2);
            EXPECT_EQ(s2.Text, text);

            TfrmComment c("COMM"), c2("COMM");
            c.Language = "deu";
            c.Description = text;
            c.Text = text + "!";
            roundTrip(c, c2);
            EXPECT_EQ(c2.Language, "deu");
            EXPECT_EQ(c2.Description, text);
            EXPECT_EQ(c2.Text, text + "!");

            TPictureFrame p("APIC"), p2("APIC");
            p.MimeType = "image/png";
            p.PictureType = 4;
            p.Description = text;
            p.Picture = {0, 1, 0xFF, 0};
            roundTrip(p, p2);
            EXPECT_EQ(p2.MimeType, "image/png");
            EXPECT_EQ(p2.PictureType, 4);
            EXPECT_EQ(p2.Description, text);
            EXPECT_EQ(p2.Picture, p.Picture);
        }
    }
}

TEST(ID3v2Frames, EncodingChosenByContent) {
    auto encodingOf = [](const std::string& text, uint8_t version) {
        TStringFrame f("TIT2");
        f.Version = version;
        f.Text = text;
        TBytes out;
        f.WriteTo(out);
        return out[10];
    };
    EXPECT_EQ(encodingOf("Caf\xC3\xA9", 3), 0);
    EXPECT_EQ(encodingOf("\xE6\x97\xA5", 3), 1);
    EXPECT_EQ(encodingOf("\xE6\x97\xA5", 4), 3);
}

TEST(ID3v2Frames, LinksHaveNoEncodingByte) {
    TStringFrame link("WOAR");
    link.Text = "http://example.org/";
    TBytes out;
    link.WriteTo(out);
    EXPECT_EQ(std::string(out.begin() + 10, out.end()), "http://example.org/");
    TStringFrame back("WOAR");
    back.ReadFrom(0, out.data() + 10, out.size() - 10);
    EXPECT_EQ(back.Text, "http://example.org/");
}

TEST(ID3v2Frames, RawAndPrivateFramesRoundTrip) {
    const Bytes payload = {9, 8, 0, 7};
    TDataFrame raw("XYZW");
    raw.Version = 3;
    raw.ReadFrom(0x8040, payload.data(), payload.size());
    TBytes out;
    raw.WriteTo(out);
    EXPECT_EQ(out, (test::Text("XYZW") + Bytes{0, 0, 0, 4, 0x80, 0x40} + payload));

    const Bytes priv = test::Text("owner") + Bytes{0, 1, 0, 2};
    TPrivateFrame p("PRIV");
    p.ReadFrom(0, priv.data(), priv.size());
    EXPECT_EQ(p.Owner, "owner");
    EXPECT_EQ(p.Data, std::string("\x01\x00\x02", 3));
    TBytes pout;
    p.WriteTo(pout);
    EXPECT_EQ(Bytes(pout.begin() + 10, pout.end()), priv);
}

}  // namespace
}  // namespace kelvar
