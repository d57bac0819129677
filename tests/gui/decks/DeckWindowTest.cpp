// The deck window over a real deck of a real core (no output device): load, play, pause, seek
// and eject through the mouse and the keyboard, the track bar's snapping and status texts, the
// status message's two seconds and the cue point menu.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QTest>
#include <atomic>
#include <filesystem>

#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "controls/BoxButton.h"
#include "controls/FxFancyButton.h"
#include "controls/KcButtons.h"
#include "controls/KcSlider.h"
#include "controls/KcTrackBar.h"
#include "controls/ScrollLabel.h"
#include "core/CoreCommon.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/ProcessPriority.h"
#include "foundation/Clock.h"
#include "foundation/ConfigDoc_XML.h"
#include "gui/decks/funPlayer.h"
#include "gui/engine/GUIcommon.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class TStepClock : public IClock {
public:
    int64_t MsSinceStart() const override { return Ms.load(); }
    std::chrono::system_clock::time_point Now() const override { return std::chrono::system_clock::now(); }
    std::atomic<int64_t> Ms{1000};
};

class DeckWindow : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        guitest::EnsureApplication();
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-decks-" + std::to_string(getpid()));
        fs::create_directories(Folder);
        SetClock(&Clock);
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto kelvar = Doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*kelvar);
        Api = std::make_unique<TKelvarApi>(*Core);
        SetProgramKelvarApi(Api.get());
    }
    void TearDown() override {
        Frame.reset();
        SetProgramKelvarApi(nullptr);
        Api.reset();
        Core.reset();
        SetClock(nullptr);
        std::error_code ec;
        fs::remove_all(Folder, ec);
        TSongDbFixture::TearDown();
    }

    ISongInfoPtr Song(int n, int ms) {
        const std::string file = (Folder / ("song" + std::to_string(n) + ".wav")).string();
        coretest::WriteToneWav(file, ms, 300);
        const int id = AddSongRow(file, "Artist " + std::to_string(n), "Title " + std::to_string(n), ms);
        auto song = TSongInfo::Create(id, file);
        song->SetArtist("Artist " + std::to_string(n));
        song->SetTitle("Title " + std::to_string(n));
        song->SetDuration(ms);
        return song;
    }

    TfrmPlayer& OpenDeckA() {
        Frame = std::make_unique<TfrmPlayer>();
        Frame->AttachPlayer(Api->DeckPlayer(TDeckId::DeckA));
        Frame->show();
        return *Frame;
    }

    static std::string Shown(TfrmPlayer& f) { return f.lbDisplay->Caption().toStdString(); }
    static void Settle() { QCoreApplication::processEvents(); }

    fs::path Folder;
    TStepClock Clock;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    std::unique_ptr<TKelvarApi> Api;
    std::unique_ptr<TfrmPlayer> Frame;
};

