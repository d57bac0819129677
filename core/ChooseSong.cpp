#include "core/ChooseSong.h"

namespace kelvar {

ISongInfoPtr ChooseQueueSong(IPlaylistControl& Control) {
    ISongInfoPtr song;
    if (IPlaylistRulesPtr rules = Control.GetRules()) {
        song = rules->GetGhostSong();
        rules->SetGhostSong(nullptr);
    }
    if (!song)
        if (IPlaylistLogicPtr logic = Control.GetLogic()) song = logic->ChooseSong();
    return song;
}

}  // namespace kelvar
