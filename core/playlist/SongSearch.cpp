#include "core/playlist/SongSearch.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/SharedSongIndex.h"
#include "core/playlist/SongSearchIndex.h"
#include "foundation/Logger.h"
#include "foundation/MainThread.h"
#include "foundation/TextUtil.h"
#include "foundation/ThreadName.h"

namespace kelvar {

namespace {

// The condition of Request over the ticked fields with their columns qualified by Qualifier
// ("" or "alias."), its parameters numbered on from N; empty when no field is ticked.
std::string SearchCondition(const TSearchRequest& Request, const std::string& Pattern, const std::string& Qualifier,
                            int& N, TVariantArray& Params) {
    const std::pair<bool, const char*> fields[] = {
        {Request.Artist, "artist"}, {Request.Title, "title"}, {Request.Album, "album"}, {Request.Filename, "filename"}};
    std::string condition;
    int ticked = 0;
    for (const auto& [on, field] : fields) {
        if (!on) continue;
        ++N;
        Params.emplace_back(Pattern);
        condition += std::string(" ") + (++ticked > 1 ? " OR " : "") + " (UPPER(" + Qualifier + field +
                     ") LIKE :search" + std::to_string(N) + ") ";
    }
    if (ticked > 0 && Request.SongType != 0)
        condition =
            "(" + condition + ") AND (" + Qualifier + "songtype IN ('" + std::string(1, Request.SongType) + "')) ";
    return condition;
}

// The database folds every script, so the text must be folded the same way.
std::string SearchPattern(const TSearchRequest& Request, const std::string& Text) {
    return Request.Substring ? "%" + Text + "%" : Text + "%";
}

const char* const SearchOrder = " ORDER BY artist ASC, title ASC";

// The statement over candidates [First, First + Count) of IDs that Request matches, in the search's
// order. The keys go as one text of fixed-width numbers that a generated row number cuts apart, and
// each is looked up along the primary key: an IN list of thousands costs the engine time by the
// square of its length. A single-byte text may be twice as long as a UTF-8 one.
std::string CandidatesSQL(const std::string& Columns, const std::string& Condition, const std::vector<int32_t>& IDs,
                          size_t First, size_t Count, bool Limit) {
    constexpr int Width = 11;  // any 32-bit number with its sign
    std::string keys;
    keys.reserve(Count * Width);
    char key[Width + 1];
    for (size_t i = First; i < First + Count; ++i) {
        std::snprintf(key, sizeof key, "%0*d", Width, static_cast<int>(IDs[i]));
        keys += key;
    }
    const size_t blocks = (Count + 999) / 1000;
    return "WITH RECURSIVE a AS (SELECT 0 AS k FROM RDB$DATABASE UNION ALL SELECT k + 1 FROM a WHERE k < 999), "
           "b AS (SELECT 0 AS j FROM RDB$DATABASE UNION ALL SELECT j + 1 FROM b WHERE j < " +
           std::to_string(blocks - 1) +
           "), n AS (SELECT b.j * 1000 + a.k AS i FROM b CROSS JOIN a WHERE b.j * 1000 + a.k < " +
           std::to_string(Count) + ") SELECT " + (Limit ? "FIRST 100 " : "") + Columns +
           " FROM n LEFT JOIN songlist s ON s.ID = CAST(SUBSTRING(_ASCII '" + keys + "' FROM n.i * " +
           std::to_string(Width) + " + 1 FOR " + std::to_string(Width) +
           ") AS INTEGER) WHERE (s.ID IS NOT NULL) AND (" + Condition + ") ORDER BY s.artist ASC, s.title ASC";
}

// The rows of the candidates IDs that Request matches, in the statement's order.
ISongItemListPtr SongsOfCandidates(const TSearchRequest& Request, const std::string& Text, std::vector<int32_t> IDs,
                                   ISQLConnection& Connection) {
    if (IDs.empty()) return NewSongItemList();
    TVariantArray params;
    int n = 0;
    const std::string condition = SearchCondition(Request, SearchPattern(Request, Text), "s.", n, params);
    if (IDs.size() > IDsPerQuery) {
        // Each part's first hundred, then the first hundred of those: the database orders them.
        std::vector<int32_t> winners;
        for (size_t first = 0; first < IDs.size(); first += IDsPerQuery) {
            const size_t count = std::min(IDsPerQuery, IDs.size() - first);
            IDatasetPtr rows =
                Connection.Query(CandidatesSQL("s.ID", condition, IDs, first, count, true), params, true);
            for (rows->First(); !rows->Eof(); rows->Next())
                winners.push_back(static_cast<int32_t>(rows->GetFieldValue("ID").AsInteger()));
        }
        IDs = std::move(winners);
        if (IDs.empty()) return NewSongItemList();
    }
    IDatasetPtr rows = Connection.Query(
        CandidatesSQL("s.ID, s.artist, s.title, s.duration", condition, IDs, 0, IDs.size(), Request.Limit100), params,
        true);
    return SongItemsOfRows(*rows);
}

// The parts of the limited search's candidates must leave at most one part of winners.
static_assert((MostCandidates / IDsPerQuery + 1) * 100 <= IDsPerQuery);

}  // namespace

bool BuildSearchSQL(const TSearchRequest& Request, std::string& SQL, TVariantArray& Params) {
    SQL.clear();
    Params.clear();
    const std::string text = UpperUtf8(Request.Text);
    if (text.empty()) return false;
    const std::string pattern = SearchPattern(Request, text);
    int n = 0;
    std::string condition = SearchCondition(Request, pattern, "", n, Params);
    if (n == 0) return false;
    if (Request.Limit100 && SQLDriverType.load() == dtFirebird) {
        // The first hundred in artist order lie at or before the hundredth match along the artist
        // index: only the rows up to that artist are read and sorted, not every match of a large
        // library. NULL artists sort first.
        condition = "(" + condition +
                    ") AND ((artist IS NULL) OR (artist <= (SELECT MAX(f.artist) FROM (SELECT FIRST 100 s.artist "
                    "FROM songlist s WHERE " +
                    SearchCondition(Request, pattern, "s.", n, Params) + " ORDER BY s.artist) f))) ";
    }
    SQL = "SELECT  songlist.* FROM songlist WHERE " + condition + SearchOrder;
    if (Request.Limit100) SQL = AddSQLLimit(SQL, 100, 0);
    return true;
}

ISongItemListPtr SongItemsOfRows(IDataset& Rows) {
    auto list = NewSongItemList();
    for (Rows.First(); !Rows.Eof(); Rows.Next()) {
        TSongItem& item = list->Add();
        item.SongID = static_cast<int32_t>(Rows.GetFieldValue("ID").AsInteger());
        item.Caption = SongDisplayName(Rows.GetValue("artist"), Rows.GetValue("title"));
        item.Duration = static_cast<int32_t>(Rows.GetFieldValue("duration").AsInteger());
    }
    return list;
}

ISongItemListPtr RunSongSearch(const TSearchRequest& Request, ISQLConnection& Connection) {
    std::string sql;
    TVariantArray params;
    if (!BuildSearchSQL(Request, sql, params)) return NewSongItemList();
    const std::string text = UpperUtf8(Request.Text);
    // The wildcards typed stay the database's to read; the statement over candidates is the
    // embedded engine's dialect.
    if (TSongSearchIndex::Searchable(text) && SQLDriverType.load() == dtFirebird) {
        const TSearchFields fields{Request.Artist, Request.Title, Request.Album, Request.Filename};
        // Without the limit, only what one statement can order.
        const size_t most = Request.Limit100 ? MostCandidates : IDsPerQuery;
        std::vector<int32_t> ids;
        if (FindInSongIndex(Connection, text, Request.Substring, fields, most, ids) == TIndexAnswer::Found)
            return SongsOfCandidates(Request, text, std::move(ids), Connection);
    }
    IDatasetPtr rows = Connection.Query(sql, params, true);
    return SongItemsOfRows(*rows);
}

struct TSongSearch::TShared {
    struct TItem {
        int ID = 0;
        TSearchRequest Request;
        TResultEvent OnResult;
    };
    std::mutex Lock;
    std::condition_variable Wake;
    std::condition_variable Ended;
    std::deque<TItem> Queue;
    int NextID = 0;
    bool Stopped = false;
    bool Finished = false;  // the worker let go of its connection and leaves
    bool Gone = false;      // the owner is destroyed; main thread only
};

TSongSearch::TSongSearch() : FShared(std::make_shared<TShared>()) {}

TSongSearch::~TSongSearch() {
    FShared->Gone = true;
    std::unique_lock<std::mutex> lock(FShared->Lock);
    FShared->Stopped = true;
    FShared->Queue.clear();
    FShared->Wake.notify_all();
    if (!FThread.joinable()) return;
    // The search on its way may finish, so that the database isn't closed under it; one that
    // takes longer finishes on its own.
    if (FShared->Ended.wait_for(lock, StopWait, [this] { return FShared->Finished; })) {
        lock.unlock();
        FThread.join();
    } else {
        LogMessage("A search still runs as its window closes", "CORE", LogKind::Warning);
        FThread.detach();
    }
}

int TSongSearch::Search(const TSearchRequest& Request, TResultEvent OnResult) {
    std::string sql;
    TVariantArray params;
    if (!BuildSearchSQL(Request, sql, params)) return 0;
    int id;
    {
        std::lock_guard<std::mutex> lock(FShared->Lock);
        id = ++FShared->NextID;
        FShared->Queue.push_back({id, Request, std::move(OnResult)});
        if (!FThread.joinable()) FThread = std::thread([shared = FShared] { Work(shared); });
    }
    FShared->Wake.notify_all();
    return id;
}

bool TSongSearch::Cancel(int ID) {
    std::lock_guard<std::mutex> lock(FShared->Lock);
    auto& queue = FShared->Queue;
    auto it = std::find_if(queue.begin(), queue.end(), [ID](const TShared::TItem& item) { return item.ID == ID; });
    if (it == queue.end()) return false;
    queue.erase(it);
    return true;
}

void TSongSearch::Work(const std::shared_ptr<TShared>& Shared) {
    SetCurrentThreadName("kelvar-search");
    // Kept from one search to the next: attaching costs more than a search through the index.
    ISQLConnectionPtr connection;
    std::weak_ptr<ISQLPool> connectionPool;
    for (;;) {
        TShared::TItem item;
        {
            std::unique_lock<std::mutex> lock(Shared->Lock);
            Shared->Wake.wait(lock, [&] { return Shared->Stopped || !Shared->Queue.empty(); });
            if (Shared->Stopped) {
                lock.unlock();
                connection.reset();
                lock.lock();
                Shared->Finished = true;
                Shared->Ended.notify_all();
                return;
            }
            item = std::move(Shared->Queue.front());
            Shared->Queue.pop_front();
        }
        ISongItemListPtr songs;
        try {
            ISQLPoolPtr pool = GetCurrentSQLPool();
            if (!pool) throw ESQLPoolError("No SQL pool specified");
            if (!connection || connectionPool.lock() != pool) {
                connection.reset();
                connection = pool->NewConnection();
                connectionPool = pool;
            }
            songs = RunSongSearch(item.Request, *connection);
        } catch (const std::exception& e) {
            connection.reset();  // the next search starts on a new one
            LogMessage("Search for \"" + item.Request.Text + "\" failed (" + e.what() + ")", "CORE", LogKind::Error);
            continue;
        }
        PostToMainThread([Shared, id = item.ID, onResult = std::move(item.OnResult), songs] {
            if (!Shared->Gone && onResult) onResult(id, songs);
        });
    }
}

}  // namespace kelvar
