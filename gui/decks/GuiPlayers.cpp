#include "gui/decks/GuiPlayers.h"

#include "core/Kelvar.h"
#include "gui/engine/GUIcommon.h"

namespace kelvar {

TKelvarPlayer* GuiPlayerOfLetter(char Letter) {
    if (!GuiKelvar) return nullptr;
    switch (Letter) {
        case 'A': return GuiKelvar->DeckA;
        case 'B': return GuiKelvar->DeckB;
        case '1': return GuiKelvar->Aux1;
        case '2': return GuiKelvar->Aux2;
        case '3': return GuiKelvar->Aux3;
        default: return nullptr;
    }
}

}  // namespace kelvar
