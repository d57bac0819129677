#include "core/playlist/SharedSongIndex.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "database/DataSetAccess.h"
#include "database/datalink/DLEngine.h"
#include "foundation/Logger.h"
#include "foundation/ThreadName.h"

namespace kelvar {

namespace {

using Clock = std::chrono::steady_clock;

const std::string IndexColumns = "SELECT ID, artist, title, album, filename FROM songlist";
// Rows a load reads between two looks at whether it is still wanted.
constexpr size_t RowsPerCheck = 4096;
// Marked songs read again per statement: the engine tests every row against the whole IN list,
// so a long list costs it by the square of its length.
constexpr size_t IDsPerRead = 100;
// After a failed load the searches of that database take the statement for this long before the
// next attempt.
constexpr std::chrono::seconds RetryLoadAfter{60};

// An editable result of songs: its songs are read again while it lives and once after.
struct TWatch {
    std::weak_ptr<IDataset> Rows;
    std::vector<int32_t> IDs;
    bool Library = false;  // every song: the index loads again once it is gone
};

struct TState {
    // Held by a search while it brings the index up to date and searches it, and by a load to put
    // its index in place. Taken before MarksLock, never after it.
    std::mutex IndexLock;
    std::shared_ptr<TSongSearchIndex> Index;
    std::weak_ptr<ISQLPool> IndexPool;
    Clock::time_point LoadedAt;

    // Guards what follows; never held while the database is asked.
    std::mutex MarksLock;
    std::condition_variable LoadEnded;
    std::set<int32_t> Changed;
    std::vector<TWatch> Watches;
    bool Kept = false;  // an index is loaded or loading: changes are worth noting
    bool ReloadWanted = false;
    bool Loading = false;
    std::weak_ptr<ISQLPool> LoadingPool;
    Clock::time_point RetryAt;
    int Loaders = 0;  // load threads still running
    bool Stopping = false;
    // A load whose number is no longer this one gives up.
    std::atomic<uint64_t> Generation{0};

