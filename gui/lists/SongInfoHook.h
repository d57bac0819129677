#pragma once
// The song information editor lives in a later folder: the program sets this hook, and the
// song list windows call it with the song IDs of their selected rows (at most 200).
#include <cstdint>
#include <functional>
#include <vector>

namespace kelvar {

class ISongItemList;

extern std::function<void(const std::vector<int32_t>& SongIDs)> ShowSongInfo;
// The song IDs of the first 200 items of Songs.
std::vector<int32_t> SongInfoIDs(const ISongItemList& Songs);

}  // namespace kelvar
