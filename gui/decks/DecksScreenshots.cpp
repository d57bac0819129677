#include "gui/decks/DecksScreenshots.h"

#include <memory>

#include "foundation/Logger.h"
#include "gui/decks/GuiPlayers.h"
#include "gui/decks/funClock.h"
#include "gui/decks/funDJControl.h"
#include "gui/decks/funPlayer.h"
#include "gui/decks/unEventLog.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/Screenshots.h"

namespace kelvar {

void RegisterDecksScreenshots() {
    RegisterScreenshot("DeckA", []() -> std::unique_ptr<QWidget> {
        auto frame = std::make_unique<TfrmPlayer>();
        frame->AttachPlayer(GuiPlayerOfLetter('A'));
        frame->Refresh();
        return frame;
    });
    RegisterScreenshot("DeckB", []() -> std::unique_ptr<QWidget> {
        auto frame = std::make_unique<TfrmPlayer>();
        frame->AttachPlayer(GuiPlayerOfLetter('B'));
        frame->Refresh();
        return frame;
    });
    RegisterScreenshot("FadeControl", []() -> std::unique_ptr<QWidget> {
        auto frame = std::make_unique<TfrmDJControl>();
        frame->AttachCore();
        frame->Refresh();
        return frame;
    });
    RegisterScreenshot("EventLog", []() -> std::unique_ptr<QWidget> {
        auto frame = std::make_unique<TfrmEventLog>();
        frame->FLogger = std::dynamic_pointer_cast<ILoggerEx>(GuiLogger);
        frame->Attach();
        frame->Refresh();
        return frame;
    });
    RegisterScreenshot("Clock", []() -> std::unique_ptr<QWidget> {
        auto frame = std::make_unique<TfrmClock>();
        frame->Attach();
        return frame;
    });
}

}  // namespace kelvar
