#pragma once
// Finding songs of the library by artist, title, album or file name: the statement a request
// makes, and a queue that runs searches on a worker thread and hands the found songs back on the
// main thread.
#include <functional>
#include <string>

#include "core/playlist/SongItem.h"
#include "database/SQLPool.h"

namespace kelvar {

// What the operator asked for.
struct TSearchRequest {
    std::string Text;  // as typed
    bool Substring = true;
    bool Limit100 = true;
    bool Artist = true, Title = true, Album = false, Filename = false;
    char SongType = 0;  // 0: all types
};

// The statement that answers Request; false when nothing is to be searched (no field ticked or
// an empty text).
bool BuildSearchSQL(const TSearchRequest& Request, std::string& SQL, TVariantArray& Params);

// One song item per row (song ID, "Artist - Title", duration).
ISongItemListPtr SongItemsOfRows(IDataset& Rows);

class TSongSearch {
public:
    using TResultEvent = std::function<void(int ID, const ISongItemListPtr& Songs)>;

    TSongSearch();
    // Searches still queued are dropped.
    ~TSongSearch();
    TSongSearch(const TSongSearch&) = delete;
    TSongSearch& operator=(const TSongSearch&) = delete;

    // Queues the search and answers its number; 0 when there is nothing to search. OnResult runs
    // on the main thread.
    int Search(const TSearchRequest& Request, TResultEvent OnResult);
    // Drops a search that has not started yet.
    bool Cancel(int ID);

private:
    IDelayedQueryPtr FQuery;
};

}  // namespace kelvar
