#include "core/playlist/QueueList.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/ProgressHandler.h"
#include "database/datalink/DLEngine.h"
#include "foundation/Logger.h"
#include "foundation/TextUtil.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

namespace {

std::atomic<uint32_t> QueueStaleMark{0};

// Writes queued by every queue and those that have run, for readers on other threads; the
// queues' own counts are kept under the same lock.
std::mutex WritesLock;
std::condition_variable WritesChanged;
uint64_t WritesIssued = 0, WritesDone = 0;

// Queue rows' IDs are taken from the generator this many at a time: one look-up, not one per song.
constexpr int RowIDBlock = 16;
// More outstanding deletes than this and the queue waits for them instead of skipping them.
constexpr size_t MaxSkippedDeletes = 32;

// Every column of the current row under its own name.
ISongInfoPtr SongOfRow(IDataset& row) { return TSongInfo::CreateFromDataset(row, row.FieldNames()); }

}  // namespace

void MarkQueueCountStale() { QueueStaleMark.fetch_add(1); }

bool WaitForQueueWrites(std::chrono::milliseconds limit) {
    std::unique_lock lock(WritesLock);
    const uint64_t target = WritesIssued;
    return WritesChanged.wait_for(lock, limit, [target] { return WritesDone >= target; });
}

// Hears each queued write run (on the delayed query's worker): the rows it stands for are then
// in the table, or not at all when it failed.
struct TQueueList::TWritesRun : IExecCallback {
    std::atomic<int> LastItem{0};
    uint64_t Issued = 0, Done = 0;  // under WritesLock
    bool Retired = false;           // its queue is gone: what still runs is not waited for

    void Issue() {
        std::lock_guard lock(WritesLock);
        ++Issued;
        ++WritesIssued;
    }
    void Ran(int id) {
        int last = LastItem.load();
        while (last < id && !LastItem.compare_exchange_weak(last, id)) {}
        {
            std::lock_guard lock(WritesLock);
            if (Retired) return;
            ++Done;
            ++WritesDone;
        }
        WritesChanged.notify_all();
    }
    // Every write counts as run: they have (a completed wait), or they never will (dropped).
    void Settle(bool retire) {
        {
            std::lock_guard lock(WritesLock);
            WritesDone += Issued - Done;
            Done = Issued;
            Retired = Retired || retire;
        }
        WritesChanged.notify_all();
    }
    bool AllRun() {
        std::lock_guard lock(WritesLock);
        return Done == Issued;
    }
    void OnResult(int id, int /*rowsAffected*/) override { Ran(id); }
    void OnError(int id, const std::exception& error) override {
        LogMessage(std::string("Queue: a queued change failed: ") + error.what(), "DATABASE", LogKind::Error);
        // The table is the truth again: count it.
        MarkQueueCountStale();
        Ran(id);
    }
};

TQueueList::TQueueList() : FSeenStaleMark(QueueStaleMark.load()), FRun(std::make_shared<TWritesRun>()) {}

// Its writes still queued run on (the delayed query finishes them), but nobody waits for them.
TQueueList::~TQueueList() { FRun->Settle(true); }

bool TQueueList::WritesQueued() { return SQLDriverType.load() == dtFirebird; }

void TQueueList::CheckStaleMark() {
    const uint32_t mark = QueueStaleMark.load();
    if (mark != FSeenStaleMark) {
        FSeenStaleMark = mark;
        CachedCount = -1;
    }
}

void TQueueList::ApplyQueued() {
    if (!GetDelayedQuery()->WaitForAll()) {
        // The database is away: what follows fails on its own, or finds the queue as it was.
        LogMessage("Queue: waiting for the queued changes failed", "DATABASE", LogKind::Warning);
        return;
    }
    FQueuedRows.clear();
    FQueuedDeletes.clear();
    FEditQueued = false;
    FRun->Settle(false);
}

void TQueueList::Settle() {
    if (FEditQueued || FQueuedDeletes.size() > MaxSkippedDeletes) {
        ApplyQueued();
        return;
    }
    const int ran = FRun->LastItem.load();
    std::erase_if(FQueuedRows, [ran](const TQueuedRow& row) { return row.Item <= ran; });
    std::erase_if(FQueuedDeletes, [ran](const auto& deleted) { return deleted.second <= ran; });
}

