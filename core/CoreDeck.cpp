#include "core/CoreDeck.h"

namespace kelvar {

void TCoreDeck::Play() {
    std::lock_guard<std::recursive_mutex> guard(GetLock());
    if (IsLoaded()) FPlayed = true;
    TKelvarPlayer::Play();
}

TCoreDeck::~TCoreDeck() { TCoreDeck::Unload(); }

void TCoreDeck::Unload() {
    std::lock_guard<std::recursive_mutex> guard(GetLock());
    TKelvarPlayer::Unload();
    FPlayed = false;
}

void TCoreDeck::OnEnd() {
    // On the worker thread, with the gap seen in what was decoded ahead.
    if (!FPlayed) return;
    TKelvarPlayer::OnEnd();
}

}  // namespace kelvar
