#include "core/rotation/Logic_weighted.h"

#include <algorithm>
#include <vector>

#include "core/playlist/CategorySelection.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/rotation/PlaylistControl_imp.h"
#include "core/rotation/RotationConfig.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {

TDLVariant Now() { return TDLVariant::FromDateTime(NowDateTime()); }

bool IsMusic(const ISongInfo& song) { return song.GetValue("songtype") == "S"; }

}  // namespace

TplWeightedRotation::TplWeightedRotation() : DelayedQuery(RotationStatisticsQuery()), FRandom(std::random_device{}()) {}

void TplWeightedRotation::LoadConfig(IConfigDoc& node) {
    MinWeight = ReadConfigFloat(node, "MinWeight", MinWeight);
    ChooseInc = ReadConfigFloat(node, "ChooseInc", ChooseInc);
    PlayDec = ReadConfigFloat(node, "PlayDec", PlayDec);
    RequestInc = ReadConfigFloat(node, "RequestInc", RequestInc);
    EnforceRules = ReadConfigBool(node, "EnforceRules", EnforceRules);
}

void TplWeightedRotation::SaveConfig(IConfigDoc& node) {
    node.WriteFloat("MinWeight", MinWeight);
    node.WriteFloat("ChooseInc", ChooseInc);
    node.WriteFloat("PlayDec", PlayDec);
    node.WriteFloat("RequestInc", RequestInc);
    node.WriteBool("EnforceRules", EnforceRules);
}

ISongInfoPtr TplWeightedRotation::ChooseSong() {
    TVariantArray params{MinWeight};
    std::string where = " WHERE (weight>:minweight) ";
    if (Rules) {
        if (EnforceRules) where += Rules->BuildRulesSQL(params);
        where += Rules->StatusClause(0) + Rules->SongTypeClause('S');
    } else {
        where += " AND (status = 0)  AND (songtype = 'S') ";
    }

    // 1 to 10 steps from the first candidate, staying on the last: with two candidates or more
    // the first is never taken.
    const int steps = 1 + std::uniform_int_distribution<int>(0, 9)(FRandom);
    ISongInfoPtr song;
    if (!ChooseByBalanceIndex(where, params, steps, song)) {
        IDatasetPtr rows = PoolQueryLimit(
            "SELECT songlist.* FROM songlist " + where + " ORDER BY balance ASC, weight DESC", params, false, 10, 0);
        if (rows->IsEmpty()) return nullptr;
        rows->First();
        for (int i = 0; i < steps; ++i) {
            rows->Next();
            if (rows->Eof()) {
                rows->Last();
                break;
            }
        }
        song = SongFromRow(*rows);
    }
    if (!song) return nullptr;
    // The artist counts as played from the choice on, so the next choices keep away from it.
    DelayedQuery->ExecSQL("UPDATE songlist SET date_artist_played=:now, balance=balance+:chooseinc WHERE ID = :ID",
                          {Now(), ChooseInc, song->GetID()}, nullptr, false);
    return song;
}

// Sorting every candidate of a large library by balance and weight takes the database seconds.
// Walking the balance index to the first candidates finds the same ten rows in milliseconds as
// long as the tenth balance is not shared beyond the rows read; otherwise the caller sorts.
bool TplWeightedRotation::ChooseByBalanceIndex(const std::string& where, const TVariantArray& params, int steps,
                                               ISongInfoPtr& song) {
    constexpr int ReadAhead = 50;
    if (SQLDriverType.load() != dtFirebird) return false;
    struct TCandidate {
        int ID;
        double Balance;
        double Weight;
    };
    std::vector<TCandidate> candidates;
    try {
        IDatasetPtr rows = PoolQueryLimit("SELECT ID, balance, weight FROM songlist " + where +
                                              " PLAN (SONGLIST ORDER IDX_SONGLIST_BALANCE) ORDER BY balance ASC",
                                          params, true, ReadAhead, 0);
        for (rows->First(); !rows->Eof(); rows->Next())
            candidates.push_back({static_cast<int>(rows->GetFieldValue("ID").AsInteger()),
                                  rows->GetFieldValue("balance").AsFloat(), rows->GetFieldValue("weight").AsFloat()});
    } catch (const EDatabaseError& e) {
        // An older database without the balance index: the plain statement still works.
        if (!FIndexPathFailed) LogMessage("Weighted logic: " + std::string(e.what()), "CORE", LogKind::Debug);
        FIndexPathFailed = true;
        return false;
    }
    if (candidates.empty()) {
        song = nullptr;
        return true;
    }
    // The same order as the plain statement: balance ascending, then weight descending.
    std::stable_sort(candidates.begin(), candidates.end(), [](const TCandidate& a, const TCandidate& b) {
        return a.Balance != b.Balance ? a.Balance < b.Balance : a.Weight > b.Weight;
    });
    const size_t count = std::min<size_t>(candidates.size(), 10);
    if (candidates.size() == ReadAhead && candidates.back().Balance == candidates[count - 1].Balance) return false;
    const int chosen = candidates[std::min<size_t>(static_cast<size_t>(steps), count - 1)].ID;
    IDatasetPtr row = PoolQuery("SELECT songlist.* FROM songlist WHERE ID = :ID", {chosen}, true);
    // Gone since the first read: the next choice finds another.
    song = row->IsEmpty() ? nullptr : SongFromRow(*row);
    return true;
}

void TplWeightedRotation::OnPlay(const ISongInfoPtr& song) {
    if (!song || !IsMusic(*song) || PlayDec == 0) return;
    // Never below 10, whatever the minimum weight.
    DelayedQuery->ExecSQL("UPDATE songlist SET weight=weight-:playinc WHERE (ID = :ID) AND (weight>=:minweight)",
                          {PlayDec, song->GetID(), 10 + PlayDec}, nullptr, false);
}

void TplWeightedRotation::OnRequest(const ISongInfoPtr& song, const std::string&, std::string&, int&) {
    if (!song || !IsMusic(*song) || RequestInc == 0) return;
    DelayedQuery->ExecSQL("UPDATE songlist SET weight=weight+:reqinc  WHERE (ID = :ID) AND (weight<=:maxweight)",
                          {RequestInc, song->GetID(), 100 - RequestInc}, nullptr, false);
}

void TplWeightedRotation::OnFail(const ISongInfoPtr& song) {
    if (!song) return;
    // A zero weight must not fail the statement and so lose the new weight and date.
    DelayedQuery->ExecSQL(
        "UPDATE songlist SET weight=:minweight, balance=balance+CASE WHEN weight > 0 THEN 1/weight ELSE 0 END, "
        "date_played=:now WHERE ID = :ID",
        {MinWeight / 2, Now(), song->GetID()}, nullptr, false);
}

}  // namespace kelvar

namespace kelvar {

namespace {

void CreateWeightedLogic(IInterfacePtr* instance, const char*) { *instance = std::make_shared<TplWeightedRotation>(); }

}  // namespace

TPluginInfo* WeightedLogicInfo() {
    static TPluginInfo info{"Weighted Playlist rotation logic module",
                            "Playlist rotation logic module\nChooses among the least played songs by their weights.",
                            0x0100, "{483DB887-EFB2-4380-819B-435E6D76A8A7}", CreateWeightedLogic};
    return &info;
}

}  // namespace kelvar
