#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TagFixtures.h"
#include "media/tags/ID3v2Ex.h"
#include "media/tags/TagErrors.h"

namespace kelvar {
namespace {

using test::Bytes;
using test::operator+;
using test::Text;

Bytes T(const std::string& s) { return Bytes{0} + Text(s); }
Bytes BigEndianBytesFor(uint32_t v) { return test::BigEndianBytes(v); }

class ID3v2TagTest : public testing::Test {
protected:
    std::string Make(const Bytes& bytes, const std::string& name = "song.mp3") {
        const std::string file = dir.File(name);
        test::WriteFile(file, bytes);
        return file;
    }
    test::TempDir dir;
    const Bytes audio = test::Mp3Frames(3);
};

TEST_F(ID3v2TagTest, ReadsVersion23TextFrames) {
    const Bytes body = test::Id3Frame("TIT2", T("Song"), 3) + test::Id3Frame("TPE1", T("Band"), 3) +
                       test::Id3Frame("TRCK", T("4/10"), 3) + test::Id3Frame("TYER", T("1999"), 3) +
                       test::Id3Frame("TBPM", T("128"), 3) + test::Id3Frame("TCON", T("(17)Rock"), 3);
    const std::string file = Make(test::Id3Tag(3, 0, body, 50) + audio);
    TID3v2KelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.Version, 3);
    EXPECT_EQ(tag.TagSize, int64_t(10 + body.size() + 50));
    EXPECT_EQ(tag.Title(), "Song");
    EXPECT_EQ(tag.Artist(), "Band");
    EXPECT_EQ(tag.TrackNo(), 4);
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.BPM(), 128);
    EXPECT_EQ(tag.Genre(), "Rock");
    EXPECT_EQ(tag.Album(), "");
    EXPECT_EQ(tag.SongType(), "?");
}

TEST_F(ID3v2TagTest, TwoCommentsReadLastFirstAndSwapOnSave) {
    const Bytes c1 = Bytes{0} + Text("eng") + Bytes{0} + Text("first");
    const Bytes c2 = Bytes{0} + Text("eng") + Bytes{0} + Text("second");
    const std::string file =
        Make(test::Id3Tag(3, 0, test::Id3Frame("COMM", c1, 3) + test::Id3Frame("COMM", c2, 3)) + audio);
    TID3v2Tag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    EXPECT_EQ(tag.Comment(), "second");
    ASSERT_TRUE(tag.SaveToFile());
    TID3v2Tag again;
    again.LoadFromFile(file);
    EXPECT_EQ(again.Comment(), "first");
}

TEST_F(ID3v2TagTest, ExtendedHeadersAreSkipped) {
    // 2.3: a 4-byte size that leaves itself out; 2.4: a sync-safe size that counts itself.
    const Bytes ext23 = BigEndianBytesFor(6) + Bytes(6, 0);
    const Bytes ext24 = test::SyncSafeBytes(6) + Bytes{1, 0};
    for (int version : {3, 4}) {
        const Bytes body = (version == 3 ? ext23 : ext24) + test::Id3Frame("TIT2", T("Extended"), version) +
                           test::Id3Frame("XYZW", {1, 2, 3}, version);
        const std::string file = Make(test::Id3Tag(version, 0x40, body, 20) + audio);
        TID3v2Tag tag;
        ASSERT_TRUE(tag.LoadFromFile(file));
        EXPECT_EQ(tag.Title(), "Extended") << version;
        ASSERT_EQ(tag.Frames().size(), 2u) << version;
        // Saving keeps every frame and drops the extended header.
        tag.WriteVersion = version;
        ASSERT_TRUE(tag.SaveToFile());
        const Bytes saved = test::ReadFile(file);
        EXPECT_EQ(saved[5], 0);
        TID3v2Tag again;
        again.LoadFromFile(file);
        EXPECT_EQ(again.Title(), "Extended");
        EXPECT_NE(again.FindFrame("XYZW"), nullptr);
    }
}

