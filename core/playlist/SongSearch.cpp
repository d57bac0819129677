#include "core/playlist/SongSearch.h"

#include "core/playlist/PlaylistUtils.h"
#include "database/SQLPool_imp.h"
#include "foundation/TextUtil.h"

namespace kelvar {

bool BuildSearchSQL(const TSearchRequest& Request, std::string& SQL, TVariantArray& Params) {
    SQL.clear();
    Params.clear();
    // The database folds every script, so the text must be folded the same way.
    const std::string text = UpperUtf8(Request.Text);
    if (text.empty()) return false;
    const std::string pattern = Request.Substring ? "%" + text + "%" : text + "%";
    const std::pair<bool, const char*> fields[] = {
        {Request.Artist, "artist"}, {Request.Title, "title"}, {Request.Album, "album"}, {Request.Filename, "filename"}};
    // The condition over the columns of Qualifier ("" or "alias."), its parameters numbered on from N.
    auto conditionOf = [&](const std::string& qualifier, int& n) {
        std::string condition;
        int ticked = 0;
        for (const auto& [on, field] : fields) {
            if (!on) continue;
            ++n;
            Params.emplace_back(pattern);
            condition += std::string(" ") + (++ticked > 1 ? " OR " : "") + " (UPPER(" + qualifier + field +
                         ") LIKE :search" + std::to_string(n) + ") ";
        }
        if (ticked > 0 && Request.SongType != 0)
            condition =
                "(" + condition + ") AND (" + qualifier + "songtype IN ('" + std::string(1, Request.SongType) + "')) ";
        return condition;
    };
    int n = 0;
    std::string condition = conditionOf("", n);
    if (n == 0) return false;
    if (Request.Limit100 && SQLDriverType.load() == dtFirebird) {
        // The first hundred in artist order lie at or before the hundredth match along the artist
        // index: only the rows up to that artist are read and sorted, not every match of a large
        // library. NULL artists sort first.
        condition = "(" + condition +
                    ") AND ((artist IS NULL) OR (artist <= (SELECT MAX(f.artist) FROM (SELECT FIRST 100 s.artist "
                    "FROM songlist s WHERE " +
                    conditionOf("s.", n) + " ORDER BY s.artist) f))) ";
    }
    SQL = "SELECT  songlist.* FROM songlist WHERE " + condition + " ORDER BY artist ASC, title ASC";
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

TSongSearch::TSongSearch() : FQuery(PoolNewDelayedQuery()) {}

TSongSearch::~TSongSearch() { FQuery->Clear(); }

int TSongSearch::Search(const TSearchRequest& Request, TResultEvent OnResult) {
    std::string sql;
    TVariantArray params;
    if (!BuildSearchSQL(Request, sql, params)) return 0;
    auto callback = std::make_shared<TQueryCallBack>(
        [OnResult = std::move(OnResult)](int ID, const IDatasetPtr& Rows) {
            OnResult(ID, Rows ? SongItemsOfRows(*Rows) : NewSongItemList());
        },
        nullptr);
    return FQuery->Query(sql, params, true, callback, true);
}

bool TSongSearch::Cancel(int ID) { return FQuery->Cancel(ID); }

}  // namespace kelvar
