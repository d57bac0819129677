// The core object on the test song database with real decks, driven tick by tick (no output
// device: a deck's playing flag is enough for the automation's decisions).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "common/KelvarTestAccess.h"
#include "common/SongTestDatabase.h"
#include "core/CoreCommon.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/ProcessPriority.h"
#include "core/SilentStreamServer.h"
#include "core/rotation/Logic_weighted.h"
#include "core/unKelvar.h"
#include "foundation/ConfigDoc_XML.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class CoreAutomation : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-core-" + std::to_string(getpid()));
        fs::create_directories(Folder);
        SetCoreLogger(Log);
        InitSongSettings(DefaultSongSettings);
    }
    void TearDown() override {
        Core.reset();
        SetCoreLogger(nullptr);
        InitSongSettings(DefaultSongSettings);
        std::error_code ec;
        fs::remove_all(Folder, ec);
        TSongDbFixture::TearDown();
    }

    // The core, initialised and configured from Kelvar (an empty node when none is given).
    void StartCore(IConfigDocPtr Kelvar = nullptr) {
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        if (!Kelvar) {
            Doc = TConfigDoc_XML::Create("");
            Kelvar = Doc->Section("Kelvar");
            Kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        }
        Core->LoadConfig(*Kelvar);
    }

    // A library row; Ms > 0 writes a real file of that length, otherwise the file is missing.
    std::pair<int, std::string> AddSong(int n, int ms, bool real = true) {
        const std::string file = (Folder / ("song" + std::to_string(n) + ".wav")).string();
        if (real) coretest::WriteToneWav(file, ms, 300);
        const int id = AddSongRow(file, "Artist " + std::to_string(n), "Title " + std::to_string(n), ms);
        return {id, file};
    }

    ISongInfoPtr Song(const std::pair<int, std::string>& row, int ms) {
        auto song = TSongInfo::Create(row.first, row.second);
        song->SetDuration(ms);
        return song;
    }

    fs::path Folder;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    // What the door does not offer.
    TKelvarTestAccess In() { return TKelvarTestAccess(*Core); }
};

TEST_F(CoreAutomation, TwentyFailedSongsThenTheFallbackAndOneQueueFailure) {
    for (int n = 0; n < 25; ++n) AddSong(n, 4000, false);
    // Never chosen by the rotation (not playable status) but played longest ago.
    auto fallback = AddSong(99, 4000);
    PoolExecSQL("UPDATE songlist SET status = 1, date_played = '1990-01-01' WHERE ID = " +
                std::to_string(fallback.first));
    StartCore();
    int queueFailed = 0;
    TEventLink listenQueueFailed(In().OnQueueFailed, [&](TKelvar& sender) {
        EXPECT_EQ(&sender, Core.get());
        ++queueFailed;
    });
    Core->QueueNext(In().DeckA);
    EXPECT_EQ(Log->Count("Failed to play Artist", "DECK A"), 20);
    EXPECT_EQ(queueFailed, 1);
    ASSERT_EQ(In().DeckA->GetState(), DeckState::Ready);
    EXPECT_EQ(In().DeckA->GetSong()->GetID(), fallback.first);
}

TEST_F(CoreAutomation, QueueModeWithNothingQueuedAbortsOnEveryTick) {
    auto playing = AddSong(0, 4000);
    for (int n = 1; n < 5; ++n) AddSong(n, 4000);
    StartCore();
    ASSERT_TRUE(In().DeckA->LoadSong(Song(playing, 4000)));
    In().DeckA->Play();
    In().AutoRecovery->DJMode = DJModes::Queue;
    for (int i = 0; i < 3; ++i) Core->Tick();
    EXPECT_TRUE(In().AutoRecovery->Aborted);
    // Aborted on every tick, logged once for the stretch.
    EXPECT_EQ(Log->Count("Auto recovery was aborted"), 1);
    EXPECT_EQ(In().DeckB->GetState(), DeckState::Empty);

    // In Auto DJ the other deck is loaded once, 10 s or less before the end: by the tick that
    // finds the rotation's choice ready (with time left, no tick waits for it).
    In().AutoRecovery->DJMode = DJModes::AutoDJ;
    Core->Tick();
    for (int i = 0; i < 150 && In().DeckB->GetState() == DeckState::Empty; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Core->Tick();
    }
    ASSERT_EQ(In().DeckB->GetState(), DeckState::Ready);
    const ISongInfoPtr next = In().DeckB->GetSong();
    Core->Tick();
    EXPECT_EQ(In().DeckB->GetSong(), next);
    EXPECT_EQ(In().CurrentSong ? In().CurrentSong->GetID() : 0, playing.first);
}

