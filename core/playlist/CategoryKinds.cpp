#include "core/playlist/CategoryKinds.h"

#include "core/playlist/CategorySelection.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/ProgressHandler.h"
#include "core/playlist/SongList.h"

namespace kelvar {

namespace {

// The ORDER BY clauses name the table: callers may add "songlist.*", which repeats these columns.
const char* const ColumnListFields = "SELECT songlist.ID as songID, artist, title, duration, weight ";
constexpr char ArtistTitleOrder[] = "ORDER BY songlist.artist,songlist.title";

}  // namespace

// --- Folders ------------------------------------------------------------------------------

TParentCategory::TParentCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                                 std::string name, int32_t id)
    : TCustomCategory(tree, parent, itemIndex, levelIndex, std::move(name), id) {
    Capabilities = 0;
    Kind = CategoryKind::Folder;
    ImageIndex = 15;
}

ISongInfoPtr TParentCategory::SelectSong(const TVariantArray& /*params*/) { return nullptr; }

TNormalParentCategory::TNormalParentCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex,
                                             int32_t levelIndex, std::string name, int32_t id)
    : TParentCategory(tree, parent, itemIndex, levelIndex, std::move(name), id) {
    Capabilities = 16;
    ImageIndex = 22;
}

TRootCategory::TRootCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                             std::string name, int32_t id)
    : TParentCategory(tree, parent, itemIndex, levelIndex, std::move(name), id) {
    Capabilities = 24;
    ImageIndex = 5;
}

std::unique_ptr<TCustomCategory> TRootCategory::CreateSubNode(int32_t id, const std::string& name,
                                                              TCustomCategory* parent, int32_t itemIndex,
                                                              int32_t levelIndex) {
    return std::make_unique<TNormalCategory>(Tree, parent ? parent : this, itemIndex, levelIndex, name, id);
}

std::unique_ptr<TCustomCategory> TSongTypeParentCategory::CreateSubNode(int32_t id, const std::string& name,
                                                                        TCustomCategory* parent, int32_t itemIndex,
                                                                        int32_t levelIndex) {
    auto category = std::make_unique<TSongTypeCategory>(Tree, parent ? parent : this, itemIndex, levelIndex, name, id);
    category->SongType = SongType;
    return category;
}

// --- User categories ----------------------------------------------------------------------

ISongInfoPtr TCustomCategory::SelectSong(const TVariantArray& params) {
    TSelection selection;
    selection.Where = "WHERE (categorylist.categoryID = :ID) AND (songlist.ID = categorylist.songID) ";
    selection.Values = {ID};
    PrepareSelection(Rules(), params, SongType, selection);
    selection.From = " songlist, categorylist ";
    selection.Fields = " songlist.ID as songID, songlist.*";
    return RunSelection(std::move(selection));
}

// --- Collections over songlist columns ----------------------------------------------------

TColumnCategory::TColumnCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex, int32_t levelIndex,
                                 std::string name, int32_t id)
    : TCustomCategory(tree, parent, itemIndex, levelIndex, std::move(name), id) {
    Capabilities = 1;
    ImageIndex = 16;
}

void TColumnCategory::AddSongs(ISongItemList& songs, double /*after*/, double /*before*/) {
    TProgressHandler progress(static_cast<uint32_t>(songs.Count()), "Add tracks...",
                              [this](int percent, const std::string& text) {
                                  if (OnProgress) OnProgress(*this, percent, text);
                              });
    std::string sql;
    TVariantArray params;
    GetAddBatch(sql, params);
    try {
        BeginIDBatch(sql, params);
        for (int i = 0; i < songs.Count(); ++i) {
            TSongItem& item = songs.Items(i);
            AddToIDBatch(item.SongID);
            item.SortID = 0;
            item.ListID = item.SongID;
            progress.SetPosition(static_cast<uint32_t>(i + 1));
        }
    } catch (...) {
        EndIDBatch();
        DropSongs();
        throw;
    }
    EndIDBatch();
    DropSongs();
}

static ISongInfoPtr SelectFromSonglist(IPlaylistRules& rules, const TVariantArray& params, char songType,
                                       std::string where, TVariantArray values) {
    TSelection selection;
    selection.Where = std::move(where);
    selection.Values = std::move(values);
    PrepareSelection(rules, params, songType, selection);
    selection.From = " songlist ";
    selection.Fields = " * ";
    return RunSelection(std::move(selection));
}

void TSongTypeCategoryAll::GetAddBatch(std::string& sql, TVariantArray& params) {
    sql = "UPDATE songlist SET songtype = :songtype WHERE ID IN ($IDLIST$)";
    params = {std::string(1, SongType)};
}

bool TSongTypeCategoryAll::GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) {
    params.clear();
    sql = ColumnListFields + fields + " FROM songlist " + "WHERE (ID>0) " + Rules().SongTypeClause(SongType) +
          ArtistTitleOrder;
    return true;
}

