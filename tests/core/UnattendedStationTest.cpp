// The automation left alone: a queue failure keeps the station on air without changing the DJ
// mode, a web rotation that does not answer in time gives way to the fallback song without
// holding the main thread, a bad setting costs only itself, and a core that cannot start says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "common/KelvarTestAccess.h"
#include "common/SongTestDatabase.h"
#include "core/ChooseSong.h"
#include "core/CoreCommon.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/ProcessPriority.h"
#include "core/playlist/SongList.h"
#include "core/unKelvar.h"
#include "core/web/Logic_web.h"
#include "core/web/LoopbackHttpServer.h"
#include "foundation/ConfigDoc_XML.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class UnattendedStation : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-station-" + std::to_string(getpid()));
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

    void StartCore(IConfigDocPtr Kelvar = nullptr) {
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        In().ServiceMode = true;
        Core->Init();
        if (!Kelvar) {
            Doc = TConfigDoc_XML::Create("");
            Kelvar = Doc->Section("Kelvar");
        }
        Kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*Kelvar);
    }

    int AddSong(int n, int ms, int status = 0) {
        const std::string file = (Folder / ("song" + std::to_string(n) + ".wav")).string();
        coretest::WriteToneWav(file, ms, 300);
        const int id = AddSongRow(file, "Artist " + std::to_string(n), "Title " + std::to_string(n), ms);
        PoolExecSQL("UPDATE songlist SET status = " + std::to_string(status) + ", date_played = '" +
                    std::to_string(1990 + n) + "-01-01' WHERE ID = " + std::to_string(id));
        return id;
    }

    // Deck A plays the song Id of Ms milliseconds.
    void PlayOnDeckA(int Id, int Ms) {
        auto rows = PoolQuery("SELECT filename FROM songlist WHERE ID = " + std::to_string(Id));
        auto song = TSongInfo::Create(Id, rows->GetValue("filename"));
        song->SetDuration(Ms);
        ASSERT_TRUE(In().DeckA->LoadSong(song));
        In().DeckA->Play();
    }

    // Makes a web rotation on Url the active logic, as the configuration would.
    std::shared_ptr<TplWebRotation> UseWebLogic(const std::string& Url) {
        auto web = std::make_shared<TplWebRotation>();
        web->url_OnChooseSong = Url;
        web->Timeouts.TotalMs = 0;  // only an abort ends a stalled post
        web->EventsInBackground = true;
        In().PlaylistControl->SetLogic(web);
        return web;
    }

    fs::path Folder;
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    // What the door does not offer.
    TKelvarTestAccess In() { return TKelvarTestAccess(*Core); }
};

// Nothing the rotation may choose (every song is not available for it): the fallback song plays
// at every song, the mode stays Auto DJ, one line for the whole stretch, and the logic is asked
// again each time, so a song it may choose ends the stretch.
TEST_F(UnattendedStation, AQueueFailureKeepsTheStationOnAirAndTheModeAsItWas) {
    for (int n = 0; n < 3; ++n) AddSong(n, 4000, 1);
    StartCore();
    for (int round = 0; round < 3; ++round) {
        Core->QueueNext(In().DeckA);
        ASSERT_EQ(In().DeckA->GetState(), DeckState::Ready) << round;
        In().DeckA->Unload();
    }
    EXPECT_EQ(In().AutoRecovery->DJMode, DJModes::AutoDJ);
    EXPECT_EQ(Log->Count("Kelvar was unable to queue a song: the rotation logic chose no song; the fallback song "
                         "plays: Artist 0 - Title 0",
                         "CORE"),
              1);
    EXPECT_EQ(Log->Count("Kelvar was unable to queue a song"), 1);

    const int chosen = AddSong(9, 4000);
    Core->QueueNext(In().DeckA);
    ASSERT_EQ(In().DeckA->GetState(), DeckState::Ready);
    EXPECT_EQ(In().DeckA->GetSong()->GetID(), chosen);
    EXPECT_EQ(Log->Count("Kelvar was unable to queue a song 3 times; working again"), 1);
}

