#include "gui/decks/DeckSongDrop.h"

#include <QObject>
#include <QVariant>

#include "core/KelvarApi.h"
#include "core/PlayerAccess.h"

namespace kelvar {

int DeckDropSourceTag(const QObject* Source) {
    if (!Source) return 0;
    const int tag = Source->property("Tag").toInt();
    return tag >= 1 && tag <= 5 ? tag : 0;
}

void DropSongsOnDeck(TKelvarApi& Api, TKelvarPlayer* Deck, QObject* Source) {
    (void)Source;
    const bool wasPlaying = TPlayerAccess(Deck).State() == TDeckPhase::Playing;
    Api.QueueNext(Deck);
    if (wasPlaying) TPlayerAccess(Deck).Play();
}

}  // namespace kelvar
