#include "gui/decks/DeckHooks.h"

namespace kelvar {

std::function<bool(IDatasetPtr)> EditSongsHook;
std::function<void(TKelvarPlayer*, const std::string&)> ShowAudioSettingsHook;

}  // namespace kelvar
