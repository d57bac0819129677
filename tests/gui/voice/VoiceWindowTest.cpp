// The voice window over the core's voice: the controls each voice mode offers, the track bars'
// snapping and texts, talking held, locked and ended by closing, the switches, and talk-over on
// a live input read from an ALSA file device ducking and restoring deck A's music at the levels
// and times set in the configuration dialog, which the core saves and reads back.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <chrono>
#include <thread>

#include "VoiceCoreFixture.h"
#include "audio/live/VoiceFX_imp.h"
#include "common/KelvarTestAccess.h"
#include "controls/BoxButton.h"
#include "controls/KcButtons.h"
#include "controls/KcLabel.h"
#include "controls/KcLevelBar.h"
#include "controls/KcTrackBar.h"
#include "core/HeartBeat.h"
#include "gui/audioconfig/unCfgPlayer.h"
#include "gui/decks/funVUMeterBase.h"
#include "gui/editors/funFade.h"
#include "gui/engine/Screenshots.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/voice/VoiceScreenshots.h"
#include "gui/voice/funCfgVoiceFX.h"
#include "gui/voice/funMasterVolume.h"
#include "gui/voice/funVoiceFX.h"
#include "gui/voice/unCfgVoiceFX.h"
#include "media/KelvarPlayer_imp.h"

namespace kelvar {
namespace {

using namespace std::chrono_literals;

class VoiceWindow : public voicetest::TVoiceCoreFixture {
protected:
    void TearDown() override {
        CloseAudioSettings();
        Frame.reset();
        TVoiceCoreFixture::TearDown();
    }
    TfrmVoiceFX& Open() {
        Frame = std::make_unique<TfrmVoiceFX>();
        Frame->Init(Voice());
        Frame->show();
        return *Frame;
    }
    TVoiceFX* Voice() { return Api->Voice(); }
    std::string Shown() { return Frame->lbDisplay->text().toStdString(); }
    // Deck A's music level in percent: a block of steady samples through its volume stage.
    double MusicLevel() {
        std::vector<int16_t> block(64, 10000);
        TStreamTime time = 0;
        IChunkPtr chunk;
        Api->DeckPlayer(TDeckId::DeckA)
            ->Channel->Volume->Process(block.data(), static_cast<int>(block.size() * 2), time, chunk);
        return block[0] / 100.0;
    }
    static void Press(TKcCustomControl* Button) { QTest::mousePress(Button, Qt::LeftButton); }
    static void Release(TKcCustomControl* Button) { QTest::mouseRelease(Button, Qt::LeftButton); }