// Real-world 2.4 tags: plain (not sync-safe) frame sizes after a large frame, an extended header
// flagged but absent, and the year only in the recording date.
TEST_F(ID3v2TagTest, Version24WriterQuirksKeepEveryFrame) {
    const Bytes texts = test::Id3Frame("TIT2", T("Song"), 4) + test::Id3Frame("TPE1", T("Band"), 4) +
                        test::Id3Frame("TALB", T("Album"), 4) + test::Id3Frame("TRCK", T("6/15"), 4) +
                        test::Id3Frame("TDRC", T("2009-09-04 14:20"), 4) + test::Id3Frame("TCON", T("Jazz"), 4);
    const Bytes plainPriv =
        Text("PRIV") + test::BigEndianBytes(200) + Bytes{0, 0} + Text("com.apple") + Bytes{0} + Bytes(190, 1);
    // Plain sizes whose sync-safe reading lands on a zero inside the frame (the Latin-1 encoding
    // byte of a picture or TXXX frame) or is no sync-safe number at all (0x8CEA has bit 7 set).
    const auto plainFrame = [](const char* id, const Bytes& data) {
        return Text(id) + test::BigEndianBytes(uint32_t(data.size())) + Bytes{0, 0} + data;
    };
    const Bytes latinPicture = Bytes{0} + Text("image/png") + Bytes{0, 3} + Text("cover") + Bytes{0} + Bytes(300, 7);
    const Bytes latinTxxx = Bytes{0} + Text("note") + Bytes{0} + Bytes(300, 'x');
    const Bytes bigPicture = Bytes{0} + Text("image/jpeg") + Bytes{0, 3, 0} + Bytes(0x8CEA - 14, 9);
    const struct {
        const char* name;
        uint8_t flags;
        Bytes body;
    } cases[] = {
        {"plain sizes", 0, plainPriv + texts},
        {"missing extended header", 0x40, texts},
        {"plain-sized Latin-1 picture", 0, plainFrame("APIC", latinPicture) + texts},
        {"plain-sized Latin-1 TXXX", 0, plainFrame("TXXX", latinTxxx) + texts},
        {"plain size with bit 7 set", 0, plainFrame("APIC", bigPicture) + texts},
        {"plain sizes after the texts", 0, texts + plainFrame("APIC", latinPicture)},
    };
    for (const auto& c : cases) {
        const std::string file = Make(test::Id3Tag(4, c.flags, c.body, 30) + audio);
        for (int round = 0; round < 2; ++round) {
            TID3v2Tag tag;
            ASSERT_TRUE(tag.LoadFromFile(file));
            EXPECT_EQ(tag.Title(), "Song") << c.name << round;
            EXPECT_EQ(tag.Artist(), "Band") << c.name << round;
            EXPECT_EQ(tag.Album(), "Album") << c.name << round;
            EXPECT_EQ(tag.TrackNo(), 6) << c.name << round;
            EXPECT_EQ(tag.Year(), "2009") << c.name << round;
            EXPECT_EQ(tag.Genre(), "Jazz") << c.name << round;
            if (std::string(c.name) == "plain sizes") {
                const auto* priv = dynamic_cast<const TPrivateFrame*>(tag.FindFrame("PRIV"));
                ASSERT_NE(priv, nullptr) << round;
                EXPECT_EQ(priv->Owner, "com.apple");
                EXPECT_EQ(priv->Data, std::string(190, '\1'));
            }
            // The saved tag is well formed and reads the same.
            tag.WriteVersion = 4;
            ASSERT_TRUE(tag.SaveToFile());
        }
    }
}

TEST_F(ID3v2TagTest, PlayerDataCommentsAreNotTheComment) {
    const Bytes mine = Bytes{0} + Text("eng") + Bytes{0} + Text("Nice song");
    const Bytes smpb = Bytes{0} + Text("eng") + Text("iTunSMPB") + Bytes{0} + Text("00000000 00000210");
    const std::string file =
        Make(test::Id3Tag(3, 0, test::Id3Frame("COMM", mine, 3) + test::Id3Frame("COMM", smpb, 3)) + audio);
    TID3v2Tag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    EXPECT_EQ(tag.Comment(), "Nice song");
    tag.SetComment("Better song");
    ASSERT_TRUE(tag.SaveToFile());
    TID3v2Tag again;
    again.LoadFromFile(file);
    EXPECT_EQ(again.Comment(), "Better song");
    int players = 0;
    for (const auto& f : again.Frames())
        if (auto* c = dynamic_cast<const TTextDescFrame1*>(f.get()); c && c->Description == "iTunSMPB") {
            EXPECT_EQ(c->Text, "00000000 00000210");
            ++players;
        }
    EXPECT_EQ(players, 1);
    // With only players' comments, the last one still reads as before.
    const std::string only = Make(test::Id3Tag(3, 0, test::Id3Frame("COMM", smpb, 3)) + audio, "only.mp3");
    TID3v2Tag itunes;
    itunes.LoadFromFile(only);
    EXPECT_EQ(itunes.Comment(), "00000000 00000210");
}

