#include "core/playlist/QueueList.h"

#include <algorithm>
#include <atomic>

#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/ProgressHandler.h"
#include "database/datalink/DLEngine.h"
#include "foundation/Logger.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

namespace {

std::atomic<uint32_t> QueueStaleMark{0};

// Every column of the current row under its own name.
ISongInfoPtr SongOfRow(IDataset& row) { return TSongInfo::CreateFromDataset(row, row.FieldNames()); }

}  // namespace

void MarkQueueCountStale() { QueueStaleMark.fetch_add(1); }

TQueueList::TQueueList() : FSeenStaleMark(QueueStaleMark.load()) {}

void TQueueList::CheckStaleMark() {
    const uint32_t mark = QueueStaleMark.load();
    if (mark != FSeenStaleMark) {
        FSeenStaleMark = mark;
        CachedCount = -1;
    }
}

void TQueueList::ApplyQueued() {
    if (!GetDelayedQuery()->WaitForAll())
        // The database is away: what follows fails on its own, or finds the queue as it was.
        LogMessage("Queue: waiting for the queued changes failed", "DATABASE", LogKind::Warning);
}

void TQueueList::Progress(int percent, const std::string& text) {
    if (OnProgress) OnProgress(*this, percent, text);
}

void TQueueList::AddSong(const ISongInfo& song, TInsertPos position) {
    if (position == ipInsert) throw EPlaylistError("InsertPos not supported: ipInsert");
    ISongItemListPtr list = NewSongItemList();
    TSongItem& item = list->Add();
    item.ListID = -1;
    item.SongID = song.GetID();
    item.Duration = song.GetDuration();
    const int32_t request = TextToIntDef0(song.GetValue("requestID"));
    item.Caption = song.GetDisplayName();
    if (request > 0) item.Caption += " ~requested~";
    AddSongs(list, request, 0, position == ipTop ? -1 : 0);
}

ISQLConnectionPtr TQueueList::BeginWrite() {
    const TSQLDriverType type = SQLDriverType.load();
    if (type != dtFirebird && type != dtPostgreSQL) return PoolGetWriteConnection();
    ISQLPoolPtr pool = GetCurrentSQLPool();
    if (FWriteConnection && (!pool || pool != FWritePool.lock() || pool->GetClosed())) FWriteConnection.reset();
    if (FWriteConnection) {
        try {
            FWriteConnection->StartTransaction();
            return FWriteConnection;
        } catch (const std::exception&) {
            FWriteConnection.reset();  // gone with its database: attach again
        }
    }
    ISQLConnectionPtr connection = PoolGetWriteConnection();
    FWriteConnection = connection;
    FWritePool = pool;
    return connection;
}

void TQueueList::EndWrite(bool failed) {
    const TSQLDriverType type = SQLDriverType.load();
    if (type != dtFirebird && type != dtPostgreSQL) return;
    if (failed) FWriteConnection.reset();
}

void TQueueList::AddSongs(const ISongItemListPtr& songs, int32_t requestID, double after, double before) {
    ApplyQueued();
    ISQLConnectionPtr connection = BeginWrite();
    try {
        if (before == -1) {
            IDatasetPtr first = connection->Query("SELECT MIN(sortID) as sortID FROM queuelist", {}, true);
            before = first->IsEmpty() ? 0 : FieldFloat(*first, "sortID");
        }
        IDatasetPtr rows =
            connection->QueryLimit("SELECT queuelist.* FROM queuelist ORDER BY sortID DESC", {}, false, 1, 0);
        const double greatest = rows->IsEmpty() ? 0 : FieldFloat(*rows, "sortID");
        const int count = songs ? songs->Count() : 0;
        double step = 0;
        SortIDRange(after, before, step, count, greatest);
        TProgressHandler progress(static_cast<uint32_t>(count), "Add Queue...",
                                  [this](int percent, const std::string& text) { Progress(percent, text); });
        double value = after;
        for (int i = 0; i < count; ++i) {
            TSongItem& item = songs->Items(i);
            value += step;
            rows->Append();
            rows->SetFieldValue("songID", item.SongID);
            rows->SetFieldValue("sortID", value);
            rows->SetFieldValue("requestID", requestID);
            MarkForRecount();
            rows->Post();
            item.SortID = value;
            item.ListID = FieldInt(*rows, "ID");
            progress.SetPosition(static_cast<uint32_t>(i + 1));
        }
    } catch (...) {
        // Rows posted before the failure stay.
        try {
            connection->Commit();
        } catch (...) {}
        EndWrite(true);
        throw;
    }
    try {
        connection->Commit();
    } catch (...) {
        EndWrite(true);
        throw;
    }
    EndWrite(false);
    if (songs && songs->Count() > 0 && OnAdd) OnAdd(*this, songs);
}

