#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "MediaTestUtil.h"
#include "OggFixture.h"
#include "foundation/Errors.h"
#include "media/Decoder_Ogg.h"
#include "media/SongInfoProvider_imp.h"
#include "media/SongInfo_imp.h"
#include "media/WAVTag.h"
#include "media/WMAFixture.h"
#include "media/WMFTag.h"
#include "media/tags/ID3v2Ex.h"
#include "media/tags/MetaDataConfig_imp.h"
#include "media/tags/OggTag.h"

namespace kelvar {
namespace {

using namespace kelvar::test;
namespace fs = std::filesystem;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Txt(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A 2.3 frame (big-endian size).
Bytes Frame(const std::string& id, const Bytes& payload) {
    const auto n = static_cast<uint32_t>(payload.size());
    return Cat({Txt(id), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, 0}, payload});
}
Bytes TextFrame(const std::string& id, const std::string& text) { return Frame(id, Cat({{0}, Txt(text)})); }
Bytes UserText(const std::string& desc, const std::string& text) {
    return Frame("TXXX", Cat({{0}, Txt(desc), {0}, Txt(text)}));
}
Bytes Id3v23(const Bytes& frames) {
    const auto n = static_cast<uint32_t>(frames.size() + 64);
    Bytes out = Cat(
        {Txt("ID3"),
         {3, 0, 0, uint8_t((n >> 21) & 0x7F), uint8_t((n >> 14) & 0x7F), uint8_t((n >> 7) & 0x7F), uint8_t(n & 0x7F)},
         frames});
    out.resize(out.size() + 64, 0);
    return out;
}
Bytes Id3v1(const std::string& title, const std::string& artist, const std::string& album, const std::string& year,
            const std::string& comment, uint8_t track, uint8_t genre) {
    Bytes b = Txt("TAG");
    auto field = [&](const std::string& s, size_t n) {
        Bytes f(n, 0);
        std::copy_n(s.begin(), std::min(n, s.size()), f.begin());
        b.insert(b.end(), f.begin(), f.end());
    };
    field(title, 30);
    field(artist, 30);
    field(album, 30);
    field(year, 4);
    field(comment, 28);
    b.push_back(0);
    b.push_back(track);
    b.push_back(genre);
    return b;
}

const Bytes& Mp3Audio() {
    static const Bytes audio = EncodeMp3(Tone(44100, 2, 1000, 440), 44100, 2);
    return audio;
}

const Bytes kJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 5, 0xFF, 0xD9};

// Every key a writer handles, with values that survive the round trip unchanged.
const std::map<std::string, std::string> kFullRecord = {
    {"artist", "Die Ärzte"},
    {"title", "東京 Night"},
    {"album", "Album Ω"},
    {"albumyear", "1998"},
    {"genre", "Pop"},
    {"info", "A comment"},
    {"trackno", "7"},
    {"label", "Label"},
    {"pline", "P 1998"},
    {"composer", "Composer"},
    {"ISRC", "USABC9800001"},
    {"catalog", "CAT-1"},
    {"UPC", "0123456789012"},
    {"feeagency", "Agency"},
    {"website", "http://artist.example"},
    {"buycd", "http://shop.example"},
    {"lyrics", "la la la"},
    {"xfade", "fadeout=2000;gap=1"},
    {"Mood", "Happy"},
    {"SongRights", "All"},
    {"songtype", "S"},
    {"Overlay", "YES"},
};

class SongInfoProviders : public testing::Test {
protected:
    void SetUp() override {
        pictures = dir.File("pictures");
        fs::create_directories(pictures);
        SetPictureDir(pictures + "/");
        savedVersion = ID3v2WriteVersion.load();
    }
    void TearDown() override {
        SetPictureDir("");
        ID3v2WriteVersion = savedVersion;
    }
    std::string Make(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.File(name);
        WriteFile(path, bytes);
        return path;
    }
    std::vector<std::string> PictureFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(pictures)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TTempDir dir;
    std::string pictures;
    int savedVersion = 3;
};

TEST_F(SongInfoProviders, ExtensionsMatchWholeItemsOnly) {
    EXPECT_EQ(SongInfoExtension("/m/a.Mp3"), "MP3");
    EXPECT_EQ(SongInfoExtension("/m.x/noext"), "");
    EXPECT_EQ(SongInfoExtension("C:\\m.x\\noext"), "");
    const struct {
        const char* name;
        bool readable;
    } cases[] = {
        {"/m/a.Mp3", true},      {"/m/a.mp2", true},   {"/m/a.ogg", true}, {"/m/a.WAV", true}, {"/m/a.wma", true},
        {"/m/a.asf", true},      {"/m/noext", false},  {"/m/a.P3", false}, {"/m/a.M", false},  {"/m/a.AV", false},
        {"/m/a.mp3.bak", false}, {"/m/a.flac", false}, {"/m/a.", false},
    };
    for (const auto& c : cases) EXPECT_EQ(SongInfoManager().CanRead(c.name), c.readable) << c.name;
    TSongInfo info;
    EXPECT_FALSE(SongInfoManager().ReadInfo("/m/noext", info));
    EXPECT_FALSE(ExtensionListHas("MP3,MP2,MP1", "3,M"));
    EXPECT_TRUE(ExtensionListHas("MP3,MP2,MP1", "MP1"));
}

TEST_F(SongInfoProviders, Mp3WithOnlyId3v1) {
    const std::string path = Make("v1.mp3", Cat({Mp3Audio(), Id3v1("Band - Song", "", "Alb", "1999", "", 5, 17)}));
    TSongInfo info;
    info.SetValue("info", std::string("old comment"));
    info.SetValue("filename", std::string("/elsewhere/kept.mp3"));
    ASSERT_TRUE(SongInfoManager().ReadInfo(path, info));
    EXPECT_EQ(info.GetValue("filename"), "/elsewhere/kept.mp3");
    EXPECT_EQ(info.GetArtist(), "Band");
    EXPECT_EQ(info.GetTitle(), "Song");
    EXPECT_EQ(info.GetAlbum(), "Alb");
    EXPECT_EQ(info.GetValue("albumyear"), "1999");
    EXPECT_EQ(info.GetValue("genre"), "Rock");
    EXPECT_EQ(info.GetValue("info"), "");  // an empty ID3v1 comment clears an older one
    EXPECT_EQ(info.GetValue("trackno"), "5");
    EXPECT_NEAR(info.GetDuration(), 1000, 100);  // the encoder pads a little

    TSongInfo fresh;
    ASSERT_TRUE(SongInfoManager().ReadInfo(path, fresh));
    EXPECT_EQ(fresh.GetFilename(), path);
}

TEST_F(SongInfoProviders, Mp3Id3v2ValuesReplaceId3v1) {
    const Bytes frames = Cat({TextFrame("TPE1", "Artist"), TextFrame("TIT2", "Title"), TextFrame("TALB", "Album"),
                              TextFrame("TYER", "2001"), TextFrame("TRCK", "3/12"), TextFrame("TCON", "Pop"),
                              Frame("COMM", Cat({{0}, Txt("eng"), {0}})), TextFrame("TBPM", "120"),
                              TextFrame("TPUB", "Label"), UserText("Rating", "4"), UserText("SongType", "Jingle"),
                              UserText("Overlay", "yes"), UserText("XFade", "x=1"), UserText("PLine", "P")});
    const std::string path =
        Make("v2.mp3", Cat({Id3v23(frames), Mp3Audio(), Id3v1("Old", "Older", "Oldest", "1980", "v1 note", 1, 0)}));
    TSongInfo info;
    ASSERT_TRUE(SongInfoManager().ReadInfo(path, info));
    const std::map<std::string, std::string> expected = {
        {"artist", "Artist"}, {"title", "Title"},  {"album", "Album"}, {"albumyear", "2001"}, {"trackno", "3"},
        {"genre", "Pop"},     {"info", "v1 note"}, {"BPM", "120"},     {"label", "Label"},    {"Rating", "4"},
        {"songtype", "J"},    {"Overlay", "YES"},  {"xfade", "x=1"},   {"pline", "P"}};
    for (const auto& [key, value] : expected) EXPECT_EQ(info.GetValue(key), value) << key;
    EXPECT_EQ(info.GetValue("picture"), "");
}

TEST_F(SongInfoProviders, Mp3WithoutValidAudioKeepsTagsButFails) {
    // Three MPEG-1 Layer III frames (128 kbit/s, 44100 Hz): found, but under 0.1 s long.
    Bytes frames;
    for (int i = 0; i < 3; ++i) {
        Bytes frame(417, 0);
        frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0x00;
        frames = Cat({frames, frame});
    }
    const std::string path = Make("short.mp3", Cat({Id3v23(TextFrame("TIT2", "Lonely")), frames}));
    TSongInfo info;
    EXPECT_FALSE(SongInfoManager().ReadInfo(path, info));
    EXPECT_EQ(info.GetTitle(), "Lonely");
    EXPECT_EQ(info.GetValue("duration"), "");

    EXPECT_FALSE(SongInfoManager().ReadInfo(dir.File("missing.mp3"), info));
    // Shorter than an ID3v1 block: the file error goes to the caller.
    EXPECT_THROW(SongInfoManager().ReadInfo(Make("tiny.mp3", Bytes(20, 1)), info), EFileError);
}

// A record written by Kelvar reads back the same, the audio and the ID3v1 block stay as
// they were, and frames Kelvar doesn't know survive. Empty BPM and rating don't stop the write.
TEST_F(SongInfoProviders, Mp3WriteReadsBackTheSame) {
    for (int version : {3, 4}) {
        ID3v2WriteVersion = version;
        const Bytes v1 = Id3v1("T", "A", "", "", "", 0, 0);
        const Bytes original =
            Cat({Id3v23(Cat({TextFrame("TIT2", "Before"), Frame("PRIV", Cat({Txt("owner"), {0}, Txt("data")})),
                             UserText("Custom", "mine")})),
                 Mp3Audio(), v1});
        const std::string path = Make("w" + std::to_string(version) + ".mp3", original);
        TSongInfo record;
        for (const auto& [key, value] : kFullRecord) record.SetValue(key, value);
        ASSERT_TRUE(SongInfoManager().CanWrite(path));
        ASSERT_TRUE(SongInfoManager().WriteInfo(path, record)) << version;

        TSongInfo back;
        ASSERT_TRUE(SongInfoManager().ReadInfo(path, back));
        for (const auto& [key, value] : kFullRecord) EXPECT_EQ(back.GetValue(key), value) << key << " v" << version;
        EXPECT_EQ(back.GetValue("BPM"), "");
        EXPECT_EQ(back.GetValue("Rating"), "");

        const Bytes written = ReadFileBytes(path);
        const Bytes& audio = Mp3Audio();
        ASSERT_GT(written.size(), audio.size() + v1.size());
        EXPECT_TRUE(std::equal(v1.begin(), v1.end(), written.end() - static_cast<long>(v1.size())));
        EXPECT_TRUE(
            std::equal(audio.begin(), audio.end(), written.end() - static_cast<long>(v1.size() + audio.size())));
        TID3v2KelvarTag tag;
        ASSERT_TRUE(tag.LoadFromFile(path));
        EXPECT_EQ(tag.Version, version);
        EXPECT_EQ(tag.GetUserText("Custom"), "mine");
        EXPECT_NE(tag.FindFrame("PRIV"), nullptr);
    }
}

TEST_F(SongInfoProviders, PictureGoesToThePictureFolderUnderASafeName) {
    const Bytes apic = Cat({{0}, Txt("image/jpeg"), {0, 3, 0}, kJpeg});
    const struct {
        std::string picFile;
        std::string stored;
    } cases[] = {
        {"", "az_57_CD_AB.jpg"},        {"cover.jpg", "cover.jpg"}, {"../../evil.jpg", "evil.jpg"},
        {"..\\..\\win.jpg", "win.jpg"}, {"..", "az_57_CD_AB.jpg"},  {"sub/../", "az_57_CD_AB.jpg"},
    };
    for (const auto& c : cases) {
        for (const auto& e : fs::directory_iterator(pictures)) fs::remove(e.path());
        Bytes frames = Cat({TextFrame("TPE1", "A/B"), TextFrame("TALB", "C:D"), Frame("APIC", apic)});
        if (!c.picFile.empty()) frames = Cat({frames, UserText("PicFile", c.picFile)});
        const std::string path = Make("pic.mp3", Cat({Id3v23(frames), Mp3Audio()}));
        TSongInfo info;
        info.SetID(57);
        ASSERT_TRUE(SongInfoManager().ReadInfo(path, info));
        EXPECT_EQ(info.GetValue("picture"), c.stored) << c.picFile;
        EXPECT_EQ(PictureFiles(), std::vector<std::string>{c.stored}) << c.picFile;
        EXPECT_EQ(ReadFileBytes(pictures + "/" + c.stored), kJpeg);
    }
    // Nothing landed beside the picture folder.
    EXPECT_FALSE(fs::exists(dir.File("evil.jpg")));
    EXPECT_FALSE(fs::exists(fs::path(dir.File("x")).parent_path().parent_path() / "evil.jpg"));

    // A picture that can't be saved clears the record's picture; the read still succeeds.
    SetPictureDir(dir.File("no-such-folder") + "/");
    const std::string path = Make("pic2.mp3", Cat({Id3v23(Frame("APIC", apic)), Mp3Audio()}));
    TSongInfo info;
    info.SetValue("picture", std::string("old.jpg"));
    ASSERT_TRUE(SongInfoManager().ReadInfo(path, info));
    EXPECT_EQ(info.GetValue("picture"), "");
}

TEST_F(SongInfoProviders, PictureOfTheRecordIsWrittenIntoTheTag) {
    WriteFile(pictures + "/cover.jpg", kJpeg);
    for (const std::string name : {"cover.jpg", "../pictures/cover.jpg"}) {
        const std::string path = Make("wpic.mp3", Mp3Audio());
        TSongInfo record;
        record.SetValue("picture", name);
        ASSERT_TRUE(SongInfoManager().WriteInfo(path, record));
        TID3v2KelvarTag tag;
        ASSERT_TRUE(tag.LoadFromFile(path));
        EXPECT_EQ(tag.PicFile(), "cover.jpg");
        const IPictureInfoPtr picture = tag.GetPicture();
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(Bytes(picture->GetData(), picture->GetData() + picture->GetSize()), kJpeg);
    }
    // A name outside the folder never reaches the tag.
    WriteFile(dir.File("secret.jpg"), kJpeg);
    const std::string path = Make("wpic2.mp3", Mp3Audio());
    TSongInfo record;
    record.SetValue("picture", std::string("../secret.jpg"));
    ASSERT_TRUE(SongInfoManager().WriteInfo(path, record));
    TID3v2KelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(path));
    EXPECT_EQ(tag.GetPicture(), nullptr);
}

