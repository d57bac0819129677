#include "gui/decks/DeckWindowItems.h"

#include <cctype>

#include "gui/decks/funPlayer.h"
#include "gui/decks/GuiPlayers.h"

namespace kelvar {

namespace {

struct TDeckName {
    const char* Name;
    const char* Caption;
};

TDeckName NameOf(char Letter) {
    switch (Letter) {
        case 'A': return {"PlayerA", "Deck A"};
        case 'B': return {"PlayerB", "Deck B"};
        case '1': return {"Aux1", "Aux 1"};
        case '2': return {"Aux2", "Aux 2"};
        case '3': return {"Aux3", "Aux 3"};
        default: throw EWindowItemError(std::string("Unknown deck letter (") + Letter + ")");
    }
}

}  // namespace

TwiPlayer::TwiPlayer(char Letter)
    : TWindowItem(NameOf(static_cast<char>(std::toupper(static_cast<unsigned char>(Letter)))).Name,
                  NameOf(static_cast<char>(std::toupper(static_cast<unsigned char>(Letter)))).Caption, false),
      FLetter(static_cast<char>(std::toupper(static_cast<unsigned char>(Letter)))) {}

TwiPlayer::~TwiPlayer() {
    if (FFrame) FFrame->DetachPlayer();
}

TKelvarPlayer* TwiPlayer::PlayerOfLetter() const { return GuiPlayerOfLetter(FLetter); }

void TwiPlayer::Activate() {
    TWindowItem::Activate();
    FFrame = std::make_unique<TfrmPlayer>();
    FFrame->AttachPlayer(PlayerOfLetter());
    if (FLetter != 'A' && FLetter != 'B') FFrame->SetAuxMode();
}

void TwiPlayer::Deactivate() {
    if (FFrame) FFrame->DetachPlayer();
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiPlayer::GetFrame() { return FFrame.get(); }

}  // namespace kelvar
