// The song settings editor over the core's preview player: cue points taken from the playing
// position reach the song's stored settings and the deck, custom cues, gain, the tempo steps,
// tap timing on an injected clock, the metronome, and the cue time dialog.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

#include "EditorTestCore.h"
#include "audio/mix/Channel_imp.h"
#include "audio/nodes/Node_Metronome.h"
#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "controls/KcNavigator.h"
#include "controls/KcTrackBar.h"
#include "gui/decks/funPlayer.h"
#include "gui/editors/EditorsScreenshots.h"
#include "gui/editors/funFadeSettings.h"
#include "gui/editors/funSongSettings.h"
#include "gui/editors/funXFade.h"
#include "gui/editors/unEditTime.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/engine/Screenshots.h"
#include "gui/plugins/funOKCancel.h"
#include "media/KelvarPlayer_imp.h"

namespace kelvar {
namespace {

using editortest::TCoreFixture;

TEST(SongSettingsTexts, CueAndGainTexts) {
    struct {
        int64_t Ms;
        const char* Text;
    } cues[] = {{-1, ":"}, {0, ":"}, {1, "0:00.0"}, {83000, "1:23.0"}, {int64_t{1} << 32, ":"}};
    for (const auto& c : cues) EXPECT_EQ(CueTimeText(c.Ms), c.Text) << c.Ms;
    EXPECT_EQ(GainText(0), "0 dB");
    EXPECT_EQ(GainText(127), "+6.0 dB");
    EXPECT_EQ(GainText(-127), "-6.0 dB");
}

class TimeDialog : public guitest::GuiTest {
protected:
    void TearDown() override { SetModalHandler(nullptr); }
};

TEST_F(TimeDialog, SplitsAndJoinsTimesAndCancelKeepsTheValue) {
    TfoEditTime d;
    d.SetTime(12 * 60000 + 34321);
    EXPECT_EQ(d.eMin->value(), 12);
    EXPECT_EQ(d.eSec->value(), 34);
    EXPECT_EQ(d.eMS->value(), 321);
    EXPECT_EQ(d.GetTime(), 12 * 60000 + 34321);
    d.SetTime(-5);
    EXPECT_EQ(d.GetTime(), 0);

    int64_t ms = 5000;
    SetModalHandler([](QDialog& dialog) {
        auto& edit = dynamic_cast<TfoEditTime&>(dialog);
        EXPECT_EQ(edit.eSec->value(), 5);
        edit.eMin->setValue(1);
        SetFormTag(&dialog, 2);
        return QDialog::Rejected;
    });
    EXPECT_FALSE(EditTime(ms));
    EXPECT_EQ(ms, 5000);
    SetModalHandler([](QDialog& dialog) {
        dynamic_cast<TfoEditTime&>(dialog).eMin->setValue(1);
        SetFormTag(&dialog, 1);
        return QDialog::Accepted;
    });
    EXPECT_TRUE(EditTime(ms));
    EXPECT_EQ(ms, 65000);
}

class SongSettingsEditor : public TCoreFixture {
protected:
    void TearDown() override {
        SetModalHandler(nullptr);
        Frame.reset();
        Fades.reset();
        TCoreFixture::TearDown();
    }
    TfrmSongSettings& Open(const ISongInfoPtr& S, const TSongSettings& Settings) {
        Fades = std::make_unique<TfrmFadeSettings>();
        Fades->Init(true, DefaultSongSettings, Settings);
        Frame = std::make_unique<TfrmSongSettings>();
        Frame->Init(S, Settings, Fades.get());
        Frame->show();
        return *Frame;
    }
    static QString Text(QLabel* L) { return L->text(); }

