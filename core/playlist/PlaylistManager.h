#pragma once
// The playlist database model as one object: the song library, the play queue, the play
// history and the category tree. Made after the SQL pool is open.
#include <memory>

#include "core/playlist/HistoryList.h"
#include "core/playlist/QueueList.h"
#include "core/playlist/SongList.h"

namespace kelvar {

class TCategoryTree;

class TPlaylistManager {
public:
    // Builds the category tree; raises "FillCategoryTree procedure not set!" without a builder.
    TPlaylistManager();
    ~TPlaylistManager();
    TPlaylistManager(const TPlaylistManager&) = delete;
    TPlaylistManager& operator=(const TPlaylistManager&) = delete;

    std::unique_ptr<TSongList> SongList;
    std::unique_ptr<TQueueList> Queue;
    std::unique_ptr<THistoryList> History;
    std::unique_ptr<TCategoryTree> Categories;
};

}  // namespace kelvar