void TQueueList::Clear() {
    ApplyQueued();
    PoolExecSQL("DELETE FROM queuelist");
    CachedCount = 0;
    FSeenStaleMark = QueueStaleMark.load();
    if (OnChange) OnChange(*this);
}

void TQueueList::Delete(int32_t id) {
    // The row may be gone already (played, or deleted twice): the next Count counts again.
    MarkForRecount();
    GetDelayedQuery()->ExecSQL("DELETE FROM queuelist WHERE ID = :ID", {id}, nullptr, false);
    if (OnDelete) OnDelete(*this, id);
}

void TQueueList::DeleteSongs(const std::vector<int32_t>& ids) {
    if (ids.empty()) return;
    MarkForRecount();
    // Whole numbers only in the text; a few hundred to a statement keeps it well inside the engine's limits.
    constexpr size_t PerStatement = 500;
    for (size_t first = 0; first < ids.size(); first += PerStatement) {
        std::string list;
        for (size_t i = first; i < std::min(ids.size(), first + PerStatement); ++i)
            list += (list.empty() ? "" : ",") + std::to_string(ids[i]);
        GetDelayedQuery()->ExecSQL("DELETE FROM queuelist WHERE ID IN (" + list + ")", {}, nullptr, false);
    }
    if (OnDelete)
        for (int32_t id : ids) OnDelete(*this, id);
}

int32_t TQueueList::Count() {
    CheckStaleMark();
    if (CachedCount < 0) {
        ApplyQueued();
        CachedCount = FieldInt(*PoolQuery("SELECT count(*) as cnt FROM queuelist"), "cnt");
    }
    return CachedCount;
}

ISongInfoPtr TQueueList::PopNext() {
    CheckStaleMark();
    if (CachedCount == 0) return nullptr;
    // An operator's delete or move issued before this pop is seen by it.
    ApplyQueued();
    ISongInfoPtr song;
    int32_t queueID = 0;
    {
        IDatasetPtr row = PoolQueryLimit(
            "SELECT songlist.*, queuelist.ID as queueID, queuelist.requestID  FROM queuelist,songlist WHERE "
            "(songlist.ID = queuelist.songID) ORDER BY queuelist.sortID ASC",
            {}, true, 1, 0);
        if (row->IsEmpty()) {
            // Rows of songs that are gone may remain: they are counted, never played.
            MarkForRecount();
            return nullptr;
        }
        song = SongOfRow(*row);
        queueID = FieldInt(*row, "queueID");
    }
    if (PoolExecSQL("DELETE FROM queuelist WHERE ID = :queueID", {queueID}) > 0 && CachedCount > 0)
        CachedCount = CachedCount - 1;
    else
        MarkForRecount();
    if (OnPop) OnPop(*this, queueID);
    return song;
}

double TQueueList::MoveSong(int32_t id, double sortA, double sortB) {
    const double value = (sortA + sortB) / 2;
    GetDelayedQuery()->ExecSQL("UPDATE queuelist SET sortID = :sortID WHERE ID = :ID", {value, id}, nullptr, false);
    return value;
}

void TQueueList::Shuffle() {
    ApplyQueued();
    IDatasetPtr rows = PoolQuery("SELECT * FROM queuelist", {}, false);
    ShuffleSortIDs(*rows, [this](int percent, const std::string& text) { Progress(percent, text); });
    if (OnChange) OnChange(*this);
}

IDatasetPtr TQueueList::GetList() {
    Progress(10, "Waiting...");
    ApplyQueued();
    Progress(0, "");
    return PoolQuery(
        "SELECT queuelist.*, songlist.artist, songlist.title, songlist.duration FROM queuelist LEFT JOIN songlist ON "
        "(queuelist.songID = songlist.ID) ORDER BY queuelist.sortID ");
}

int TQueueList::RemoveQueueDuplicates() {
    ApplyQueued();
    int removed = 0;
    IDatasetPtr rows = PoolQuery("SELECT MIN(ID) as ID, songID FROM queuelist  GROUP BY songID HAVING count(songID)>1");
    for (rows->First(); !rows->Eof(); rows->Next())
        removed += PoolExecSQL("DELETE FROM queuelist WHERE (ID <> :listID) AND (songID = :songID)",
                               {FieldInt(*rows, "ID"), FieldInt(*rows, "songID")});
    // Rows went: the cached count no longer holds.
    if (removed > 0) MarkForRecount();
    return removed;
}

}  // namespace kelvar