    std::unique_ptr<TfrmVoiceFX> Frame;
};

TEST_F(VoiceWindow, EachVoiceModeOffersItsControls) {
    TfrmVoiceFX& f = Open();
    EXPECT_EQ(Shown(), "");
    // Recording device: dB volume up to 350, speed and routing.
    EXPECT_EQ(f.eTrackBar->MaxValue(), 350);
    EXPECT_EQ(f.eTrackBar->Position(), 255);
    EXPECT_TRUE(f.btSpeed->isEnabled());
    EXPECT_TRUE(f.btAir->isEnabled());
    EXPECT_FALSE(f.frmVUMeter1->isHidden());
    EXPECT_TRUE(f.lbVU->isHidden());
    EXPECT_TRUE(f.btConfig->isEnabled());
    EXPECT_FALSE(f.btTalk->isEnabled());
    f.btSpeed->Click();
    EXPECT_EQ(Shown(), "Speed control selected");
    EXPECT_EQ(f.lbTrackBar->text(), "Speed");
    EXPECT_EQ(f.eTrackBar->MinValue(), -12);
    EXPECT_EQ(f.btSpeed->ShadowColor(), clBtnHighlight);  // the pressed look

    // A mixer line: percent, no speed; the selection goes back to the volume.
    Voice()->SetVoiceMode(VoiceMode::MixerLine);
    f.Refresh();
    EXPECT_EQ(f.SelectedControl(), VoiceControl::Volume);
    EXPECT_EQ(f.lbTrackBar->text(), "Volume");
    EXPECT_EQ(f.eTrackBar->MaxValue(), 100);
    EXPECT_FALSE(f.btSpeed->isEnabled());
    EXPECT_FALSE(f.btAir->isEnabled());
    EXPECT_TRUE(f.frmVUMeter1->isHidden());
    EXPECT_FALSE(f.lbVU->isHidden());
    f.eTrackBar->SetPosition(40);
    EXPECT_EQ(Shown(), "Volume: 40%");
    EXPECT_EQ(Voice()->GetVoiceVolume(), 40);

    // None: nothing to set.
    Voice()->SetVoiceMode(VoiceMode::None);
    f.Refresh();
    for (QWidget* w : std::initializer_list<QWidget*>{f.eTrackBar, f.btZero, f.btVolume, f.btSpeed, f.btAir, f.btCue})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(f.lbVU->Caption(), "VU data not available");
    EXPECT_FALSE(f.lbVU->isHidden());
}

TEST_F(VoiceWindow, TrackBarsSnapAndReport) {
    TfrmVoiceFX& f = Open();
    struct {
        TKcTrackBar* Bar;
        int Position;
        const char* Text;
        int Music, Volume;
    } cases[] = {
        {f.eMusicVol, 253, "Music volume: 0.0 dB", 255, -1},
        {f.eMusicVol, 350, "Music volume: +2.8 dB", 255, -1},  // the voice keeps 255 at most
        {f.eMusicVol, 128, "Music volume: -6.0 dB", 128, -1},
        {f.eTrackBar, 258, "Volume: 0.0 dB", -1, 255},
        {f.eTrackBar, 64, "Volume: -12.0 dB", -1, 64},
    };
    for (const auto& c : cases) {
        c.Bar->SetPosition(c.Position);
        EXPECT_EQ(Shown(), c.Text) << c.Position;
        if (c.Music >= 0) {
            EXPECT_EQ(Voice()->GetMusicVolume(), c.Music) << c.Position;
        }
        if (c.Volume >= 0) {
            EXPECT_EQ(Voice()->GetVoiceVolume(), c.Volume) << c.Position;
        }
    }
    f.btZero->Click();
    EXPECT_EQ(Voice()->GetVoiceVolume(), 255);
    EXPECT_EQ(f.eTrackBar->Position(), 255);
    EXPECT_EQ(Shown(), "Volume: 0.0 dB");
    f.btZeroMusic->Click();
    EXPECT_EQ(Shown(), "Music volume: 0.0 dB");
    EXPECT_EQ(f.eMusicVol->Position(), 255);

    f.btSpeed->Click();
    f.eTrackBar->SetPosition(1);
    EXPECT_EQ(Voice()->GetSpeed(), 0);
    EXPECT_EQ(Shown(), "Speed: 0.0");
    f.eTrackBar->SetPosition(5);
    EXPECT_EQ(Shown(), "Speed: +5.0");
    f.btZero->Click();
    EXPECT_EQ(Voice()->GetSpeed(), 0);
    EXPECT_EQ(Shown(), "Speed: 0.0");

    // A value set elsewhere shows without coming back to the voice.
    f.btVolume->Click();
    Voice()->SetVoiceVolume(100);
    f.Refresh();
    EXPECT_EQ(f.eTrackBar->Position(), 100);
    EXPECT_EQ(Shown(), "Volume control selected");
}

TEST_F(VoiceWindow, TalkHeldLockedAndEndedByClosingTheWindow) {
    TwiVoiceFX item;
    std::string name, caption;
    item.GetName(name);
    item.GetCaption(caption);
    EXPECT_EQ(name, "VoiceFX");
    EXPECT_EQ(caption, "Voice FX");
    EXPECT_FALSE(item.GetSizeable());
    item.Activate();
    TfrmVoiceFX& f = *item.Frame();
    EXPECT_EQ(f.Voice(), Voice());

    f.btMicOnOff->Click();
    EXPECT_TRUE(Voice()->GetActive());
    EXPECT_EQ(f.btMicOnOff->Caption(), "Mic on");
    EXPECT_TRUE(f.btMicOnOff->Active());
    EXPECT_FALSE(f.btConfig->isEnabled());
    Press(f.btTalk);
    EXPECT_TRUE(Voice()->GetTalking());
    EXPECT_TRUE(f.btLock->Active());
    EXPECT_FALSE(f.btAutoFade->isEnabled());
    Release(f.btTalk);
    EXPECT_FALSE(Voice()->GetTalking());

    // Releasing the talk button ends talking the lock started.
    f.btLock->Click();
    EXPECT_TRUE(Voice()->GetTalking());
    Press(f.btTalk);
    Release(f.btTalk);
    EXPECT_FALSE(Voice()->GetTalking());

    f.btLock->Click();
    item.Deactivate();
    EXPECT_FALSE(Voice()->GetTalking());
    EXPECT_FALSE(Voice()->GetActive());
    EXPECT_EQ(item.GetFrame(), nullptr);
}

TEST_F(VoiceWindow, AutoFadeAndRoutingSwitches) {
    TfrmVoiceFX& f = Open();
    EXPECT_TRUE(f.btAutoFade->Active());
    f.btAutoFade->Click();
    EXPECT_FALSE(Voice()->GetAutoFade());
    EXPECT_FALSE(f.btAutoFade->Active());
    EXPECT_EQ(Shown(), "Auto music fade disabled");
    f.btAutoFade->Click();
    EXPECT_TRUE(Voice()->GetAutoFade());
    EXPECT_EQ(Shown(), "Auto music fade active");

    TChannel_VoiceFX* channel = Voice()->GetVoiceChannel();
    for (auto [button, flag, on, off] :
         {std::tuple{f.btAir, MixMode::OnAir, "On-Air output active", "On-Air output disabled"},
          std::tuple{f.btCue, MixMode::Preview, "Preview output active", "Preview output disabled"}}) {
        const bool was = channel->GetMixMode() & flag;
        button->Click();
        EXPECT_EQ((channel->GetMixMode() & flag) != 0, !was);
        EXPECT_EQ(Shown(), was ? off : on);
        EXPECT_EQ(button->ShadowColor(), was ? clBtnShadow : clBtnHighlight);
        button->Click();
        EXPECT_EQ((channel->GetMixMode() & flag) != 0, was);
    }

    f.btEQ->click();
    ASSERT_NE(AudioSettingsWindow(), nullptr);
}

// Fills in the voice dialog: the live test device, fades out over FadeOutMs to Level percent
// depth and back in over FadeInMs.
void ConfigureTalkOver(TfrmCfgVoiceFX& f, int FadeOutMs, int Level, int FadeInMs) {
    f.PickDestination(VoiceDestination::Mixer);
    f.eDriverType->setCurrentIndex(0);
    const int mic = f.eDevice->findText("Test microphone (kelvar_mic)");
    ASSERT_GE(mic, 0);
    f.eDevice->setCurrentIndex(mic);
    f.ePackets->SetPosition(4);
    f.frmFadeOut->eTime->SetPosition(FadeOutMs);
    f.frmFadeOut->eLevel->SetPosition(Level);
    f.frmFadeOut->eCurve->setCurrentIndex(1);
    f.frmFadeIn->eTime->SetPosition(FadeInMs);
    f.frmFadeIn->eCurve->setCurrentIndex(1);
}

TEST_F(VoiceWindow, TalkOverDucksAndRestoresTheMusicAsConfigured) {
    voicetest::TAlsaMicConf conf(voicetest::Tone(3000, 12000));
    TfrmVoiceFX& f = Open();
    f.btMicOnOff->Click();  // the dialog wants the voice closed first
    EXPECT_FALSE(f.btConfig->isEnabled());
    f.btMicOnOff->Click();
    SetModalHandler([](QDialog& d) {
        ConfigureTalkOver(*dynamic_cast<TfoCfgVoiceFX&>(d).frmCfgVoiceFX1, 400, 60, 300);
        SetFormTag(&d, 1);
        return int(QDialog::Accepted);
    });
    f.btConfig->click();
    EXPECT_FALSE(Voice()->GetActive());
    EXPECT_EQ(Voice()->GetRecordControl().SoundDevice, "kelvar_mic");
    EXPECT_EQ(Voice()->GetFadeOut().Time, 400);
    EXPECT_EQ(Voice()->GetFadeIn().Level, 60);

    f.btMicOnOff->Click();
    ASSERT_NE(Voice()->GetRecordControl().GetRecorder(), nullptr);
    if (!(Voice()->GetVoiceChannel()->GetMixMode() & MixMode::OnAir)) f.btAir->Click();
    EXPECT_NEAR(MusicLevel(), 100.0, 0.01);

    Press(f.btTalk);
    const auto pressed = std::chrono::steady_clock::now();
    EXPECT_GT(MusicLevel(), 95.0);
    std::this_thread::sleep_for(150ms);
    if (std::chrono::steady_clock::now() - pressed < 350ms) {
        const double half = MusicLevel();
        EXPECT_LT(half, 99.0);
        EXPECT_GT(half, 41.0);
    }
    // The voice goes through the mix and shows on the meter.
    int16_t block[882];
    for (int i = 0; i < 200 && f.frmVUMeter1->ePeakL->Position() == 0; ++i) {
        TStreamTime time = 0;
        Api->AudioPipe()->GetMixer().Mix(block, sizeof block, time);
        f.UpdateVU();
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_GT(f.frmVUMeter1->ePeakL->Position(), 0);
    std::this_thread::sleep_until(pressed + 450ms);
    EXPECT_NEAR(MusicLevel(), 40.0, 0.01);
    std::this_thread::sleep_for(200ms);
    EXPECT_NEAR(MusicLevel(), 40.0, 0.01);  // held while talking

    Release(f.btTalk);
    const auto released = std::chrono::steady_clock::now();
    EXPECT_LT(MusicLevel(), 45.0);
    f.UpdateVU();
    EXPECT_EQ(f.frmVUMeter1->ePeakL->Position(), 0);  // no level while not talking
    std::this_thread::sleep_until(released + 350ms);
    EXPECT_NEAR(MusicLevel(), 100.0, 0.01);

    // Without automatic fading the music stays where it is.
    f.btAutoFade->Click();
    Press(f.btTalk);
    std::this_thread::sleep_for(50ms);
    EXPECT_NEAR(MusicLevel(), 100.0, 0.01);
    Release(f.btTalk);
}

TEST_F(VoiceWindow, SettingsAreSavedWithTheCoreAndReadBack) {
    TfrmVoiceFX& f = Open();
    SetModalHandler([](QDialog& d) {
        TfrmCfgVoiceFX& cfg = *dynamic_cast<TfoCfgVoiceFX&>(d).frmCfgVoiceFX1;
        cfg.PickDestination(VoiceDestination::Soundcard);
        cfg.ePlaybackVolCtrl->setCurrentIndex(2);
        cfg.eAutoMute->setChecked(false);
        cfg.frmFadeOut->eTime->SetPosition(700);
        cfg.frmFadeOut->eLevel->SetPosition(35);
        SetFormTag(&d, 1);
        return int(QDialog::Accepted);
    });
    f.btConfig->click();
    EXPECT_EQ(Voice()->GetVoiceMode(), VoiceMode::MixerLine);
    f.eTrackBar->SetPosition(70);  // a percentage now
    f.btAutoFade->Click();

    Core->SaveConfig(*Doc->Section("Kelvar"));
    auto again = NewCore(*Doc->Section("Kelvar"));
    TVoiceFX& voice = *TKelvarTestAccess(*again).VoiceFX;
    EXPECT_EQ(voice.GetVoiceMode(), VoiceMode::MixerLine);
    EXPECT_EQ(voice.GetMixerControl().PlayVolCtrlID, 2);
    EXPECT_FALSE(voice.GetMixerControl().AutoMute);
    EXPECT_EQ(voice.GetFadeOut().Time, 700);
    EXPECT_EQ(voice.GetFadeIn().Level, 35);
    EXPECT_FALSE(voice.GetAutoFade());

    // The dialog shows what was read back; Cancel leaves the voice as it is.
    Frame->Done();
    Frame->Init(&voice);
    SetModalHandler([](QDialog& d) {
        TfrmCfgVoiceFX& cfg = *dynamic_cast<TfoCfgVoiceFX&>(d).frmCfgVoiceFX1;
        EXPECT_EQ(cfg.SelectedDestination(), VoiceDestination::Soundcard);
        EXPECT_EQ(cfg.ePlaybackVolCtrl->currentText(), "Line");
        EXPECT_EQ(cfg.frmFadeOut->eTime->Position(), 700);
        EXPECT_FALSE(cfg.eAutoFade->isChecked());
        cfg.frmFadeOut->eTime->SetPosition(100);
        return int(QDialog::Rejected);
    });
    f.btConfig->click();
    EXPECT_EQ(voice.GetFadeOut().Time, 700);
    Frame->Done();
}

}  // namespace
}  // namespace kelvar

namespace kelvar {
namespace {

TEST_F(VoiceWindow, ScreenshotsOfEveryWindowAndDialog) {
    RegisterVoiceScreenshots();
    std::vector<std::string> names;
    for (const TScreenshotEntry& entry : RegisteredScreenshots()) {
        names.push_back(entry.Name);
        std::unique_ptr<QWidget> widget = entry.Make();
        ASSERT_NE(widget, nullptr) << entry.Name;
        EXPECT_GT(widget->width(), 100) << entry.Name;
        EXPECT_FALSE(widget->grab().isNull()) << entry.Name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"VoiceFX", "MasterVolume", "MicSource", "VoiceFXConfig"}));
}

}  // namespace
}  // namespace kelvar

namespace kelvar {
namespace {

TEST_F(VoiceWindow, WindowsFollowTheCoreOnTheHeartbeatWhileActive) {
    uint32_t now = 1000;
    THeartBeat beat([&] { return now; }, false);
    GuiHeartBeat = &beat;
    TwiVoiceFX voice;
    TwiMasterVolume volume;
    voice.Activate();
    volume.Activate();
    EXPECT_EQ(beat.Count(), 3);  // the voice's level and refresh, the volumes' refresh

    Voice()->SetMusicVolume(100);
    Api->AudioPipe()->GetOutput().SetPreviewVolume(30);
    now += 300;
    beat.CheckDue();
    beat.RunDue();
    EXPECT_EQ(voice.Frame()->eMusicVol->Position(), 100);
    EXPECT_EQ(volume.Frame()->eCueVol->Position(), 30);

    voice.Deactivate();
    volume.Deactivate();
    EXPECT_EQ(beat.Count(), 0);
    GuiHeartBeat = nullptr;
}

}  // namespace
}  // namespace kelvar
