#include "core/rotation/PlayLimitCleaner.h"

#include <exception>
#include <utility>

#include "core/playlist/LibraryWriter.h"
#include "core/playlist/SongList.h"
#include "database/SQLPool.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/ThreadName.h"

namespace kelvar {

TPlayLimitCleaner::~TPlayLimitCleaner() {
    FCancelled = true;
    Join();
}

void TPlayLimitCleaner::Join() {
    if (FThread.joinable()) FThread.join();
}

bool TPlayLimitCleaner::Start() {
    if (FRunning) return false;
    Join();
    FCancelled = false;
    FNothingLeft = false;
    FRunning = true;
    try {
        FThread = std::thread([this] {
            SetCurrentThreadName("kelvar-limits");
            Run();
            FRunning = false;
        });
    } catch (...) {
        FRunning = false;
        throw;
    }
    return true;
}

void TPlayLimitCleaner::Wait() { Join(); }

std::string TPlayLimitCleaner::TakeError() {
    std::lock_guard lock(FErrorLock);
    return std::exchange(FError, {});
}

bool TPlayLimitCleaner::TakeNothingLeft() { return FNothingLeft.exchange(false); }

std::vector<TPlayLimitCleaner::TDueSong> TPlayLimitCleaner::ReadDueSongs() const {
    std::vector<TDueSong> due;
    IDatasetPtr rows = PoolQuery(
        "SELECT ID, playlimit_action, filename FROM songlist WHERE (playlimit_count>0) AND "
        "(count_played>=playlimit_count) AND (playlimit_action IN ('remove', 'erase')) ",
        {}, true);
    for (rows->First(); !rows->Eof() && !FCancelled; rows->Next()) {
        const std::string action = TrimText(rows->GetFieldValue("playlimit_action").AsString());
        if (action != "remove" && action != "erase") continue;
        due.push_back({static_cast<int32_t>(rows->GetFieldValue("ID").AsInteger()), action == "erase",
                       rows->GetFieldValue("filename").AsString()});
    }
    return due;
}

void TPlayLimitCleaner::Run() {
    try {
        const std::vector<TDueSong> due = ReadDueSongs();
        // The files go first and the songs afterwards, so that no deleted row waits uncommitted
        // on the disk: a reader of that row would wait for the commit.
        std::vector<int32_t> songs;
        for (const TDueSong& song : due) {
            if (FCancelled) break;
            if (song.Erase && !ForceDeleteFile(song.FileName)) {
                // The song stays and the next pass tries again.
                if (FUndeletable.insert(song.ID).second)
                    LogMessage("Could not delete the file " + song.FileName +
                                   " of a song that reached its play limit; it is tried again later",
                               "CORE", LogKind::Warning);
                continue;
            }
            FUndeletable.erase(song.ID);
            songs.push_back(song.ID);
        }
        TLibraryWriter writer;
        for (int32_t id : songs) {
            // A song whose file is gone already is deleted by the next pass.
            if (FCancelled) break;
            writer.DeleteSong(id);
            if (writer.Pending() >= TSongList::RunCommitEvery) writer.Commit();
        }
        writer.Commit();
        FNothingLeft = !FCancelled && songs.size() == due.size();
    } catch (const std::exception& e) {
        std::lock_guard lock(FErrorLock);
        FError = e.what();
        if (FError.empty()) FError = "unknown error";
    } catch (...) {
        std::lock_guard lock(FErrorLock);
        FError = "unknown error";
    }
}

}  // namespace kelvar
