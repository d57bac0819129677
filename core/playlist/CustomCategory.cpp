#include "core/playlist/CustomCategory.h"

#include <algorithm>

#include "core/playlist/CategoryTree.h"
#include "core/playlist/GetSongList.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/ProgressHandler.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {

constexpr int MaxIDsPerStatement = 500;
const char* const IDListMarker = "$IDLIST$";

// Every "$IDLIST$" (any case) replaced by IDs.
std::string ReplaceIDList(const std::string& sql, const std::string& ids) {
    std::string upper = sql;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    const std::string marker = IDListMarker;
    std::string result;
    size_t from = 0;
    for (size_t at = upper.find(marker); at != std::string::npos; at = upper.find(marker, from)) {
        result.append(sql, from, at - from);
        result += ids;
        from = at + marker.size();
    }
    result.append(sql, from, std::string::npos);
    return result;
}

TProgressCallback ProgressTo(TCustomCategory& category) {
    return [&category](int percent, const std::string& text) {
        if (category.OnProgress) category.OnProgress(category, percent, text);
    };
}

}  // namespace

TCustomCategory::TCustomCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                                 std::string name, int32_t id)
    : Tree(tree), ID(id), Name(std::move(name)), Parent(parent), LevelIndex(levelIndex), ItemIndex(itemIndex) {}

TCustomCategory::~TCustomCategory() {
    FAlive.reset();
    StopLoader();
}

void TCustomCategory::StopLoader() {
    if (!Loader) return;
    Loading.reset();
    auto loader = std::move(Loader);
    loader->Terminate();
    loader->WaitFor();
}

bool TCustomCategory::HasCapability(int bit) const { return bit >= 0 && bit <= 7 && (Capabilities >> bit) & 1; }

bool CategoryHasCapability(const TCustomCategory* category, int bit) {
    return category && category->HasCapability(bit);
}

std::string CategoryName(const TCustomCategory* category) { return category ? category->Name : std::string(); }

void CategoryLoadSongs(TCustomCategory& category, bool force) {
    std::string sql;
    TVariantArray params;
    if (category.GetSongListSQL(sql, params, "")) category.LoadSongList(force, sql, params);
}

IDelayedQueryPtr TCustomCategory::TreeQuery() const {
    if (!Tree) throw ECategoryError("Category is not part of a tree");
    return Tree->GetDelayedQuery();
}

IPlaylistRules& TCustomCategory::Rules() const {
    if (!Tree || !Tree->GetRules()) throw ECategoryError("No playlist rules set for the categories");
    return *Tree->GetRules();
}

std::string TCustomCategory::SongTypeClauseOf(char songType) const {
    if (songType == ' ') return {};
    return Rules().SongTypeClause(songType);
}

// --- Song list ----------------------------------------------------------------------------

void TCustomCategory::LoadSongList(bool force, const std::string& sql, const TVariantArray& params) {
    if (Songs && !force) {
        if (OnSongList) OnSongList(*this, Songs);
        return;
    }
    if (Loader) {
        if (OnStatus) OnStatus(*this, 3, "Busy...");
        // A window that comes back to a list still loading shows the rows so far.
        if (Loading && Loading->Count() > 0 && OnSongRows) OnSongRows(*this, Loading, 0);
        return;
    }
    Songs.reset();
    bool titlesWithinArtist = false;
    const std::string loaderSQL = LoaderSQL(sql, titlesWithinArtist);
    auto loader = std::make_shared<TGetSongList>(loaderSQL, params);
    loader->TitlesWithinArtist = titlesWithinArtist;
    TGetSongList* raw = loader.get();
    Loading = NewSongItemList();
    loader->OnStatus = [this, alive = Alive()](int percent, const std::string& text) {
        if (alive.expired()) return;
        if (OnStatus) OnStatus(*this, percent, text);
    };
    loader->OnRows = [this, raw, alive = Alive()](std::vector<TSongItem>& rows) {
        if (alive.expired() || Loader.get() != raw || !Loading) return;
        const int first = Loading->Count();
        for (TSongItem& item : rows) Loading->Add() = std::move(item);
        if (OnSongRows) OnSongRows(*this, Loading, first);
    };
    loader->OnResult = [this, raw, alive = Alive()](int32_t totalDuration) {
        if (alive.expired() || Loader.get() != raw) return;
        Loader.reset();
        Songs = std::move(Loading);
        Loading.reset();
        Songs->SetTotalDuration(totalDuration);
        if (OnSongList) OnSongList(*this, Songs);
    };
    // A loader that failed must not leave the category busy for good.
    loader->OnEnd = [this, raw, alive = Alive()](const std::string& error) {
        if (alive.expired()) return;
        if (Loader.get() == raw) {
            Loader.reset();
            Loading.reset();
        }
        if (!error.empty() && OnStatus) OnStatus(*this, 100, "Failed to load the songs (" + error + ")");
    };
    Loader = loader;
    loader->Start();
}

