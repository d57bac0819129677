#include "gui/lists/SongInfoHook.h"

#include <algorithm>

#include "core/playlist/SongItem.h"

namespace kelvar {

std::function<void(const std::vector<int32_t>& SongIDs)> ShowSongInfo;

std::vector<int32_t> SongInfoIDs(const ISongItemList& Songs) {
    auto& list = const_cast<ISongItemList&>(Songs);
    std::vector<int32_t> ids;
    for (int i = 0; i < std::min(list.Count(), 200); ++i) ids.push_back(list.Items(i).SongID);
    return ids;
}

}  // namespace kelvar