TEST_F(ID3v2TagTest, UnsynchronisationIsUndone) {
    const Bytes picture = {0xFF, 0xE0, 0xFF, 0x00, 0xFF, 0xFF, 0x12};
    const Bytes apic = Bytes{0} + Text("image/png") + Bytes{0, 3, 0} + picture;
    // The same bytes after unsynchronisation: FF followed by 111xxxxx or 00 gets a 00 between.
    auto unsync = [](const Bytes& in) {
        Bytes out;
        for (size_t i = 0; i < in.size(); ++i) {
            out.push_back(in[i]);
            if (in[i] == 0xFF && (i + 1 == in.size() || in[i + 1] == 0 || (in[i + 1] & 0xE0) == 0xE0)) out.push_back(0);
        }
        return out;
    };
    // 2.3: the whole tag body; the frame size counts the bytes before unsynchronisation.
    {
        const Bytes body = test::Id3Frame("APIC", apic, 3) + test::Id3Frame("TIT2", T("After"), 3);
        const std::string file = Make(test::Id3Tag(3, 0x80, unsync(body)) + audio, "v23.mp3");
        TID3v2Tag tag;
        tag.LoadFromFile(file);
        auto pic = tag.GetPicture();
        ASSERT_NE(pic, nullptr);
        EXPECT_EQ(Bytes(pic->GetData(), pic->GetData() + pic->GetSize()), picture);
        EXPECT_EQ(tag.Title(), "After");
    }
    // 2.4: per frame, with a data length indicator; the size counts the stored bytes.
    {
        const Bytes stored = test::SyncSafeBytes(static_cast<uint32_t>(apic.size())) + unsync(apic);
        const Bytes body = test::Id3Frame("APIC", stored, 4, 0x0003) + test::Id3Frame("TIT2", T("After"), 4);
        const std::string file = Make(test::Id3Tag(4, 0, body) + audio, "v24.mp3");
        TID3v2Tag tag;
        tag.LoadFromFile(file);
        auto pic = tag.GetPicture();
        ASSERT_NE(pic, nullptr);
        EXPECT_EQ(Bytes(pic->GetData(), pic->GetData() + pic->GetSize()), picture);
        EXPECT_EQ(tag.Title(), "After");
        // Written back plain: the picture survives a save.
        ASSERT_TRUE(tag.SaveToFile());
        TID3v2Tag again;
        again.LoadFromFile(file);
        pic = again.GetPicture();
        ASSERT_NE(pic, nullptr);
        EXPECT_EQ(Bytes(pic->GetData(), pic->GetData() + pic->GetSize()), picture);
    }
}

TEST_F(ID3v2TagTest, CompressedFramesStayRawInTheirVersion) {
    const Bytes packed = {0, 0, 0, 9, 0x78, 0x9C, 1, 2, 3};
    const std::string file = Make(
        test::Id3Tag(4, 0, test::Id3Frame("TIT2", packed, 4, 0x0009) + test::Id3Frame("TALB", T("Album"), 4)) + audio);
    TID3v2Tag tag;
    tag.LoadFromFile(file);
    auto* raw = dynamic_cast<TDataFrame*>(tag.FindFrame("TIT2"));
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->Data, packed);
    EXPECT_EQ(tag.Title(), "");
    tag.WriteVersion = 3;
    ASSERT_TRUE(tag.SaveToFile());
    const Bytes saved = test::ReadFile(file);
    EXPECT_EQ(saved[3], 4);  // kept in 2.4, where the frame's flags mean what they say
    TID3v2Tag again;
    again.LoadFromFile(file);
    auto* kept = dynamic_cast<TDataFrame*>(again.FindFrame("TIT2"));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->Data, packed);
    EXPECT_EQ(kept->Flags, 0x0009);
    EXPECT_EQ(again.Album(), "Album");

    // A new title replaces the unreadable one, so the song can still be re-tagged.
    again.SetTitle("New");
    ASSERT_TRUE(again.SaveToFile());
    TID3v2Tag retitled;
    retitled.LoadFromFile(file);
    EXPECT_EQ(retitled.Title(), "New");
    EXPECT_EQ(retitled.Album(), "Album");
    EXPECT_EQ(dynamic_cast<TDataFrame*>(retitled.FindFrame("TIT2")), nullptr);
}

