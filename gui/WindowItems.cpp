#include "gui/WindowItems.h"

#include <memory>

#include "gui/decks/DeckWindowItems.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/WindowList_imp.h"
#include "gui/library/unPlaylist.h"
#include "gui/onair/unHistoryList.h"
#include "gui/onair/unQueueList.h"
#include "gui/onair/unSoundFX.h"
#include "gui/voice/funMasterVolume.h"
#include "gui/voice/funVoiceFX.h"

namespace kelvar {

void RegisterWindowItems() {
    if (!GuiWindowList) GuiWindowList = std::make_shared<TWindowList>();
    IWindowList& list = *GuiWindowList;
    list.Add(std::make_shared<TwiPlayer>('A'));     // "PlayerA"
    list.Add(std::make_shared<TwiPlayer>('B'));     // "PlayerB"
    list.Add(std::make_shared<TwiPlayer>('1'));     // "Aux1"
    list.Add(std::make_shared<TwiPlayer>('2'));     // "Aux2"
    list.Add(std::make_shared<TwiPlaylist>());      // "Playlist"
    list.Add(std::make_shared<TwiQueuelist>());     // "Queuelist"
    list.Add(std::make_shared<TwiHistorylist>());   // "Historylist"
    list.Add(std::make_shared<TwiVoiceFX>());       // "VoiceFX"
    list.Add(std::make_shared<TwiMasterVolume>());  // "MasterVolume"
    list.Add(std::make_shared<TwiSoundFX>());       // "SoundFX"
    list.Add(std::make_shared<TwiDJControl>());     // "FadeControl"
    list.Add(std::make_shared<TwiLog>());           // "EventLog"
    list.Add(std::make_shared<TwiClock>());         // "Clock"
}

}  // namespace kelvar
