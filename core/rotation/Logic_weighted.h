#pragma once
// The weighted rotation, the default logic: every song carries a weight (how much it should play)
// and a balance (how much it was chosen and played relative to its weight). It picks among the
// ten songs with the lowest balance that pass the rules; its updates run in order on a
// delayed-query thread of its own.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/plugins/PluginList.h"
#include "core/rotation/PlaylistLogic_imp.h"
#include "database/SQLPool.h"

namespace kelvar {

class TplWeightedRotation : public TPlaylistLogic {
public:
    // Its updates go to the playlist control's statistics queue (a queue of its own without a
    // control): needs an open pool.
    TplWeightedRotation();

    void LoadConfig(IConfigDoc& node) override;
    void SaveConfig(IConfigDoc& node) override;
    ISongInfoPtr ChooseSong() override;
    void OnPlay(const ISongInfoPtr& song) override;
    void OnRequest(const ISongInfoPtr& song, const std::string& host, std::string& message, int& code) override;
    void OnFail(const ISongInfoPtr& song) override;

    // Makes the random part of the choice repeatable.
    void SetRandomSeed(uint32_t seed) { FRandom.seed(seed); }
    IDelayedQueryPtr GetDelayedQuery() const { return DelayedQuery; }
    // The IDs of the first candidates read along the indexes, in the order of the plain
    // statement's "balance ASC, weight DESC"; false when only the plain statement can answer
    // (another database, or one without the indexes).
    bool IndexCandidates(std::vector<int>& ids);

    // How many of the first rows a choice is made from.
    static constexpr size_t Candidates = 10;

    double MinWeight = 10.0;
    double ChooseInc = 0.001;
    double PlayDec = 0.5;
    double RequestInc = 5.0;
    bool EnforceRules = true;

private:
    // False when the caller must run the plain statement.
    bool ChooseByBalanceIndex(int steps, ISongInfoPtr& song);
    std::string AvailableMusicClauses() const;

    IDelayedQueryPtr DelayedQuery;
    bool FIndexPathFailed = false;
    std::mt19937 FRandom;
};

// The built-in plug-in record of the weighted logic.
TPluginInfo* WeightedLogicInfo();

}  // namespace kelvar
