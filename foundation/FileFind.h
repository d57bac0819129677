#pragma once
// Folder searches with file-name masks ("*" and "?", matched without regard to case).
#include <string>
#include <vector>

namespace kelvar {

// True when name matches mask; "*" stands for any run of characters, "?" for one, and letters
// match without regard to case; "*.*" matches every name, with or without an extension.
bool MatchesMask(const std::string& name, const std::string& mask);

// Appends (list is not cleared) the full path of every entry of folder, files and folders alike,
// whose name matches mask; with recursive, then the matches of each subfolder, depth first.
// Entries come in name order. A missing or unreadable folder adds nothing.
void FindFiles(std::vector<std::string>& list, const std::string& mask, const std::string& folder, bool recursive);

// Clears list, then adds every folder below folder at any depth, each with a trailing "/", a
// folder before its own subfolders. Raises EFileError "Invalid path specified!" when folder
// does not exist.
void ListSubFolders(const std::string& folder, std::vector<std::string>& list);

}  // namespace kelvar
