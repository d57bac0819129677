#pragma once
// The process's search index of the open song database. It is made at the first search, on a
// thread of its own that reads the library row by row, and the searches meanwhile take the plain
// statement. Before each search the songs added since (an ID above the highest indexed) and the
// songs this program marked changed are read again. Songs that another program edits are seen at
// the next load: the index loads again in the background when it is older than ReloadAfter.
//
// Thread-safe: searches on their workers, marks from any thread (they never wait for SQL).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/playlist/SongSearchIndex.h"
#include "database/SQLPool.h"

namespace kelvar {

enum class TIndexAnswer {
    NotLoaded,  // no index for this database yet (its load has been started)
    Found,      // Found holds every candidate
    TooMany     // more than Limit candidates
};

// The songs whose fields may match Text (folded, TSongSearchIndex::Searchable), the index first
// brought up to date on Connection. A superset: the database decides on each of them.
TIndexAnswer FindInSongIndex(ISQLConnection& Connection, std::string_view Text, bool Substring,
                             const TSearchFields& Fields, size_t Limit, std::vector<int32_t>& Found);

// Any thread: songs this program added, edited or deleted, read again before the next search.
void SongIndexSongsChanged(const std::vector<int32_t>& IDs);
// Any thread: Rows edits these songs; they are read again before every search while Rows lives
// and once after. Only expiry is watched: Rows is never touched here.
void SongIndexWatchEdits(const IDatasetPtr& Rows, std::vector<int32_t> IDs);
// As above for an editable result of every song: once it is gone the index loads again.
void SongIndexWatchLibraryEdits(const IDatasetPtr& Rows);

// The age after which a search starts loading the index again.
constexpr std::chrono::minutes ReloadAfter{30};

// For tests and benchmarks: starts the load when needed and waits for it (false at the time-out
// or when it failed); the loaded index's size; forgetting the index.
bool SongIndexWaitLoaded(std::chrono::milliseconds Timeout);
size_t SongIndexMemoryBytes();
void SongIndexForget();

}  // namespace kelvar
