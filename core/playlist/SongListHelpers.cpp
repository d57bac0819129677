#include "core/playlist/SongListHelpers.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/playlist/CategoryTree.h"
#include "core/playlist/CustomCategory.h"
#include "core/playlist/PlaylistErrors.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/QueueList.h"
#include "core/playlist/SongList.h"
#include "foundation/Errors.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {

void CheckCanAddFiles(const TCustomCategory* category) {
    if (!CategoryCanAddFiles(category)) throw EPlaylistError("Category does not support the adding of files.");
}

double LeastCategorySortID(const TCustomCategory& category) {
    IDatasetPtr row =
        PoolQuery("SELECT MIN(sortID) as sortID FROM categorylist WHERE (categoryID = :ID)", {category.ID});
    return row->IsEmpty() ? 0 : FieldFloat(*row, "sortID");
}

void PlaceInCategory(const ISongItemListPtr& items, bool atBottom, TCustomCategory& category) {
    if (!items || items->Count() == 0) return;
    if (atBottom)
        category.AddSongs(*items, 0, 0);
    else
        category.AddSongs(*items, 0, LeastCategorySortID(category));
}

// The sub-folders of Folder in name order; linked folders are left alone, so a link back up the
// tree can't make the walk endless.
std::vector<std::filesystem::path> SubFolders(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> list;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_directory(typeEc) && !it->is_symlink(typeEc)) list.push_back(it->path());
    }
    std::sort(list.begin(), list.end());
    return list;
}

void AddSubFolders(const std::filesystem::path& folder, TCustomCategory* category, TCategoryTree& tree,
                   TSongList& songList) {
    for (const std::filesystem::path& sub : SubFolders(folder)) {
        const std::string name = sub.filename().string();
        TCustomCategory* target = tree.FindByName(name);
        if (!target) target = tree.CreateCategory(category, name);
        if (!target) {
            LogMessage("Could not create the category " + name, "SongList", LogKind::Error);
            continue;
        }
        AddFolderToCategory(sub.string() + "/", false, true, songList, target);
        AddSubFolders(sub, target, tree, songList);
    }
}

}  // namespace

void AddFilesToQueue(const std::vector<std::string>& files, bool atBottom, TQueueList& queue, TSongList& songList) {
    ISongItemListPtr items = songList.AddFileList(files);
    if (items->Count() == 0) return;
    if (atBottom) {
        queue.AddSongs(items, 0, 0, 0);
    } else {
        WaitForQueueWrites(QueueWritesLimit);  // the top is above a song queued a moment ago too
        IDatasetPtr row = PoolQuery("SELECT MIN(sortID) as sortID FROM queuelist");
        queue.AddSongs(items, 0, 0, row->IsEmpty() ? 0 : FieldFloat(*row, "sortID"));
    }
}

void AddFilesToCategory(const std::vector<std::string>& files, bool atBottom, TCustomCategory* category,
                        TSongList& songList) {
    CheckCanAddFiles(category);
    PlaceInCategory(songList.AddFileList(files), atBottom, *category);
}

void AddFolderToCategory(const std::string& folder, bool recursive, bool atBottom, TSongList& songList,
                         TCustomCategory* category) {
    CheckCanAddFiles(category);
    PlaceInCategory(songList.AddFolder(folder, recursive), atBottom, *category);
}

void AddFolderTreeToCategory(const std::string& folder, TCustomCategory* category, TCategoryTree& tree,
                             TSongList& songList) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) throw EFileError("Invalid path specified!");
    AddSubFolders(path, category, tree, songList);
}

}  // namespace kelvar