TEST_F(CoreAutomation, ManualModeQueuesNothing) {
    auto playing = AddSong(0, 4000);
    AddSong(1, 4000);
    StartCore();
    In().AutoRecovery->DJMode = DJModes::Manual;
    ASSERT_TRUE(In().DeckA->LoadSong(Song(playing, 4000)));
    In().DeckA->Play();
    Core->Tick();
    EXPECT_EQ(In().DeckB->GetState(), DeckState::Empty);
}

TEST_F(CoreAutomation, PlayNextCutsOrFades) {
    auto first = AddSong(0, 4000);
    for (int n = 1; n < 4; ++n) AddSong(n, 4000);
    StartCore();
    ASSERT_TRUE(In().DeckA->LoadSong(Song(first, 4000)));
    In().DeckA->Play();
    // Without a fade: the playing deck goes, the other is loaded and starts at once.
    In().PlayNext(false);
    EXPECT_EQ(In().DeckA->GetState(), DeckState::Empty);
    EXPECT_EQ(In().DeckB->GetState(), DeckState::Playing);
    // With a fade only the fade starts.
    In().PlayNext(true);
    EXPECT_EQ(In().DeckB->GetState(), DeckState::Playing);
    EXPECT_EQ(In().DeckA->GetState(), DeckState::Empty);
}

// A remote's pause and pause again: the decks on air are held and then resumed, in a crossfade
// both of them, and a song queued on the other deck does not take the paused one's place.
TEST_F(CoreAutomation, PauseThenPauseResumesTheDecksItHeld) {
    auto first = AddSong(0, 4000);
    auto second = AddSong(1, 4000);
    struct TCase {
        const char* Name;
        bool BothOnAir;  // else deck B plays and deck A holds the next song
    };
    for (const TCase& c : {TCase{"crossfade", true}, TCase{"next song queued", false}}) {
        SCOPED_TRACE(c.Name);
        StartCore();
        In().AutoRecovery->DJMode = DJModes::Manual;
        ASSERT_TRUE(In().DeckA->LoadSong(Song(first, 4000)));
        ASSERT_TRUE(In().DeckB->LoadSong(Song(second, 4000)));
        In().DeckB->Play();
        if (c.BothOnAir) In().DeckA->Play();
        In().PauseOrPlay();
        EXPECT_EQ(In().DeckA->GetState(), DeckState::Ready);
        EXPECT_EQ(In().DeckB->GetState(), DeckState::Ready);
        In().PauseOrPlay();
        EXPECT_EQ(In().DeckA->GetState(), c.BothOnAir ? DeckState::Playing : DeckState::Ready);
        EXPECT_EQ(In().DeckB->GetState(), DeckState::Playing);
        Core.reset();
    }
}

TEST_F(CoreAutomation, ShortAndOverlaySongsDoNotCrossfade) {
    StartCore();
    auto song = [](int ms, const char* overlay) {
        auto s = TSongInfo::Create(1, "x.wav");
        s->SetDuration(ms);
        if (overlay) s->SetValue("overlay", std::string(overlay));
        return s;
    };
    const struct {
        int SkipTime, Ms;
        const char* Overlay;
        bool NoXFade;
    } cases[] = {{45000, 30000, nullptr, true}, {45000, 45000, nullptr, true}, {45000, 45001, nullptr, false},
                 {45000, 0, nullptr, false},    {0, 30000, nullptr, false},    {-1, 30000, nullptr, false},
                 {45000, 200000, "yEs", true},  {45000, 200000, "no", false}};
    for (const auto& c : cases) {
        In().XFadeSkipTime = c.SkipTime;
        EXPECT_EQ(In().NoXFade(song(c.Ms, c.Overlay)), c.NoXFade) << c.SkipTime << " " << c.Ms;
    }

    // Loading one takes the no-fade defaults and keeps the playing deck's fade from starting it.
    auto row = AddSong(0, 4000);
    In().XFadeSkipTime = 45000;
    ASSERT_TRUE(In().DeckB->LoadSong(Song(row, 4000)));
    EXPECT_EQ(In().NoAutoStartOnFade, 1);
    EXPECT_EQ(In().DeckB->GetEffectiveSettings().XFadeMode, XFadeModes::None);
    EXPECT_EQ(In().DeckB->GetEffectiveSettings().FadeOut.Enabled, 0);
}

