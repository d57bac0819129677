// The processor page over a deck's processor node: band edits alone and "G L O B A L", the
// controls each processor shows, bypass through a refresh, meters from a processed block, and
// presets.
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>

#include "audio/nodes/Node_AGC.h"
#include "controls/KcButtons.h"
#include "controls/KcLeds.h"
#include "controls/KcLevelBar.h"
#include "controls/KcTrackBar.h"
#include "gui/audioconfig/funAGC.h"
#include "gui/decks/funVUMeterBase.h"
#include "media/KelvarPlayer_imp.h"
#include "tests/gui/audioconfig/AudioConfigTestKit.h"

namespace kelvar {
namespace {

using audioconfigtest::TCoreFixture;

class AGCFrame : public TCoreFixture {
protected:
    TNode_AGC& Node() { return *Api->DeckPlayer(TDeckId::DeckA)->Channel->AGC; }
    const TAGCParams& P() { return *Node().GetParams(); }
    static void Click(TKcCustomControl* c) { c->OnClick(*c); }
};

TEST_F(AGCFrame, RatioReachesTheSelectedBandOrAllBandsWithGlobal) {
    TfrmAGC frame;
    frame.Attach(&Node());
    Click(frame.MB.BandButtons[2]);
    Click(frame.MB.ProcButtons[1]);
    frame.MB.Ratio->SetPosition(25);
    EXPECT_FLOAT_EQ(P().MultiBandProc[2][1].Ratio, 2.5f);
    EXPECT_NE(P().MultiBandProc[0][1].Ratio, 2.5f);
    EXPECT_EQ(frame.MB.lbRatio->text(), "2.5");

    Click(frame.MB.GlobalButton);
    frame.MB.Ratio->SetPosition(40);
    for (int b = 0; b < 5; ++b) EXPECT_FLOAT_EQ(P().MultiBandProc[b][1].Ratio, 4.0f) << b;
    EXPECT_NE(P().MultiBandProc[0][0].Ratio, 4.0f);  // the compressors stay
    EXPECT_EQ(frame.MB.BandButtons[2]->Color(), static_cast<TColor>(TfrmAGC::LitColor));
    EXPECT_EQ(frame.MB.BandButtons[0]->Color(), static_cast<TColor>(TfrmAGC::UnlitColor));

    // The dual-band "LF" button selects band 1.
    Click(frame.DB.BandButtons[0]);
    frame.DB.Thr->SetPosition(-123);
    EXPECT_FLOAT_EQ(P().DualBandProc[1][0].Threshold, -12.3f);
    const int before = P().DualBandProc[1][0].Enabled;
    Click(frame.DB.ProcEnabled);
    EXPECT_EQ(P().DualBandProc[1][0].Enabled, before == 1 ? 0 : 1);
}

TEST_F(AGCFrame, EachProcessorShowsItsOwnControls) {
    TfrmAGC frame;
    frame.Attach(&Node());
    frame.show();
    Click(frame.MB.ProcButtons[2]);
    EXPECT_FALSE(frame.MB.Ratio->isVisible());
    EXPECT_FALSE(frame.MB.Att1->isVisible());
    EXPECT_FALSE(frame.MB.Rel2->isVisible());
    Click(frame.MB.ProcButtons[0]);
    Click(frame.MB.Att2);
    EXPECT_TRUE(frame.MB.Ratio->isVisible());
    EXPECT_EQ(frame.MB.Attack->MinValue(), 100);
    EXPECT_EQ(frame.MB.Attack->MaxValue(), 1000);
    frame.MB.Attack->SetPosition(700);
    EXPECT_EQ(P().MultiBandProc[0][0].Attack2, 700);
    Click(frame.MB.Rel2);
    EXPECT_EQ(frame.MB.Release->MaxValue(), 20000);
}

TEST_F(AGCFrame, SettersReachTheNodeAndBypassHoldsThroughARefresh) {
    const std::string before = CoreXml();
    TfrmAGC frame;
    frame.Attach(&Node());
    frame.ShowSettings();
    frame.Detach();
    EXPECT_EQ(CoreXml(), before);  // showing edits nothing

    frame.Attach(&Node());
    Node().Enabled = true;
    frame.ShowSettings();
    frame.btByPassAll->SetActive(true);
    Click(frame.btByPassAll);
    EXPECT_FALSE(Node().Enabled);
    frame.ShowSettings();
    EXPECT_TRUE(frame.btByPassAll->Active());

    frame.eAgc_maxgain->SetPosition(20);
    EXPECT_EQ(Node().GetMaxGain(), 20);
    EXPECT_EQ(frame.lbAGC_MaxGain->text(), "20 dB");
    frame.eClipper_Lev->SetPosition(-25);
    EXPECT_FLOAT_EQ(Node().GetClipperLevel(), -2.5f);
    Click(frame.btPeak);
    EXPECT_EQ(Node().GetBassEqType(), 0);
    frame.eMb_enabled->click();
    EXPECT_EQ(Node().GetMultiBandEnabled(), frame.eMb_enabled->isChecked());
    EXPECT_NE(CoreXml(), before);
}

TEST_F(AGCFrame, MetersShowTheLastBlockAndFallBack) {
    TfrmAGC frame;
    frame.Attach(&Node());
    Node().Enabled = true;
    Node().SetFormat(DefaultAudioFormat);
    Node().LockedStart();
    auto block = audioconfigtest::Sine(1000, 4410, 16000);
    block[10] = 16384;  // the peak: half of full scale
    TStreamTime time = 0;
    IChunkPtr chunk;
    Node().LockedProcess(block.data(), static_cast<int>(block.size() * 2), time, chunk);
    frame.ShowMeters();
    EXPECT_EQ(frame.frmVUMeterBase1->ePeakL->Position(), 50);
    EXPECT_GT(frame.frmVUMeterBase1->ePeakR->Position(), 0);
    auto silent = std::vector<int16_t>(4410 * 2, 0);
    Node().LockedProcess(silent.data(), static_cast<int>(silent.size() * 2), time, chunk);
    frame.ShowMeters();
    EXPECT_EQ(frame.frmVUMeterBase1->ePeakL->Position(), 42);  // 50 x 0.85
}

// The built-in processor with meters the test sets.
TAGCMeters FakeMeters;
void ReadFakeMeters(const TAGCParams*, TAGCMeters* Meters) { *Meters = FakeMeters; }

TEST_F(AGCFrame, GainBarAndGatedLampFollowTheProcessorsMeters) {
    TAGCLibrary library = BuiltInAGCLibrary();
    library.Meters = ReadFakeMeters;
    TNode_AGC node(&library);
    TfrmAGC frame;
    frame.Attach(&node);
    FakeMeters = {10.0f, 1};  // +20 dB, gate closed
    frame.ShowMeters();
    EXPECT_EQ(frame.eAGC_VU->Position(), 20);
    EXPECT_TRUE(frame.eGated->Active());
    // Once lit the lamp holds for 10 refreshes, then follows the gate again.
    FakeMeters = {0.5f, 0};
    for (int i = 0; i < 10; ++i) {
        frame.ShowMeters();
        EXPECT_TRUE(frame.eGated->Active()) << i;
    }
    frame.ShowMeters();
    EXPECT_FALSE(frame.eGated->Active());
    EXPECT_LT(frame.eAGC_VU->Position(), 20);  // falling back towards 0 dB (gain under 1 counts as 1)
    EXPECT_EQ(frame.lbGatedB->text(), "-40 dB");
}

TEST_F(AGCFrame, PresetSavedAndLoadedThroughTheFileDialogs) {
    TfrmAGC frame;
    frame.Attach(&Node());
    const std::string file = Temp.File("loud.agc");
    std::string title;
    SetModalHandler([&](QDialog& d) {
        title = d.windowTitle().toStdString();
        auto& dialog = static_cast<QFileDialog&>(d);
        dialog.selectFile(QString::fromStdString(file));
        return int(QDialog::Accepted);
    });
    frame.eAgc_maxgain->SetPosition(22);
    frame.SavePreset();
    EXPECT_EQ(title, "Save preset");
    frame.eAgc_maxgain->SetPosition(3);
    frame.LoadPreset();
    EXPECT_EQ(title, "Load preset");
    EXPECT_EQ(Node().GetMaxGain(), 22);
    EXPECT_EQ(frame.eAgc_maxgain->Position(), 22);

    // A damaged preset changes nothing.
    test::WriteWholeFile(file, "not a preset");
    frame.LoadPreset();
    EXPECT_EQ(Node().GetMaxGain(), 22);
}

}  // namespace
}  // namespace kelvar
