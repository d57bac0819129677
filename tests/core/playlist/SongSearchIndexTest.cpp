// The search through the in-memory index answers exactly the rows of the search statement, on a
// real database: every field, both modes, song types, folded non-ASCII text, file names across
// their folder, wildcards, and songs added, edited and deleted after the index was loaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/SongTestDatabase.h"
#include "core/playlist/SharedSongIndex.h"
#include "core/playlist/SongList.h"
#include "core/playlist/SongRows.h"
#include "core/playlist/SongSearch.h"
#include "core/playlist/SongSearchIndex.h"
#include "foundation/TextUtil.h"

namespace kelvar {
namespace {

using namespace std::chrono_literals;

class SongSearchIndexTest : public songtest::TSongDbFixture {
protected:
    void TearDown() override {
        SongIndexForget();
        TSongDbFixture::TearDown();
    }

    static int AddSong(const std::string& fileName, const std::string& artist, const std::string& title,
                       const std::string& album, char songType = 'S') {
        const int id = AddSongRow(fileName, artist, title);
        PoolExecSQL("UPDATE songlist SET album = :album, songtype = :songtype WHERE ID = :ID",
                    {album, std::string(1, songType), id});
        return id;
    }

    // The statement's rows, as IDs in its order.
    static std::vector<int> StatementIDs(const TSearchRequest& request) {
        std::string sql;
        TVariantArray params;
        if (!BuildSearchSQL(request, sql, params)) return {};
        std::vector<int> ids;
        IDatasetPtr rows = PoolQuery(sql, params, true);
        for (rows->First(); !rows->Eof(); rows->Next())
            ids.push_back(static_cast<int>(rows->GetFieldValue("ID").AsInteger()));
        return ids;
    }

    static std::vector<int> SearchIDs(const TSearchRequest& request) {
        std::vector<int> ids;
        ISongItemListPtr songs = RunSongSearch(request, *PoolGetConnection());
        for (int i = 0; i < songs->Count(); ++i) ids.push_back(songs->Items(i).SongID);
        return ids;
    }

    // The index names every song the statement finds, and the search answers the statement's rows.
    static void ExpectSameAsStatement(const TSearchRequest& request, const std::string& label) {
        const std::vector<int> expected = StatementIDs(request);
        const std::string text = UpperUtf8(request.Text);
        if (TSongSearchIndex::Searchable(text)) {
            std::vector<int32_t> candidates;
            const TSearchFields fields{request.Artist, request.Title, request.Album, request.Filename};
            ASSERT_EQ(
                FindInSongIndex(*PoolGetConnection(), text, request.Substring, fields, MostCandidates, candidates),
                TIndexAnswer::Found)
                << label;
            for (int id : expected)
                EXPECT_NE(std::find(candidates.begin(), candidates.end(), id), candidates.end())
                    << label << ": song " << id << " not a candidate";
        }
        EXPECT_EQ(SearchIDs(request), expected) << label;
    }

