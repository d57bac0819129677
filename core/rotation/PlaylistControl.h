#pragma once
// The automation's one door to the song database: which song comes next (the queue, the ghost
// song, the active logic), a fallback when nothing else works, the booking of every play, and
// the removal of songs that reached their play limit.
#include <functional>
#include <memory>

#include "core/playlist/PlaylistRules.h"
#include "core/rotation/PlaylistLogic.h"
#include "foundation/ConfigDoc.h"
#include "media/SongInfo.h"

namespace kelvar {

class TPlaylistManager;

class IPlaylistControl {
public:
    virtual ~IPlaylistControl() = default;

    virtual IPlaylistLogicPtr GetLogic() = 0;
    // Hands the logic the rules; empty clears it.
    virtual void SetLogic(IPlaylistLogicPtr logic) = 0;
    virtual std::shared_ptr<TPlaylistManager> GetPlaylistManager() = 0;
    virtual IPlaylistRulesPtr GetRules() = 0;
    // Songs played since start.
    virtual int GetPlayCount() = 0;
    // The sub-nodes "PlaylistRules", "Logic" and "Songlist" of Node; set the logic first.
    virtual void LoadConfig(IConfigDoc& node) = 0;
    virtual void SaveConfig(IConfigDoc& node) = 0;
    virtual void SongEnded(const ISongInfoPtr& song) = 0;
    // The queue's first song (taken out), else the ghost song, else the logic's choice; may
    // be empty. Database errors raise.
    virtual ISongInfoPtr GetNextSong() = 0;
    // Asks Chooser instead of the logic's own ChooseSong in GetNextSong (the core hands it
    // choices prepared ahead); empty restores the logic's own.
    using TChooser = std::function<ISongInfoPtr(const IPlaylistLogicPtr& logic)>;
    virtual void SetChooser(TChooser chooser) = 0;
    // The logic's choice alone (no queue, no ghost song), through the chooser when one is set,
    // so that no caller runs the logic beside the worker that prepares its choices.
    virtual ISongInfoPtr ChooseFromLogic() = 0;
    // The song played longest ago; empty for an empty library.
    virtual ISongInfoPtr GetFallbackSong() = 0;
    // Books a play (history, statistics, the logic's play event).
    virtual void SongPlayed(const ISongInfoPtr& song) = 0;
    virtual void SongFailed(const ISongInfoPtr& song) = 0;
    // Deletes songs (or their files and the songs) that reached their play limit.
    virtual void PlayLimitMaintenance() = 0;
};

using IPlaylistControlPtr = std::shared_ptr<IPlaylistControl>;

}  // namespace kelvar
