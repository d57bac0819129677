#include "core/playlist/PlaylistManager.h"

#include "core/playlist/CategoryKinds.h"
#include "core/playlist/CategoryTree.h"

namespace kelvar {

namespace {

TCustomRecycleBinCategory* RecycleBinOf(TCategoryTree* tree) {
    return tree ? dynamic_cast<TCustomRecycleBinCategory*>(tree->FindByName("Recycle Bin")) : nullptr;
}

}  // namespace

TPlaylistManager::TPlaylistManager() {
    SongList = std::make_unique<TSongList>();
    Categories = std::make_unique<TCategoryTree>();
    Categories->Fill();
    if (TCustomRecycleBinCategory* bin = RecycleBinOf(Categories.get())) bin->SongList = SongList.get();
    Queue = std::make_unique<TQueueList>();
    Queue->GetDelayedQuery();
    History = std::make_unique<THistoryList>();
}

TPlaylistManager::~TPlaylistManager() {
    if (Queue) Queue->ReleaseDelayedQuery();
    // The recycle bin must not keep the library it is about to lose.
    if (TCustomRecycleBinCategory* bin = RecycleBinOf(Categories.get())) bin->SongList = nullptr;
    SongList.reset();
    Categories.reset();
    Queue.reset();
    History.reset();
}

}  // namespace kelvar