TEST_F(CoreAutomation, ConfigurationDefaultsAndSave) {
    // A document without a "Kelvar" node.
    Doc = TConfigDoc_XML::Create("");
    auto kelvar = Doc->Section("Kelvar");
    TSongSettings noGapKiller;
    InitSongSettings(noGapKiller);
    noGapKiller.GapKiller = 0;
    kelvar->Section("DefSongSettings")->WriteString("FadeSettings", SongSettingsToString(noGapKiller));
    kelvar->Section("DefSongSettings")->WriteInteger("GapKillerOn", 1);
    StartCore(kelvar);
    EXPECT_EQ(In().XFadeSkipTime, 45000);
    EXPECT_EQ(DefaultSongSettings.GapKiller, 1);  // the switch wins over the text
    EXPECT_EQ(NoFadeSongSettings.XFadeMode, XFadeModes::None);
    EXPECT_TRUE(std::dynamic_pointer_cast<TplWeightedRotation>(In().PlaylistControl->GetLogic()));
    EXPECT_EQ(GetPriorityClass(), PriorityClass::High);

    auto root = TConfigDoc_XML::Create("");
    auto saved = root->Section("Kelvar");
    Core->SaveConfig(*saved);
    EXPECT_EQ(saved->ReadInteger("ProcessPriority", 0), PriorityClass::High);
    EXPECT_EQ(saved->Section("DefSongSettings")->ReadInteger("XFadeSkipTime", 0), 45000);
    auto players = saved->Section("Players");
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(players->Section("Player" + std::to_string(n))->ReadInteger("Volume", -1), 255) << n;
    EXPECT_NE(root->GetXML().find("od_Selected"), std::string::npos);
    SetPriorityClass(PriorityClass::Normal);

    Core->DoQuit();
    EXPECT_EQ(In().DeckA, nullptr);
    Core->DoQuit();  // a second time does nothing
}

TEST_F(CoreAutomation, LiveReloadKeepsDevicesAndPlayersAndRefusedPriorityFallsBack) {
    StartCore();
    auto root = TConfigDoc_XML::Create("");
    auto kelvar = root->Section("Kelvar");
    kelvar->WriteInteger("ProcessPriority", 12345);  // no such class
    kelvar->Section("AudioPipe")->Section("Output")->WriteInteger("OutputType1", OutputType::KernelStreaming);
    kelvar->Section("Players")->Section("Player0")->WriteInteger("Volume", 100);
    kelvar->Section("AutoRecovery")->WriteInteger("MaxIdleTime", 42);
    kelvar->Section("PlaylistRules")->WriteInteger("MinQueueSize", 3);
    kelvar->Section("DefSongSettings")->WriteInteger("XFadeSkipTime", 1234);
    const TOutputType before = In().AudioPipe->GetOutput().GetSettings().OutputType1;
    root->SetLiveApply(true);
    Core->LoadConfig(*root->Section("Kelvar"));
    root->SetLiveApply(false);
    EXPECT_EQ(In().AudioPipe->GetOutput().GetSettings().OutputType1, before);
    EXPECT_EQ(In().DeckA->GetVolume(), 255);
    EXPECT_EQ(In().AutoRecovery->MaxIdleTime, 42);
    EXPECT_EQ(In().PlaylistControl->GetRules()->GetMinQueueSize(), 3);
    EXPECT_EQ(In().XFadeSkipTime, 1234);
    EXPECT_EQ(Log->Count("Error setting priority class.", "Kelvar"), 1);
    EXPECT_EQ(GetPriorityClass(), PriorityClass::High);
    SetPriorityClass(PriorityClass::Normal);
}

