#pragma once
// The operator's "choose the next song": the ghost song the rules hold (taken, so it is not
// chosen twice), else the active logic's choice (the core's prepared choice when it prepares
// them, never a second run of the logic beside it); empty when neither has one.
#include "core/rotation/PlaylistControl.h"
#include "media/SongInfo.h"

namespace kelvar {

ISongInfoPtr ChooseQueueSong(IPlaylistControl& Control);

}  // namespace kelvar
