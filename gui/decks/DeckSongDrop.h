#pragma once
// Songs dropped on a deck from the song lists: they go to the top of the queue and the deck
// reloads from it, playing on when it played before.
class QObject;

namespace kelvar {

class TKelvarApi;
class TKelvarPlayer;

// The song-list source tag (1..5) of a drag source, 0 when the deck does not take it.
int DeckDropSourceTag(const QObject* Source);
void DropSongsOnDeck(TKelvarApi& Api, TKelvarPlayer* Deck, QObject* Source);

}  // namespace kelvar
