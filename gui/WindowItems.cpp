#include "gui/WindowItems.h"

#include <memory>

#include "gui/decks/DeckWindowItems.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/WindowList_imp.h"

namespace kelvar {

void RegisterWindowItems() {
    if (!GuiWindowList) GuiWindowList = std::make_shared<TWindowList>();
    IWindowList& list = *GuiWindowList;
    list.Add(std::make_shared<TwiPlayer>('A'));  // "PlayerA"
    list.Add(std::make_shared<TwiPlayer>('B'));  // "PlayerB"
    list.Add(std::make_shared<TwiPlayer>('1'));  // "Aux1"
    list.Add(std::make_shared<TwiPlayer>('2'));  // "Aux2"
    // The library window ("Playlist") joins here when it is built.
    // The queue window ("Queuelist") joins here when it is built.
    // The history window ("Historylist") joins here when it is built.
    // The voice effects window ("VoiceFX") joins here when it is built.
    // The master volume window ("MasterVolume") joins here when it is built.
    // The sound effect pads window ("SoundFX") joins here when it is built.
    list.Add(std::make_shared<TwiDJControl>());  // "FadeControl"
    list.Add(std::make_shared<TwiLog>());        // "EventLog"
    list.Add(std::make_shared<TwiClock>());      // "Clock"
}

}  // namespace kelvar
