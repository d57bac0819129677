#include "gui/decks/GuiPlayers.h"

#include "core/KelvarApi.h"

namespace kelvar {

TKelvarPlayer* GuiPlayerOfLetter(char Letter) {
    TKelvarApi* api = ProgramKelvarApi();
    if (!api) return nullptr;
    switch (Letter) {
        case 'A': return api->DeckPlayer(TDeckId::DeckA);
        case 'B': return api->DeckPlayer(TDeckId::DeckB);
        case '1': return api->DeckPlayer(TDeckId::Aux1);
        case '2': return api->DeckPlayer(TDeckId::Aux2);
        case '3': return api->DeckPlayer(TDeckId::Aux3);
        default: return nullptr;
    }
}

}  // namespace kelvar
