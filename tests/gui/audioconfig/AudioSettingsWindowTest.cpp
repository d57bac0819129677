// The audio settings window: which object and page it opens on, the tabs of the audio pages
// against the output page, the single window, and its modal run.
#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QTabWidget>

#include "audio/mix/AudioPipe_imp.h"
#include "common/GuiTestKit.h"
#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "controls/KcFonts.h"
#include "gui/audioconfig/funCfgPlayer.h"
#include "gui/audioconfig/funDualOutput_combo.h"
#include "gui/audioconfig/funEQ.h"
#include "gui/plugins/funOKCancel.h"
#include "media/KelvarPlayer_imp.h"
#include "tests/gui/audioconfig/AudioConfigTestKit.h"

namespace kelvar {
namespace {

using audioconfigtest::TCoreFixture;

class AudioSettings : public TCoreFixture {
protected:
    TfrmCfgPlayer& Frame() { return *AudioSettingsWindow()->frmCfgPlayer1; }
    std::vector<std::string> VisibleTabs() {
        std::vector<std::string> tabs;
        QTabWidget* pc = Frame().pcSection;
        for (int i = 0; i < pc->count(); ++i)
            if (pc->isTabVisible(i)) tabs.push_back(pc->tabText(i).toStdString());
        return tabs;
    }
    std::string ActiveTab() { return Frame().pcSection->tabText(Frame().pcSection->currentIndex()).toStdString(); }
    std::vector<std::string> Audio = {"EQ", "AGC", "DSP"};
};

TEST_F(AudioSettings, OpensOnTheObjectAndPageAskedForOnlyWhenNew) {
    ShowAudioSettings(Api->DeckPlayer(TDeckId::DeckB), "dsp", false);
    ASSERT_NE(AudioSettingsWindow(), nullptr);
    EXPECT_EQ(AudioSettingsWindow()->windowTitle(), "Audio settings");
    EXPECT_EQ(VisibleTabs(), Audio);
    EXPECT_EQ(ActiveTab(), "DSP");
    EXPECT_EQ(Frame().btDeckB->Color(), static_cast<TColor>(TfrmCfgPlayer::LitColor));
    EXPECT_EQ(Frame().btDeckA->Color(), static_cast<TColor>(TfrmCfgPlayer::ButtonColor));
    EXPECT_EQ(Frame().frmEQ1->Node(), Api->DeckPlayer(TDeckId::DeckB)->Channel->DSPEffects);
    EXPECT_TRUE(AudioSettingsWindow()->windowFlags() & Qt::WindowStaysOnTopHint);

    // A second call shows the same window; object and page stay.
    TfoCfgPlayer* first = AudioSettingsWindow();
    ShowAudioSettings(&Api->AudioPipe()->GetMixer(), "EQ", false);
    EXPECT_EQ(AudioSettingsWindow(), first);
    EXPECT_EQ(ActiveTab(), "DSP");
    EXPECT_EQ(Frame().frmEQ1->Node(), Api->DeckPlayer(TDeckId::DeckB)->Channel->DSPEffects);
}

TEST_F(AudioSettings, KeepsItsSizeOnEveryPage) {
    const QFont saved = QApplication::font();
    UseDialogFont();
    ShowAudioSettings(Api->DeckPlayer(TDeckId::DeckA), "AGC", false);
    QCoreApplication::processEvents();
    EXPECT_EQ(AudioSettingsWindow()->size(), QSize(539, 498));
    for (const char* page : {"EQ", "DSP", "AGC"}) {
        Frame().SetPage(page);
        QCoreApplication::processEvents();
        EXPECT_EQ(AudioSettingsWindow()->size(), QSize(539, 498)) << page;
    }
    Frame().btOutput->OnClick(*Frame().btOutput);
    QCoreApplication::processEvents();
    EXPECT_EQ(AudioSettingsWindow()->size(), QSize(539, 498)) << "Output";
    QApplication::setFont(saved);
}

TEST_F(AudioSettings, OutputPageStandsAloneAndAChannelBringsTheAudioPagesBack) {
    ShowAudioSettings(Api->DeckPlayer(TDeckId::DeckA), "nonsense", false);
    EXPECT_EQ(ActiveTab(), "AGC");
    Frame().btOutput->OnClick(*Frame().btOutput);
    EXPECT_EQ(VisibleTabs(), std::vector<std::string>{"Output"});
    EXPECT_EQ(Frame().frmDualOutput_combo1->Pipe(), Api->AudioPipe());
    EXPECT_EQ(Frame().frmEQ1->Node(), nullptr);
    Frame().btDeckA->OnClick(*Frame().btDeckA);
    EXPECT_EQ(VisibleTabs(), Audio);
    EXPECT_EQ(ActiveTab(), "EQ");
    // The output page stays attached when another object is chosen.
    EXPECT_EQ(Frame().frmDualOutput_combo1->Pipe(), Api->AudioPipe());

    Frame().eAux->setCurrentIndex(2);
    emit Frame().eAux->activated(2);
    EXPECT_EQ(Frame().btAux->Caption(), "Aux 3   ");
    EXPECT_EQ(Frame().frmEQ1->Node(), Api->DeckPlayer(TDeckId::Aux3)->Channel->DSPEffects);
    EXPECT_EQ(Frame().btAux->Color(), static_cast<TColor>(TfrmCfgPlayer::LitColor));

    Frame().btVoiceFX->OnClick(*Frame().btVoiceFX);
    EXPECT_EQ(Frame().frmEQ1->Node(), Api->Voice()->GetVoiceChannel()->DSPEffects);
    Frame().btMixer->OnClick(*Frame().btMixer);
    EXPECT_EQ(Frame().frmEQ1->Node(), Api->AudioPipe()->GetMixer().GetMasterChannel().DSPEffects);
}

TEST_F(AudioSettings, ModalRunEndsWithTheWindowGoneAndPagesDetached) {
    bool ran = false;
    SetModalHandler([&](QDialog& dialog) {
        ran = true;
        EXPECT_FALSE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(VisibleTabs(), std::vector<std::string>{"Output"});
        return int(QDialog::Accepted);
    });
    ShowAudioSettings(Api->AudioPipe(), "Output", true);
    EXPECT_TRUE(ran);
    EXPECT_EQ(AudioSettingsWindow(), nullptr);
}

TEST_F(AudioSettings, ClosingByOkFreesTheWindowAndLeavesTheConfigurationAsItWas) {
    const std::string before = CoreXml();
    ShowAudioSettings(Api->DeckPlayer(TDeckId::DeckA), "EQ", false);
    QPointer<TfoCfgPlayer> window = AudioSettingsWindow();
    window->frmOKCancel1->btOK->OnClick(*window->frmOKCancel1->btOK);
    for (int i = 0; i < 5 && window; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_EQ(AudioSettingsWindow(), nullptr);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(CoreXml(), before);
}

}  // namespace
}  // namespace kelvar
