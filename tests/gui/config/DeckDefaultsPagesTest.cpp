// The crossfading and gap killer pages: the signed times that carry a switch, and edits that
// reach the running decks' defaults and gap killers when the dialog is confirmed.
#include <gtest/gtest.h>

#include "CoreConfigFixture.h"
#include "audio/nodes/Node_GapKiller.h"
#include "common/KelvarTestAccess.h"
#include "controls/KcTrackBar.h"
#include "gui/config/cfgCrossfader.h"
#include "gui/config/cfgGapkiller.h"
#include "gui/config/funGapKiller.h"
#include "gui/editors/funFade.h"
#include "gui/editors/funFadeSettings.h"
#include "media/SongSettings.h"

namespace kelvar {
namespace {

using namespace configtest;

class DeckDefaultsPages : public guitest::GuiTest {};

TEST_F(DeckDefaultsPages, SkipTimeSignCarriesTheSwitch) {
    struct {
        int64_t Stored;
        int Shown;
        bool Checked;
        int64_t Saved;
    } cases[] = {{-30000, 30, false, -30000}, {45000, 45, true, 45000}, {-1500, 1, false, -1000}};
    for (const auto& c : cases) {
        auto doc = TConfigDoc_XML::Create("");
        doc->Section("Kelvar")->Section("DefSongSettings")->WriteInteger("XFadeSkipTime", c.Stored);
        TCfgFrmCrossfader frame;
        frame.Init();
        frame.LoadFrom(*doc);
        EXPECT_EQ(frame.eShortTime->value(), c.Shown) << c.Stored;
        EXPECT_EQ(frame.eShortSkip->isChecked(), c.Checked) << c.Stored;
        frame.SaveTo(*doc);
        EXPECT_EQ(doc->Section("Kelvar")->Section("DefSongSettings")->ReadInteger("XFadeSkipTime", 0), c.Saved);
        frame.Done();
    }
}

TEST_F(DeckDefaultsPages, MaxGapSignAndTheDefaultSwitch) {
    struct {
        int64_t MaxGap;
        int64_t GapKillerOn;
        int Shown;
        bool Trigger;
        bool Enabled;
    } cases[] = {{-15000, 1, 15, false, true}, {20000, 0, 20, true, false}, {-3000, 2, 3, false, false}};
    for (const auto& c : cases) {
        auto doc = TConfigDoc_XML::Create("");
        auto kelvar = doc->Section("Kelvar");
        kelvar->Section("GapKillerEx")->WriteInteger("MaxGap", c.MaxGap);
        kelvar->Section("GapKillerEx")->WriteBool("Enabled", true);
        kelvar->Section("DefSongSettings")->WriteInteger("GapKillerOn", c.GapKillerOn);
        TCfgFrmGapkiller frame;
        frame.LoadFrom(*doc);
        EXPECT_EQ(frame.frmGapKiller1->eMaxGap->value(), c.Shown);
        EXPECT_EQ(frame.frmGapKiller1->eTriggerMaxGap->isChecked(), c.Trigger);
        EXPECT_EQ(frame.frmGapKiller1->eEnabled->isChecked(), c.Enabled);
        frame.SaveTo(*doc);
        EXPECT_EQ(kelvar->Section("GapKillerEx")->ReadInteger("MaxGap", 0), c.Trigger ? c.MaxGap : -c.Shown * 1000);
        EXPECT_EQ(kelvar->Section("GapKillerEx")->ReadBool("Enabled", !c.Enabled), c.Enabled);
        EXPECT_EQ(kelvar->Section("DefSongSettings")->ReadInteger("GapKillerOn", -1), c.Enabled ? 1 : 0);
    }
}

TEST_F(DeckDefaultsPages, MaxGapMissingOrZero) {
    auto doc = TConfigDoc_XML::Create("");
    auto gap = doc->Section("Kelvar")->Section("GapKillerEx");
    TCfgFrmGapkiller frame;
    // A missing key shows the design state, trigger off, and keeps it off.
    frame.LoadFrom(*doc);
    EXPECT_FALSE(frame.frmGapKiller1->eTriggerMaxGap->isChecked());
    EXPECT_EQ(frame.frmGapKiller1->eMaxGap->value(), 15);
    frame.SaveTo(*doc);
    EXPECT_EQ(gap->ReadInteger("MaxGap", 0), -15000);
    // No time of 0, so a trigger switched on saves as on.
    gap->WriteInteger("MaxGap", 0);
    frame.LoadFrom(*doc);
    frame.frmGapKiller1->eMaxGap->setValue(0);
    frame.frmGapKiller1->eTriggerMaxGap->setChecked(true);
    frame.SaveTo(*doc);
    EXPECT_GT(gap->ReadInteger("MaxGap", 0), 0);
}

class DeckDefaultsApplied : public CoreConfigFixture {};

TEST_F(DeckDefaultsApplied, CrossfadeAndGapKillerEditsReachTheRunningDecks) {
    const int fadeOut = DefaultSongSettings.FadeOut.Time;
    ASSERT_TRUE(RunConfig([&](TfoConfig& form) {
        auto* xfade = OpenPage<TCfgFrmCrossfader>(form, "Crossfading");
        ASSERT_TRUE(xfade);
        xfade->eShortSkip->setChecked(false);
        xfade->eShortTime->setValue(12);
        TKcTrackBar* time = xfade->frmFadeSettings1->frmFadeOut->eTime;
        time->SetPosition(time->Position() == 2000 ? 2500 : 2000);
        auto* gap = OpenPage<TCfgFrmGapkiller>(form, "Gap killer");
        ASSERT_TRUE(gap);
        gap->frmGapKiller1->eTriggerFront->setValue(-33);
        gap->frmGapKiller1->eEnabled->setChecked(false);
        PressOK(form);
    }));
    EXPECT_EQ(In().XFadeSkipTime, -12000);
    EXPECT_NE(DefaultSongSettings.FadeOut.Time, fadeOut);
    EXPECT_TRUE(DefaultSongSettings.FadeOut.Time == 2000 || DefaultSongSettings.FadeOut.Time == 2500);
    EXPECT_EQ(DefaultSongSettings.GapKiller, 0);
    for (int i = 0; i < Core->PlayerCount(); ++i)
        EXPECT_EQ(Core->Players(i)->Channel->GapKiller->GetInfo().TriggerFront, -33) << i;
    auto onDisk = FileOnDisk()->Section("Kelvar");
    EXPECT_EQ(onDisk->Section("GapKillerEx")->ReadInteger("TriggerFront", 0), -33);
    EXPECT_EQ(onDisk->Section("DefSongSettings")->ReadInteger("XFadeSkipTime", 0), -12000);
}

}  // namespace
}  // namespace kelvar
