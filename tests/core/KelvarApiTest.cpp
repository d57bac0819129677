// The core's front door on a real core and the test song database: its queue commands and the
// listeners they reach, the DJ mode and output commands, and the snapshots windows show.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "audio/live/VoiceFX_imp.h"
#include "common/KelvarTestAccess.h"
#include "common/SongTestDatabase.h"
#include "core/AutoRecovery.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/KelvarApi.h"
#include "core/PlayerAccess.h"
#include "core/ProcessPriority.h"
#include "core/playlist/PlaylistManager.h"
#include "foundation/ConfigDoc_XML.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

class KelvarApiTest : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        TSongDbFixture::SetUp();
        Core = std::make_unique<TKelvar>();
        Core->SetLogger(Log);
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto kelvar = Doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*kelvar);
        Api = std::make_unique<TKelvarApi>(*Core);
    }
    void TearDown() override {
        Api.reset();
        Core.reset();
        TSongDbFixture::TearDown();
    }

    std::shared_ptr<TSongInfo> Song(int N) {
        const int id = AddSongRow("/m/song" + std::to_string(N) + ".wav", "Artist " + std::to_string(N),
                                  "Title " + std::to_string(N), 1000 * N);
        auto song = TSongInfo::Create(id, "/m/song" + std::to_string(N) + ".wav");
        song->SetArtist("Artist " + std::to_string(N));
        song->SetTitle("Title " + std::to_string(N));
        return song;
    }

    // What one listener heard, one line per event.
    struct THeard {
        std::vector<std::string> Lines;
        TEventLinks Links;
        void Listen(TKelvarApi& Api) {
            TQueueListener listener;
            listener.Added = [this](const ISongItemListPtr& Songs) {
                Lines.push_back("add " + Songs->Items(0).Caption);
            };
            listener.Moved = [this](int32_t, double SortID) { Lines.push_back("move " + std::to_string(int(SortID))); };
            listener.Removed = [this](int32_t) { Lines.push_back("remove"); };
            listener.Changed = [this] { Lines.push_back("change"); };
            Links = Api.ListenQueue(listener);
        }
    };

    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    // What the door does not offer.
    TKelvarTestAccess In() { return TKelvarTestAccess(*Core); }
    std::unique_ptr<TKelvarApi> Api;
};

TEST_F(KelvarApiTest, TwoQueueListenersBothHearAnAddAMoveAndARemove) {
    THeard first, second;
    first.Listen(*Api);
    second.Listen(*Api);
    Api->QueueSong(*Song(1), TQueuePlace::Bottom);
    Api->RequestSong(Song(2), 7);
    ISongItemListPtr rows = Api->QueueSnapshot();
    ASSERT_EQ(rows->Count(), 2);
    EXPECT_EQ(rows->Items(1).Caption, "Artist 2 - Title 2 ~requested~");
    const double moved = Api->MoveQueueSong(rows->Items(1).ListID, 0, rows->Items(0).SortID);
    Api->RemoveQueueSong(rows->Items(0).ListID);
    const std::vector<std::string> expected{"add Artist 1 - Title 1", "add Artist 2 - Title 2 ~requested~",
                                            "move " + std::to_string(int(moved)), "remove"};
    EXPECT_EQ(first.Lines, expected);
    EXPECT_EQ(second.Lines, expected);

    // One listener leaves: the other still hears, and the stored queue holds the moved song.
    first.Links.clear();
    Api->ClearQueue();
    EXPECT_EQ(first.Lines.size(), expected.size());
    EXPECT_EQ(second.Lines.back(), "change");
    EXPECT_EQ(Api->QueueCount(), 0);
}

TEST_F(KelvarApiTest, CropKeepsTheListedRowsAndChoosingQueuesARotationSong) {
    for (int n = 1; n <= 4; ++n) Api->QueueSong(*Song(n), TQueuePlace::Bottom);
    ISongItemListPtr rows = Api->QueueSnapshot();
    Api->CropQueue({rows->Items(1).ListID, rows->Items(3).ListID});
    Api->WaitForQueue();
    rows = Api->QueueSnapshot();
    ASSERT_EQ(rows->Count(), 2);
    EXPECT_EQ(rows->Items(0).Caption, "Artist 2 - Title 2");
    EXPECT_EQ(rows->Items(1).Caption, "Artist 4 - Title 4");

    EXPECT_TRUE(Api->QueueChosenSong(20));
    EXPECT_EQ(Api->QueueSnapshot()->Count(), 3);
}

TEST_F(KelvarApiTest, DJModeMuteAndVolumeCommands) {
    std::vector<int> heardA, heardB;
    TEventLink a = Api->ListenDJMode([&](int Mode) { heardA.push_back(Mode); });
    TEventLink b = Api->ListenDJMode([&](int Mode) { heardB.push_back(Mode); });
    Api->SetDJMode(DJModes::Queue);
    Api->SetDJMode(DJModes::Queue);  // unchanged: nothing to hear
    Api->SetDJMode(DJModes::Manual);
    EXPECT_EQ(heardA, (std::vector<int>{DJModes::Queue, DJModes::Manual}));
    EXPECT_EQ(heardB, heardA);
    EXPECT_EQ(Api->DJMode(), DJModes::Manual);

    Api->SetMuted(true);
    EXPECT_TRUE(Api->Muted());
    EXPECT_TRUE(Api->Levels().Muted);
    Api->SetMainVolume(250);
    Api->ChangeMainVolume(20);
    EXPECT_EQ(Api->MainVolume(), 255);
    Api->ChangeMainVolume(-300);
    EXPECT_EQ(Api->Levels().MainVolume, 0);

    // No deck holds a song yet.
    const TDeckSnapshot deck = Api->Deck(TDeckId::DeckA);
    EXPECT_TRUE(deck.Exists);
    EXPECT_EQ(deck.Phase, TDeckPhase::Empty);
    EXPECT_EQ(Api->PlayerCount(), 6);
}

