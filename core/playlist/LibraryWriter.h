#pragma once
// The library's writes of a whole import or maintenance run on one write connection: stored
// file names looked up through the filename index a group at a time, new rows inserted by
// prepared statements with keys reserved from the generator in blocks, tags written into stored
// rows, songs deleted with their list rows. Every change is committed in batches; a run that
// fails takes back only the song it was working on.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/playlist/PreparedStatement.h"
#include "core/playlist/SongItem.h"
#include "database/SQLPool.h"

namespace kelvar {

class TSongInfo;

class TLibraryWriter {
public:
    // Opens the run's write connection (with a started transaction).
    TLibraryWriter();
    // Commits what is still pending; a failure is logged.
    ~TLibraryWriter();
    TLibraryWriter(const TLibraryWriter&) = delete;
    TLibraryWriter& operator=(const TLibraryWriter&) = delete;

    // The stored rows of Names (exact names), by name.
    void LookUp(const std::vector<std::string>& names, std::unordered_map<std::string, TSongItem>& found);
    // A new row for the file with its starting values and tags; false (logged) when it could
    // not be stored.
    bool Insert(const std::string& fileName, TSongItem& item);
    // The tag values that have a column into the song's row, each held to what its column
    // takes; the key, the file name and the columns the tags leave empty stay. False when the
    // song is gone; a failing statement propagates.
    bool UpdateTags(int32_t songID, const TSongInfo& tags);
    // The song with its category, queue and request rows; history rows stay. True when a
    // songlist row went; a failure takes back this song's statements only and propagates.
    bool DeleteSong(int32_t songID);

    // Commits the pending changes and starts the next transaction.
    void Commit();
    // Changes since the last commit.
    size_t Pending() const { return FPending; }
    // Songs deleted by this run (the queue counts its rows again after each commit).
    size_t Deleted() const { return FDeleted; }

    // Names per look-up statement; a smaller group repeats its last name.
    static constexpr size_t LookUpGroup = 50;

private:
    TPreparedStatement& Statement(std::unique_ptr<TPreparedStatement>& slot, const std::string& sql);
    int32_t NextID();
    void OpenScratch();

    ISQLConnectionPtr FConnection;
    std::unique_ptr<TPreparedStatement> FLookUp;
    std::unique_ptr<TPreparedStatement> FReserve;
    std::map<std::string, std::unique_ptr<TPreparedStatement>> FInserts;  // by column list
    std::map<std::string, std::unique_ptr<TPreparedStatement>> FUpdates;  // by column list
    std::unique_ptr<TPreparedStatement> FDeletes[5];
    IDatasetPtr FScratch;  // an empty editable result: the new row's values are made in it
    bool FFastInsert = false;
    int64_t FNextID = 0;
    int64_t FLastID = -1;
    size_t FPending = 0;
    size_t FDeleted = 0;
    bool FDeletedSinceCommit = false;
    std::vector<int32_t> FChanged;  // songs inserted or deleted since the last commit
};

}  // namespace kelvar
