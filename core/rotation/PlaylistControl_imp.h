#pragma once
// The core's playlist control. It owns the playlist database model, the rules, a delayed
// query for its statistics updates and the worker that deletes the songs whose play limit is
// reached.
#include <atomic>
#include <memory>

#include "core/rotation/PlaylistControl.h"
#include "database/SQLPool.h"

namespace kelvar {

class TPlayLimitCleaner;

class TPlaylistControl : public IPlaylistControl {
public:
    // Needs an open pool: builds the playlist database model. The newest control is the one
    // the clockwheel logic takes its playlist model from.
    TPlaylistControl();
    ~TPlaylistControl() override;
    TPlaylistControl(const TPlaylistControl&) = delete;
    TPlaylistControl& operator=(const TPlaylistControl&) = delete;

    IPlaylistLogicPtr GetLogic() override;
    void SetLogic(IPlaylistLogicPtr logic) override;
    std::shared_ptr<TPlaylistManager> GetPlaylistManager() override;
    IPlaylistRulesPtr GetRules() override;
    int GetPlayCount() override;
    void LoadConfig(IConfigDoc& node) override;
    void SaveConfig(IConfigDoc& node) override;
    void SongEnded(const ISongInfoPtr& song) override;
    ISongInfoPtr GetNextSong() override;
    void SetChooser(TChooser chooser) override;
    ISongInfoPtr ChooseFromLogic() override;
    ISongInfoPtr GetFallbackSong() override;
    void SongPlayed(const ISongInfoPtr& song) override;
    void SongFailed(const ISongInfoPtr& song) override;
    // Starts a pass of the worker that finds the songs whose play limit is reached and deletes
    // them; nothing while its last pass still runs, or once a pass left none due and no song
    // with a limit played since. The error that ended the last pass raises here.
    void PlayLimitMaintenance() override;

    IDelayedQueryPtr GetDelayedQuery() const { return DelayedQuery; }
    bool GetPlayLimitClean() const { return PlayLimitClean; }
    // Waits until the deletions handed over so far are done.
    void WaitForPlayLimitDeletions();

private:
    IDelayedQueryPtr DelayedQuery;
    std::shared_ptr<TPlaylistManager> PlaylistManager;
    IPlaylistRulesPtr Rules;
    IPlaylistLogicPtr Logic;
    TChooser Chooser;
    std::atomic<int> PlayCount{0};
    bool PlayLimitClean = false;
    // Plays of songs with a play limit, in all and when the running pass started.
    int PlayLimitPlays = 0;
    int PlayLimitPassPlays = 0;
    std::unique_ptr<TPlayLimitCleaner> PlayLimitCleaner;
};

// The playlist model and rules of the newest playlist control still alive; empty when none.
std::shared_ptr<TPlaylistManager> CurrentPlaylistManager();
IPlaylistRulesPtr CurrentPlaylistRules();
// The statistics queue of that control, else a new queue of the current pool. The logics write
// the same song rows as the control: on two workers Firebird would refuse one of two updates of
// a row made at the same time (an update conflict) and the play's statistics would be lost.
IDelayedQueryPtr RotationStatisticsQuery();

}  // namespace kelvar
