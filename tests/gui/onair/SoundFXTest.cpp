// The sound effect pads over the core's sound effect deck: pages of a category, pads that play
// and stop the deck, the pad settings without fades, volume snapping and the mix switches.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include "OnAirTestCore.h"
#include "audio/mix/Channel_imp.h"
#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/CustomCategory.h"
#include "gui/audioconfig/unCfgPlayer.h"
#include "gui/onair/funSoundFXItem.h"
#include "gui/onair/unSoundFX.h"
#include "media/KelvarPlayer_imp.h"

namespace kelvar {
namespace {

class SoundFXPads : public onairtest::TCoreFixture {
protected:
    void TearDown() override {
        Frame.reset();
        onairtest::TCoreFixture::TearDown();
    }
    TfoSoundFX& Open() {
        Frame = std::make_unique<TfoSoundFX>();
        Frame->Api = Api.get();
        Frame->PlaylistManager = Manager;
        Frame->Init();
        Frame->show();
        return *Frame;
    }
    void AddEffects(int N, int Ms = 3000) {
        for (int i = 1; i <= N; ++i) AddSong(i, Ms, 'X');
    }
    TCustomCategory* All() { return Manager->Categories->FindByName("Sound FX (All)"); }
    static QString Page(TfoSoundFX& f) { return f.lbPage->text(); }

