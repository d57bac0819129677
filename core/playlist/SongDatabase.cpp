#include "core/playlist/SongDatabase.h"

#include "database/SQLPool.h"

namespace kelvar {

bool OpenSongDatabase(const std::string& Driver, IConfigDoc* Section) {
    ISQLPoolManagerPtr manager = CreatePoolManager(Driver);
    if (!manager) return false;
    if (Section) manager->LoadConfig(*Section);
    manager->Open();
    return true;
}

}  // namespace kelvar