TEST_F(DeckWindow, LoadPlayPauseSeekEjectWithTheMouse) {
    TfrmPlayer& f = OpenDeckA();
    EXPECT_EQ(Shown(f), "Deck idle...");
    EXPECT_FALSE(f.btCuePoints->isEnabled());

    ASSERT_TRUE(Api->DeckPlayer(TDeckId::DeckA)->LoadSong(Song(1, 4000)));
    f.Refresh();
    EXPECT_EQ(Shown(f), "Artist 1 - Title 1");
    EXPECT_EQ(f.lbDuration->text(), "0:04.0");
    EXPECT_EQ(f.lbStereo->text(), "Stereo");
    EXPECT_EQ(f.lbKhz->text(), "44.1");
    EXPECT_TRUE(f.tbPosition->isEnabled());
    EXPECT_EQ(f.tbPosition->MaxValue(), 4000);
    EXPECT_TRUE(f.btCuePoints->isEnabled());

    QTest::mousePress(f.btPlay, Qt::LeftButton);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetState(), DeckState::Playing);
    EXPECT_EQ(Shown(f), "Play started");
    QTest::mouseRelease(f.btPlay, Qt::LeftButton);
    Settle();
    EXPECT_FALSE(f.btPause->isHidden());
    EXPECT_TRUE(f.btPlay->isHidden());

    QTest::mousePress(f.btPause, Qt::LeftButton);
    QTest::mouseRelease(f.btPause, Qt::LeftButton);
    Settle();
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetState(), DeckState::Ready);
    EXPECT_EQ(Shown(f), "Paused");
    EXPECT_FALSE(f.btPlay->isHidden());

    // A click at three quarters of the slider seeks there when the button comes up.
    const QPoint at(f.tbPosition->width() * 3 / 4, f.tbPosition->height() / 2);
    QTest::mousePress(f.tbPosition, Qt::LeftButton, {}, at);
    EXPECT_EQ(f.SliderModeNow(), SliderMode::Dragging);
    const int target = f.tbPosition->Position();
    EXPECT_GT(target, 2000);
    EXPECT_EQ(Shown(f).rfind("Seeking: 0:0", 0), 0u) << Shown(f);
    QTest::mouseRelease(f.tbPosition, Qt::LeftButton, {}, at);
    Settle();
    EXPECT_EQ(f.SliderModeNow(), SliderMode::Normal);
    EXPECT_NEAR(static_cast<double>(Api->DeckPlayer(TDeckId::DeckA)->GetPosition()), target, 50);

    // Shift+Stop fades; plain Stop pauses and goes back to the start.
    QTest::mousePress(f.btStop, Qt::LeftButton);
    EXPECT_EQ(Shown(f), "Stopped");
    EXPECT_LT(Api->DeckPlayer(TDeckId::DeckA)->GetPosition(), 50);

    QTest::mouseClick(f.btEject, Qt::LeftButton);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetState(), DeckState::Empty);
    Clock.Ms += 2001;
    f.Refresh();
    f.Refresh();
    EXPECT_EQ(Shown(f), "Deck empty");
    EXPECT_EQ(f.lbCurrent->text(), ":");
    EXPECT_FALSE(f.tbPosition->isEnabled());
    EXPECT_FALSE(f.btEject->isEnabled());
    EXPECT_EQ(f.PictureShown(), "ICON");
}

TEST_F(DeckWindow, PlayPauseAndEjectFromTheKeyboard) {
    TfrmPlayer& f = OpenDeckA();
    ASSERT_TRUE(Api->DeckPlayer(TDeckId::DeckA)->LoadSong(Song(2, 4000)));
    f.Refresh();
    f.btPlay->setFocus();
    QTest::keyClick(f.btPlay, Qt::Key_Space);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetState(), DeckState::Playing);
    EXPECT_FALSE(f.btPause->isHidden());
    QTest::keyClick(f.btPause, Qt::Key_Space);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetState(), DeckState::Ready);

    // Keys on the slider move it like a drag; letting go seeks.
    f.tbPosition->setFocus();
    const int before = f.tbPosition->Position();
    QTest::keyClick(f.tbPosition, Qt::Key_Right);
    Settle();
    EXPECT_NE(f.tbPosition->Position(), before);
    EXPECT_NEAR(static_cast<double>(Api->DeckPlayer(TDeckId::DeckA)->GetPosition()), f.tbPosition->Position(), 50);

    f.btEject->setFocus();
    QTest::keyClick(f.btEject, Qt::Key_Space);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetState(), DeckState::Empty);
}

