#pragma once
// The play queue as stored in queuelist: songs play from the least sortID up. The object keeps
// a cached row count and reports every change through its events. Deletes and moves are queued
// on the delayed query; every other call first waits until they have run, so that changes apply
// in the order they were issued, whichever side issued them.
#include <atomic>
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

class TQueueList : public TSQLPoolEnabled {
public:
    TQueueList();

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

private:
    void Progress(int percent, const std::string& text);
    // Waits until the queued deletes and moves have run.
    void ApplyQueued();
    void MarkForRecount() { CachedCount = -1; }
    // A deletion elsewhere since the last look makes the count stale.
    void CheckStaleMark();

    // A connection in a new transaction for a batch of appends. Attaching costs more than the
    // appends of a song or two, so the queue keeps its connection while the pool stays the same.
    ISQLConnectionPtr BeginWrite();
    void EndWrite(bool failed);

    uint32_t FSeenStaleMark = 0;
    ISQLConnectionPtr FWriteConnection;
    std::weak_ptr<ISQLPool> FWritePool;
};

}  // namespace kelvar
