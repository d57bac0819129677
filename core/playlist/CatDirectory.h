#pragma once
// A folder on disk as a source of songs for the clockwheel rotation: the library's songs whose
// files lie in the folder (or, when recursive, below it).
#include <string>

#include "core/playlist/CategorySelection.h"
#include "database/SQLPool.h"

namespace kelvar {

class TSongList;
class IPlaylistRules;

class TCatDirectory {
public:
    // Folder gets a trailing "/" when it has none.
    TCatDirectory(TSongList* songList, bool recursive, std::string folder, IPlaylistRules* rules);

    bool Recursive;
    std::string Folder;
    TSongList* SongList;
    IPlaylistRules* Rules;

    // The condition on filename and its values. Wildcards in the folder's name match only
    // themselves.
    void FolderWhere(std::string& where, TVariantArray& values) const;
    ISongInfoPtr SelectSong(const TVariantArray& params);
    // New files of the folder enter the library; stored files are checked against the disk.
    void Rescan();
};

}  // namespace kelvar
