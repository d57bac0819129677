// The media library's import, deletion, erasing and verification on a real song database,
// with small files made in a temporary folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/OggVorbisEncoder.h"
#include "common/SongTestDatabase.h"
#include "common/TempFolder.h"
#include "core/playlist/HistoryList.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/SongList.h"
#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

// One second of 16-bit mono silence.
std::string WavData() {
    auto le = [](uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
        return s;
    };
    const uint32_t rate = 8000, dataSize = rate * 2;
    return "RIFF" + le(36 + dataSize, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(rate, 4) +
           le(rate * 2, 4) + le(2, 2) + le(16, 2) + "data" + le(dataSize, 4) + std::string(dataSize, '\0');
}

// A short tagged Ogg Vorbis file.
std::string OggData(const std::vector<std::string>& comments) {
    test::TOggEncoding e;
    e.Frames = 4410;
    const std::vector<uint8_t> data = test::EncodeOggVorbisStream(e, comments);
    return std::string(data.begin(), data.end());
}

class SongListTest : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        TSongDbFixture::SetUp();
        LastHistoryBalance = 0;
        DefaultWeight = 65;
    }
    void TearDown() override {
        DefaultWeight = 65;
        TSongDbFixture::TearDown();
    }

    std::string MakeFile(const std::string& relative, const std::string& data = "") {
        const fs::path path = Dir.Path() / relative;
        fs::create_directories(path.parent_path());
        test::WriteWholeFile(path.string(), data);
        return path.string();
    }

    static IDatasetPtr Row(const std::string& fileName) {
        return PoolQuery("SELECT * FROM songlist WHERE filename = :f", {fileName});
    }

    static std::vector<std::string> Captions(ISongItemList& items) {
        std::vector<std::string> list;
        for (int i = 0; i < items.Count(); ++i) list.push_back(items.Items(i).Caption);
        return list;
    }

    test::TTempFolder Dir;
    TSongList Library;
};

TEST_F(SongListTest, NewSongsGetTheirStartingValues) {
    LastHistoryBalance = 7;
    const std::string file = MakeFile("Music/Artist - Song.mp3");
    const TDateTime before = NowDateTime();
    ISongItemListPtr items = Library.AddFile(file, "");
    ASSERT_EQ(items->Count(), 1);
    EXPECT_EQ(items->Items(0).Caption, "Artist - Song");
    EXPECT_EQ(items->Items(0).Duration, -1);

    IDatasetPtr row = Row(file);
    ASSERT_FALSE(row->IsEmpty());
    EXPECT_EQ(items->Items(0).SongID, row->GetFieldValue("ID").AsInteger());
    EXPECT_EQ(row->GetFieldValue("artist").AsString(), "Artist");
    EXPECT_EQ(row->GetFieldValue("title").AsString(), "Song");
    EXPECT_EQ(row->GetFieldValue("status").AsInteger(), 0);
    EXPECT_EQ(row->GetFieldValue("songtype").AsString(), "S");
    EXPECT_EQ(row->GetFieldValue("duration").AsInteger(), -1);
    EXPECT_EQ(row->GetFieldValue("weight").AsFloat(), 65);
    const double balance = row->GetFieldValue("balance").AsFloat();
    EXPECT_GE(balance, 7 + 1.0 / 65 - 1e-9);
    EXPECT_LE(balance, 7 + 1.0 / 65 + 0.99 + 1e-9);
    for (const char* column : {"date_played", "date_artist_played", "date_album_played", "date_title_played"}) {
        const double daysAgo = before - FieldOf(*row, column).AsDateTime();
        EXPECT_GE(daysAgo, 30 - 1e-3) << column;
        EXPECT_LE(daysAgo, 35 + 1e-3) << column;
    }

    // The second import answers the stored song.
    ISongItemListPtr again = Library.AddFile(file, "");
    EXPECT_EQ(again->Items(0).SongID, items->Items(0).SongID);
    EXPECT_EQ(CountRows("songlist"), 1);
}

