// The equaliser page over a deck's effects node: a band cut heard on the deck's node, snapping,
// presets applied and deleted (also among equal names), and the presets file read and written.
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QToolButton>

#include <fstream>
#include "audio/nodes/Node_DSPEffects.h"

#include "common/RenderEngine.h"
#include "common/TempFolder.h"
#include "controls/KcTrackBar.h"
#include "core/CoreTestKit.h"
#include "gui/audioconfig/funEQ.h"
#include "media/KelvarPlayer_imp.h"
#include "tests/gui/audioconfig/AudioConfigTestKit.h"

namespace kelvar {
namespace {

using audioconfigtest::TCoreFixture;

class EQFrame : public TCoreFixture {
protected:
    TNode_DSPEffects& Node() { return *Api->DeckPlayer(TDeckId::DeckA)->Channel->DSPEffects; }
    std::unique_ptr<TfrmEQ> Open() {
        auto frame = std::make_unique<TfrmEQ>();
        frame->Attach(&Node());
        return frame;
    }
    // Level of a 16 kHz tone after the deck's effects node (the last of several blocks).
    double LevelAt16kHz() {
        Node().SetFormat(DefaultAudioFormat);
        Node().LockedStart();
        double level = 0;
        for (int i = 0; i < 6; ++i) {
            auto block = audioconfigtest::Sine(16000, 8820);
            TStreamTime time = 0;
            IChunkPtr chunk;
            const int n = Node().LockedProcess(block.data(), static_cast<int>(block.size() * 2), time, chunk);
            if (n > 0) level = audioconfigtest::Rms({block.begin(), block.begin() + n / 2});
        }
        return level;
    }
    static int Index(TfrmEQ& f, const QString& name) { return f.ePresets->findText(name); }
    static void Choose(TfrmEQ& f, int index) { f.ePresets->setCurrentIndex(index); }
    void SaveAs(TfrmEQ& f, const QString& name) {
        SetModalHandler([name](QDialog& d) {
            static_cast<QInputDialog&>(d).setTextValue(name);
            return int(QDialog::Accepted);
        });
        f.btSave->click();
    }
};

TEST_F(EQFrame, SliderCutsTheRunningBandAndSnapsNearZero) {
    auto frame = Open();
    frame->eEnableEQ->click();
    ASSERT_TRUE(Node().GetEQEnabled());
    const double flat = LevelAt16kHz();
    frame->eEQ[9]->SetPosition(-75);
    EXPECT_EQ(Node().GetEQBand(9), -75);
    EXPECT_EQ(frame->lb[9]->text(), "-12.0");
    const double cut = LevelAt16kHz();
    EXPECT_LT(cut, flat * 0.4) << "flat " << flat << " cut " << cut;

    frame->eEQ[3]->SetPosition(3);
    EXPECT_EQ(frame->eEQ[3]->Position(), 0);
    EXPECT_EQ(Node().GetEQBand(3), 0);
    frame->eEQ[0]->SetPosition(75);
    EXPECT_EQ(frame->lb[0]->text(), "12.0");
}

TEST_F(EQFrame, CutMadeInThePageIsHeardWhenDecksRenderWithTheSavedConfiguration) {
    const std::string song = Temp.File("tone.wav");
    coretest::WriteToneWav(song, 1500, 16000, 12000);
    auto render = [&](const std::string& name) {
        auto doc = TConfigDoc_XML::Create(Temp.File(name + ".xml"));
        Core->SaveConfig(*doc->Section("Kelvar"));
        doc->Save();
        render::TRenderOptions options;
        options.Output = Temp.File(name + ".wav");
        options.Config = Temp.File(name + ".xml");
        options.Files = {song};
        const auto result = render::Render(options);
        EXPECT_TRUE(result.Ok) << result.Error;
        return result.Peak;
    };
    const int flat = render("flat");
    auto frame = Open();
    frame->eEnableEQ->click();
    frame->eEQ[9]->SetPosition(-75);
    const int cut = render("cut");
    EXPECT_GT(flat, 8000);
    EXPECT_LT(cut, flat / 2) << "flat " << flat << " cut " << cut;
}

TEST_F(EQFrame, PresetSetsAllBandsAndAMovedSliderMeansCustom) {
    auto frame = Open();
    Choose(*frame, Index(*frame, "Rock"));
    const int rock[10] = {40, 30, -30, -40, -20, 20, 40, 40, 40, 40};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Node().GetEQBand(i), rock[i]) << i;
    EXPECT_TRUE(frame->btRemove->isEnabled());
    EXPECT_FALSE(frame->btSave->isEnabled());
    EXPECT_FALSE(Node().GetEQEnabled());  // the switch is not a preset's business

