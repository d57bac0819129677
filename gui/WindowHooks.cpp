#include "gui/WindowHooks.h"

#include <vector>

#include "gui/audioconfig/unCfgPlayer.h"
#include "gui/decks/DeckHooks.h"
#include "gui/lists/SongInfoHook.h"
#include "gui/onair/unQueueList.h"
#include "gui/songinfo/unSongInfo.h"
#include "gui/voice/unCfgMic.h"

namespace kelvar {

void InstallWindowHooks() {
    ShowSongInfo = [](const std::vector<int32_t>& SongIDs) {
        EditSongIDs(std::vector<int>(SongIDs.begin(), SongIDs.end()));
    };
    EditSongsHook = [](IDatasetPtr Data) { return EditSongs(Data); };
    ShowAudioSettingsHook = [](TKelvarPlayer* Player, const std::string& Page) {
        ShowAudioSettings(Player, Page, false);
    };
    LiveSourceDialogHook = [](std::string& Address, std::string& Description) {
        return MicSourceDialog(Address, Description);
    };
}

void RemoveWindowHooks() {
    ShowSongInfo = nullptr;
    EditSongsHook = nullptr;
    ShowAudioSettingsHook = nullptr;
    LiveSourceDialogHook = nullptr;
}

}  // namespace kelvar