TEST_F(SongListTest, StreamsAndDisplayTexts) {
    Library.AddFile("http://radio.example/stream", "");
    IDatasetPtr row = Row("http://radio.example/stream");
    ASSERT_FALSE(row->IsEmpty());
    EXPECT_EQ(row->GetFieldValue("status").AsInteger(), 2);
    EXPECT_EQ(row->GetFieldValue("title").AsString(), "http://radio.example/stream");
    EXPECT_EQ(row->GetFieldValue("artist").AsString(), "");

    Library.AddFile("/cd/Track01.cda", "Band - Live");
    row = Row("/cd/Track01.cda");
    EXPECT_EQ(row->GetFieldValue("status").AsInteger(), 2);
    EXPECT_EQ(row->GetFieldValue("artist").AsString(), "Band");
    EXPECT_EQ(row->GetFieldValue("title").AsString(), "Live");
}

TEST_F(SongListTest, TagsOverwriteTheStartingValues) {
    const std::string wav = MakeFile("a/Someone - Tone.wav", WavData());
    const std::string ogg =
        MakeFile("a/file name.ogg", OggData({"ARTIST=Tagged Artist", "TITLE=Tagged Title", "ALBUM=Album",
                                             "DESCRIPTION=" + std::string(3000, 'c')}));
    ISongItemListPtr items = Library.AddFileList({wav, ogg});
    ASSERT_EQ(items->Count(), 2);
    EXPECT_EQ(items->Items(0).Duration, 1000);
    EXPECT_EQ(items->Items(0).Caption, "Someone - Tone");
    EXPECT_EQ(items->Items(1).Caption, "Tagged Artist - Tagged Title");
    IDatasetPtr row = Row(ogg);
    EXPECT_EQ(row->GetFieldValue("album").AsString(), "Album");
    // A tag longer than its column is cut, not a reason to lose the song.
    EXPECT_EQ(row->GetFieldValue("info").AsString().size(), 2000u);
}