TEST_F(SongInfoProviders, OggReadsAndWritesComments) {
    const std::string path =
        Make("song.ogg", EncodeOggVorbis(44100, {"ARTIST=Jane", "TITLE=Tune", "YEAR=1997", "BPM=120,5", "GENRE=Rock",
                                                 "SongType=", "OVERLAY=no"}));
    TSongInfo info;
    ASSERT_TRUE(SongInfoManager().ReadInfo(path, info));
    EXPECT_EQ(info.GetArtist(), "Jane");
    EXPECT_EQ(info.GetTitle(), "Tune");
    EXPECT_EQ(info.GetValue("albumyear"), "1997");
    EXPECT_EQ(info.GetValue("BPM"), "120.5");
    EXPECT_EQ(info.GetValue("songtype"), "");
    EXPECT_EQ(info.GetValue("Overlay"), "NO");
    EXPECT_EQ(info.GetDuration(), 1000);

    TSongInfo record;
    for (const auto& [key, value] : kFullRecord) record.SetValue(key, value);
    record.SetValue("genre", std::string());
    ASSERT_TRUE(SongInfoManager().WriteInfo(path, record));
    TSongInfo back;
    ASSERT_TRUE(SongInfoManager().ReadInfo(path, back));
    for (const auto& [key, value] : kFullRecord)
        if (key != "genre") {
            EXPECT_EQ(back.GetValue(key), value) << key;
        }
    EXPECT_EQ(back.GetValue("genre"), "");
    EXPECT_EQ(back.GetDuration(), 1000);

    TOggKelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(path));
    EXPECT_EQ(tag.GetValue("BPM"), "0.000");  // an empty BPM is written as a number
    EXPECT_EQ(tag.GetValue("RATING"), "0");
    EXPECT_EQ(tag.GetValue("GENRE"), "");  // an empty value removes the comment

    TDecoder_Ogg decoder;
    ASSERT_TRUE(decoder.Open(path));
    EXPECT_EQ(DecodeAll(decoder).Pcm.size(), 44100u * 4);
}

