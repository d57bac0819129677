#include "core/playlist/SongRows.h"

#include "core/playlist/CategorySelection.h"
#include "core/playlist/CustomCategory.h"
#include "core/playlist/QueueList.h"
#include "core/playlist/SharedSongIndex.h"
#include "database/SQLPool.h"

namespace kelvar {

namespace {

// Up to three rows of a statement, or nullptr when there are none or the database fails.
IDatasetPtr SampleRows(const std::string& Sql, const TVariantArray& Params = {}) {
    try {
        IDatasetPtr rows = PoolQueryLimit(Sql, Params, false, 3, 0);
        if (rows && !rows->IsEmpty()) return rows;
    } catch (...) {
        // Drawn without data.
    }
    return nullptr;
}

// Editable songs: the search index reads them again while they may change.
IDatasetPtr WatchedForSearch(IDatasetPtr Rows, std::vector<int32_t> IDs) {
    SongIndexWatchEdits(Rows, std::move(IDs));
    return Rows;
}

}  // namespace

IDatasetPtr OpenSongsForEdit(const std::vector<int>& IDs) {
    // Without a song the statement would have no condition.
    if (IDs.empty()) return nullptr;
    std::string sql = "SELECT songlist.* FROM songlist WHERE ";
    for (size_t i = 0; i < IDs.size(); ++i)
        sql += (i ? " OR " : "") + std::string(" (ID = ") + std::to_string(IDs[i]) + ") ";
    sql += " ORDER BY artist,album,title";
    return WatchedForSearch(PoolQuery(sql, {}, false), std::vector<int32_t>(IDs.begin(), IDs.end()));
}

IDatasetPtr OpenSongForEdit(int64_t SongID) {
    return WatchedForSearch(
        PoolQuery("SELECT songlist.*, ID as songID FROM songlist WHERE ID = :songID ", {TDLVariant(SongID)}, false),
        {static_cast<int32_t>(SongID)});
}

IDatasetPtr OpenAlbumTracks(const std::string& Album, const TDLVariant& ExceptID) {
    IDatasetPtr rows = PoolQuery(
        "SELECT songlist.*, ID as songID FROM songlist WHERE (album = :album) AND (ID <> :ID) ORDER BY "
        "trackno, title",
        {Album, ExceptID}, false);
    std::vector<int32_t> ids;
    for (rows->First(); !rows->Eof(); rows->Next())
        ids.push_back(static_cast<int32_t>(rows->GetFieldValue("ID").AsInteger()));
    rows->First();
    return WatchedForSearch(rows, std::move(ids));
}

IDatasetPtr OpenQueuedSongs() {
    // The rows the automation queued a moment ago are listed too.
    WaitForQueueWrites(QueueWritesLimit);
    return PoolQuery(
        "SELECT songlist.* FROM songlist, queuelist WHERE (songlist.ID = queuelist.songID) ORDER BY sortID ASC ", {},
        true);
}

IDatasetPtr OpenCategorySongs(TCustomCategory& Category) {
    std::string sql;
    TVariantArray params;
    if (!Category.GetSongListSQL(sql, params, ", songlist.*")) return nullptr;
    return PoolQuery(sql, params, true);
}

IDatasetPtr OpenAllSongs(bool ReadOnly) {
    IDatasetPtr rows = PoolQuery("SELECT * FROM songlist", {}, ReadOnly);
    if (!ReadOnly) SongIndexWatchLibraryEdits(rows);
    return rows;
}

void CheckSongDatabase() { PoolQuery("SELECT * FROM category", {}, true); }

void ResetSongWeights() {
    PoolExecSQL("UPDATE songlist SET weight = 01 WHERE weight < 01");
    PoolExecSQL("UPDATE songlist SET weight = 99 WHERE weight > 99");
    // weight is a DOUBLE PRECISION column, so this divides in floating point.
    PoolExecSQL("UPDATE songlist SET balance = 1/weight");
}

void ClearHistory() { PoolExecSQL("DELETE FROM historylist"); }

IDatasetPtr SampleSongs() { return SampleRows("SELECT songlist.* FROM songlist ORDER BY artist,album,title"); }

IDatasetPtr SampleAlbumTracks() {
    IDatasetPtr first = SampleRows("SELECT songlist.* FROM songlist WHERE album <> '' ORDER BY album");
    if (!first) return nullptr;
    return SampleRows("SELECT songlist.*, ID as songID FROM songlist WHERE (album = :album) ORDER BY trackno, title",
                      {first->GetValue("album")});
}

ISongInfoPtr SampleSong() {
    try {
        IDatasetPtr rows = PoolQueryLimit("SELECT * FROM songlist ORDER BY ID", {}, true, 1, 0);
        if (rows && !rows->IsEmpty()) return SongFromRow(*rows);
    } catch (...) {
        // No database: no song.
    }
    return nullptr;
}

}  // namespace kelvar