// Names and tags beyond ASCII are stored byte for byte and found again by the next import; a
// long name fills most of its column in bytes.
TEST_F(SongListTest, TextBeyondAsciiIsStoredAsItIs) {
    const std::string accented = MakeFile(std::string(150, 'l') + " \xC3\x9Cn\xC3\xAF.wav", WavData());
    const std::string emoji = MakeFile("\xF0\x9F\x8E\xB5/\xE6\x97\xA5\xE6\x9C\xAC - \xF0\x9F\x8E\xB6.mp3");
    const std::string tagged =
        MakeFile("t.ogg", OggData({"ARTIST=Bj\xC3\xB6rk", "TITLE=J\xC3\xB3ga \xF0\x9F\x8E\xB5",
                                   "ALBUM=\xE6\x97\xA5\xE6\x9C\xAC", "LYRICS=L\xC3\xA4\xF0\x9F\x8E\xB5"}));
    ISongItemListPtr items = Library.AddFileList({accented, emoji, tagged});
    ASSERT_EQ(items->Count(), 3);
    EXPECT_EQ(Captions(*items), (std::vector<std::string>{std::string(150, 'l') + " \xC3\x9Cn\xC3\xAF",
                                                          "\xE6\x97\xA5\xE6\x9C\xAC - \xF0\x9F\x8E\xB6",
                                                          "Bj\xC3\xB6rk - J\xC3\xB3ga \xF0\x9F\x8E\xB5"}));
    for (const std::string& file : {accented, emoji, tagged}) {
        IDatasetPtr row = Row(file);
        ASSERT_EQ(row->RecordCount(), 1) << file;
        EXPECT_EQ(row->GetFieldValue("filename").AsString(), file);
    }
    EXPECT_EQ(Row(emoji)->GetFieldValue("title").AsString(), "\xF0\x9F\x8E\xB6");
    EXPECT_EQ(Row(tagged)->GetFieldValue("album").AsString(), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(Row(tagged)->GetFieldValue("lyrics").AsString(), "L\xC3\xA4\xF0\x9F\x8E\xB5");
    EXPECT_EQ(CountRows("songlist", "filename = '" + accented + "'"), 1);
    ISongItemListPtr again = Library.AddFileList({tagged, emoji, accented});
    EXPECT_EQ(again->Items(2).SongID, items->Items(0).SongID);
    EXPECT_EQ(CountRows("songlist"), 3);
}

TEST_F(SongListTest, ZeroDefaultWeightStillGivesAUsableRow) {
    DefaultWeight = 0;
    const std::string file = MakeFile("b.mp3");
    Library.AddFile(file, "");
    IDatasetPtr row = Row(file);
    EXPECT_EQ(row->GetFieldValue("weight").AsFloat(), 1);
    const double balance = row->GetFieldValue("balance").AsFloat();
    EXPECT_GE(balance, 1.0);
    EXPECT_LT(balance, 2.0);
    EXPECT_LT(FieldOf(*row, "date_played").AsDateTime(), NowDateTime() - 29);
}

TEST_F(SongListTest, FileListImportKeepsOrderAndFindsStoredRows) {
    // Twelve files in two folders below one prefix: one pass over the stored rows of the prefix.
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i)
        files.push_back(MakeFile(std::string(i % 2 ? "A" : "B") + "/song" + std::to_string(i) + ".mp3"));
    const int storedID = AddSongRow(files[5], "Stored", "Row");

    ISongItemListPtr items = Library.AddFileList(files);
    ASSERT_EQ(items->Count(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(items->Items(i).Caption, i == 5 ? "Stored - Row" : "song" + std::to_string(i)) << i;
    EXPECT_EQ(items->Items(5).SongID, storedID);
    EXPECT_EQ(CountRows("songlist"), 12);

    // A second run adds nothing; a list naming a file twice stores it once.
    EXPECT_EQ(Library.AddFileList(files)->Count(), 12);
    ISongItemListPtr twice = Library.AddFileList({MakeFile("C/x.mp3"), MakeFile("C/x.mp3")});
    EXPECT_EQ(twice->Count(), 2);
    EXPECT_EQ(twice->Items(0).SongID, twice->Items(1).SongID);
    EXPECT_EQ(CountRows("songlist"), 13);
}

TEST_F(SongListTest, PathsAreTakenAsTheyAre) {
    // Names differing only in case are two files here; wildcard characters in folder names
    // match only themselves.
    const std::string upper = MakeFile("Case/Song.mp3"), lower = MakeFile("case/song.mp3");
    const std::string wild = MakeFile("a_b/x.mp3"), other = MakeFile("aXb/x.mp3");
    const std::string percent = MakeFile("100%/x.mp3");
    const int otherID = AddSongRow(other, "Other", "Row");
    ISongItemListPtr items = Library.AddFileList({upper, lower, wild, percent});
    ASSERT_EQ(items->Count(), 4);
    EXPECT_NE(items->Items(0).SongID, items->Items(1).SongID);
    EXPECT_NE(items->Items(2).SongID, otherID);
    EXPECT_EQ(CountRows("songlist"), 5);
}

// One file is one song however its folder is spelled or reached.
TEST_F(SongListTest, AFileIsStoredOnceUnderItsCanonicalName) {
    for (int i = 0; i < 3; ++i) MakeFile("music/Plain/song" + std::to_string(i) + ".mp3");
    const std::string root = Dir.Path().string();
    fs::create_directory_symlink(Dir.Path() / "music", Dir.Path() / "linked");
    ASSERT_EQ(Library.AddFolder(root + "/music/Plain", false)->Count(), 3);
    EXPECT_EQ(Row(root + "/music/Plain/song0.mp3")->RecordCount(), 1);

    for (const std::string& spelling :
         {root + "/music//Plain/", root + "/music/./Plain", root + "/linked/Plain", root + "/music/x/../Plain"}) {
        ISongItemListPtr again = Library.AddFolder(spelling, false);
        EXPECT_EQ(again->Count(), 3) << spelling;
        EXPECT_EQ(CountRows("songlist"), 3) << spelling;
    }
    const std::string relative = fs::relative(Dir.Path() / "linked/Plain/song1.mp3").string();
    EXPECT_EQ(Library.AddFileList({root + "//linked/Plain/song1.mp3", relative})->Count(), 2);
    EXPECT_EQ(Library.AddFile(root + "/linked/./Plain/song2.mp3", "")->Count(), 1);
    EXPECT_EQ(CountRows("songlist"), 3);
    // Addresses are stored as given.
    EXPECT_EQ(CanonicalFileName("http://host//a/./b.mp3"), "http://host//a/./b.mp3");
}

// Several look-up groups and commits: the order holds, stored and repeated names are found.
TEST_F(SongListTest, LargeFileListsKeepOrderAcrossGroups) {
    std::vector<std::string> files;
    for (int i = 0; i < 250; ++i)
        files.push_back(MakeFile("big/" + std::to_string(i % 7) + "/s" + std::to_string(i) + ".wav"));
    const int storedID = AddSongRow(files[170], "Stored", "Row");
    files.push_back(files[3]);
    ISongItemListPtr items = Library.AddFileList(files);
    ASSERT_EQ(items->Count(), 251);
    EXPECT_EQ(items->Items(170).SongID, storedID);
    EXPECT_EQ(items->Items(250).SongID, items->Items(3).SongID);
    EXPECT_EQ(items->Items(249).Caption, "s249");
    EXPECT_EQ(CountRows("songlist"), 250);
    auto row = Row(files[249]);
    ASSERT_EQ(row->RecordCount(), 1);
    EXPECT_EQ(row->GetFieldValue("ID").AsInteger(), items->Items(249).SongID);
    EXPECT_EQ(row->GetFieldValue("weight").AsFloat(), 65);
}

TEST_F(SongListTest, FoldersTakeSongFilesOfAnyCaseButNoFoldersOrLoops) {
    MakeFile("lib/ONE.MP3");
    MakeFile("lib/two.ogg");
    MakeFile("lib/notes.txt");
    MakeFile("lib/sub/three.wav");
    fs::create_directories(Dir.Path() / "lib/folder.mp3");
    fs::create_directory_symlink(Dir.Path() / "lib", Dir.Path() / "lib/sub/loop");

    ISongItemListPtr flat = Library.AddFolder((Dir.Path() / "lib").string(), false);
    EXPECT_EQ(Captions(*flat), (std::vector<std::string>{"ONE", "two"}));
    ISongItemListPtr deep = Library.AddFolder((Dir.Path() / "lib").string(), true);
    EXPECT_EQ(Captions(*deep), (std::vector<std::string>{"ONE", "three", "two"}));
    EXPECT_EQ(CountRows("songlist"), 3);
}

class SongDeletionTest : public SongListTest {
protected:
    // The song in two categories, twice in the queue, requested once and played once.
    int SongWithRows(const std::string& file) {
        const int id = AddSongRow(file);
        for (int category : {1, 2})
            PoolExecSQL(
                "INSERT INTO categorylist (ID, songID, categoryID, sortID) VALUES "
                "(NEXT VALUE FOR GEN_categorylist_ID, :s, :c, 1000)",
                {id, category});
        for (int i = 0; i < 2; ++i)
            PoolExecSQL("INSERT INTO queuelist (ID, songID, sortID) VALUES (NEXT VALUE FOR GEN_queuelist_ID, :s, 1)",
                        {id});
        PoolExecSQL("INSERT INTO requestlist (ID, songID) VALUES (NEXT VALUE FOR GEN_requestlist_ID, :s)", {id});
        PoolExecSQL("INSERT INTO historylist (ID, songID) VALUES (NEXT VALUE FOR GEN_historylist_ID, :s)", {id});
        return id;
    }

    static int RowsOf(int songID) {
        int n = 0;
        for (const char* table : {"categorylist", "queuelist", "requestlist"})
            n += CountRows(table, "songID = " + std::to_string(songID));
        return n + CountRows("songlist", "ID = " + std::to_string(songID));
    }
};

TEST_F(SongDeletionTest, DeleteSongTakesItsListRowsAlongAndKeepsHistory) {
    const int a = SongWithRows("/m/a.mp3"), b = SongWithRows("/m/b.mp3");
    EXPECT_TRUE(Library.DeleteSong(a));
    // Gone at once, not later: nothing points at the deleted song.
    EXPECT_EQ(RowsOf(a), 0);
    EXPECT_EQ(RowsOf(b), 6);
    EXPECT_EQ(CountRows("historylist", "songID = " + std::to_string(a)), 1);
    EXPECT_FALSE(Library.DeleteSong(a));
}

TEST_F(SongDeletionTest, DeleteSongsInBatches) {
    TIntegerList ids;
    EXPECT_FALSE(Library.DeleteSongs(ids));
    const int kept = SongWithRows("/m/kept.mp3");
    const int first = SongWithRows("/m/first.mp3");
    ids.Add(first);
    for (int i = 0; i < 1000; ++i) ids.Add(1000000 + i);  // IDs of no song
    const int last = SongWithRows("/m/last.mp3");
    ids.Add(last);
    EXPECT_TRUE(Library.DeleteSongs(ids));  // the last batch removed a row
    EXPECT_EQ(RowsOf(first), 0);
    EXPECT_EQ(RowsOf(last), 0);
    EXPECT_EQ(RowsOf(kept), 6);
}

// A maintenance run deletes on one connection and commits in batches; what it deleted is gone
// for everyone once the run ends.
TEST_F(SongDeletionTest, DeletionsOfARunShareOneConnection) {
    const int kept = SongWithRows("/m/kept.mp3");
    PoolExecSQL(
        "INSERT INTO songlist (ID, filename) WITH RECURSIVE r AS (SELECT 1 AS n FROM RDB$DATABASE UNION ALL "
        "SELECT n + 1 FROM r WHERE n < 250) SELECT NEXT VALUE FOR GEN_songlist_ID, '/m/gone' || n FROM r");
    std::vector<int> gone;
    auto rows = PoolQuery("SELECT ID FROM songlist WHERE filename STARTING WITH '/m/gone'");
    for (rows->First(); !rows->Eof(); rows->Next())
        gone.push_back(static_cast<int>(rows->GetFieldValue("ID").AsInteger()));
    ASSERT_EQ(gone.size(), 250u);
    const int listed = SongWithRows("/m/listed.mp3");
    {
        TSongList::TWriteRun run(Library);
        TSongList::TWriteRun nested(Library);
        for (int id : gone) EXPECT_TRUE(Library.DeleteSong(id));
        EXPECT_TRUE(Library.DeleteSong(listed));
        EXPECT_FALSE(Library.DeleteSong(listed));
    }
    EXPECT_EQ(CountRows("songlist"), 1);
    EXPECT_EQ(RowsOf(listed), 0);
    EXPECT_EQ(RowsOf(kept), 6);
    EXPECT_EQ(CountRows("historylist", "songID = " + std::to_string(listed)), 1);
}

TEST_F(SongDeletionTest, EraseSongDeletesTheFileWhenThereIsOne) {
    const std::string file = MakeFile("erase/me.mp3");
    const int present = SongWithRows(file);
    const int gone = SongWithRows((Dir.Path() / "erase/gone.mp3").string());
    EXPECT_TRUE(Library.EraseSong(present));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(RowsOf(present), 0);
    EXPECT_FALSE(Library.EraseSong(gone));
    EXPECT_EQ(RowsOf(gone), 0);
}

TEST_F(SongListTest, VerifyFilesFollowsTheDisk) {
    const std::string here = MakeFile("v/here.mp3");
    const std::string missing = (Dir.Path() / "v/missing.mp3").string();
    struct Case {
        std::string file;
        int status, expected;
    };
    const std::vector<Case> cases{{missing, 0, 6}, {here, 6, 0}, {here, 1, 0},    {missing, 1, 1}, {here, 0, 0},
                                  {missing, 2, 2}, {here, 2, 2}, {missing, 3, 3}, {here, 3, 3},    {missing, 6, 6}};
    std::vector<int> ids;
    for (const Case& c : cases) {
        ids.push_back(AddSongRow(c.file));
        PoolExecSQL("UPDATE songlist SET status = :s WHERE ID = :id", {c.status, ids.back()});
    }
    Library.VerifyFiles(*PoolQuery("SELECT ID, filename, status FROM songlist", {}, false));
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(
            PoolQuery("SELECT status FROM songlist WHERE ID = :id", {ids[i]})->GetFieldValue("status").AsInteger(),
            cases[i].expected)
            << cases[i].file << " status " << cases[i].status;
}

}  // namespace
}  // namespace kelvar
