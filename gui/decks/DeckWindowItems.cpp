#include "gui/decks/DeckWindowItems.h"

#include <cctype>

#include "gui/decks/GuiPlayers.h"
#include "gui/decks/funClock.h"
#include "gui/decks/funDJControl.h"
#include "gui/decks/funPlayer.h"
#include "gui/decks/unEventLog.h"
#include "gui/engine/GUIcommon.h"

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

TwiDJControl::TwiDJControl() : TWindowItem("FadeControl", "Fade Control", false) {}

TwiDJControl::~TwiDJControl() {
    if (FFrame) FFrame->DetachCore();
}

void TwiDJControl::Activate() {
    TWindowItem::Activate();
    FFrame = std::make_unique<TfrmDJControl>();
    FFrame->AttachCore();
}

void TwiDJControl::Deactivate() {
    if (FFrame) FFrame->DetachCore();
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiDJControl::GetFrame() { return FFrame.get(); }

TwiLog::TwiLog() : TWindowItem("EventLog", "Event log", true) {}

TwiLog::~TwiLog() {
    if (FFrame) FFrame->Detach();
}

void TwiLog::Activate() {
    auto logger = std::dynamic_pointer_cast<ILoggerEx>(GuiLogger);
    if (!logger) throw EWindowItemError("Logger does not support Extended interface");
    TWindowItem::Activate();
    FFrame = std::make_unique<TfrmEventLog>();
    FFrame->FLogger = logger;
    FFrame->Attach();
}

void TwiLog::Deactivate() {
    if (FFrame) {
        FFrame->Detach();
        FFrame->FLogger.reset();
    }
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiLog::GetFrame() { return FFrame.get(); }

TwiClock::TwiClock() : TWindowItem("Clock", "Clock", true) {}

TwiClock::~TwiClock() {
    if (FFrame) FFrame->Detach();
}

void TwiClock::Activate() {
    TWindowItem::Activate();
    FFrame = std::make_unique<TfrmClock>();
    FFrame->Attach();
}

void TwiClock::Deactivate() {
    if (FFrame) FFrame->Detach();
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiClock::GetFrame() { return FFrame.get(); }

}  // namespace kelvar