TEST_F(KelvarApiTest, QueueFailureAndRecoveryReachEveryListener) {
    int failedA = 0, failedB = 0;
    TEventLink a = Api->ListenQueueFailed([&] { ++failedA; });
    TEventLink b = Api->ListenQueueFailed([&] { ++failedB; });
    In().OnQueueFailed(*Core);
    EXPECT_EQ(failedA, 1);
    EXPECT_EQ(failedB, 1);

    std::vector<std::string> heard;
    TEventLinks first =
        Api->ListenRecovery([&](TAutoRecovery&) { heard.push_back("1 trigger"); }, [&] { heard.push_back("1 end"); });
    TEventLinks second =
        Api->ListenRecovery([&](TAutoRecovery&) { heard.push_back("2 trigger"); }, [&] { heard.push_back("2 end"); });
    In().AutoRecovery->Trigger();
    Api->AbortRecovery();
    second.clear();
    Api->StartRecovery();
    EXPECT_EQ(heard, (std::vector<std::string>{"1 trigger", "2 trigger", "1 end", "2 end", "1 end"}));
}

TEST_F(KelvarApiTest, AWindowsDeckHandleLoadsTheQueuedSongAndANullHandleIsHarmless) {
    EXPECT_EQ(Api->DeckPlayer(TDeckId::DeckA), In().DeckA);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::SoundFX), In().SoundFXPlayer);
    EXPECT_EQ(Api->DeckPlayer(TDeckId::Aux3), In().Aux3);
    EXPECT_EQ(Api->PlaylistManager(), In().PlaylistControl->GetPlaylistManager());
    EXPECT_EQ(Api->PlayingDeck(), nullptr);

    const fs::path file = fs::temp_directory_path() / ("kelvar-api-deck-" + std::to_string(getpid()) + ".wav");
    coretest::WriteToneWav(file.string(), 2000, 300);
    const int id = AddSongRow(file.string(), "Artist", "Title", 2000);
    Api->QueueSong(*TSongInfo::Create(id, file.string()), TQueuePlace::Bottom);
    TKelvarPlayer* handle = Api->DeckPlayer(TDeckId::DeckB);
    Api->QueueNext(handle);
    TPlayerAccess deck(handle);
    EXPECT_EQ(deck.State(), TDeckPhase::Ready);
    ASSERT_TRUE(deck.Song());
    EXPECT_EQ(deck.Song()->GetID(), id);
    EXPECT_EQ(Api->QueueCount(), 0);
    const uint8_t mix = deck.MixMode();
    EXPECT_TRUE(deck.ToggleMix(ChannelMix::Preview));
    EXPECT_EQ(deck.MixMode(), mix ^ ChannelMix::Preview);
    deck.Unload();
    EXPECT_EQ(deck.State(), TDeckPhase::Empty);

    TPlayerAccess none(nullptr);
    double left = -1, right = -1;
    EXPECT_EQ(none.State(), TDeckPhase::Empty);
    EXPECT_FALSE(none.ToggleMix(ChannelMix::OnAir));
    EXPECT_FALSE(none.Levels(left, right));
    EXPECT_EQ(left, -1);
    EXPECT_FALSE(none.Song());
    none.Play();
    std::error_code ec;
    fs::remove(file, ec);
}

TEST_F(KelvarApiTest, VoiceRouteFollowsTheVoiceModeAndItsMixPoint) {
    ASSERT_TRUE(Api->HasVoice());
    const struct {
        TVoiceRoute Route;
        TVoiceMode Mode;
    } routes[] = {{TVoiceRoute::Soundcard, VoiceMode::MixerLine},
                  {TVoiceRoute::Mixer, VoiceMode::Record},
                  {TVoiceRoute::None, VoiceMode::None}};
    for (const auto& r : routes) {
        Api->SetVoiceRoute(r.Route);
        EXPECT_EQ(In().VoiceFX->GetVoiceMode(), r.Mode);
        EXPECT_EQ(Api->VoiceRoute(), r.Route);
    }
    EXPECT_EQ(In().VoiceFX->GetMixPoint(), 0);
    // Recording into another point of the mixer is no route the windows offer, and Other sets nothing.
    In().VoiceFX->SetVoiceMode(VoiceMode::Record);
    In().VoiceFX->SetMixPoint(1);
    EXPECT_EQ(Api->VoiceRoute(), TVoiceRoute::Other);
    Api->SetVoiceRoute(TVoiceRoute::Other);
    EXPECT_EQ(In().VoiceFX->GetMixPoint(), 1);
}

}  // namespace
}  // namespace kelvar