    // Values beyond the slider's end stay in the node; the label shows the node's gain.
    Choose(*frame, Index(*frame, "Loudness"));
    EXPECT_EQ(Node().GetEQBand(0), 90);
    EXPECT_EQ(frame->lb[0]->text(), "20.0");

    frame->eEQ[4]->SetPosition(30);
    EXPECT_EQ(frame->ePresets->currentText(), "(Custom)");
    EXPECT_FALSE(frame->btRemove->isEnabled());
    EXPECT_EQ(Node().GetEQBand(0), 90);
}

TEST_F(EQFrame, DeleteRemovesTheSelectedEntryAmongEqualNames) {
    auto frame = Open();
    const size_t builtIn = frame->Presets().size();
    ASSERT_EQ(builtIn, 19u);
    frame->eEQ[0]->SetPosition(20);
    SaveAs(*frame, "Mine");
    frame->eEQ[0]->SetPosition(-40);
    SaveAs(*frame, "Mine");
    ASSERT_EQ(frame->Presets().size(), builtIn + 2);
    // The second save selected its own entry.
    ASSERT_EQ(frame->ePresets->currentText(), "Mine");
    frame->btRemove->click();
    EXPECT_EQ(frame->ePresets->currentText(), "(Custom)");
    EXPECT_EQ(frame->Presets().size(), builtIn + 1);
    // The remaining "Mine" is the first one, and choosing it works.
    Choose(*frame, Index(*frame, "Mine"));
    EXPECT_EQ(Node().GetEQBand(0), 20);
}

TEST_F(EQFrame, PresetsFileKeepsCountedSectionsAndHoldsBadValues) {
    const std::string file = Temp.File("kelvar.EQ.ini");
    {
        std::ofstream out(file);
        out << "[EQPresets]\nPresetCount=2\n\n[Preset0]\nName=Warm\nEQ0=30\nEQ5=-500\n\n"
               "[preset1]\nname=Thin\neq9=abc\n\n[Preset5]\nName=Ghost\n";
    }
    {
        auto frame = Open();
        ASSERT_EQ(frame->Presets().size(), 2u);
        EXPECT_EQ(frame->Presets().front().Name, "Warm");
        EXPECT_EQ(frame->Presets().front().Bands[5], -99);
        EXPECT_EQ(frame->Presets().back().Name, "Thin");
        EXPECT_EQ(frame->Presets().back().Bands[9], 0);
        EXPECT_EQ(Index(*frame, "Ghost"), -1);
        // Delete both; the file then says no presets were saved.
        for (const char* name : {"Warm", "Thin"}) {
            Choose(*frame, Index(*frame, name));
            frame->btRemove->click();
        }
    }
    EXPECT_NE(test::ReadWholeFile(file).find("PresetCount=0"), std::string::npos);
    EXPECT_NE(test::ReadWholeFile(file).find("Ghost"), std::string::npos);  // left as it was
    auto again = Open();
    EXPECT_EQ(again->Presets().size(), 19u);
    EXPECT_EQ(again->ePresets->itemText(0), "(Custom)");
    EXPECT_EQ(again->ePresets->itemText(1), "(Default)");
}

TEST(EQPresets, WrittenPresetsReadBackWithLongNamesCut) {
    test::TTempFolder temp;
    const std::string file = temp.File("p.ini");
    std::vector<TEQPreset> presets = {{std::string(150, 'x'), {1, 2, 3, 4, 5, 6, 7, 8, 9, -10}}, {"B=C", {}}};
    ASSERT_TRUE(SaveEQPresets(file, presets));
    const auto back = LoadEQPresets(file);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].Name, std::string(100, 'x'));
    EXPECT_EQ(back[0].Bands, presets[0].Bands);
    EXPECT_EQ(back[1].Name, "B=C");
    EXPECT_FALSE(SaveEQPresets(temp.File("missing/p.ini"), presets));

    // Cut at characters: 150 two-byte letters keep 100 whole letters.
    std::string umlauts;
    for (int i = 0; i < 150; ++i) umlauts += "\u00f6";
    ASSERT_TRUE(SaveEQPresets(file, {{umlauts, {}}}));
    EXPECT_EQ(LoadEQPresets(file)[0].Name, umlauts.substr(0, 200));
}

TEST(EQPresets, AStoredCountReadsOnlyThePresetsTheFileHolds) {
    test::TTempFolder temp;
    const std::string file = temp.File("p.ini");
    std::ofstream(file) << "[EQPresets]\nPresetCount=99999\n[Preset0]\nName=Only\nEQ3=7\n[Preset2]\nName=Gap\n";
    auto back = LoadEQPresets(file);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].Name, "Only");
    EXPECT_EQ(back[0].Bands[3], 7);

    std::ofstream(file) << "[EQPresets]\nPresetCount=99999\n";
    EXPECT_EQ(LoadEQPresets(file).size(), BuiltInEQPresets().size());
}

}  // namespace
}  // namespace kelvar
