#include "core/DeckAccess.h"

#include "core/Kelvar.h"
#include "media/KelvarPlayer_imp.h"

namespace kelvar {

void TDeckAccess::Unload(int Index) {
    if (Index < 0 || Index >= FKelvar.PlayerCount()) return;
    if (TKelvarPlayer* player = FKelvar.Players(Index)) player->Unload();
}

}  // namespace kelvar
