#include "core/playlist/CategorySelection.h"

#include <mutex>
#include <random>

#include "core/playlist/CustomCategory.h"
#include "core/playlist/PlaylistRules.h"
#include "database/datalink/DLEngine.h"
#include "media/SongInfo_imp.h"

namespace kelvar {

int RandomBelow(int count) {
    if (count < 1) return 0;
    static std::mutex lock;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard<std::mutex> guard(lock);
    return std::uniform_int_distribution<int>(0, count - 1)(generator);
}

std::string SelectionOrderBy(int method) {
    switch (method) {
        case smWeighted: return " ORDER BY balance ASC, weight DESC  ";
        case smPriority: return " ORDER BY weight DESC, balance ASC  ";
        case smRandom: return " ORDER BY date_played ASC ";
        case smMRP: return " ORDER BY date_played DESC ";
        case smLRP: return " ORDER BY date_played ASC ";
        case smMRPA: return " ORDER BY date_artist_played DESC, date_played ASC ";
        case smLRPA: return " ORDER BY date_artist_played ASC, date_played ASC ";
        default: return {};
    }
}

ISongInfoPtr SongFromRow(IDataset& row) { return TSongInfo::CreateFromDataset(row, row.FieldNames()); }

void PrepareSelection(IPlaylistRules& rules, const TVariantArray& params, char songType, TSelection& selection) {
    selection.Fields = " songlist.ID as songID, songlist.*";
    selection.From = " songlist, categorylist ";
    selection.Method = params.size() > 0 && !params[0].IsNull() ? static_cast<int>(params[0].AsInteger()) : 0;
    const bool enforce = params.size() > 1 && !params[1].IsNull() ? params[1].AsBoolean() : true;
    if (songType != ' ') selection.Where += rules.SongTypeClause(songType);
    if (enforce) selection.Where += rules.BuildRulesSQL(selection.Values);
    selection.Where += rules.StatusClause(0);
    if (selection.Method == smShuffleLogic) {
        static const int methods[] = {smWeighted, smPriority, smRandom, smLRP, smLRPA};
        selection.Method = methods[RandomBelow(5)];
    }
    selection.OrderBy = SelectionOrderBy(selection.Method);
}

ISongInfoPtr RunSelection(TSelection selection) {
    const TSQLDriverType driver = SQLDriverType.load();
    // Firebird keeps the first sort key only.
    if (driver == dtFirebird) {
        const size_t comma = selection.OrderBy.find(',');
        if (comma != std::string::npos) selection.OrderBy.erase(comma);
    }
    // The candidates are ordered by their IDs alone and the chosen row is read afterwards:
    // Firebird sorts whole rows at their declared widths, which for every column of a large
    // library is gigabytes.
    const std::string text =
        "SELECT songlist.ID as pickedID FROM " + selection.From + selection.Where + selection.OrderBy;
    IDatasetPtr picked;
    if (selection.Method == smRandom) {
        IDatasetPtr counted =
            PoolQuery("SELECT count(*) as cnt FROM " + selection.From + selection.Where, selection.Values, true);
        const int count = counted->IsEmpty() ? 0 : static_cast<int>(counted->GetFieldValue("cnt").AsInteger());
        counted.reset();
        if (count <= 0) return nullptr;
        const int skip = RandomBelow(count);
        // Any order gives every candidate the same chance; sorting them first only costs time.
        const std::string unordered = "SELECT songlist.ID as pickedID FROM " + selection.From + selection.Where;
        switch (driver) {
            case dtMSSQL:
            case dtADO:
                picked = PoolQuery(text, selection.Values, true);
                for (int i = 0; i < skip && !picked->Eof(); ++i) picked->Next();
                break;
            case dtMySQL:
            case dtFirebird:
            case dtPostgreSQL:
            case dtSQLite: picked = PoolQueryLimit(unordered, selection.Values, true, 1, skip); break;
            default: throw ECategoryError("Random Selection not available for this database!");
        }
    } else {
        picked = PoolQueryLimit(text, selection.Values, true, 1, 0);
    }
    if (!picked || picked->IsEmpty() || picked->Eof()) return nullptr;
    const TDLVariant id = picked->GetFieldValue("pickedID");
    picked.reset();
    IDatasetPtr row =
        PoolQuery("SELECT " + selection.Fields + " FROM songlist WHERE songlist.ID = :pickedID", {id}, true);
    if (row->IsEmpty()) return nullptr;  // deleted in between
    return SongFromRow(*row);
}

}  // namespace kelvar