TEST_F(ID3v2TagTest, Version22FramesMapTo23) {
    const Bytes com = Bytes{0} + Text("eng") + Bytes{0} + Text("note");
    const Bytes body = test::Id3Frame22("TT2", T("Old")) + test::Id3Frame22("TRK", T("3/12")) +
                       test::Id3Frame22("TYE", T("1999")) + test::Id3Frame22("COM", com) +
                       test::Id3Frame22("PIC", Bytes{0} + Text("JPG") + Bytes{3, 0, 1, 2}) +
                       test::Id3Frame22("TP1", Bytes{1, 0xFF, 0xFE, 'U', 0});
    const std::string file = Make(test::Id3Tag(2, 0, body) + audio);
    TID3v2Tag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    EXPECT_EQ(tag.Version, 2);
    EXPECT_EQ(tag.Title(), "Old");
    EXPECT_EQ(tag.TrackNo(), 3);
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.Comment(), "note");
    EXPECT_EQ(tag.Artist(), "U");
    EXPECT_EQ(tag.GetPicture(), nullptr);
}

TEST_F(ID3v2TagTest, RewriteAndInPlaceSizes) {
    // No tag: a 4096-byte tag goes in front of the old content.
    {
        const std::string file = Make(audio, "none.mp3");
        TID3v2Tag tag;
        tag.LoadFromFile(file);
        EXPECT_FALSE(tag.Exists);
        // TIT2 (11 bytes) and TXXX (12 + text): 300 bytes of frames.
        tag.SetFrameValue("TXXX", std::string(277, 'x'));
        tag.SetTitle("");
        ASSERT_TRUE(tag.SaveToFile());
        const Bytes saved = test::ReadFile(file);
        ASSERT_EQ(saved.size(), 4096 + audio.size());
        EXPECT_EQ(Bytes(saved.begin() + 4096, saved.end()), audio);
        EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 6), (Bytes{'I', 'D', '3', 3, 0, 0}));
        EXPECT_EQ(saved[10 + 300], 0);
        EXPECT_EQ(saved[10 + 299], 'x');
    }
    // A 4096-byte tag with room: written in place, size unchanged.
    {
        const std::string file =
            Make(test::Id3Tag(3, 0, test::Id3Frame("TIT2", T("a"), 3), 4086 - 12) + audio, "fits.mp3");
        ASSERT_EQ(test::ReadFile(file).size(), 4096 + audio.size());
        TID3v2Tag tag;
        tag.LoadFromFile(file);
        tag.SetAlbum("Bigger album name");
        ASSERT_TRUE(tag.SaveToFile());
        const Bytes saved = test::ReadFile(file);
        EXPECT_EQ(saved.size(), 4096 + audio.size());
        EXPECT_EQ(Bytes(saved.end() - audio.size(), saved.end()), audio);
    }
    // An 8192-byte tag is larger than the padding size: the file shrinks by 4096 bytes.
    {
        const std::string file =
            Make(test::Id3Tag(3, 0, test::Id3Frame("TIT2", T("a"), 3), 8182 - 12) + audio, "big.mp3");
        TID3v2Tag tag;
        tag.LoadFromFile(file);
        ASSERT_TRUE(tag.SaveToFile());
        EXPECT_EQ(test::ReadFile(file).size(), 4096 + audio.size());
    }
}

TEST_F(ID3v2TagTest, WriteVersionIsClampedTo3Or4) {
    const struct {
        int requested;
        uint8_t written;
    } cases[] = {{2, 3}, {3, 3}, {4, 4}, {5, 4}, {0, 3}};
    for (const auto& c : cases) {
        const std::string file = Make(audio, "v" + std::to_string(c.requested) + ".mp3");
        TID3v2Tag tag;
        tag.LoadFromFile(file);
        tag.SetTitle("t");
        tag.WriteVersion = c.requested;
        ASSERT_TRUE(tag.SaveToFile());
        EXPECT_EQ(test::ReadFile(file)[3], c.written) << c.requested;
        TID3v2Tag again;
        again.LoadFromFile(file);
        EXPECT_EQ(again.Title(), "t");
    }
}