std::string TCustomCategory::LoaderSQL(const std::string& sql, bool& titlesWithinArtist) const {
    titlesWithinArtist = false;
    return sql;
}

bool TCustomCategory::GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) {
    params = {ID};
    sql = "SELECT categorylist.ID as listID, songlist.ID as songID, sortID, artist,title,duration " + fields +
          " FROM categorylist, songlist " +
          "WHERE (categorylist.categoryID = :ID) AND (categorylist.songID = songlist.ID) " +
          SongTypeClauseOf(SongType) + "ORDER BY sortID";
    return true;
}

void TCustomCategory::AddSongs(ISongItemList& songs, double after, double before) {
    ISQLConnectionPtr connection = PoolGetWriteConnection();
    try {
        if (SongType != ' ')
            BeginIDBatch("UPDATE songlist SET songtype = :songtype WHERE ID IN ($IDLIST$)", {std::string(1, SongType)});
        IDatasetPtr rows = connection->QueryLimit(
            "SELECT categorylist.* FROM categorylist WHERE categoryID = :ID ORDER BY sortID DESC", {ID}, false, 1, 0);
        const double greatest = rows->IsEmpty() ? 0 : rows->GetFieldValue("sortID").AsFloat();
        double step = 0;
        SortIDRange(after, before, step, songs.Count(), greatest);
        TProgressHandler progress(static_cast<uint32_t>(songs.Count()), "Add tracks...", ProgressTo(*this));
        double value = after;
        for (int i = 0; i < songs.Count(); ++i) {
            TSongItem& item = songs.Items(i);
            value += step;
            rows->Append();
            rows->SetFieldValue("songID", item.SongID);
            rows->SetFieldValue("categoryID", ID);
            rows->SetFieldValue("sortID", value);
            DropSongs();
            rows->Post();
            if (SongType != ' ') AddToIDBatch(item.SongID);
            item.SortID = value;
            item.ListID = static_cast<int32_t>(rows->GetFieldValue("ID").AsInteger());
            progress.SetPosition(static_cast<uint32_t>(i + 1));
        }
        EndIDBatch();
    } catch (...) {
        // What was stored so far stays.
        try {
            EndIDBatch();
            connection->Commit();
        } catch (const std::exception& e) {
            LogMessage(std::string("Error storing category songs (") + e.what() + ")", "CORE", LogKind::Error);
        }
        throw;
    }
    connection->Commit();
}

bool TCustomCategory::RemoveSongs(const TIntegerList& listIDs, const TIntegerList& /*songIDs*/) {
    DropSongs();
    try {
        BeginIDBatch("DELETE FROM categorylist WHERE (categoryID = :ID) AND (ID IN ($IDLIST$))", {ID});
        for (int32_t id : listIDs.Values()) AddToIDBatch(id);
    } catch (...) {
        EndIDBatch();
        throw;
    }
    EndIDBatch();
    return true;
}

void TCustomCategory::ClearSongs() {
    DropSongs();
    PoolExecSQL("DELETE FROM categorylist WHERE categoryID = :ID ", {ID});
}

double TCustomCategory::MoveSong(int32_t listID, double sortA, double sortB) {
    const double value = (sortA + sortB) / 2;
    TreeQuery()->ExecSQL("UPDATE categorylist SET sortID = :sortID WHERE (ID = :categorylistID)", {value, listID},
                         nullptr, false);
    return value;
}