    static TSearchRequest Request(const std::string& text, bool substring, const std::string& fields, char songType = 0,
                                  bool limit = true) {
        TSearchRequest r;
        r.Text = text;
        r.Substring = substring;
        r.Limit100 = limit;
        r.Artist = fields.find('a') != std::string::npos;
        r.Title = fields.find('t') != std::string::npos;
        r.Album = fields.find('l') != std::string::npos;
        r.Filename = fields.find('f') != std::string::npos;
        r.SongType = songType;
        return r;
    }
};

TEST_F(SongSearchIndexTest, AnswersTheStatementsRowsForEveryKindOfRequest) {
    AddSong("/music/abba/waterloo.mp3", "ABBA", "Waterloo", "Arrival");
    AddSong("/music/queen/bicycle race.mp3", "Queen", "Bicycle Race", "Jazz");
    AddSong("/music/björk/jóga.flac", "Björk", "Jóga", "Homogenic");
    AddSong("/music/misc/100% pure.mp3", "Various", "100% Pure", "Mix_1");
    AddSong("/other/kinks/waterloo sunset.mp3", "The Kinks", "Waterloo Sunset", "", 'J');
    AddSong("/other/kinks/lola.mp3", "The Kinks", "Lola", "Lola Versus Powerman", 'J');
    AddSong("http://stream.example/live", "Radio", "Live Stream", "");
    const int noArtist = AddSong("noFolder.mp3", "", "Nameless", "Abbey");
    PoolExecSQL("UPDATE songlist SET artist = NULL WHERE ID = :ID", {noArtist});
    ASSERT_TRUE(SongIndexWaitLoaded(30s));

    struct TCase {
        TSearchRequest Request;
        const char* Label;
    };
    const TCase cases[] = {
        {Request("waterloo", true, "at"), "substring in two fields"},
        {Request("loo", true, "t"), "substring inside a title"},
        {Request("loo", false, "t"), "prefix mode skips inner text"},
        {Request("WATER", false, "t"), "prefix of titles"},
        {Request("kinks", true, "t"), "a field not ticked"},
        {Request("arrival", true, "l"), "album"},
        {Request("ABB", false, "al"), "prefix of artist or album, NULL artist"},
        {Request("bicycle", true, "f"), "file name without its folder"},
        {Request("abba/wat", true, "f"), "across the folder into the name"},
        {Request("c/abba/waterloo.m", true, "f"), "over the whole folder end"},
        {Request("/music/ab", false, "f"), "prefix inside the folder"},
        {Request("/music/abba/w", false, "f"), "prefix across the folder"},
        {Request("/other/kinks/", false, "f"), "prefix of a whole folder"},
        {Request("music", true, "f"), "inside folders"},
        {Request("http://stream", false, "f"), "an address"},
        {Request("nofolder", false, "f"), "a file without a folder"},
        {Request("björk", true, "at"), "non-ASCII folded"},
        {Request("jÓga", true, "t"), "non-ASCII in mixed case"},
        {Request("/MUSIC/BJÖRK/JÓ", false, "f"), "non-ASCII file name in prefix mode"},
        {Request("waterloo", true, "at", 'J'), "song type"},
        {Request("o", true, "atlf", 'S', false), "many matches, no limit"},
        {Request("100%", true, "t"), "percent as a wildcard"},
        {Request("mix_1", true, "l"), "underscore as a wildcard"},
        {Request("zzz", true, "atlf"), "nothing"},
    };
    for (const TCase& c : cases) ExpectSameAsStatement(c.Request, c.Label);
}

TEST_F(SongSearchIndexTest, SeesSongsAddedEditedAndDeletedAfterItsLoad) {
    const int edited = AddSong("/m/a.mp3", "Alpha", "First", "");
    const int deleted = AddSong("/m/b.mp3", "Beta", "Marker Doomed", "");
    ASSERT_TRUE(SongIndexWaitLoaded(30s));
    const TSearchRequest marker = Request("marker", true, "at");
    EXPECT_EQ(SearchIDs(marker), (std::vector<int>{deleted}));

    const int added = AddSong("/m/c.mp3", "Gamma", "Marker New", "");
    // An editor open across searches: its song is read again while it lives.
    IDatasetPtr editor = OpenSongForEdit(edited);
    EXPECT_EQ(SearchIDs(marker), (std::vector<int>{deleted, added}));
    editor->Edit();
    editor->SetFieldValue("title", "Marker Edited");
    editor->Post();
    TSongList library;
    library.DeleteSong(deleted);
    // A song another writer stored below the highest key already read, and said so.
    const int low = std::min(edited, deleted) - 1;
    PoolExecSQL("INSERT INTO songlist (ID, filename, artist, title) VALUES (:ID, '/m/low.mp3', 'Low', 'Marker Low')",
                {low});
    SongIndexSongsChanged({low});

    ExpectSameAsStatement(marker, "after the changes");
    EXPECT_EQ(SearchIDs(marker), (std::vector<int>{edited, added, low}));
}

TEST_F(SongSearchIndexTest, TheLimitedSearchKeepsTheStatementsOrderOverManyCandidates) {
    // 4,000 songs with "Zed" in their titles over three ID lists, artists in no key order, about
    // four songs an artist so that the order goes by title too.
    // i = 0 .. 3999 from two short recursions (the engine stops one at 1024).
    PoolExecSQL(
        "INSERT INTO songlist (ID, filename, artist, title) WITH RECURSIVE "
        "a AS (SELECT 0 AS k FROM RDB$DATABASE UNION ALL SELECT k + 1 FROM a WHERE k < 999), "
        "b AS (SELECT 0 AS j FROM RDB$DATABASE UNION ALL SELECT j + 1 FROM b WHERE j < 3), "
        "n AS (SELECT a.k * 4 + b.j AS i FROM a CROSS JOIN b) "
        "SELECT 1000000 + i, '/many/' || i || '.mp3', 'Artist ' || MOD(i * 7919, 1009), "
        "'Zed ' || i FROM n");
    ASSERT_TRUE(SongIndexWaitLoaded(30s));
    for (bool substring : {true, false})
        for (const char* text : {"zed", "artist 1"}) {
            TSearchRequest request = Request(text, substring, "at");
            ExpectSameAsStatement(request, text);
            EXPECT_EQ(SearchIDs(request).size(), 100u) << text;
        }
}

TEST_F(SongSearchIndexTest, SearchesTakeTheStatementUntilTheIndexIsLoaded) {
    const int id = AddSong("/s/x.mp3", "Solo", "Only", "");
    SongIndexForget();
    std::vector<int32_t> found;
    EXPECT_EQ(FindInSongIndex(*PoolGetConnection(), "SOLO", true, {}, MostCandidates, found), TIndexAnswer::NotLoaded);
    EXPECT_EQ(SearchIDs(Request("solo", true, "a")), (std::vector<int>{id}));
    ASSERT_TRUE(SongIndexWaitLoaded(30s));
    EXPECT_EQ(FindInSongIndex(*PoolGetConnection(), "SOLO", true, {}, MostCandidates, found), TIndexAnswer::Found);
    EXPECT_EQ(found, (std::vector<int32_t>{id}));
    EXPECT_GT(SongIndexMemoryBytes(), 0u);
}

// The index alone: what it keeps per song and how it matches, without a database.
TEST(SongSearchIndexMemory, FindsByFieldAndReplacesSongs) {
    TSongSearchIndex index;
    index.Put(3, "Abc", "Def", "Ghi", "/x/y/name.mp3");
    index.Put(5, "Def", "Xyz", "", "/x/y/other.mp3");
    std::vector<int32_t> found;
    const TSearchFields artistOnly{true, false, false, false};
    ASSERT_TRUE(index.Find("DEF", true, artistOnly, 10, found));
    EXPECT_EQ(found, (std::vector<int32_t>{5}));
    ASSERT_TRUE(index.Find("Y/NAME", true, {false, false, false, true}, 10, found));
    EXPECT_EQ(found, (std::vector<int32_t>{3}));
    EXPECT_FALSE(index.Find("/X/", true, {false, false, false, true}, 1, found)) << "over the limit";

    index.Put(3, "Def", "", "", "/z/name.mp3");
    for (bool substring : {true, false}) {
        ASSERT_TRUE(index.Find("DEF", substring, artistOnly, 10, found));
        EXPECT_EQ(found, (std::vector<int32_t>{5, 3})) << "one song after the other";
    }
    index.Remove(5);
    ASSERT_TRUE(index.Find("DEF", false, artistOnly, 10, found));
    EXPECT_EQ(found, (std::vector<int32_t>{3}));
    EXPECT_EQ(index.Count(), 1u);
    EXPECT_EQ(index.MaxID(), 5);

    for (const char* text : {"", "A%", "A_B", "A\x01", "\xC3"}) EXPECT_FALSE(TSongSearchIndex::Searchable(text));
    EXPECT_TRUE(TSongSearchIndex::Searchable("ÉTÉ 1/2"));
}

}  // namespace
}  // namespace kelvar