std::string TSongTypeCategoryAll::LoaderSQL(const std::string& sql, bool& titlesWithinArtist) const {
    titlesWithinArtist = false;
    constexpr size_t orderLength = sizeof ArtistTitleOrder - 1;
    if (sql.size() < orderLength + 7 || sql.compare(0, 7, "SELECT ") != 0 ||
        sql.compare(sql.size() - orderLength, orderLength, ArtistTitleOrder) != 0)
        return sql;
    titlesWithinArtist = true;
    // Long text columns read an empty text as NULL; the loader needs to tell the two apart.
    return "SELECT CASE WHEN songlist.artist IS NULL THEN 0 ELSE 1 END AS has_artist, CASE WHEN songlist.title IS "
           "NULL THEN 0 ELSE 1 END AS has_title, " +
           sql.substr(7, sql.size() - orderLength - 7) + "ORDER BY songlist.artist";
}

ISongInfoPtr TSongTypeCategoryAll::SelectSong(const TVariantArray& params) {
    return SelectFromSonglist(Rules(), params, SongType, "WHERE (ID>0) ", {});
}

void TWeightCategory::GetAddBatch(std::string& sql, TVariantArray& params) {
    sql = "UPDATE songlist SET songtype = :songtype, weight = :weight WHERE ID IN ($IDLIST$)";
    params = {std::string("S"), (MinWeight + MaxWeight) / 2.0};
}

bool TWeightCategory::GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) {
    params = {MinWeight, MaxWeight};
    sql = ColumnListFields + fields + " FROM songlist " + "WHERE (weight >= :MinWeight) AND (weight < :MaxWeight) " +
          Rules().SongTypeClause('S') + "ORDER BY songlist.weight";
    return true;
}

ISongInfoPtr TWeightCategory::SelectSong(const TVariantArray& params) {
    return SelectFromSonglist(Rules(), params, ' ', " WHERE (weight >= :MinWeight) AND (weight < :MaxWeight) ",
                              {MinWeight, MaxWeight});
}

std::string TPlayLimitCategory::LimitWhere(TVariantArray& params) const {
    if (PlayLimitCount > 1) {
        params.clear();
        return " WHERE (playlimit_count > 1)  ";
    }
    params = {PlayLimitCount, PlayLimitAction};
    return " WHERE (playlimit_count = :playlimit_count) AND (playlimit_action = :playlimit_action) ";
}

void TPlayLimitCategory::GetAddBatch(std::string& sql, TVariantArray& params) {
    sql =
        "UPDATE songlist SET playlimit_count = :playlimit_count, playlimit_action=:playlimit_action WHERE ID IN "
        "($IDLIST$)";
    params = {PlayLimitCount, PlayLimitAction};
}

bool TPlayLimitCategory::GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) {
    const std::string where = LimitWhere(params);
    sql = std::string(" ") + ColumnListFields + fields + " FROM songlist " + where +
          " ORDER BY songlist.artist, songlist.title";
    return true;
}

ISongInfoPtr TPlayLimitCategory::SelectSong(const TVariantArray& params) {
    TVariantArray values;
    std::string where = LimitWhere(values);
    return SelectFromSonglist(Rules(), params, ' ', std::move(where), std::move(values));
}

TPlayLimitOtherCategory::TPlayLimitOtherCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex,
                                                 int32_t levelIndex, std::string name, int32_t id)
    : TPlayLimitCategory(tree, parent, itemIndex, levelIndex, std::move(name), id) {
    Capabilities = 0;
}

// --- Recycle bin --------------------------------------------------------------------------

TRecycleBinCategory::TRecycleBinCategory(TCategoryTree* tree, TCustomCategory* parent, int32_t itemIndex,
                                         int32_t levelIndex, std::string name, int32_t id)
    : TCustomRecycleBinCategory(tree, parent, itemIndex, levelIndex, std::move(name), id) {
    Capabilities = 5;
    ImageIndex = 34;
}

void TRecycleBinCategory::GetAddBatch(std::string& sql, TVariantArray& params) {
    sql = "UPDATE songlist SET status = :status WHERE ID IN ($IDLIST$)";
    params = {3};
}

bool TRecycleBinCategory::RemoveSongs(const TIntegerList& /*listIDs*/, const TIntegerList& songIDs) {
    DropSongs();
    if (!SongList) throw ECategoryError("Recycle bin has no song library");
    return SongList->DeleteSongs(songIDs);
}

void TRecycleBinCategory::ClearSongs() {
    DropSongs();
    std::string sql;
    TVariantArray params;
    GetSongListSQL(sql, params, "");
    // The IDs are read first: the deletions must not run under an open cursor of the same rows.
    std::vector<int32_t> ids;
    {
        IDatasetPtr rows = PoolQuery(sql, params, true);
        for (rows->First(); !rows->Eof(); rows->Next())
            ids.push_back(static_cast<int32_t>(rows->GetFieldValue("songID").AsInteger()));
    }
    for (int32_t id : ids) RemoveSongs({}, {id});
}

bool TRecycleBinCategory::GetSongListSQL(std::string& sql, TVariantArray& params, const std::string& fields) {
    params.clear();
    sql = ColumnListFields + fields + " FROM songlist " + "WHERE (ID>0) " + Rules().StatusClause(3) +
          "ORDER BY songlist.artist,songlist.title";
    return true;
}

ISongInfoPtr TRecycleBinCategory::SelectSong(const TVariantArray& /*params*/) { return nullptr; }

}  // namespace kelvar