// With windows the warning's switch to Queue mode stays; a later start in service mode does not
// keep it, but keeps a Queue mode the operator chose.
TEST_F(UnattendedStation, AQueueModeSetByTheFailureDoesNotComeBackInServiceMode) {
    AddSong(0, 4000, 1);
    StartCore();
    In().ServiceMode = false;
    In().OnQueueFailed.Add([](TKelvar& core) { TKelvarTestAccess(core).AutoRecovery->DJMode = DJModes::Queue; });
    Core->QueueNext(In().DeckA);
    ASSERT_EQ(In().AutoRecovery->DJMode, DJModes::Queue);
    auto saved = TConfigDoc_XML::Create("");
    Core->SaveConfig(*saved->Section("Kelvar"));
    Core.reset();

    StartCore(saved->Section("Kelvar"));
    EXPECT_EQ(In().AutoRecovery->DJMode, DJModes::AutoDJ);
    EXPECT_EQ(Log->Count("The Queue mode set by a queue failure is not kept"), 1);

    In().AutoRecovery->DJMode = DJModes::Queue;  // the operator's choice
    In().AutoRecoveryTick();
    auto chosen = TConfigDoc_XML::Create("");
    Core->SaveConfig(*chosen->Section("Kelvar"));
    Core.reset();
    StartCore(chosen->Section("Kelvar"));
    EXPECT_EQ(In().AutoRecovery->DJMode, DJModes::Queue);
}

// The web service holds its answer: ticks return at once, the deck on air keeps playing, and
// once the time left is too short the fallback song is loaded in time.
TEST_F(UnattendedStation, AWebServiceThatStallsPastTheTimeLeftGivesWayToTheFallback) {
    const int playing = AddSong(0, 8000);
    const int fallback = AddSong(1, 4000);
    PoolExecSQL("UPDATE songlist SET date_played = '2025-01-01' WHERE ID = " + std::to_string(playing));
    webtest::TLoopbackHttpServer server([](const webtest::THttpRequest&) { return webtest::THttpReply::Stall(); });
    StartCore();
    auto web = UseWebLogic(server.Url("/choose"));
    PlayOnDeckA(playing, 8000);
    In().DeckA->Seek(2000);  // 6 s left: inside the queue-ahead time

    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        Core->Tick();
        EXPECT_LT(MsSince(start), 500);
        EXPECT_EQ(In().DeckB->GetState(), DeckState::Empty);
    }
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_EQ(server.Requests().size(), 1u);  // asked once, not on every tick

    In().DeckA->Seek(6500);  // 1.5 s left: no more waiting
    const auto start = Clock::now();
    Core->Tick();
    EXPECT_LT(MsSince(start), 500);
    ASSERT_EQ(In().DeckB->GetState(), DeckState::Ready);
    EXPECT_EQ(In().DeckB->GetSong()->GetID(), fallback);
    EXPECT_EQ(Log->Count("Kelvar was unable to queue a song: the rotation logic did not answer in time"), 1);
    EXPECT_EQ(In().AutoRecovery->DJMode, DJModes::AutoDJ);

    // The post still pending holds neither a command nor the shutdown.
    auto command = Clock::now();
    In().PlayNext(false);
    EXPECT_LT(MsSince(command), 1000);
    const auto quit = Clock::now();
    Core.reset();
    EXPECT_LT(MsSince(quit), 2000);
    server.ReleaseStalled();
}