void TCustomCategory::Shuffle() {
    IDatasetPtr rows = PoolQuery("SELECT * FROM categorylist WHERE categoryID = :ID", {ID}, false);
    ShuffleSortIDs(*rows, ProgressTo(*this));
}

int TCustomCategory::RemoveDuplicates() {
    IDatasetPtr rows = PoolQuery(
        "SELECT MIN(ID) as ID, songID FROM categorylist WHERE (categoryID = :FID) GROUP BY songID HAVING "
        "count(songID)>1",
        {ID}, true);
    int removed = 0;
    for (rows->First(); !rows->Eof(); rows->Next())
        removed +=
            PoolExecSQL("DELETE FROM categorylist WHERE (categoryID = :FID) AND (ID <> :listID) AND (songID = :songID)",
                        {ID, rows->GetFieldValue("ID"), rows->GetFieldValue("songID")});
    return removed;
}

const std::vector<std::string>& TCustomCategory::SortFields() {
    static const std::vector<std::string> fields = {
        "artist,title",  "title,artist", "album,title", "filename",           "duration,title",        "weight,title",
        "balance,title", "date_played",  "date_added",  "count_played,title", "count_requested,title", "albumyear"};
    return fields;
}

void TCustomCategory::Sort(const std::string& field, bool ascending) {
    // The field becomes part of the statement's text: only the listed ones get there.
    const auto& fields = SortFields();
    if (std::find(fields.begin(), fields.end(), field) == fields.end())
        throw ECategoryError("Unknown sort field (" + field + ")");
    TProgressHandler progress(1, "Sorting...", ProgressTo(*this));
    ISQLConnectionPtr connection = PoolGetWriteConnection();
    try {
        // The direction goes to every column of the field, so a descending sort is one.
        std::string order;
        for (size_t from = 0; from <= field.size();) {
            size_t comma = field.find(',', from);
            if (comma == std::string::npos) comma = field.size();
            if (!order.empty()) order += ",";
            order += field.substr(from, comma - from) + (ascending ? " ASC" : " DESC");
            from = comma + 1;
        }
        IDatasetPtr rows = connection->Query(
            "SELECT categorylist.* FROM songlist, categorylist WHERE (songlist.ID = categorylist.songID) AND "
            "(categoryID = :ID) ORDER BY " +
                order,
            {ID}, true);
        progress.SetCaption("Sorting...");
        progress.SetTotal(static_cast<uint32_t>(rows->RecordCount()));
        int k = 0;
        for (rows->First(); !rows->Eof(); rows->Next()) {
            ++k;
            PoolExecSQL("UPDATE categorylist SET sortID = :sortID WHERE ID = :ID ",
                        {k * 1000.0, rows->GetFieldValue("ID")});
            progress.StepIt();
        }
    } catch (...) {
        try {
            connection->Commit();
        } catch (const std::exception& e) {
            LogMessage(std::string("Error sorting a category (") + e.what() + ")", "CORE", LogKind::Error);
        }
        throw;
    }
    connection->Commit();
}

// --- ID batch -----------------------------------------------------------------------------

void TCustomCategory::BeginIDBatch(const std::string& sql, const TVariantArray& params) {
    EndIDBatch();
    FBatchSQL = sql;
    FBatchParams = params;
    FBatchIDs = std::make_unique<TIntegerList>();
}

void TCustomCategory::AddToIDBatch(int32_t id) {
    if (!FBatchIDs) return;
    FBatchIDs->Add(id);
    if (FBatchIDs->Count() >= MaxIDsPerStatement) FlushIDBatch();
}

void TCustomCategory::FlushIDBatch() {
    if (!FBatchIDs || FBatchIDs->Count() == 0) return;
    const std::string sql = ReplaceIDList(FBatchSQL, IntegerListToStr(*FBatchIDs));
    FBatchIDs->Clear();
    TreeQuery()->ExecSQL(sql, FBatchParams, nullptr, false);
}

void TCustomCategory::EndIDBatch() {
    if (!FBatchIDs) return;
    try {
        FlushIDBatch();
    } catch (...) {
        FBatchSQL.clear();
        FBatchIDs.reset();
        throw;
    }
    FBatchSQL.clear();
    FBatchIDs.reset();
}

}  // namespace kelvar
