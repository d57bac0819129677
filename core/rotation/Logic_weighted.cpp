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
        IDatasetPtr rows =
            PoolQueryLimit("SELECT songlist.* FROM songlist " + where + " ORDER BY balance ASC, weight DESC", params,
                           false, static_cast<int>(Candidates), 0);
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
// does preparing a statement with a clause for each value of a long queue. The first candidates
// are read along indexes instead and checked against the queue here: a batch along the balance
// index holds every row of the balances below its last one; the rows of that last balance (all of
// the library when no song was chosen yet) are read heaviest first along the (balance, weight)
// index, as many as still needed; then the walk goes on above that balance.
bool TplWeightedRotation::IndexCandidates(std::vector<int>& ids) {
    constexpr int ReadAhead = 64;
    ids.clear();
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
    const TValueSet artists(queue.Artists), albums(queue.Albums), titles(queue.Titles);
    // Answers the rows read; the rows that pass the queue's rules go to Candidates.
    auto readRows = [&](const std::string& sql, const TVariantArray& values, int limit, int skip, double& last) {
        IDatasetPtr rows = PoolQueryLimit(sql, values, true, limit, skip);
        int read = 0;
        for (rows->First(); !rows->Eof(); rows->Next()) {
            ++read;
            last = rows->GetFieldValue("balance").AsFloat();
            if (artists.Has(rows->GetFieldValue("artist").AsString()) ||
                albums.Has(rows->GetFieldValue("album").AsString()) ||
                titles.Has(rows->GetFieldValue("title").AsString()))
                continue;
            candidates.push_back({static_cast<int>(rows->GetFieldValue("ID").AsInteger()), last,
                                  rows->GetFieldValue("weight").AsFloat()});
        }
        return read;
    };
    const std::string columns = "SELECT ID, balance, weight, artist, album, title FROM songlist ";
    try {
        bool above = false;
        double from = 0;
        while (candidates.size() < Candidates) {
            TVariantArray batchParams = params;
            std::string batch = columns + where;
            if (above) {
                // The index bounds the walk only when the plan names it for the condition too.
                batch +=
                    " AND (balance > :after) PLAN (SONGLIST ORDER IDX_SONGLIST_BALANCE INDEX "
                    "(IDX_SONGLIST_BALANCE)) ";
                batchParams.emplace_back(from);
            } else {
                batch += " PLAN (SONGLIST ORDER IDX_SONGLIST_BALANCE) ";
            }
            double last = 0;
            const int read = readRows(batch + " ORDER BY balance ASC", batchParams, ReadAhead, 0, last);
            if (read < ReadAhead) break;  // every remaining row was read
            // The rows of the last balance read may go on beyond the batch.
            candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                            [&](const TCandidate& c) { return c.Balance == last; }),
                             candidates.end());
            if (candidates.size() >= Candidates) break;
            TVariantArray levelParams = params;
            levelParams.emplace_back(last);
            const std::string level = columns + where +
                                      " AND (balance = :level) PLAN (SONGLIST ORDER IDX_SONGLIST_BALANCE_WEIGHT) "
                                      "ORDER BY balance DESC, weight DESC";
            for (int skip = 0; candidates.size() < Candidates; skip += ReadAhead) {
                double ignored = 0;
                if (readRows(level, levelParams, ReadAhead, skip, ignored) < ReadAhead) break;
            }
            above = true;
            from = last;
        }
    } catch (const EDatabaseError& e) {
        // An older database without the indexes: the plain statement still works.
        if (!FIndexPathFailed) LogMessage("Weighted logic: " + std::string(e.what()), "CORE", LogKind::Debug);
        FIndexPathFailed = true;
        return false;
    }
    // The order of the plain statement: balance ascending, then weight descending.
    std::stable_sort(candidates.begin(), candidates.end(), [](const TCandidate& a, const TCandidate& b) {
        return a.Balance != b.Balance ? a.Balance < b.Balance : a.Weight > b.Weight;
    });
    if (candidates.size() > Candidates) candidates.resize(Candidates);
    for (const TCandidate& c : candidates) ids.push_back(c.ID);
    return true;
}

bool TplWeightedRotation::ChooseByBalanceIndex(int steps, ISongInfoPtr& song) {
    std::vector<int> ids;
    if (!IndexCandidates(ids)) return false;
    if (ids.empty()) {
        song = nullptr;
        return true;
    }
    const int chosen = ids[std::min<size_t>(static_cast<size_t>(steps), ids.size() - 1)];
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