int TQueueList::QueueWrite(const std::string& sql, const TVariantArray& params, int32_t deletedID) {
    FRun->Issue();
    const int item = GetDelayedQuery()->ExecSQL(sql, params, FRun, false);
    if (deletedID != 0) FQueuedDeletes.emplace_back(deletedID, item);
    return item;
}

ISongInfoPtr TQueueList::PopQueued() {
    Settle();
    // The table's first row whose delete is not queued (rows of gone songs are not joined).
    IDatasetPtr row = PoolQueryLimit(
        "SELECT songlist.*, queuelist.ID as queueID, queuelist.requestID, queuelist.sortID as queueSortID FROM "
        "queuelist,songlist WHERE (songlist.ID = queuelist.songID) ORDER BY queuelist.sortID ASC",
        {}, true, static_cast<int>(FQueuedDeletes.size()) + 1, 0);
    bool fromTable = false;
    for (row->First(); !row->Eof(); row->Next())
        if (!DeleteQueued(FieldInt(*row, "queueID"))) {
            fromTable = true;
            break;
        }
    const double tableSortID = fromTable ? FieldFloat(*row, "queueSortID") : 0;
    const int32_t tableID = fromTable ? FieldInt(*row, "queueID") : 0;

    ISongInfoPtr song;
    int32_t queueID = 0;
    // Queued rows before the table's, in their order; the table's row first on a tie.
    std::vector<const TQueuedRow*> ahead;
    for (const TQueuedRow& queued : FQueuedRows)
        if (queued.ID != tableID && !DeleteQueued(queued.ID) && (!fromTable || queued.SortID < tableSortID))
            ahead.push_back(&queued);
    std::stable_sort(ahead.begin(), ahead.end(),
                     [](const TQueuedRow* a, const TQueuedRow* b) { return a->SortID < b->SortID; });
    for (const TQueuedRow* queued : ahead) {
        IDatasetPtr songRow = PoolQuery("SELECT songlist.* FROM songlist WHERE ID = :ID", {queued->SongID}, true);
        if (songRow->IsEmpty()) continue;  // a gone song: its row stays, never played
        song = SongOfRow(*songRow);
        song->SetValue("queueID", std::to_string(queued->ID));
        song->SetValue("requestID", std::to_string(queued->RequestID));
        queueID = queued->ID;
        break;
    }
    if (!song && fromTable) {
        std::vector<std::string> names = row->FieldNames();
        std::erase_if(names, [](const std::string& name) { return SameText(name, "queueSortID"); });
        song = TSongInfo::CreateFromDataset(*row, names);
        queueID = tableID;
    }
    if (!song) {
        MarkForRecount();
        return nullptr;
    }
    QueueWrite("DELETE FROM queuelist WHERE ID = :queueID", {queueID}, queueID);
    if (CachedCount > 0) CachedCount = CachedCount - 1;
    if (OnPop) OnPop(*this, queueID);
    return song;
}

bool TQueueList::DeleteQueued(int32_t id) const {
    return std::any_of(FQueuedDeletes.begin(), FQueuedDeletes.end(),
                       [id](const auto& deleted) { return deleted.first == id; });
}

int32_t TQueueList::NextRowID() {
    ISQLPoolPtr pool = GetCurrentSQLPool();
    if (pool != FRowIDPool.lock()) {
        FRowIDPool = pool;
        FNextRowID = 1;
        FLastRowID = 0;
    }
    if (FNextRowID > FLastRowID) {
        IDatasetPtr block = PoolQuery(
            "SELECT GEN_ID(GEN_queuelist_ID, " + std::to_string(RowIDBlock) + ") AS ID FROM RDB$DATABASE", {}, true);
        if (block->IsEmpty()) throw EPlaylistError("No key from the generator GEN_queuelist_ID");
        FLastRowID = block->GetFieldValue("ID").AsInteger();
        FNextRowID = FLastRowID - RowIDBlock + 1;
    }
    return static_cast<int32_t>(FNextRowID++);
}