// Comments that read while the stream can't be measured: no made-up negative duration.
TEST_F(SongInfoProviders, OggWithoutMeasurableLengthHasNoDuration) {
    const std::string path = Make("broken.ogg", OggWithBrokenSetup({"TITLE=Half"}));
    TSongInfo info;
    info.SetDuration(5000);
    ASSERT_TRUE(SongInfoManager().ReadInfo(path, info));
    EXPECT_EQ(info.GetTitle(), "Half");
    EXPECT_EQ(info.GetDuration(), 5000);
    TOggKelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(path));
    EXPECT_LT(tag.Duration, 0);
}

TEST_F(SongInfoProviders, NotAnOggFileIsRefusedAndLeftAlone) {
    const Bytes junk(3000, 0x33);
    const std::string path = Make("junk.ogg", junk);
    TSongInfo info;
    EXPECT_FALSE(SongInfoManager().ReadInfo(path, info));
    EXPECT_EQ(info.GetValue("duration"), "");
    info.SetValue("title", std::string("x"));
    EXPECT_FALSE(SongInfoManager().WriteInfo(path, info));
    EXPECT_EQ(ReadFileBytes(path), junk);
    std::vector<std::string> entries;
    for (const auto& e : fs::directory_iterator(fs::path(path).parent_path()))
        entries.push_back(e.path().filename().string());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"junk.ogg", "pictures"}));
}