TEST_F(DeckWindow, TrackBarSnapsAndReportsInDecibelsAndPercent) {
    TfrmPlayer& f = OpenDeckA();
    ASSERT_TRUE(Api->DeckPlayer(TDeckId::DeckA)->LoadSong(Song(3, 4000)));
    f.Refresh();
    struct {
        int Position, Volume;
        const char* Status;
    } volumes[] = {{253, 255, "Volume: 0.0 dB"},
                   {260, -1, "Volume: +0.2 dB"},
                   {350, -1, "Volume: +2.8 dB"},
                   {0, 0, "Volume: -240.0 dB"}};
    for (const auto& c : volumes) {
        f.eTrackBar->SetPosition(c.Position);
        // The player itself keeps its volume within 0..255.
        if (c.Volume >= 0) {
            EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->GetVolume(), c.Volume) << c.Position;
        }
        EXPECT_EQ(Shown(f), c.Status);
    }

    QTest::mouseClick(f.btPitch, Qt::LeftButton);
    EXPECT_EQ(f.SelectedControl(), DeckControl::Pitch);
    EXPECT_EQ(f.lbTrackBar->text(), "Pitch");
    EXPECT_EQ(f.eTrackBar->MinValue(), -25);
    f.eTrackBar->SetPosition(1);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Pitch.load(), 0);
    EXPECT_EQ(Shown(f), "Pitch: 0.0%");
    f.eTrackBar->SetPosition(2);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Pitch.load(), 2);
    EXPECT_EQ(Shown(f), "Pitch: +2.0%");

    QTest::mouseClick(f.btTempo, Qt::LeftButton);
    f.eTrackBar->SetPosition(-7);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), -7);
    EXPECT_EQ(Shown(f), "Tempo: -7.0%");
    QTest::mouseClick(f.btZero, Qt::LeftButton);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), 0);
    EXPECT_EQ(f.eTrackBar->Position(), 0);

    // The refresh follows the player without writing back.
    Api->DeckPlayer(TDeckId::DeckA)->SetTempo(5);
    f.Refresh();
    EXPECT_EQ(f.eTrackBar->Position(), 5);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Tempo.load(), 5);
}

TEST_F(DeckWindow, StatusShowsTwoSecondsAndRepeatingItDoesNotExtendIt) {
    TfrmPlayer& f = OpenDeckA();
    ASSERT_TRUE(Api->DeckPlayer(TDeckId::DeckA)->LoadSong(Song(4, 4000)));
    f.Refresh();
    QTest::mousePress(f.btPause, Qt::LeftButton);
    f.Refresh();
    EXPECT_EQ(Shown(f), "Paused");
    Clock.Ms += 1500;
    QTest::mousePress(f.btPause, Qt::LeftButton);  // same message: the two seconds run on
    Clock.Ms += 501;
    f.Refresh();
    EXPECT_EQ(Shown(f), "Artist 4 - Title 4");

    QTest::mouseClick(f.btAir, Qt::LeftButton);
    EXPECT_EQ(Shown(f), "On-Air output disabled");
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA)->Channel->GetMixMode() & MixMode::OnAir, 0);
    QTest::mouseClick(f.btCue, Qt::LeftButton);
    EXPECT_EQ(Shown(f), "Preview output active");
    EXPECT_NE(Api->DeckPlayer(TDeckId::DeckA)->Channel->GetMixMode() & MixMode::Preview, 0);
}

TEST_F(DeckWindow, CuePointMenuSkipsTargetsOutsideTheSong) {
    TfrmPlayer& f = OpenDeckA();
    ASSERT_TRUE(Api->DeckPlayer(TDeckId::DeckA)->LoadSong(Song(5, 4000)));
    TSongSettings s = Api->DeckPlayer(TDeckId::DeckA)->GetSongSettings();
    s.Start = -1;
    s.End = -1;
    s.Intro = 0;
    s.Outro = 0;
    s.Fade = -5000;  // before the start of a 4 s song
    s.XFade = -3000;
    s.CuePoints[0] = {"Hook", 2500};
    s.CuePoints[1] = {"Beyond", 9000};
    Api->DeckPlayer(TDeckId::DeckA)->SetSongSettings(s);
    f.Refresh();
    EXPECT_EQ(f.lbIntroTime->text(), ":");
    f.BuildCuePointMenu();
    QStringList captions;
    for (QAction* a : f.puCuePoints->actions()) captions << a->text();
    EXPECT_EQ(captions, (QStringList{"XFade (0:01.0)", "Hook (0:02.5)"}));
    f.puCuePoints->actions().at(1)->trigger();
    EXPECT_NEAR(static_cast<double>(Api->DeckPlayer(TDeckId::DeckA)->GetPosition()), 2500, 50);

    s.XFade = 0;
    s.CuePoints = {};
    s.Fade = 0;
    Api->DeckPlayer(TDeckId::DeckA)->SetSongSettings(s);
    f.Refresh();
    f.BuildCuePointMenu();
    ASSERT_EQ(f.puCuePoints->actions().size(), 1);
    EXPECT_EQ(f.puCuePoints->actions().at(0)->text(), "Start (0:00.0)");
}

}  // namespace
}  // namespace kelvar