    std::unique_ptr<TfoSoundFX> Frame;
};

TEST_F(SoundFXPads, PagesOfACategory) {
    AddEffects(25);
    AddSong(100, 2000);  // music: not a sound effect
    TfoSoundFX& f = Open();
    EXPECT_EQ(Page(f), "0/0");
    EXPECT_EQ(f.Pad(0)->lbTitle->text(), "<empty>");
    f.ChooseAll();
    EXPECT_EQ(f.Category(), All());
    EXPECT_EQ(Page(f), "1/3");
    EXPECT_FALSE(f.btPrevious->isEnabled());
    EXPECT_TRUE(f.btNext->isEnabled());
    EXPECT_EQ(f.Pad(0)->lbNumber->text(), "1");
    EXPECT_EQ(f.Pad(0)->lbDuration->text(), "0:03.0");
    EXPECT_FALSE(f.Pad(11)->lbTitle->text().startsWith("<"));
    f.btNext->click();
    f.btNext->click();
    EXPECT_EQ(Page(f), "3/3");
    EXPECT_FALSE(f.btNext->isEnabled());
    EXPECT_EQ(f.Pad(0)->lbNumber->text(), "25");
    for (int i = 1; i < TfoSoundFX::PadCount; ++i) EXPECT_EQ(f.Pad(i)->lbTitle->text(), "<empty>") << i;

    // The window's settings keep the category and page; a page past the end opens the last.
    auto section = Doc->Section("SoundFX");
    f.SaveSettings(*section);
    EXPECT_EQ(section->ReadString("ActiveCategory", ""), "Sound FX (All)");
    section->WriteInteger("ActivePage", 7);
    f.ClearPads();
    f.LoadSettings(*section);
    EXPECT_EQ(Page(f), "3/3");
    f.btPrevious->click();
    EXPECT_EQ(f.PageIndex(), 1);

    // A category without songs shows one empty page; none shown saves "<invalid>".
    f.ShowCategory(Manager->Categories->FindByName("Jingles (All)"), 0);
    EXPECT_EQ(Page(f), "1/1");
    EXPECT_FALSE(f.btNext->isEnabled());
    f.Done();
    f.SaveSettings(*section);
    EXPECT_EQ(section->ReadString("ActiveCategory", ""), "<invalid>");
}

TEST_F(SoundFXPads, PadsPlayAndStopTheSoundEffectDeck) {
    AddEffects(3);
    TfoSoundFX& f = Open();
    f.ChooseAll();
    TKelvarPlayer* deck = Api->DeckPlayer(TDeckId::SoundFX);
    TfrmSoundFXItem* first = f.Pad(0);
    TfrmSoundFXItem* second = f.Pad(1);

    QTest::mouseClick(first->lbTitle, Qt::LeftButton);  // a click on a label counts as one on the pad
    EXPECT_EQ(deck->GetState(), DeckState::Playing);
    ASSERT_TRUE(deck->GetSong());
    EXPECT_EQ(deck->GetSong()->GetID(), first->Song()->GetID());
    EXPECT_TRUE(first->Playing());
    // No fades and no crossfade on a pad.
    const TSongSettings used = deck->GetEffectiveSettings();
    EXPECT_NE(used.FadeIn.Enabled, 1);
    EXPECT_NE(used.FadeOut.Enabled, 1);
    EXPECT_EQ(used.XFadeMode, 0);
    EXPECT_EQ(used.GapKiller, 1);
    deck->Seek(1000);
    first->Tick();
    EXPECT_EQ(first->lbDuration->text(), "0:02.0");  // the time left

    // Another pad stops the first song; the first pad notices on its tick.
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_EQ(deck->GetSong()->GetID(), second->Song()->GetID());
    EXPECT_TRUE(first->Playing());
    first->Tick();
    EXPECT_FALSE(first->Playing());
    EXPECT_EQ(first->lbDuration->text(), "0:03.0");

    // A second click stops; "Stop" empties the deck.
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_EQ(deck->GetState(), DeckState::Empty);
    EXPECT_FALSE(second->Playing());
    QTest::mouseClick(first, Qt::LeftButton);
    QTest::mousePress(f.FxFancyButton9, Qt::RightButton);
    EXPECT_EQ(deck->GetState(), DeckState::Empty);
    first->Tick();
    EXPECT_FALSE(first->Playing());

    // Showing a page while the deck plays a pad's song lights that pad.
    QTest::mouseClick(f.Pad(2), Qt::LeftButton);
    f.ShowPage(0);
    EXPECT_TRUE(f.Pad(2)->Playing());
    EXPECT_FALSE(f.Pad(0)->Playing());
}

TEST_F(SoundFXPads, VolumeAndMixSwitches) {
    TfoSoundFX& f = Open();
    TKelvarPlayer* deck = Api->DeckPlayer(TDeckId::SoundFX);
    f.eTrackBar->SetPosition(253);
    EXPECT_EQ(deck->GetVolume(), 255);
    EXPECT_EQ(f.eTrackBar->Position(), 255);
    f.eTrackBar->SetPosition(200);
    EXPECT_EQ(deck->GetVolume(), 200);
    QTest::mouseClick(f.btZero, Qt::LeftButton);
    EXPECT_EQ(deck->GetVolume(), 255);
    deck->SetVolume(100);  // changed elsewhere: the track bar follows without writing back
    f.UpdateControls();
    EXPECT_EQ(f.eTrackBar->Position(), 100);

    const uint8_t before = deck->Channel->GetMixMode();
    QTest::mouseClick(f.btAir, Qt::LeftButton);
    EXPECT_EQ(deck->Channel->GetMixMode(), before ^ 2);
    EXPECT_EQ(f.btAir->Color(), (before & 2) ? TColor(13160661) : TColor(11850460));
    QTest::mouseClick(f.btCue, Qt::LeftButton);
    EXPECT_EQ(deck->Channel->GetMixMode(), before ^ 6);
    QTest::mouseClick(f.btAir, Qt::LeftButton);
    QTest::mouseClick(f.btCue, Qt::LeftButton);
    EXPECT_EQ(deck->Channel->GetMixMode(), before);

    // The equaliser opens the audio settings of the sound effect deck, not modally.
    f.btEQ->click();
    EXPECT_NE(AudioSettingsWindow(), nullptr);
    CloseAudioSettings();
}

TEST_F(SoundFXPads, CategoryMenuFollowsTheSoundFXTree) {
    TCustomCategory* fx = Manager->Categories->FindByName("Sound FX");
    ASSERT_NE(fx, nullptr);
    TCustomCategory* horns = Manager->Categories->CreateCategory(fx, "Horns");
    ASSERT_NE(horns, nullptr);
    ASSERT_NE(Manager->Categories->CreateCategory(horns, "Air horns"), nullptr);
    TfoSoundFX& f = Open();
    f.BuildCategoryMenu();
    QStringList top;
    QMenu* hornsMenu = nullptr;
    for (QAction* a : f.puChooseFX->actions()) {
        top << a->text();
        if (a->menu()) hornsMenu = a->menu();
    }
    EXPECT_TRUE(top.contains("Sound FX (All)"));
    EXPECT_TRUE(top.contains("Horns"));
    ASSERT_NE(hornsMenu, nullptr);
    const auto sub = hornsMenu->actions();
    ASSERT_EQ(sub.size(), 3);
    EXPECT_EQ(sub[0]->text(), "Horns");
    EXPECT_TRUE(sub[1]->isSeparator());
    EXPECT_EQ(sub[2]->text(), "Air horns");
    sub[2]->trigger();
    EXPECT_EQ(f.Category()->Name, "Air horns");
    EXPECT_EQ(f.lbPage->text(), "1/1");
    f.BuildCategoryMenu();  // built afresh each time
    EXPECT_EQ(f.puChooseFX->actions().size(), top.size());
}

TEST_F(SoundFXPads, WindowItemKeepsItsSettingsInTheGuiConfiguration) {
    AddEffects(13);
    IConfigDocPtr gui = TConfigDoc_XML::Create("");
    GuiConfig = gui;
    gui->Section("SoundFX")->WriteString("ActiveCategory", "Sound FX (All)");
    gui->Section("SoundFX")->WriteInteger("ActivePage", 1);
    TwiSoundFX item;
    std::string name, caption;
    item.GetName(name);
    item.GetCaption(caption);
    EXPECT_EQ(name, "SoundFX");
    EXPECT_EQ(caption, "Sound FX");
    EXPECT_FALSE(item.GetSizeable());
    item.Activate();
    EXPECT_EQ(item.Frame()->lbPage->text(), "2/2");
    EXPECT_EQ(item.Frame()->Pad(0)->lbNumber->text(), "13");
    EXPECT_EQ(Beat->Count(), 1);  // the window's 100 ms update
    item.Deactivate();
    EXPECT_EQ(Beat->Count(), 0);
    EXPECT_EQ(gui->Section("SoundFX")->ReadInteger("ActivePage", -1), 1);
    GuiConfig = nullptr;
}

}  // namespace
}  // namespace kelvar
