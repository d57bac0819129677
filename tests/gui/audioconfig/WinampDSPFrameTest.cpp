// The DSP page over the decks' chain nodes with the host's test plug-ins: the list, a plug-in
// checked into a chain (and refused in a second chain), configuring a plug-in no chain uses,
// and moving entries.
#include <QComboBox>
#include <QListWidget>

#include "audio/dsp/WinampTestKit.h"
#include "audio/nodes/Node_WinampDSPList.h"
#include "controls/FxFancyButton.h"
#include "gui/audioconfig/funWinampDSP.h"
#include "media/KelvarPlayer_imp.h"
#include "tests/gui/audioconfig/AudioConfigTestKit.h"

namespace kelvar {
namespace {

using audioconfigtest::TCoreFixture;

class WinampDSPFrame : public TCoreFixture {
protected:
    void SetUp() override {
        TCoreFixture::SetUp();
        Gain = Copy("dsp_gain.so", "dsp_a_gain.so");
        Multi = Copy("dsp_multi.so", "dsp_b_multi.so");
        GetWinampDSPList()->Refresh();
    }
    std::string Copy(const std::string& Name, const std::string& As) {
        const std::string target = Temp.File("plugins") + "/" + As;
        std::filesystem::copy_file(test::TestPlugin(Name), target);
        return target;
    }
    TNode_WinampDSPList& Chain(TKelvarPlayer* Deck) { return *Deck->Channel->WinampDSP; }
    static std::vector<std::string> Texts(const QListWidget* l) {
        std::vector<std::string> texts;
        for (int i = 0; i < l->count(); ++i) texts.push_back(l->item(i)->text().toStdString());
        return texts;
    }
    static void Check(QListWidget* l, int Row, bool On) {
        l->setCurrentRow(Row);
        l->item(Row)->setCheckState(On ? Qt::Checked : Qt::Unchecked);
    }
    int Counter(const char* Name) { return test::PluginSymbol<int (*)()>(Multi, Name)(); }
    std::string Gain, Multi;
};

TEST_F(WinampDSPFrame, CheckedPluginsJoinTheChainInListOrderAndOnlyOneChain) {
    TfrmWinampDSP deckA;
    deckA.Attach(&Chain(Api->DeckPlayer(TDeckId::DeckA)));
    ASSERT_EQ(Texts(deckA.eList),
              (std::vector<std::string>{"Test gain (dsp_a_gain.so)", "Test multi (dsp_b_multi.so)"}));
    Check(deckA.eList, 0, true);
    Check(deckA.eList, 1, true);
    const auto chain = Chain(Api->DeckPlayer(TDeckId::DeckA)).GetChain();
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0]->GetFileName(), Gain);
    EXPECT_EQ(chain[1]->GetFileName(), Multi);
    EXPECT_TRUE(chain[0]->IsActive() && chain[1]->IsActive());
    EXPECT_TRUE(deckA.btConfig->isEnabled());
    EXPECT_EQ(deckA.eModule->count(), 4);  // the multi plug-in is selected

    TfrmWinampDSP deckB;
    deckB.Attach(&Chain(Api->DeckPlayer(TDeckId::DeckB)));
    EXPECT_EQ(deckB.eList->item(0)->checkState(), Qt::Unchecked);
    std::string shown;
    SetMessageHandler([&](const TMessageRequest& r) {
        shown = r.Text;
        return MsgButton::Cancel;
    });
    Check(deckB.eList, 0, true);
    EXPECT_EQ(shown,
              "Each DSP plugin can only be used once in the audio pipeline.\nThe selected DSP plugin is already in "
              "use.\nPress OK to read how you can work around this problem, or Cancel to continue");
    EXPECT_EQ(deckB.eList->item(0)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(Chain(Api->DeckPlayer(TDeckId::DeckB)).GetChain().empty());

    // Unchecked in deck A, the plug-in leaves the chain.
    Check(deckA.eList, 0, false);
    ASSERT_EQ(Chain(Api->DeckPlayer(TDeckId::DeckA)).GetChain().size(), 1u);
    EXPECT_EQ(Chain(Api->DeckPlayer(TDeckId::DeckA)).GetChain()[0]->GetFileName(), Multi);
    deckA.Detach();
    EXPECT_TRUE(Chain(Api->DeckPlayer(TDeckId::DeckA)).GetChain()[0]->IsActive());  // in use: stays
}

TEST_F(WinampDSPFrame, ConfiguringAnUnusedPluginLoadsItUntilAnotherIsTaken) {
    TfrmWinampDSP frame;
    frame.Attach(&Chain(Api->DeckPlayer(TDeckId::DeckA)));
    auto multi = GetWinampDSPList()->FindByFile(Multi);
    ASSERT_FALSE(multi->IsActive());
    frame.eList->setCurrentRow(1);
    EXPECT_FALSE(frame.btConfig->isEnabled());
    frame.ConfigureSelected();
    EXPECT_TRUE(multi->IsActive());
    EXPECT_EQ(Counter("TestInits"), 1);
    EXPECT_EQ(Counter("TestConfigs"), 1);
    EXPECT_EQ(frame.eModule->count(), 4);
    EXPECT_EQ(frame.eModule->itemText(0), "Negate");

    frame.eList->setCurrentRow(0);
    frame.ConfigureSelected();
    EXPECT_FALSE(multi->IsActive());
    EXPECT_EQ(Counter("TestQuits"), 1);
    frame.Detach();
    EXPECT_FALSE(multi->IsLoaded());
    EXPECT_FALSE(GetWinampDSPList()->FindByFile(Gain)->IsLoaded());
}

TEST_F(WinampDSPFrame, MovingEntriesReordersListAndChain) {
    TfrmWinampDSP frame;
    frame.Attach(&Chain(Api->DeckPlayer(TDeckId::DeckA)));
    Check(frame.eList, 0, true);
    Check(frame.eList, 1, true);
    const auto before = Texts(frame.eList);
    frame.eList->setCurrentRow(0);
    frame.MoveUp();
    frame.eList->setCurrentRow(1);
    frame.MoveDown();
    EXPECT_EQ(Texts(frame.eList), before);

    frame.MoveUp();
    EXPECT_EQ(Texts(frame.eList), (std::vector<std::string>{before[1], before[0]}));
    EXPECT_EQ(frame.eList->currentRow(), 0);
    EXPECT_EQ(GetWinampDSPList()->GetItem(0)->GetFileName(), Multi);
    EXPECT_EQ(Chain(Api->DeckPlayer(TDeckId::DeckA)).GetChain()[0]->GetFileName(), Multi);
    EXPECT_EQ(frame.eList->item(0)->checkState(), Qt::Checked);

    // Refreshing keeps the order the operator gave.
    frame.RefreshClicked();
    EXPECT_EQ(Texts(frame.eList), (std::vector<std::string>{before[1], before[0]}));
}

}  // namespace
}  // namespace kelvar