TEST_F(ID3v2TagTest, KelvarFieldsAndUnknownFramesRoundTrip) {
    const Bytes unknown =
        test::Id3Frame("XYZW", {5, 0, 6}, 3, 0x8000) + test::Id3Frame("PRIV", Text("me") + Bytes{0, 9}, 3);
    const Bytes v1 = test::Id3v1Block("v1", "", "", "", Bytes(30, 0), 1);
    const std::string file = Make(test::Id3Tag(3, 0, unknown) + audio + v1);
    for (int version : {3, 4}) {
        TID3v2KelvarTag tag;
        ASSERT_TRUE(tag.LoadFromFile(file));
        tag.WriteVersion = version;
        tag.SetTitle("\xE6\x97\xA5\xE6\x9C\xAC");
        tag.SetArtist("Caf\xC3\xA9");
        tag.SetComment("multi\nline");
        tag.SetLyrics("la la");
        tag.SetYear("2001");
        tag.SetTrackNo(7);
        tag.SetBPM(121);
        tag.SetArtistURL("http://a/");
        tag.SetCatalog("CAT1");
        tag.SetOverlay(true);
        tag.SetRating(5);
        tag.SetSongType("Jingle");
        tag.SetXFade("fadein=1&fadeout=2");
        TPictureInfo picture;
        picture.SetMimeType("image/png");
        tag.SetPicture(picture);
        ASSERT_TRUE(tag.SaveToFile()) << version;

        TID3v2KelvarTag back;
        ASSERT_TRUE(back.LoadFromFile(file));
        EXPECT_EQ(back.Version, version);
        EXPECT_EQ(back.Title(), "\xE6\x97\xA5\xE6\x9C\xAC");
        EXPECT_EQ(back.Artist(), "Caf\xC3\xA9");
        EXPECT_EQ(back.Comment(), "multi\nline");
        EXPECT_EQ(back.Lyrics(), "la la");
        EXPECT_EQ(back.Year(), "2001");
        EXPECT_EQ(back.TrackNo(), 7);
        EXPECT_EQ(back.BPM(), 121);
        EXPECT_EQ(back.ArtistURL(), "http://a/");
        EXPECT_EQ(back.Catalog(), "CAT1");
        EXPECT_TRUE(back.Overlay());
        EXPECT_EQ(back.Rating(), 5);
        EXPECT_EQ(back.SongType(), "J");
        EXPECT_EQ(back.XFade(), "fadein=1&fadeout=2");
        ASSERT_NE(back.GetPicture(), nullptr);
        EXPECT_EQ(back.GetPicture()->GetMimeType(), "image/png");
        auto* raw = dynamic_cast<TDataFrame*>(back.FindFrame("XYZW"));
        ASSERT_NE(raw, nullptr);
        EXPECT_EQ(raw->Data, (Bytes{5, 0, 6}));
        EXPECT_EQ(raw->Flags, version == 3 ? 0x8000 : 0x4000);  // tag alter preservation in each version
        auto* priv = dynamic_cast<TPrivateFrame*>(back.FindFrame("PRIV"));
        ASSERT_NE(priv, nullptr);
        EXPECT_EQ(priv->Owner, "me");
        // The audio and the ID3v1 block behind it are untouched.
        const Bytes saved = test::ReadFile(file);
        EXPECT_EQ(Bytes(saved.end() - audio.size() - 128, saved.end()), audio + v1);
    }
}

TEST_F(ID3v2TagTest, UserTextsAndOverlay) {
    const Bytes txxx = Bytes{0} + Text("Overlay") + Bytes{0} + Text("yes");
    const std::string file = Make(test::Id3Tag(3, 0, test::Id3Frame("TXXX", txxx, 3)) + audio);
    TID3v2KelvarTag tag;
    tag.LoadFromFile(file);
    EXPECT_TRUE(tag.Overlay());
    EXPECT_EQ(tag.GetUserText("overlay"), "");  // descriptions compare with case
    tag.SetOverlay(tag.Overlay());
    EXPECT_EQ(tag.GetUserText("Overlay"), "YES");
    EXPECT_EQ(tag.Rating(), 0);
    tag.SetUserText("Rating", "x");
    EXPECT_EQ(tag.Rating(), 0);
    tag.AddFrame(CreateFrame("PRIV"));
    EXPECT_THROW(tag.SetFrameValue("priv", "x"), ETagError);
    tag.AddFrame(CreateFrame("MCDI"));
    EXPECT_THROW(tag.SetFrameValue("MCDI", "x"), ETagError);
}

