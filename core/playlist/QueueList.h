#pragma once
// The play queue as stored in queuelist: songs play from the least sortID up. The object keeps
// a cached row count and reports every change through its events. Every write is queued on the
// delayed query, so that changes apply in the order they were issued, whichever side issued them.
// Appends and pops (the automation's writes, Firebird) never wait: the object remembers the rows
// it queued until they have run and answers from the table and those rows together. After an
// operator's delete or move the next call first waits until the queued writes have run.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/playlist/PlaylistErrors.h"
#include "core/playlist/SQLPoolEnabled.h"
#include "core/playlist/SongItem.h"
#include "foundation/MulticastEvent.h"
#include "media/SongInfo.h"

namespace kelvar {

enum TInsertPos : uint8_t { ipTop = 0, ipBottom = 1, ipInsert = 2 };

// Called by whatever deletes queue rows behind the queue's back (song deletion): every queue
// counts its rows again on its next Count.
void MarkQueueCountStale();

// Waits (Limit at most) until the queue's writes queued so far have run, so that a reader of
// queuelist sees them; false when they had not run in time.
bool WaitForQueueWrites(std::chrono::milliseconds limit);
// How long song deletions and the rotation's rules wait for them.
inline constexpr std::chrono::milliseconds QueueWritesLimit{3000};

class TQueueList : public TSQLPoolEnabled {
public:
    TQueueList();
    ~TQueueList() override;

    // Every listener hears these (windows and the core's front door alike).
    TMulticastEvent<TQueueList& /*sender*/, int /*queueID*/> OnPop;
    TMulticastEvent<TQueueList& /*sender*/, const ISongItemListPtr& /*songs*/> OnAdd;
    TMulticastEvent<TQueueList& /*sender*/, int /*id*/> OnDelete;
    TMulticastEvent<TQueueList& /*sender*/> OnChange;
    // Progress goes to whoever runs the long job.
    std::function<void(TQueueList& sender, int percent, const std::string& text)> OnProgress;

    // The number of rows, or negative when it must be counted again.
    int32_t CachedCount = -1;

    // ipInsert raises "InsertPos not supported: ipInsert".
    void AddSong(const ISongInfo& song, TInsertPos position);
    // After/Before: sortID of the neighbours; Before 0 appends, Before -1 goes before the first.
    void AddSongs(const ISongItemListPtr& songs, int32_t requestID, double after, double before);
    void Clear();
    // Queued on the delayed query; OnDelete fires at once.
    void Delete(int32_t id);
    // Queued as one statement (a crop); OnDelete fires for each at once.
    void DeleteSongs(const std::vector<int32_t>& ids);
    int32_t Count();
    // The first song taken out of the queue (its values include "queueID" and "requestID"), or
    // empty when the queue has none.
    ISongInfoPtr PopNext();
    // Queued; answers the new sortID, the midpoint of SortA and SortB.
    double MoveSong(int32_t id, double sortA, double sortB);
    void Shuffle();
    // Waits for queued statements, then answers the rows with artist, title and duration.
    IDatasetPtr GetList();
    // Answers the number of rows deleted.
    int RemoveQueueDuplicates();
    // Waits until the queued writes have run (the table then holds every change).
    void ApplyQueued();

private:
    // A row whose insert is queued.
    struct TQueuedRow {
        int32_t ID = 0;
        int32_t SongID = 0;
        double SortID = 0;
        int32_t RequestID = 0;
        int Item = 0;  // its number on the delayed query
    };
    struct TWritesRun;

    void Progress(int percent, const std::string& text);
    // Appends and pops through the delayed query (a generator gives the new rows' IDs).
    static bool WritesQueued();
    // Forgets queued rows and deletes that have run; waits for every queued write first after
    // an operator's edit or when many deletes are outstanding.
    void Settle();
    // Queues a statement; DeletedID: the row a pop deletes. Answers the item's number.
    int QueueWrite(const std::string& sql, const TVariantArray& params, int32_t deletedID);
    void AddQueued(const ISongItemListPtr& songs, int32_t requestID, double after, double before);
    ISongInfoPtr PopQueued();
    // The least (or greatest) sortID of the table and the queued rows, skipping rows whose
    // delete is queued; false when the queue has none.
    bool EdgeSortID(bool least, double& value);
    bool DeleteQueued(int32_t id) const;
    int32_t NextRowID();
    void MarkForRecount() { CachedCount = -1; }
    // A deletion elsewhere since the last look makes the count stale.
    void CheckStaleMark();

    // A connection in a new transaction for a batch of appends. Attaching costs more than the
    // appends of a song or two, so the queue keeps its connection while the pool stays the same.
    ISQLConnectionPtr BeginWrite();
    void EndWrite(bool failed);

    uint32_t FSeenStaleMark = 0;
    std::vector<TQueuedRow> FQueuedRows;
    std::vector<std::pair<int32_t /*ID*/, int /*item*/>> FQueuedDeletes;
    bool FEditQueued = false;
    bool FRecountWhenWritten = false;  // an operator's delete or move waits to run
    std::shared_ptr<TWritesRun> FRun;
    int64_t FNextRowID = 1, FLastRowID = 0;
    std::weak_ptr<ISQLPool> FRowIDPool;
    ISQLConnectionPtr FWriteConnection;
    std::weak_ptr<ISQLPool> FWritePool;
};

}  // namespace kelvar
