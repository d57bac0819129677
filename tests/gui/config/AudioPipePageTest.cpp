// The audio mixer pipeline page: the priority classes on the slider, the voice destination
// acting on the running voice at once, the cue path following the output pair, and the buttons
// opening the audio settings window on their object and page.
#include <gtest/gtest.h>

#include <QTabWidget>

#include "CoreConfigFixture.h"
#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "gui/audioconfig/funCfgPlayer.h"
#include "gui/audioconfig/unCfgPlayer.h"
#include "gui/config/cfgAudioPipe.h"
#include "gui/config/funAudioPipe.h"

namespace kelvar {
namespace {

using namespace configtest;

class AudioPipePage : public CoreConfigFixture {
protected:
    void TearDown() override {
        // The test process's own priority goes back to where it was.
        SetPriorityClass(PriorityClass::Normal);
        CloseAudioSettings();
        CoreConfigFixture::TearDown();
    }
};

TEST_F(AudioPipePage, PriorityClassesOnTheSlider) {
    struct {
        int64_t Stored;
        int Position;
        const char* Label;
        int64_t Saved;
    } cases[] = {{32, 1, "Normal", 32}, {32768, 2, "Above normal", 32768},
                 {128, 3, "High", 128}, {256, 4, "Time critical (Not recommended)", 256},
                 {64, 3, "High", 128},  {16384, 3, "High", 128}};
    for (const auto& c : cases) {
        auto doc = TConfigDoc_XML::Create("");
        doc->Section("Kelvar")->WriteInteger("ProcessPriority", c.Stored);
        TCfgFrmAudioPipe frame;
        frame.Init();
        frame.LoadFrom(*doc);
        EXPECT_EQ(frame.frmCfgAudioPipe1->eProcessPriority->Position(), c.Position) << c.Stored;
        EXPECT_EQ(frame.frmCfgAudioPipe1->lbProcessPriority->text(), c.Label) << c.Stored;
        frame.SaveTo(*doc);
        EXPECT_EQ(doc->Section("Kelvar")->ReadInteger("ProcessPriority", 0), c.Saved) << c.Stored;
    }
    EXPECT_EQ(TfrmCfgAudioPipe::PriorityOfPosition(0), PriorityClass::Normal);
}

TEST_F(AudioPipePage, TheVoiceDestinationActsAtOnceAndCancelDoesNotUndoIt) {
    Api->Voice()->SetVoiceMode(VoiceMode::MixerLine);
    EXPECT_FALSE(RunConfig([&](TfoConfig& form) {
        auto* page = OpenPage<TCfgFrmAudioPipe>(form, "Audio mixer pipeline");
        ASSERT_TRUE(page);
        TfrmCfgAudioPipe& f = *page->frmCfgAudioPipe1;
        EXPECT_EQ(f.eVoiceMode->count(), 3);
        EXPECT_EQ(f.eVoiceMode->currentText(), "Soundcard");
        EXPECT_TRUE(f.btEncoders->isHidden());
        f.eVoiceMode->setCurrentText("None");
        emit f.eVoiceMode->activated(f.eVoiceMode->currentIndex());
        EXPECT_EQ(Api->Voice()->GetVoiceMode(), VoiceMode::None);
        EXPECT_FALSE(f.iFX[1]->isHidden());
        EXPECT_TRUE(f.iFX[0]->isHidden());
        f.eVoiceMode->setCurrentText("Mixer");
        emit f.eVoiceMode->activated(f.eVoiceMode->currentIndex());
        EXPECT_EQ(Api->Voice()->GetVoiceMode(), VoiceMode::Record);
        EXPECT_EQ(Api->Voice()->GetMixPoint(), 0);
        EXPECT_FALSE(f.iFX[0]->isHidden());
        PressCancel(form);
    }));
    EXPECT_EQ(Api->Voice()->GetVoiceMode(), VoiceMode::Record);
}

TEST_F(AudioPipePage, ButtonsOpenTheAudioSettingsOnTheirObjectAndTheCuePathFollowsThePreview) {
    ASSERT_TRUE(RunConfig([&](TfoConfig& form) {
        auto* page = OpenPage<TCfgFrmAudioPipe>(form, "Audio mixer pipeline");
        ASSERT_TRUE(page);
        TfrmCfgAudioPipe& f = *page->frmCfgAudioPipe1;
        EXPECT_TRUE(f.iCue0->isHidden());

        OnDialog<TfoCfgPlayer>([](TfoCfgPlayer& window) {
            EXPECT_EQ(window.frmCfgPlayer1->pcSection->currentWidget(), window.frmCfgPlayer1->tsAGC);
            EXPECT_EQ(window.frmCfgPlayer1->btDeckB->Color(), TfrmCfgPlayer::LitColor);
        });
        f.BoxButton6->click();
        EXPECT_EQ(AudioSettingsWindow(), nullptr);

        f.eAux->setCurrentIndex(2);
        EXPECT_EQ(f.lbAux->text(), "Aux 3");
        OnDialog<TfoCfgPlayer>([](TfoCfgPlayer& window) {
            EXPECT_EQ(window.frmCfgPlayer1->pcSection->currentWidget(), window.frmCfgPlayer1->tsDSP);
            EXPECT_EQ(window.frmCfgPlayer1->eAux->currentIndex(), 2);
        });
        f.BoxButton8->click();

        // The operator gives the output pair a preview on the output page.
        OnDialog<TfoCfgPlayer>([this](TfoCfgPlayer& window) {
            EXPECT_EQ(window.frmCfgPlayer1->pcSection->currentWidget(), window.frmCfgPlayer1->tsOutput);
            TDualOutputSettings settings = Api->AudioPipe()->GetOutput().GetSettings();
            settings.PreviewStyle = PreviewStyle::Split;
            Api->AudioPipe()->GetOutput().SetSettings(settings);
        });
        f.iCue0->click();
        EXPECT_FALSE(f.iCue0->isHidden());
        EXPECT_FALSE(f.iCue[3]->isHidden());

        // The process priority reaches the core when the dialog is confirmed.
        f.eProcessPriority->SetPosition(2);
        EXPECT_EQ(f.lbProcessPriority->text(), "Above normal");
        PressOK(form);
    }));
    EXPECT_EQ(FileOnDisk()->Section("Kelvar")->ReadInteger("ProcessPriority", 0), PriorityClass::AboveNormal);
    // Raising the priority needs privileges: applied, or refused with the log line.
    EXPECT_TRUE(GetPriorityClass() == PriorityClass::AboveNormal || Log->Count("Error setting priority class.") == 1);
}

}  // namespace
}  // namespace kelvar