TEST_F(ID3v2TagTest, FooterCountsIntoTheTagSize) {
    const Bytes body = test::Id3Frame("TIT2", T("Footed"), 4);
    const Bytes footer = Text("3DI") + Bytes{4, 0, 0x10} + test::SyncSafeBytes(static_cast<uint32_t>(body.size()));
    const std::string file = Make(test::Id3Tag(4, 0x10, body) + footer + audio);
    TID3v2Tag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    EXPECT_EQ(tag.TagSize, int64_t(20 + body.size()));
    EXPECT_EQ(tag.Title(), "Footed");
    tag.SetArtist("A");
    ASSERT_TRUE(tag.SaveToFile());
    const Bytes saved = test::ReadFile(file);
    EXPECT_EQ(Bytes(saved.end() - audio.size(), saved.end()), audio);
    TID3v2Tag again;
    again.LoadFromFile(file);
    EXPECT_EQ(again.Title(), "Footed");
    EXPECT_EQ(again.Artist(), "A");
}

TEST_F(ID3v2TagTest, ReadOnlyOrMissingFilesAreNotWritten) {
    const Bytes original = test::Id3Tag(3, 0, test::Id3Frame("TIT2", T("keep"), 3)) + audio;
    const std::string file = Make(original);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    TID3v2Tag tag;
    ASSERT_TRUE(tag.LoadFromFile(file));
    tag.SetTitle("changed");
    EXPECT_FALSE(tag.SaveToFile());
    EXPECT_EQ(test::ReadFile(file), original);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"song.mp3"});

    TID3v2Tag missing;
    EXPECT_FALSE(missing.LoadFromFile(dir.File("nothing.mp3")));
    EXPECT_FALSE(missing.SaveToFile());
}

TEST_F(ID3v2TagTest, SaveKeepsTheFileMode) {
    const std::string file = Make(audio);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    TID3v2Tag tag;
    tag.LoadFromFile(file);
    tag.SetTitle("x");
    ASSERT_TRUE(tag.SaveToFile());
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ID3v2TagTest, HostileSizesEndTheReadingSafely) {
    const Bytes good = test::Id3Frame("TIT2", T("Good"), 4);
    const struct {
        const char* what;
        Bytes file;
        const char* title;
        int64_t tagSize;
    } cases[] = {
        {"tag size past the end", Text("ID3") + Bytes{4, 0, 0} + test::SyncSafeBytes(100000) + good, "", 0},
        {"size byte with high bit", Text("ID3") + Bytes{4, 0, 0, 0x80, 0, 0, 10} + good + Bytes(200, 0), "", 0},
        {"frame past the tag",
         test::Id3Tag(4, 0, good + Text("TALB") + test::SyncSafeBytes(5000) + Bytes{0, 0, 0}) + audio, "Good",
         int64_t(10 + good.size() + 11)},
        {"absurd 2.3 frame size",
         test::Id3Tag(3, 0, test::Id3Frame("TIT2", T("Good"), 3) + Text("TALB") + Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0, 0}) +
             audio,
         "Good", int64_t(10 + 15 + 10)},
        {"extended header larger than the tag", test::Id3Tag(3, 0x40, BigEndianBytesFor(0xFFFFFFF0u) + good) + audio,
         "", -1},
        {"lower-case frame id", test::Id3Tag(4, 0, Text("tit2") + test::SyncSafeBytes(1) + Bytes{0, 0, 'x'}) + audio,
         "", -1},
    };
    for (const auto& c : cases) {
        const std::string file = Make(c.file, "hostile.mp3");
        TID3v2Tag tag;
        EXPECT_TRUE(tag.LoadFromFile(file)) << c.what;
        EXPECT_EQ(tag.Title(), c.title) << c.what;
        if (c.tagSize >= 0) {
            EXPECT_EQ(tag.TagSize, c.tagSize) << c.what;
        }
    }
}

TEST_F(ID3v2TagTest, EveryTruncationReadsWithoutHarm) {
    const Bytes apic = Bytes{1} + Text("image/jpeg") + Bytes{0, 3, 0xFF, 0xFE, 'd', 0, 0, 0, 1, 2, 3};
    const Bytes full =
        test::Id3Tag(4, 0x40,
                     test::SyncSafeBytes(6) + Bytes{1, 0} + test::Id3Frame("APIC", apic, 4) +
                         test::Id3Frame("COMM", Bytes{1} + Text("eng") + Bytes{0xFF, 0xFE, 0, 0, 0xFF}, 4) +
                         test::Id3Frame("TIT2", Bytes{3, 0xE6, 0x97}, 4));
    for (size_t n = 0; n <= full.size(); ++n) {
        const std::string file = Make(Bytes(full.begin(), full.begin() + n), "cut.mp3");
        TID3v2Tag tag;
        EXPECT_EQ(tag.LoadFromFile(file), n >= 10) << n;
        tag.GetPicture();
        tag.Comment();
        tag.Title();
    }
}

}  // namespace
}  // namespace kelvar