TEST_F(SongInfoProviders, WmaAttributesRoundTrip) {
    const std::string path = dir.File("song.wma");
    MakeWmaFile(path, 1500, {{"title", "WTitle"}, {"author", "WArtist"}});
    TSongInfo info;
    ASSERT_TRUE(SongInfoManager().ReadInfo(path, info));
    EXPECT_EQ(info.GetArtist(), "WArtist");
    EXPECT_EQ(info.GetTitle(), "WTitle");
    EXPECT_NEAR(info.GetDuration(), 1500, 100);

    TSongInfo record;
    for (const auto& [key, value] : kFullRecord) record.SetValue(key, value);
    ASSERT_TRUE(SongInfoManager().WriteInfo(path, record));
    TSongInfo back;
    ASSERT_TRUE(SongInfoManager().ReadInfo(path, back));
    for (const auto& [key, value] : kFullRecord) EXPECT_EQ(back.GetValue(key), value) << key;
    TWMFTagKelvar tag;
    ASSERT_TRUE(tag.Open(path));
    EXPECT_EQ(tag.GetString("WM/BeatsPerMinute"), "0");
}

// A fractional BPM (as a Vorbis comment holds it) is no reason to write 0 or to read none: Ogg
// keeps it, the formats of whole numbers round it. Ratings go through unchanged.
TEST_F(SongInfoProviders, BpmAndRatingSurviveEveryWriter) {
    const std::string mp3 = Make("bpm.mp3", Mp3Audio());
    const std::string ogg = Make("bpm.ogg", EncodeOggVorbis(44100, {"TITLE=T"}));
    const std::string wma = dir.File("bpm.wma");
    MakeWmaFile(wma, 1000, {{"title", "T"}});
    const struct {
        std::string path, bpm, bpmBack;
    } cases[] = {
        {mp3, "120.5", "121"},   {mp3, "98,4", "98"},     {mp3, "x", ""},
        {ogg, "120.5", "120.5"}, {ogg, "98,25", "98.25"}, {ogg, "x", ""},
        {wma, "120.5", "121"},   {wma, "97", "97"},       {wma, "", ""},
    };
    for (const auto& c : cases) {
        TSongInfo record;
        record.SetValue("title", std::string("T"));
        record.SetValue("BPM", c.bpm);
        record.SetValue("Rating", std::string("4"));
        ASSERT_TRUE(SongInfoManager().WriteInfo(c.path, record)) << c.path << " " << c.bpm;
        TSongInfo back;
        ASSERT_TRUE(SongInfoManager().ReadInfo(c.path, back)) << c.path;
        EXPECT_EQ(back.GetValue("BPM"), c.bpmBack) << c.path << " " << c.bpm;
        EXPECT_EQ(back.GetValue("Rating"), "4") << c.path;
    }
    TOggKelvarTag tag;
    ASSERT_TRUE(tag.LoadFromFile(ogg));
    EXPECT_EQ(tag.GetValue("BPM"), "0.000");

    // Fractions other programs wrote into whole-number fields read rounded, not as none.
    const std::string foreignMp3 = Make("foreign.mp3", Cat({Id3v23(TextFrame("TBPM", "120.5")), Mp3Audio()}));
    {
        TWMFTagKelvar wm;
        ASSERT_TRUE(wm.Open(wma));
        wm.SetString("WM/BeatsPerMinute", "99.6");
        ASSERT_TRUE(wm.Flush());
    }
    for (const auto& [path, bpm] : {std::pair<std::string, std::string>{foreignMp3, "121"}, {wma, "100"}}) {
        TSongInfo info;
        ASSERT_TRUE(SongInfoManager().ReadInfo(path, info)) << path;
        EXPECT_EQ(info.GetValue("BPM"), bpm) << path;
    }
}