TEST_F(CoreAutomation, DataModuleRunsStartUpAndShutdownSteps) {
    const std::string file = (Folder / "KelvarZorvik.core.xml").string();
    {
        auto doc = TConfigDoc_XML::Create(file);
        doc->Section("Kelvar")->WriteInteger("ProcessPriority", PriorityClass::Normal);
        doc->Section("Kelvar")->Section("AudioPipe")->Section("Output")->WriteInteger("OutputType1", 0);
        doc->Save();
    }
    {
        TfoKelvar module(file);
        std::vector<std::string> status;
        module.OnStatus = [&](const std::string& text) { status.push_back(text); };
        module.DoInit();
        ASSERT_NE(ProgramKelvarApi(), nullptr);
        EXPECT_EQ(ProgramKelvarApi()->PlayerCount(), 6);
        EXPECT_FALSE(status.empty());
        EXPECT_EQ(CoreHeartbeat->Count(), 3);
        module.DoQuit();
        EXPECT_EQ(CoreHeartbeat->Count(), 0);
        module.DoQuit();
    }
    EXPECT_EQ(ProgramKelvarApi(), nullptr);
    EXPECT_EQ(CoreHeartbeat, nullptr);
    auto written = TConfigDoc_XML::Create(file);
    EXPECT_EQ(written->Section("Kelvar")->Section("Players")->Section("Player5")->ReadInteger("Volume", -1), 255);
    EXPECT_EQ(Log->Count("Error"), 0);
}

// The deck as the core uses it: a gap seen while decoding ahead of a deck never played does
// not finish its song.
struct TDeckProbe : TCoreDeck {
    using TCoreDeck::OnEnd;
};

TEST_F(CoreAutomation, GapBeforeTheFirstPlayDoesNotFinishTheSong) {
    auto row = AddSong(0, 4000);
    TDeckProbe deck;
    ASSERT_TRUE(deck.LoadSong(Song(row, 4000)));
    deck.OnEnd();
    EXPECT_FALSE(deck.IsFinished());
    deck.Play();
    deck.OnEnd();  // once it plays, the gap report counts
    EXPECT_TRUE(deck.IsFinished());
}

TEST_F(CoreAutomation, StreamWithoutAudioEndsAndIsNotBooked) {
    auto next = AddSong(0, 4000);
    coretest::TSilentStreamServer server;
    StartCore();
    In().AutoRecovery->DJMode = DJModes::AutoDJ;
    In().DeckA->SetNoAudioLimit(300);
    auto stream = TSongInfo::Create(0, server.Url("/live.mp3"));
    ASSERT_TRUE(In().DeckA->LoadSong(stream));
    In().DeckA->Play();
    // The stream is ended, the library's song follows and only that one is booked.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (In().PlaylistControl->GetPlayCount() == 0 && std::chrono::steady_clock::now() < until) {
        Core->Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(Log->Count("No audio from " + server.Url("/live.mp3")), 1);
    ASSERT_EQ(In().PlaylistControl->GetPlayCount(), 1);
    ASSERT_NE(In().CurrentSong, nullptr);
    EXPECT_EQ(In().CurrentSong->GetID(), next.first);
    EXPECT_NE(In().DeckA->GetSong(), stream);
}

// A stream queued ahead that never sends audio is replaced while the song before it plays, so
// it never goes on air.
TEST_F(CoreAutomation, ASilentStreamQueuedAheadIsReplacedBeforeItsTurn) {
    auto playing = AddSong(0, 8000);
    AddSong(1, 4000);
    coretest::TSilentStreamServer server;
    StartCore();
    In().AutoRecovery->DJMode = DJModes::AutoDJ;
    In().DeckB->SetNoAudioLimit(300);
    ASSERT_TRUE(In().DeckA->LoadSong(Song(playing, 8000)));
    In().DeckA->Play();
    auto stream = TSongInfo::Create(0, server.Url("/ahead.mp3"));
    ASSERT_TRUE(In().DeckB->LoadSong(stream));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    // The replacement comes with a later tick: the choice is not waited for while the song on air has time.
    auto replaced = [&] { return In().DeckB->GetSong() != stream && In().DeckB->GetState() == DeckState::Ready; };
    while (!replaced() && std::chrono::steady_clock::now() < until) {
        Core->Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(Log->Count("No audio from " + server.Url("/ahead.mp3")), 1);
    ASSERT_EQ(In().DeckB->GetState(), DeckState::Ready);
    EXPECT_NE(In().DeckB->GetSong(), stream);
    EXPECT_GT(In().DeckB->GetSong()->GetID(), 0);
    EXPECT_EQ(In().DeckA->GetState(), DeckState::Playing);
}

}  // namespace
}  // namespace kelvar
