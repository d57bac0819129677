#pragma once
// The song rows the windows open to show and edit: each statement behind a named operation, so
// that no window holds SQL. The results are open on the calling thread's connection.
#include <cstdint>
#include <string>
#include <vector>

#include "database/Dataset.h"
#include "media/SongInfo.h"

namespace kelvar {

class TCustomCategory;

// The songs with these IDs, editable, by artist, album and title; no IDs open nothing (nullptr).
IDatasetPtr OpenSongsForEdit(const std::vector<int>& IDs);
// One song, editable, with its ID also as songID.
IDatasetPtr OpenSongForEdit(int64_t SongID);
// The songs of an album but one (ID also as songID), editable, by track number and title.
IDatasetPtr OpenAlbumTracks(const std::string& Album, const TDLVariant& ExceptID);
// The queued songs in queue order, read-only.
IDatasetPtr OpenQueuedSongs();
// The songs of a category with every song column, read-only; nullptr when the category lists
// no songs through a statement.
IDatasetPtr OpenCategorySongs(TCustomCategory& Category);
// Every song of the library.
IDatasetPtr OpenAllSongs(bool ReadOnly);
// Raises the database's error when the song database can't be queried (the start-up check).
void CheckSongDatabase();

// Library maintenance: weights clamped to 1..99 and the balance recomputed from them.
void ResetSongWeights();
// Every row of the play history goes.
void ClearHistory();

// Sample rows for the windows' screenshots, or nullptr when the library is empty or unreachable:
// up to three songs by artist, album and title; up to three songs of the first album, ID also as
// songID; the first song by ID.
IDatasetPtr SampleSongs();
IDatasetPtr SampleAlbumTracks();
ISongInfoPtr SampleSong();

}  // namespace kelvar