TEST_F(SongInfoProviders, OnlyWritableLocalFilesCanBeWritten) {
    const std::string mp3 = Make("rw.mp3", Mp3Audio());
    const std::string ro = Make("ro.mp3", Mp3Audio());
    ASSERT_EQ(::chmod(ro.c_str(), 0444), 0);
    const std::string wav = Make("a.wav", RiffWave(Bytes()));
    const struct {
        std::string name;
        bool writable;
    } cases[] = {{mp3, true},
                 {ro, false},
                 {dir.File("gone.mp3"), false},
                 {"http://host/a.mp3", false},
                 {wav, false},
                 {dir.File("x.flac"), false}};
    for (const auto& c : cases) EXPECT_EQ(SongInfoManager().CanWrite(c.name), c.writable) << c.name;
    TSongInfo record;
    EXPECT_FALSE(SongInfoManager().WriteInfo(dir.File("gone.mp3"), record));
    EXPECT_FALSE(fs::exists(dir.File("gone.mp3")));
}

// WAV files give only their duration, from a chunk walk that must hold against odd headers.
TEST_F(SongInfoProviders, WavDurationFromTheChunkWalk) {
    auto wav = [](const Bytes& fmt, const Bytes& before, uint32_t dataBytes, bool declareMore = false,
                  const Bytes& after = {}, const Bytes& head = {}) {
        Bytes chunks;
        AppendChunk(chunks, "fmt ", fmt);
        chunks.insert(chunks.end(), before.begin(), before.end());
        AppendText(chunks, "data");
        AppendLE32(chunks, declareMore ? 0xFFFFFFFFu : dataBytes);
        const size_t data = chunks.size();
        chunks.resize(data + dataBytes, 0);
        std::copy(head.begin(), head.end(), chunks.begin() + static_cast<ptrdiff_t>(data));
        chunks.insert(chunks.end(), after.begin(), after.end());
        return RiffWave(chunks);
    };
    // Compressed data whose header misstates the rate: the fact chunk's samples, the MPEG
    // frames' own bit rate and the data chunk's own size decide.
    Bytes fact;
    AppendChunk(fact, "fact", [] {
        Bytes count;
        AppendLE32(count, 441000);
        return count;
    }());
    Bytes tail;
    AppendChunk(tail, "LIST", Bytes(3000, 'x'));
    AppendChunk(tail, "id3 ", Bytes(2000, 0));
    const Bytes mpegHead = {0xFF, 0xFB, 0x90, 0x00};  // MPEG-1 layer III, 128 kbit/s, 44100 Hz
    Bytes list;
    AppendChunk(list, "LIST", Bytes(10, 'x'));
    Bytes big;
    AppendChunk(big, "bext", Bytes(70000, 0));
    Bytes oddTail = wav(FormatBody(1, 1, 8000, 8, 1, 8000), {}, 8001);
    oddTail.push_back(0);  // the pad byte after an odd data chunk
    const Bytes noData = RiffWave([] {
        Bytes c;
        AppendChunk(c, "fmt ", FormatBody(1, 2, 44100, 16, 4, 176400));
        return c;
    }());
    Bytes hugeFmt;
    AppendChunk(hugeFmt, "fmt ", Bytes(40000, 0));

    const struct {
        const char* what;
        Bytes file;
        bool valid;
        std::string duration;
    } cases[] = {
        {"pcm with LIST", wav(FormatBody(1, 2, 44100, 16, 4, 176400), list, 176400), true, "1000"},
        {"compressed, 70 KB before data", wav(FormatBody(2, 2, 44100, 4, 1024, 10000), big, 20000), true, "2000"},
        {"odd data and pad byte", oddTail, true, "1000"},
        {"fact chunk over a wrong rate", wav(FormatBody(2, 2, 44100, 4, 1024, 3000), fact, 20000), true, "10000"},
        {"chunks after the data", wav(FormatBody(0x31, 1, 8000, 0, 65, 1625), {}, 16250, false, tail), true, "10000"},
        {"MPEG data, rate field 0", wav(FormatBody(0x55, 2, 44100, 0, 1, 0), {}, 32000, false, {}, mpegHead), true,
         "2000"},
        {"no data chunk", noData, false, ""},
        {"unfinished data size", wav(FormatBody(1, 2, 44100, 16, 4, 176400), {}, 1000, true), false, ""},
        {"block align 0", wav(FormatBody(1, 2, 44100, 16, 0, 176400), {}, 1000), true, ""},
        {"rate 0", wav(FormatBody(1, 2, 0, 16, 4, 0), {}, 1000), true, ""},
        {"format chunk too big", RiffWave(hugeFmt), false, ""},
        {"not RIFF", Bytes(100, 'R'), false, ""},
    };
    for (const auto& c : cases) {
        const std::string path = Make("t.wav", c.file);
        TSongInfo info;
        EXPECT_EQ(SongInfoManager().ReadInfo(path, info), c.valid) << c.what;
        EXPECT_EQ(info.GetValue("duration"), c.duration) << c.what;
    }

    TWAVTag tag;
    std::vector<std::string> logged;
    tag.OnLog = [&](TWAVTag&, const std::string& text) { logged.push_back(text); };
    ASSERT_TRUE(tag.ReadFromFile(Make("l.wav", cases[0].file)));
    EXPECT_EQ(logged, std::vector<std::string>{"Unknown chunk: LIST (Size: 10)"});
    EXPECT_EQ(tag.Channels(), 2);
    EXPECT_EQ(tag.SampleCount(), 44100u);
    ASSERT_TRUE(tag.ReadFromFile(Make("b.wav", cases[1].file)));
    EXPECT_GT(tag.DataOffset(), 65536);
}

}  // namespace
}  // namespace kelvar
