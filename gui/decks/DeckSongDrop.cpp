#include "gui/decks/DeckSongDrop.h"

#include <QObject>
#include <QVariant>

#include "core/Kelvar.h"
#include "media/KelvarPlayer_imp.h"

namespace kelvar {

int DeckDropSourceTag(const QObject* Source) {
    if (!Source) return 0;
    const int tag = Source->property("Tag").toInt();
    return tag >= 1 && tag <= 5 ? tag : 0;
}

void DropSongsOnDeck(TKelvar& Core, TKelvarPlayer& Deck, QObject* Source) {
    (void)Source;
    const bool wasPlaying = Deck.GetState() == DeckState::Playing;
    Core.QueueNext(&Deck);
    if (wasPlaying) Deck.Play();
}

}  // namespace kelvar
