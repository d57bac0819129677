#pragma once
// Adding files or whole folder trees to the queue or to a category in one step: the files enter
// the library first, then their songs go to the top or the bottom of the place.
#include <string>
#include <vector>

namespace kelvar {

class TCategoryTree;
class TCustomCategory;
class TQueueList;
class TSongList;

void AddFilesToQueue(const std::vector<std::string>& files, bool atBottom, TQueueList& queue, TSongList& songList);
// Raise "Category does not support the adding of files." for a category without that capability.
void AddFilesToCategory(const std::vector<std::string>& files, bool atBottom, TCustomCategory* category,
                        TSongList& songList);
void AddFolderToCategory(const std::string& folder, bool recursive, bool atBottom, TSongList& songList,
                         TCustomCategory* category);
// Each sub-folder (at any depth) goes into the category of its name (the first of the whole
// tree, or a new child of its parent folder's category). Files directly in Folder are not
// added. Raises EFileError "Invalid path specified!" when Folder does not exist.
void AddFolderTreeToCategory(const std::string& folder, TCustomCategory* category, TCategoryTree& tree,
                             TSongList& songList);

}  // namespace kelvar