// A web service that answers while the song plays: its song is loaded, and the next choice is
// asked for at once, ahead of need.
TEST_F(UnattendedStation, AWebChoiceIsMadeAheadAndHandedReady) {
    const int playing = AddSong(0, 8000);
    webtest::TLoopbackHttpServer server([&](const webtest::THttpRequest&) {
        return webtest::THttpReply::Answer("<r><song><songID>77</songID><filename>" + (Folder / "song0.wav").string() +
                                           "</filename><artist>Web</artist></song></r>");
    });
    StartCore();
    UseWebLogic(server.Url("/choose"));
    PlayOnDeckA(playing, 8000);
    In().DeckA->Seek(2000);
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (In().DeckB->GetState() == DeckState::Empty && Clock::now() < end) {
        Core->Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(In().DeckB->GetState(), DeckState::Ready);
    EXPECT_EQ(In().DeckB->GetSong()->GetID(), 77);
    EXPECT_TRUE(server.WaitForRequests(2));  // the next one, prepared while this one waits
}

// The operator's "choose next" while the choice worker runs the same logic: it takes the
// worker's choice instead of running the logic beside it, and never waits for the service.
TEST_F(UnattendedStation, TheOperatorsChoiceNeverRunsTheLogicBesideTheWorker) {
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    webtest::TLoopbackHttpServer server([&](const webtest::THttpRequest&) {
        const int now = ++inside;
        most = std::max(most.load(), now);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        --inside;
        return webtest::THttpReply::Answer("<r><song><songID>77</songID><filename>" + (Folder / "song0.wav").string() +
                                           "</filename><artist>Web</artist></song></r>");
    });
    StartCore();
    UseWebLogic(server.Url("/choose"));
    ISongInfoPtr song;
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!song && Clock::now() < end) {
        const auto start = Clock::now();
        song = ChooseQueueSong(*In().PlaylistControl);
        EXPECT_LT(MsSince(start), 200);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->GetID(), 77);
    EXPECT_EQ(most.load(), 1);
    EXPECT_EQ(server.Requests().size(), 1u);
}

// One unreadable value costs only itself: the settings after it, in the core and in the web
// logic, still load.
TEST_F(UnattendedStation, ABadValueLosesNothingAfterIt) {
    StartCore();
    auto web = UseWebLogic("");
    auto doc = TConfigDoc_XML::Create("");
    auto kelvar = doc->Section("Kelvar");
    kelvar->Section("Logic")->WriteString("async_OnPlay", "maybe");
    kelvar->Section("Logic")->WriteBool("async_OnFail", true);
    kelvar->Section("Songlist")->WriteInteger("DefWeight", 77);
    kelvar->Section("AutoRecovery")->WriteString("DJMode", "often");
    kelvar->Section("AutoRecovery")->WriteInteger("MaxIdleTime", 30);
    kelvar->Section("DefSongSettings")->WriteString("GapKillerOn", "perhaps");
    kelvar->Section("DefSongSettings")->WriteInteger("XFadeSkipTime", 20000);
    const int32_t weight = DefaultWeight;
    In().PlaylistControl->LoadConfig(*kelvar);
    EXPECT_TRUE(web->async_OnFail);
    EXPECT_FALSE(web->async_OnPlay);
    EXPECT_EQ(DefaultWeight, 77);
    DefaultWeight = weight;

    Core->LoadConfig(*kelvar);
    EXPECT_EQ(In().AutoRecovery->MaxIdleTime, 30);
    EXPECT_EQ(In().AutoRecovery->DJMode, DJModes::AutoDJ);
    EXPECT_EQ(In().XFadeSkipTime, 20000);
    EXPECT_GE(Log->Count("Setting "), 3);
    DefaultWeight = weight;
}

}  // namespace

// Without a database pool the core cannot be made: a logged start-up failure, nothing
// configured or started on the missing parts.
TEST(CoreStartUp, AFailedInitIsALoggedFailure) {
    auto log = std::make_shared<coretest::TMemoryLogger>();
    SetCoreLogger(log);
    const fs::path file = fs::temp_directory_path() / ("kelvar-noinit-" + std::to_string(getpid()) + ".core.xml");
    {
        TfoKelvar module(file.string());
        EXPECT_FALSE(module.DoInit());
        EXPECT_EQ(CoreHeartbeat->Count(), 0);
        module.DoQuit();
    }
    EXPECT_EQ(log->Count("Error initializing Kelvar", "CORE"), 1);
    EXPECT_EQ(log->Count("Kelvar could not be initialized: start-up failed", "CORE"), 1);
    SetCoreLogger(nullptr);
    std::error_code ec;
    fs::remove(file, ec);
}

}  // namespace kelvar
