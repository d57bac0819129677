#include "core/rotation/Logic_weighted.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/playlist/CategorySelection.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/rotation/PlaylistControl_imp.h"
#include "core/rotation/PlaylistRules_imp.h"
#include "core/rotation/RotationConfig.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {

TDLVariant Now() { return TDLVariant::FromDateTime(NowDateTime()); }

// Texts compared as the database compares them: trailing blanks don't count.
class TValueSet {
public:
    explicit TValueSet(const std::vector<std::string>& values) {
        for (const std::string& v : values) FValues.insert(Key(v));
    }
    bool Has(const std::string& value) const { return !FValues.empty() && FValues.count(Key(value)) > 0; }

private:
    static std::string Key(const std::string& value) {
        const size_t end = value.find_last_not_of(' ');
        return end == std::string::npos ? std::string() : value.substr(0, end + 1);
    }
    std::unordered_set<std::string> FValues;
};

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
    // 1 to 10 steps from the first candidate, staying on the last: with two candidates or more
    // the first is never taken.
    const int steps = 1 + std::uniform_int_distribution<int>(0, 9)(FRandom);
    ISongInfoPtr song;
    if (!ChooseByBalanceIndex(steps, song)) {
        TVariantArray params{MinWeight};
        std::string where = " WHERE (weight>:minweight) ";
        if (Rules && EnforceRules) where += Rules->BuildRulesSQL(params);
        where += AvailableMusicClauses();
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

std::string TplWeightedRotation::AvailableMusicClauses() const {
    return Rules ? Rules->StatusClause(0) + Rules->SongTypeClause('S') : " AND (status = 0)  AND (songtype = 'S') ";
}

// Sorting every candidate of a large library by balance and weight takes Firebird seconds, and so
// does preparing a statement with a clause for each value of a long queue. Walking the balance
// index to the first candidates and checking them against the queue here finds the same ten rows
// in milliseconds, as long as the tenth balance is not shared beyond the rows read; otherwise the
// caller runs the plain statement.
bool TplWeightedRotation::ChooseByBalanceIndex(int steps, ISongInfoPtr& song) {
    constexpr int ReadAhead = 64;
    if (SQLDriverType.load() != dtFirebird) return false;

    TVariantArray params{MinWeight};
    std::string where = " WHERE (weight>:minweight) ";
    TQueueExclusions queue;
    if (Rules && EnforceRules) {
        if (auto* rules = dynamic_cast<TPlaylistRules*>(Rules.get()))
            where += rules->BuildRulesSQLExceptQueue(params, queue);
        else
            where += Rules->BuildRulesSQL(params);
    }
    where += AvailableMusicClauses();
    // A NULL never passes "<>", so the queue's clauses keep such songs out too.
    if (!queue.QueueEmpty) where += " AND (artist IS NOT NULL) ";
    if (!queue.Albums.empty()) where += " AND (album IS NOT NULL) ";
    if (!queue.Titles.empty()) where += " AND (title IS NOT NULL) ";

    struct TCandidate {
        int ID;
        double Balance;
        double Weight;
    };
    std::vector<TCandidate> candidates;
    int read = 0;
    double lastBalance = 0;
    try {
        IDatasetPtr rows = PoolQueryLimit("SELECT ID, balance, weight, artist, album, title FROM songlist " + where +
                                              " PLAN (SONGLIST ORDER IDX_SONGLIST_BALANCE) ORDER BY balance ASC",
                                          params, true, ReadAhead, 0);
        const TValueSet artists(queue.Artists), albums(queue.Albums), titles(queue.Titles);
        for (rows->First(); !rows->Eof(); rows->Next()) {
            ++read;
            lastBalance = rows->GetFieldValue("balance").AsFloat();
            if (artists.Has(rows->GetFieldValue("artist").AsString()) ||
                albums.Has(rows->GetFieldValue("album").AsString()) ||
                titles.Has(rows->GetFieldValue("title").AsString()))
                continue;
            candidates.push_back({static_cast<int>(rows->GetFieldValue("ID").AsInteger()), lastBalance,
                                  rows->GetFieldValue("weight").AsFloat()});
        }
    } catch (const EDatabaseError& e) {
        // An older database without the balance index: the plain statement still works.
        if (!FIndexPathFailed) LogMessage("Weighted logic: " + std::string(e.what()), "CORE", LogKind::Debug);
        FIndexPathFailed = true;
        return false;
    }
    // The same order as the plain statement: balance ascending, then weight descending.
    std::stable_sort(candidates.begin(), candidates.end(), [](const TCandidate& a, const TCandidate& b) {
        return a.Balance != b.Balance ? a.Balance < b.Balance : a.Weight > b.Weight;
    });
    if (read == ReadAhead) {
        // Rows not read may belong among the first ten.
        if (candidates.size() < 10 || candidates[9].Balance == lastBalance) return false;
    }
    if (candidates.empty()) {
        song = nullptr;
        return true;
    }
    const size_t count = std::min<size_t>(candidates.size(), 10);
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
