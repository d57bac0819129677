#pragma once
// Play list files: M3U, PLS, ASX and plain-text lists read into absolute paths or stream
// addresses, and a query result written as an extended M3U file.
#include <memory>
#include <string>
#include <vector>

namespace kelvar {

class IDataset;

// Reads FileName by its extension (".M3U", ".PLS", ".ASX", anything else as text) and appends
// each entry to List, resolved against the play list's folder. False when the file does not
// exist (List untouched). Unreadable files and broken XML raise.
bool LoadPlaylistFile(const std::string& fileName, std::vector<std::string>& list);

// One entry of a play list as an absolute path; addresses with "://" stay as written.
void ResolvePlaylistEntry(const std::string& playlistFile, const std::string& entry, std::string& result);

// Writes the rows ("artist", "title", "duration" in ms, "filename") as an extended M3U file.
// The file is replaced as a whole; any failure answers false and leaves an older file as it was.
bool SaveM3U(const std::string& fileName, const std::shared_ptr<IDataset>& rows);

}  // namespace kelvar
