// The deck window items: names and captions by letter, and the auxiliary decks' buttons.
#include <gtest/gtest.h>

#include <QLabel>
#include "common/GuiTestKit.h"
#include "controls/BoxButton.h"
#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "gui/decks/DeckWindowItems.h"
#include "gui/decks/funPlayer.h"

namespace kelvar {
namespace {

TEST(DeckItems, NamesCaptionsAndAuxMode) {
    guitest::EnsureApplication();
    struct {
        char Letter;
        const char *Name, *Caption;
    } cases[] = {{'A', "PlayerA", "Deck A"},
                 {'b', "PlayerB", "Deck B"},
                 {'1', "Aux1", "Aux 1"},
                 {'2', "Aux2", "Aux 2"},
                 {'3', "Aux3", "Aux 3"}};
    for (const auto& c : cases) {
        TwiPlayer item(c.Letter);
        std::string name, caption;
        item.GetName(name);
        item.GetCaption(caption);
        EXPECT_EQ(name, c.Name);
        EXPECT_EQ(caption, c.Caption);
        EXPECT_FALSE(item.GetSizeable());
    }
    EXPECT_THROW(TwiPlayer('x'), EWindowItemError);

    TwiPlayer deck('A');
    deck.Activate();
    EXPECT_TRUE(deck.Frame()->btLoop->isHidden());
    EXPECT_FALSE(deck.Frame()->btNext->isHidden());
    EXPECT_EQ(deck.GetFrame(), deck.Frame());
    deck.Deactivate();
    EXPECT_EQ(deck.GetFrame(), nullptr);

    TwiPlayer aux('1');
    aux.Activate();
    EXPECT_FALSE(aux.Frame()->btLoop->isHidden());
    EXPECT_TRUE(aux.Frame()->btNext->isHidden());
    EXPECT_TRUE(aux.Frame()->btBeatMatch->isHidden());
    EXPECT_EQ(aux.Frame()->btFadeout->toolTip(), "Fade to end");
    aux.Deactivate();
}

TEST(DeckItems, EditorModeDisablesEjectAndTheAlbumClick) {
    guitest::EnsureApplication();
    TfrmPlayer f;
    f.SetEditorMode();
    EXPECT_FALSE(f.btEject->isEnabled());
    EXPECT_EQ(f.btEject->toolTip(), "Eject (Disabled)");
    EXPECT_EQ(f.imAlbum->toolTip(), "Album cover");
    EXPECT_TRUE(f.btNext->isHidden());
    EXPECT_TRUE(f.btLoop->isHidden());
}

}  // namespace
}  // namespace kelvar