bool TQueueList::EdgeSortID(bool least, double& value) {
    bool found = false;
    IDatasetPtr rows =
        PoolQueryLimit(std::string("SELECT ID, sortID FROM queuelist ORDER BY sortID ") + (least ? "ASC" : "DESC"), {},
                       true, static_cast<int>(FQueuedDeletes.size()) + 1, 0);
    for (rows->First(); !rows->Eof(); rows->Next())
        if (!DeleteQueued(FieldInt(*rows, "ID"))) {
            value = FieldFloat(*rows, "sortID");
            found = true;
            break;
        }
    for (const TQueuedRow& row : FQueuedRows)
        if (!DeleteQueued(row.ID) && (!found || (least ? row.SortID < value : row.SortID > value))) {
            value = row.SortID;
            found = true;
        }
    return found;
}

void TQueueList::AddQueued(const ISongItemListPtr& songs, int32_t requestID, double after, double before) {
    Settle();
    if (before == -1) {
        double least = 0;
        before = EdgeSortID(true, least) ? least : 0;
    }
    double greatest = 0;
    if (!EdgeSortID(false, greatest)) greatest = 0;
    const int count = songs ? songs->Count() : 0;
    double step = 0;
    SortIDRange(after, before, step, count, greatest);
    TProgressHandler progress(static_cast<uint32_t>(count), "Add Queue...",
                              [this](int percent, const std::string& text) { Progress(percent, text); });
    double value = after;
    for (int i = 0; i < count; ++i) {
        TSongItem& item = songs->Items(i);
        value += step;
        const int32_t id = NextRowID();
        const int queued = QueueWrite(
            "INSERT INTO queuelist (ID, songID, sortID, requestID) VALUES (:ID, :songID, :sortID, :requestID)",
            {id, item.SongID, value, requestID}, 0);
        FQueuedRows.push_back({id, item.SongID, value, requestID, queued});
        item.SortID = value;
        item.ListID = id;
        if (CachedCount >= 0) ++CachedCount;
        FRecountWhenWritten = true;
        progress.SetPosition(static_cast<uint32_t>(i + 1));
    }
    if (count > 0 && OnAdd) OnAdd(*this, songs);
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
    if (WritesQueued()) {
        AddQueued(songs, requestID, after, before);
        return;
    }
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
    FRecountWhenWritten = false;
    FSeenStaleMark = QueueStaleMark.load();
    if (OnChange) OnChange(*this);
}

void TQueueList::Delete(int32_t id) {
    // The row may be gone already (played, or deleted twice): the next Count counts again.
    MarkForRecount();
    FEditQueued = true;
    QueueWrite("DELETE FROM queuelist WHERE ID = :ID", {id}, 0);
    if (OnDelete) OnDelete(*this, id);
}

void TQueueList::DeleteSongs(const std::vector<int32_t>& ids) {
    if (ids.empty()) return;
    MarkForRecount();
    FEditQueued = true;
    // Whole numbers only in the text; a few hundred to a statement keeps it well inside the engine's limits.
    constexpr size_t PerStatement = 500;
    for (size_t first = 0; first < ids.size(); first += PerStatement) {
        std::string list;
        for (size_t i = first; i < std::min(ids.size(), first + PerStatement); ++i)
            list += (list.empty() ? "" : ",") + std::to_string(ids[i]);
        QueueWrite("DELETE FROM queuelist WHERE ID IN (" + list + ")", {}, 0);
    }
    if (OnDelete)
        for (int32_t id : ids) OnDelete(*this, id);
}

int32_t TQueueList::Count() {
    CheckStaleMark();
    // Appended rows are counted from the table once written (rows may have come behind the
    // queue's back); until then the count kept here answers.
    if (FRecountWhenWritten && FRun->AllRun()) {
        FRecountWhenWritten = false;
        MarkForRecount();
    }
    if (CachedCount < 0) {
        ApplyQueued();
        CachedCount = FieldInt(*PoolQuery("SELECT count(*) as cnt FROM queuelist"), "cnt");
    }
    return CachedCount;
}

ISongInfoPtr TQueueList::PopNext() {
    CheckStaleMark();
    if (CachedCount == 0) return nullptr;
    if (WritesQueued()) return PopQueued();
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
    FEditQueued = true;
    QueueWrite("UPDATE queuelist SET sortID = :sortID WHERE ID = :ID", {value, id}, 0);
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
