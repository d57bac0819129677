#pragma once
// The operator's "choose the next song": the ghost song the rules hold (taken, so it is not
// chosen twice), else the active logic's choice; empty when neither has one.
#include "core/rotation/PlaylistControl.h"
#include "media/SongInfo.h"

namespace kelvar {

ISongInfoPtr ChooseQueueSong(IPlaylistControl& Control);

}  // namespace kelvar
