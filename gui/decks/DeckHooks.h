#pragma once
// Windows of higher folders that the deck frames open; the program sets these at start-up.
#include <functional>
#include <string>

#include "database/Dataset.h"

namespace kelvar {

class TKelvarPlayer;

// The song information editor over an editable result; true when the operator saved.
extern std::function<bool(IDatasetPtr)> EditSongsHook;
// The audio settings window of a player, opened on the named page ("EQ").
extern std::function<void(TKelvarPlayer*, const std::string& Page)> ShowAudioSettingsHook;

}  // namespace kelvar