    std::unique_ptr<TfrmFadeSettings> Fades;
    std::unique_ptr<TfrmSongSettings> Frame;
};

TEST_F(SongSettingsEditor, CuePointsReachTheSongAndThePreviewDeck) {
    auto song = Song(1, 6000);
    TSongSettings loaded;
    TKelvarPlayer::ReadSongSettings(song, loaded);
    TfrmSongSettings& f = Open(song, loaded);
    TKelvarPlayer* preview = Core->Players(5);
    ASSERT_EQ(f.Player(), preview);
    EXPECT_EQ(Text(f.lbTime[CueRow::Start]), ":");
    EXPECT_FALSE(f.btClear[CueRow::Start]->isEnabled());
    EXPECT_FALSE(f.btSeek[CueRow::Start]->isEnabled());

    // The deck's play button loads the edited song, not one of the queue.
    QTest::mousePress(f.frmPlayer1->btPlay, Qt::LeftButton);
    QTest::mouseRelease(f.frmPlayer1->btPlay, Qt::LeftButton);
    Settle();
    EXPECT_EQ(preview->GetState(), DeckState::Playing);
    ASSERT_TRUE(preview->GetSong());
    EXPECT_EQ(preview->GetSong()->GetID(), song->GetID());

    preview->Seek(1500);
    const int64_t at = preview->GetPosition();
    EXPECT_NEAR(static_cast<double>(at), 1500, 100);
    QTest::mouseClick(f.btSet[CueRow::Start], Qt::LeftButton);
    EXPECT_EQ(f.Working().Start, at);
    EXPECT_EQ(Text(f.lbTime[CueRow::Start]).toStdString(), CueTimeText(at));
    EXPECT_TRUE(f.btSeek[CueRow::Start]->isEnabled());

    // A fixed crossfade point shows on the fade frame at once; a reset takes it away.
    preview->Seek(4000);
    QTest::mouseClick(f.btSet[CueRow::XFade], Qt::LeftButton);
    EXPECT_TRUE(Fades->frmXFade1->NoticeShown());
    QTest::mouseClick(f.btClear[CueRow::XFade], Qt::LeftButton);
    EXPECT_EQ(f.Working().XFade, -1);
    EXPECT_FALSE(Fades->frmXFade1->NoticeShown());

    // Seek goes to the cue.
    preview->Seek(3000);
    QTest::mouseClick(f.btSeek[CueRow::Start], Qt::LeftButton);
    EXPECT_NEAR(static_cast<double>(preview->GetPosition()), static_cast<double>(at), 100);

    // Apply hands the working copy to the song record and the deck.
    QTest::mouseClick(f.btApply, Qt::LeftButton);
    TSongSettings stored;
    StringToSongSettings(song->GetValue("xfade"), stored);
    EXPECT_EQ(stored.Start, at);
    EXPECT_EQ(preview->GetSongSettings().Start, at);

    // Reset and Restore change the deck and the record, never the working copy.
    QTest::mouseClick(f.btReset, Qt::LeftButton);
    StringToSongSettings(song->GetValue("xfade"), stored);
    EXPECT_EQ(stored.Start, -1);
    EXPECT_EQ(preview->GetSongSettings().Start, -1);
    EXPECT_EQ(f.Working().Start, at);
    TSongSettings out;
    f.GetSettings(out);
    EXPECT_EQ(out.Start, at);
    QTest::mouseClick(f.btApply, Qt::LeftButton);

    // Done empties the preview deck; the song loaded again starts at its cue.
    f.Done();
    EXPECT_EQ(preview->GetState(), DeckState::Empty);
    EXPECT_EQ(f.Player(), nullptr);
    f.Done();  // harmless twice
    ASSERT_TRUE(preview->LoadSong(song));
    EXPECT_NEAR(static_cast<double>(preview->GetPosition()), static_cast<double>(at), 100);
    preview->Unload();
}

TEST_F(SongSettingsEditor, CustomCuesGainGapKillerAndTheTimeDialog) {
    auto first = Song(1, 3000);
    TSongSettings s;
    s.GapKiller = 0;
    s.CuePoints[2] = {"Drop", 2500};
    s.CuePoints[3] = {"Break", 700};
    TfrmSongSettings& f = Open(first, s);
    EXPECT_EQ(f.eGapKiller->currentIndex(), 1);
    EXPECT_EQ(f.eCueIndex->currentIndex(), 0);
    f.eCueIndex->setCurrentIndex(2);
    EXPECT_EQ(Text(f.lbTime[CueRow::Custom]), "0:02.5");
    EXPECT_EQ(f.eCueName->text(), "Drop");
    f.eCueIndex->setCurrentIndex(3);
    EXPECT_EQ(f.eCueName->text(), "Break");
    f.eCueName->clear();
    QTest::keyClicks(f.eCueName, "Bridge");
    EXPECT_EQ(f.Working().CuePoints[3].Name, "Bridge");
    EXPECT_EQ(f.Working().CuePoints[2].Name, "Drop");

    // A typed time: OK stores it, Cancel leaves the cue.
    SetModalHandler([](QDialog& d) {
        auto& edit = dynamic_cast<TfoEditTime&>(d);
        edit.SetTime(65000);
        SetFormTag(&d, 1);
        return QDialog::Accepted;
    });
    QTest::mouseDClick(f.lbTime[CueRow::Custom], Qt::LeftButton);
    EXPECT_EQ(f.Working().CuePoints[3].Time, 65000);
    EXPECT_EQ(Text(f.lbTime[CueRow::Custom]), "1:05.0");
    SetModalHandler([](QDialog&) { return QDialog::Rejected; });
    QTest::mouseDClick(f.lbTime[CueRow::Intro], Qt::LeftButton);
    EXPECT_EQ(f.Working().Intro, -1);

    f.eGain->SetPosition(-127);
    EXPECT_EQ(f.Working().Gain, -127);
    EXPECT_EQ(Text(f.lbGain), "-6.0 dB");
    QTest::mouseClick(f.btZero, Qt::LeftButton);
    EXPECT_EQ(f.Working().Gain, 0);
    EXPECT_EQ(Text(f.lbGain), "0 dB");
    f.eGapKiller->setCurrentIndex(2);
    EXPECT_EQ(f.Working().GapKiller, 1);

    // The next song: its own gap killer, the same custom cue number with its own time.
    TSongSettings next;
    next.GapKiller = -1;
    next.CuePoints[3] = {"Outro hit", 1200};
    f.Init(Song(2, 3000), next, Fades.get());
    EXPECT_EQ(f.eGapKiller->currentIndex(), 0);
    EXPECT_EQ(f.eCueIndex->currentIndex(), 3);
    EXPECT_EQ(f.eCueName->text(), "Outro hit");
    EXPECT_EQ(Text(f.lbTime[CueRow::Custom]), "0:01.2");
}

TEST_F(SongSettingsEditor, TempoStepsTappingAndMetronome) {
    auto song = Song(1, 3000);
    TfrmSongSettings& f = Open(song, TSongSettings{});
    struct {
        double From;
        double Step;
        double To;
    } steps[] = {{0, 1, 45}, {219.5, 1, 220}, {45, -0.1, 0}, {120, 0.1, 120.1}, {60, -1, 59}, {0, -1, 0}};
    for (const auto& c : steps) {
        TSongSettings s;
        s.BPM = c.From;
        f.Init(song, s, Fades.get());
        f.StepBPM(c.Step);
        EXPECT_NEAR(f.Working().BPM, c.To, 1e-9) << c.From << " + " << c.Step;
    }
    f.StepBPM(-1000);
    EXPECT_EQ(Text(f.lbBPM), "0.0");
    EXPECT_FALSE(f.btMetronome->isEnabled());
    f.StepBPM(1);
    f.StepBPM(179.9);
    EXPECT_TRUE(f.btMetronome->isEnabled());  // 224.9

    // Taps on an injected clock: the first shows 0.0, four 500 ms apart show 120.0.
    int64_t now = 100000;
    f.TickSource = [&now] { return now; };
    QTest::mouseClick(f.btManualTap, Qt::LeftButton);
    EXPECT_FALSE(f.pBPM->isHidden());
    f.TapBeat();
    EXPECT_EQ(Text(f.lbBPM), "0.0");
    for (int i = 0; i < 3; ++i) {
        now += 500;
        f.TapBeat();
    }
    EXPECT_EQ(Text(f.lbBPM), "120.0");
    for (int i = 0; i < 7; ++i) {
        now += 500;
        f.TapBeat();
    }
    EXPECT_FALSE(f.pBPM->isHidden());
    now += 500;
    f.TapBeat();  // the twelfth tap: 11 counted
    EXPECT_TRUE(f.pBPM->isHidden());
    EXPECT_EQ(Text(f.lbBPM), "120.0");
    // A pause longer than 13.2 s ends the sequence too.
    f.StartTapping();
    f.TapBeat();
    now += 14000;
    f.TapBeat();
    EXPECT_TRUE(f.pBPM->isHidden());

    // The metronome button switches the preview deck's metronome.
    f.StepBPM(-1000);
    f.StepBPM(1);
    f.StepBPM(75);  // 120
    TNode_Metronome* m = Core->Players(5)->Channel->Metronome;
    ASSERT_NE(m, nullptr);
    QTest::mouseClick(f.btMetronome, Qt::LeftButton);
    EXPECT_TRUE(m->GetEnabled());
    EXPECT_TRUE(f.btMetronome->Active());
    QTest::mouseClick(f.btMetronome, Qt::LeftButton);
    EXPECT_FALSE(m->GetEnabled());
    QTest::mouseClick(f.btMetronome, Qt::LeftButton);
    f.Done();
    EXPECT_FALSE(m->GetEnabled());  // off whenever no song is edited
}

TEST_F(SongSettingsEditor, ScreenshotsShowTheEditors) {
    Song(1, 3000);
    RegisterEditorsScreenshots();
    int made = 0;
    for (const TScreenshotEntry& e : RegisteredScreenshots()) {
        if (e.Name != "SongSettings" && e.Name != "FadeSettings") continue;
        std::unique_ptr<QWidget> w = e.Make();
        ASSERT_TRUE(w);
        w->show();
        Settle();
        EXPECT_FALSE(w->grab().isNull());
        ++made;
    }
    EXPECT_EQ(made, 2);
    EXPECT_EQ(Core->Players(5)->GetState(), DeckState::Empty);
}

}  // namespace
}  // namespace kelvar
