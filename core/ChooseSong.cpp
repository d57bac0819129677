#include "core/ChooseSong.h"

namespace kelvar {

ISongInfoPtr ChooseQueueSong(IPlaylistControl& Control) {
    ISongInfoPtr song;
    if (IPlaylistRulesPtr rules = Control.GetRules()) {
        song = rules->GetGhostSong();
        rules->SetGhostSong(nullptr);
    }
    // Through the control's chooser: the core's choice worker may be running the same logic.
    if (!song) song = Control.ChooseFromLogic();
    return song;
}

}  // namespace kelvar
