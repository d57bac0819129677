#pragma once
// Finding songs of the library by artist, title, album or file name: the statement a request
// makes, the search itself (through the in-memory index where it can), and a queue that runs
// searches on a worker thread and hands the found songs back on the main thread.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>

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

// The songs the statement of Request finds, in its order, on the calling thread. With the index
// loaded and no wildcard in the text, the index names the candidates and the database checks and
// orders them; a text that many songs match takes the statement, which is quick then.
ISongItemListPtr RunSongSearch(const TSearchRequest& Request, ISQLConnection& Connection);

// Candidates up to which a search limited to 100 rows asks for them by ID, and how many one
// statement takes (the whole answer of a search without the limit).
constexpr size_t MostCandidates = 10000;
constexpr size_t IDsPerQuery = 2500;

class TSongSearch {
public:
    using TResultEvent = std::function<void(int ID, const ISongItemListPtr& Songs)>;

    TSongSearch();
    // Searches still queued are dropped; the one running is waited for (StopWait at most).
    ~TSongSearch();
    TSongSearch(const TSongSearch&) = delete;
    TSongSearch& operator=(const TSongSearch&) = delete;

    // Queues the search and answers its number; 0 when there is nothing to search. OnResult runs
    // on the main thread; a search that fails is logged and answers nothing.
    int Search(const TSearchRequest& Request, TResultEvent OnResult);
    // Drops a search that has not started yet.
    bool Cancel(int ID);

private:
    struct TShared;
    static constexpr std::chrono::seconds StopWait{5};
    // The worker's state is shared, so that it may finish a long search after its owner is gone.
    static void Work(const std::shared_ptr<TShared>& Shared);

    std::shared_ptr<TShared> FShared;
    std::thread FThread;
};

}  // namespace kelvar
