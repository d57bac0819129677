#pragma once
// The core's players by the deck letters of the windows, kept apart from the window items.
namespace kelvar {

class TKelvarPlayer;

// "A", "B", "1", "2", "3" (upper case): decks A and B and the auxiliary players; null without a core.
TKelvarPlayer* GuiPlayerOfLetter(char Letter);

}  // namespace kelvar