    // At the program's end a running load stops at its next check and is waited for (a few
    // seconds at most: a database that doesn't answer must not hold the program).
    ~TState() {
        std::unique_lock<std::mutex> lock(MarksLock);
        Stopping = true;
        ++Generation;
        LoadEnded.wait_for(lock, std::chrono::seconds(5), [this] { return Loaders == 0; });
    }
};

TState& State() {
    static TState state;
    return state;
}

// Puts every row into Index, the keys into Seen when given. Abandoned, when given, is asked every
// RowsPerCheck rows whether to stop; false when it did.
bool PutRows(TSongSearchIndex& Index, IDataset& Rows, std::vector<int32_t>* Seen,
             const std::function<bool()>& Abandoned = {}) {
    TDLField& id = FieldOf(Rows, "ID");
    TDLField& artist = FieldOf(Rows, "artist");
    TDLField& title = FieldOf(Rows, "title");
    TDLField& album = FieldOf(Rows, "album");
    TDLField& filename = FieldOf(Rows, "filename");
    size_t count = 0;
    for (Rows.First(); !Rows.Eof(); Rows.Next()) {
        const auto key = static_cast<int32_t>(id.AsInteger());
        Index.Put(key, artist.AsString(), title.AsString(), album.AsString(), filename.AsString());
        if (Seen) Seen->push_back(key);
        if (Abandoned && ++count % RowsPerCheck == 0 && Abandoned()) return false;
    }
    return true;
}

void Load(const ISQLPoolPtr& Pool, uint64_t Generation) {
    SetCurrentThreadName("kelvar-index");
    TState& s = State();
    auto abandoned = [&] { return s.Generation != Generation || GetCurrentSQLPool() != Pool; };
    std::shared_ptr<TSongSearchIndex> index;
    bool failed = false;
    const auto start = Clock::now();
    try {
        auto built = std::make_shared<TSongSearchIndex>();
        ISQLConnectionPtr connection = Pool->NewConnection();
        IDatasetPtr rows = connection->Query(IndexColumns + " ORDER BY ID", {}, true);
        DataSetOf(*rows).UniDirectional = true;
        if (PutRows(*built, *rows, nullptr, abandoned) && !abandoned()) {
            built->Compact();
            index = std::move(built);
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            LogMessage("Search index of " + std::to_string(index->Count()) + " songs loaded in " + std::to_string(ms) +
                           " ms (" + std::to_string(index->MemoryBytes() >> 20) + " MB)",
                       "CORE", LogKind::Debug);
        }
    } catch (const std::exception& e) {
        failed = true;
        LogMessage(
            std::string("Loading the search index failed; searches read the library meanwhile (") + e.what() + ")",
            "CORE", LogKind::Error);
    } catch (...) {
        failed = true;
        LogMessage("Loading the search index failed (unknown error)", "CORE", LogKind::Error);
    }
    std::lock_guard<std::mutex> indexLock(s.IndexLock);
    std::lock_guard<std::mutex> marksLock(s.MarksLock);
    if (s.Generation == Generation) {
        if (index) {
            s.Index = std::move(index);
            s.IndexPool = Pool;
            s.LoadedAt = Clock::now();
        } else if (failed) {
            s.RetryAt = Clock::now() + RetryLoadAfter;
        }
        s.Loading = false;
    }
    --s.Loaders;
    s.LoadEnded.notify_all();
}

// With MarksLock held.
void StartLoad(TState& s, const ISQLPoolPtr& Pool) {
    const bool samePool = s.LoadingPool.lock() == Pool;
    if (s.Stopping || (samePool && (s.Loading || Clock::now() < s.RetryAt))) return;
    s.Loading = true;
    s.LoadingPool = Pool;
    s.Kept = true;
    const uint64_t generation = ++s.Generation;
    ++s.Loaders;
    try {
        std::thread([Pool, generation] { Load(Pool, generation); }).detach();
    } catch (...) {
        --s.Loaders;
        s.Loading = false;
        throw;
    }
}

// With MarksLock held: the changes of results that are gone become plain marks.
void SettleWatches(TState& s) {
    auto gone = std::remove_if(s.Watches.begin(), s.Watches.end(), [](const TWatch& w) { return w.Rows.expired(); });
    if (s.Kept) {
        for (auto it = gone; it != s.Watches.end(); ++it) {
            s.Changed.insert(it->IDs.begin(), it->IDs.end());
            if (it->Library) s.ReloadWanted = true;
        }
    }
    s.Watches.erase(gone, s.Watches.end());
}

// " IN (1,2,3)" for IDs [First, First + Count).
std::string IDListSQL(const std::vector<int32_t>& IDs, size_t First, size_t Count) {
    std::string sql = " IN (";
    for (size_t i = First; i < First + Count; ++i) {
        if (i > First) sql += ',';
        sql += std::to_string(IDs[i]);
    }
    return sql + ")";
}

// With IndexLock held: new songs and marked ones read again. Marks taken here come back when
// the reading fails.
void Refresh(TState& s, ISQLConnection& Connection) {
    std::vector<int32_t> ids;
    {
        std::lock_guard<std::mutex> lock(s.MarksLock);
        SettleWatches(s);
        ids.assign(s.Changed.begin(), s.Changed.end());
        s.Changed.clear();
        for (const TWatch& w : s.Watches) ids.insert(ids.end(), w.IDs.begin(), w.IDs.end());
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    TSongSearchIndex& index = *s.Index;
    try {
        IDatasetPtr added = Connection.Query(IndexColumns + " WHERE ID > :ID ORDER BY ID", {index.MaxID()}, true);
        PutRows(index, *added, nullptr);
        std::vector<int32_t> seen;
        for (size_t first = 0; first < ids.size(); first += IDsPerRead) {
            const size_t count = std::min(IDsPerRead, ids.size() - first);
            seen.clear();
            IDatasetPtr rows = Connection.Query(IndexColumns + " WHERE ID" + IDListSQL(ids, first, count), {}, true);
            PutRows(index, *rows, &seen);
            std::sort(seen.begin(), seen.end());
            for (size_t i = first; i < first + count; ++i)
                if (!std::binary_search(seen.begin(), seen.end(), ids[i])) index.Remove(ids[i]);
        }
    } catch (...) {
        std::lock_guard<std::mutex> lock(s.MarksLock);
        s.Changed.insert(ids.begin(), ids.end());
        throw;
    }
}

}  // namespace

TIndexAnswer FindInSongIndex(ISQLConnection& Connection, std::string_view Text, bool Substring,
                             const TSearchFields& Fields, size_t Limit, std::vector<int32_t>& Found) {
    Found.clear();
    ISQLPoolPtr pool = GetCurrentSQLPool();
    if (!pool) return TIndexAnswer::NotLoaded;
    TState& s = State();
    std::lock_guard<std::mutex> indexLock(s.IndexLock);
    {
        std::lock_guard<std::mutex> marksLock(s.MarksLock);
        if (s.Index && s.IndexPool.lock() != pool) {
            // Another database: nothing of the old one counts.
            s.Index.reset();
            s.Changed.clear();
            s.ReloadWanted = false;
        }
        if (!s.Index) {
            StartLoad(s, pool);
            return TIndexAnswer::NotLoaded;
        }
        if (s.ReloadWanted || Clock::now() - s.LoadedAt > ReloadAfter) {
            s.ReloadWanted = false;
            s.LoadedAt = Clock::now();  // one reload at a time, and none again right after a failed one
            StartLoad(s, pool);
        }
    }
    Refresh(s, Connection);
    return s.Index->Find(Text, Substring, Fields, Limit, Found) ? TIndexAnswer::Found : TIndexAnswer::TooMany;
}

void SongIndexSongsChanged(const std::vector<int32_t>& IDs) {
    TState& s = State();
    std::lock_guard<std::mutex> lock(s.MarksLock);
    if (s.Kept) s.Changed.insert(IDs.begin(), IDs.end());
}

void SongIndexWatchEdits(const IDatasetPtr& Rows, std::vector<int32_t> IDs) {
    if (!Rows) return;
    TState& s = State();
    std::lock_guard<std::mutex> lock(s.MarksLock);
    SettleWatches(s);
    s.Watches.push_back({Rows, std::move(IDs), false});
}

void SongIndexWatchLibraryEdits(const IDatasetPtr& Rows) {
    if (!Rows) return;
    TState& s = State();
    std::lock_guard<std::mutex> lock(s.MarksLock);
    SettleWatches(s);
    s.Watches.push_back({Rows, {}, true});
}

bool SongIndexWaitLoaded(std::chrono::milliseconds Timeout) {
    ISQLPoolPtr pool = GetCurrentSQLPool();
    if (!pool) return false;
    TState& s = State();
    {
        std::lock_guard<std::mutex> indexLock(s.IndexLock);
        if (s.Index && s.IndexPool.lock() == pool) return true;
        std::lock_guard<std::mutex> marksLock(s.MarksLock);
        s.RetryAt = {};
        StartLoad(s, pool);
    }
    {
        std::unique_lock<std::mutex> lock(s.MarksLock);
        s.LoadEnded.wait_for(lock, Timeout, [&] { return !s.Loading; });
    }
    std::lock_guard<std::mutex> indexLock(s.IndexLock);
    return s.Index && s.IndexPool.lock() == pool;
}

size_t SongIndexMemoryBytes() {
    TState& s = State();
    std::lock_guard<std::mutex> lock(s.IndexLock);
    return s.Index ? s.Index->MemoryBytes() : 0;
}

void SongIndexForget() {
    TState& s = State();
    std::lock_guard<std::mutex> indexLock(s.IndexLock);
    std::lock_guard<std::mutex> marksLock(s.MarksLock);
    s.Index.reset();
    s.Changed.clear();
    s.Watches.clear();
    s.Kept = false;
    s.Loading = false;
    s.ReloadWanted = false;
    s.RetryAt = {};
    ++s.Generation;
}

}  // namespace kelvar
