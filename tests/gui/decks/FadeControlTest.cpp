// The fade control over a real core's decks A and B: the cross-fader hands over from the playing
// deck and unloads it, the beat fades ramp the tempos towards a common BPM, the manual fade gives
// every volume back, and the tempo buttons step one percent.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <filesystem>

#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "controls/KcButtons.h"
#include "controls/KcTrackBar.h"
#include "controls/KcUpDown.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/decks/funDJControl.h"
#include "gui/engine/GUIcommon.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class FadeControl : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-fade-" + std::to_string(getpid()));
        fs::create_directories(Folder);
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto kelvar = Doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*kelvar);
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
        Frame = std::make_unique<TfrmDJControl>();
        Frame->AttachCore();
        Frame->show();
    }
    void TearDown() override {
        Frame.reset();
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        std::error_code ec;
        fs::remove_all(Folder, ec);
        TSongDbFixture::TearDown();
    }

    void Load(TKelvarPlayer* Deck, int n, double bpm) {
        const std::string file = (Folder / ("song" + std::to_string(n) + ".wav")).string();
        coretest::WriteToneWav(file, 4000, 300);
        auto song = TSongInfo::Create(AddSongRow(file, "A", "T", 4000), file);
        ASSERT_TRUE(Deck->LoadSong(song));
        TSongSettings s = Deck->GetSongSettings();
        s.BPM = bpm;
        Deck->SetSongSettings(s);
    }

    fs::path Folder;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    std::unique_ptr<TKelvarApi> Api;
    std::unique_ptr<TfrmDJControl> Frame;
};

TEST_F(FadeControl, CrossfaderHandsOverAndUnloadsTheSource) {
    Load(Api->DeckPlayer(TDeckId::DeckA), 1, 120);
    Load(Api->DeckPlayer(TDeckId::DeckB), 2, 100);
    Api->DeckPlayer(TDeckId::DeckA)->Play();

    Frame->XFadeDown();
    EXPECT_EQ(Frame->From(), Api->DeckPlayer(TDeckId::DeckA));
    EXPECT_EQ(Frame->To(), Api->DeckPlayer(TDeckId::DeckB));
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetVolume(), 0);

    Frame->eXFade->SetPosition(2);  // snaps to the middle: nothing moves
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetVolume(), 255);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetState(), DeckState::Ready);

    Frame->eXFade->SetPosition(50);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetState(), DeckState::Playing);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetVolume(), 255);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetVolume(), 128);

    Frame->eXFade->SetPosition(-60);  // A = 40: target at 60 %, source at 40 %
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetVolume(), 153);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetVolume(), 102);

    Frame->eXFade->SetPosition(100);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetState(), DeckState::Empty);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetVolume(), 255);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetVolume(), 255);
    EXPECT_EQ(Frame->From(), nullptr);

    Frame->XFadeUp();
    EXPECT_EQ(Frame->eXFade->Position(), 0);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetState(), DeckState::Playing);
}

TEST_F(FadeControl, BeatFadesRampTempos) {
    Load(Api->DeckPlayer(TDeckId::DeckA), 3, 120);
    Load(Api->DeckPlayer(TDeckId::DeckB), 4, 100);
    Frame->eBeatXFade->SetPosition(100);  // both to 110 bpm
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), -8);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->Tempo.load(), 10);
    EXPECT_EQ(Frame->eTempoB->Position(), 10);
    EXPECT_EQ(Frame->lbTempoB->text(), "10%");
    Frame->eBeatXFade->SetPosition(50);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), -4);
    Frame->eBeatXFade->SetPosition(0);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), 0);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->Tempo.load(), 0);

    Frame->eBeatFade->SetPosition(-100);  // B to A's 120 bpm
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), 0);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->Tempo.load(), 20);
    Frame->eBeatFade->SetPosition(50);  // A halfway to B's 100 bpm
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), -8);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->Tempo.load(), 0);
    Frame->eBeatFade->SetPosition(0);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), 0);

    // The common BPM stays once found; a deck without a BPM keeps tempo 0.
    Api->DeckPlayer(TDeckId::DeckB)->SetTempo(7);
    Api->DeckPlayer(TDeckId::DeckB)->Unload();
    Frame->eBeatXFade->SetPosition(100);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), -8);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->Tempo.load(), 0);
}

TEST_F(FadeControl, ManualFadeGivesVolumesBackAndTempoButtonsStep) {
    Load(Api->DeckPlayer(TDeckId::DeckA), 5, 0);
    Load(Api->DeckPlayer(TDeckId::DeckB), 6, 0);
    Api->DeckPlayer(TDeckId::DeckB)->SetVolume(200);
    Frame->eFade->SetPosition(-50);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetVolume(), 100);
    Frame->eFade->SetPosition(60);  // now fading A; B is given back
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetVolume(), 200);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetVolume(), 102);
    Frame->eFade->SetPosition(-1);  // snaps to 0
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetVolume(), 255);

    Frame->eFade->SetPosition(-100);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetVolume(), 0);
    Frame->DetachCore();  // closing the window gives the volume back
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->GetVolume(), 200);
    Frame->AttachCore();

    QTest::mouseClick(Frame->btTempoA, Qt::LeftButton, {}, QPoint(5, 10));
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), -1);
    QTest::mouseClick(Frame->btTempoB, Qt::LeftButton, {}, QPoint(Frame->btTempoB->width() - 5, 10));
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckB)->Tempo.load(), 1);
    Frame->eTempoA->SetPosition(12);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), 12);
    QTest::mouseClick(Frame->btZeroA, Qt::LeftButton);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), 0);
    // The refresh moves the track bars without setting the tempo again.
    Api->DeckPlayer(TDeckId::DeckB)->SetTempo(-4);
    Frame->Refresh();
    EXPECT_EQ(Frame->eTempoB->Position(), -4);
    EXPECT_EQ(Frame->lbTempoB->text(), "-4%");
}

}  // namespace
}  // namespace kelvar
