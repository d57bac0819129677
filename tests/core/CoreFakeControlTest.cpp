// The automation with a playlist control of the test's own (no song database): what it asks
// the control for, what it books, and what it does when songs cannot be loaded.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <unistd.h>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "common/KelvarTestAccess.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/ProcessPriority.h"
#include "foundation/ConfigDoc_XML.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

// Hands out the songs it was given, in order, and records the core's reports.
class TFakePlaylistControl : public IPlaylistControl {
public:
    IPlaylistLogicPtr GetLogic() override { return nullptr; }
    void SetLogic(IPlaylistLogicPtr) override {}
    void SetChooser(TChooser) override {}
    ISongInfoPtr ChooseFromLogic() override { return nullptr; }
    std::shared_ptr<TPlaylistManager> GetPlaylistManager() override { return nullptr; }
    IPlaylistRulesPtr GetRules() override { return nullptr; }
    int GetPlayCount() override { return static_cast<int>(Played.size()); }
    void LoadConfig(IConfigDoc&) override {}
    void SaveConfig(IConfigDoc&) override {}
    void SongEnded(const ISongInfoPtr&) override {}
    ISongInfoPtr GetNextSong() override {
        ++Asked;
        if (Next.empty()) return nullptr;
        ISongInfoPtr song = Next.front();
        Next.pop_front();
        return song;
    }
    ISongInfoPtr GetFallbackSong() override { return Fallback; }
    void SongPlayed(const ISongInfoPtr& song) override { Played.push_back(song->GetID()); }
    void SongFailed(const ISongInfoPtr& song) override { Failed.push_back(song->GetID()); }
    void PlayLimitMaintenance() override {}

    std::deque<ISongInfoPtr> Next;
    ISongInfoPtr Fallback;
    int Asked = 0;
    std::vector<int> Played, Failed;
};

class CoreFakeControl : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() / ("kelvar-fakecontrol-" + std::to_string(getpid()));
        fs::create_directories(Folder);
        InitSongSettings(DefaultSongSettings);
        Core = std::make_unique<TKelvar>(Control);
        Core->SetLogger(Log);
        Core->Init();
        Doc = TConfigDoc_XML::Create("");
        auto kelvar = Doc->Section("Kelvar");
        kelvar->WriteInteger("ProcessPriority", PriorityClass::Normal);
        Core->LoadConfig(*kelvar);
    }
    void TearDown() override {
        Core.reset();
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }

    ISongInfoPtr Song(int ID, bool Real) {
        const std::string file = (Folder / ("song" + std::to_string(ID) + ".wav")).string();
        if (Real) coretest::WriteToneWav(file, 3000, 300);
        auto song = TSongInfo::Create(ID, file);
        song->SetArtist("Artist");
        song->SetTitle("Title " + std::to_string(ID));
        song->SetDuration(3000);
        return song;
    }

    fs::path Folder;
    std::shared_ptr<TFakePlaylistControl> Control = std::make_shared<TFakePlaylistControl>();
    std::shared_ptr<coretest::TMemoryLogger> Log = std::make_shared<coretest::TMemoryLogger>();
    IConfigDocPtr Doc;
    std::unique_ptr<TKelvar> Core;
    // What the door does not offer.
    TKelvarTestAccess In() { return TKelvarTestAccess(*Core); }
};

TEST_F(CoreFakeControl, QueueNextSkipsFailedSongsAndBooksThePlayedOne) {
    EXPECT_EQ(In().PlaylistControl, Control);  // kept, not replaced by the core's own
    Control->Next = {Song(1, false), Song(2, false), Song(3, true)};
    int queueFailed = 0;
    TEventLink failed(In().OnQueueFailed, [&](TKelvar&) { ++queueFailed; });

    Core->QueueNext(In().DeckA);
    EXPECT_EQ(Control->Failed, (std::vector<int>{1, 2}));
    ASSERT_EQ(In().DeckA->GetState(), DeckState::Ready);
    EXPECT_EQ(In().DeckA->GetSong()->GetID(), 3);
    EXPECT_EQ(queueFailed, 0);

    In().DeckA->Play();
    // A song is booked once its deck has delivered audio.
    for (int i = 0; i < 500 && !In().DeckA->HasAudio(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    In().CheckSongChange();
    EXPECT_EQ(Control->Played, (std::vector<int>{3}));
    EXPECT_EQ(Log->Count("Artist - Title 3", "DECK A"), 1);
}

TEST_F(CoreFakeControl, NothingToPlayLoadsTheFallbackAndReportsTheFailureOnce) {
    Control->Fallback = Song(9, true);
    int queueFailed = 0;
    TEventLink failed(In().OnQueueFailed, [&](TKelvar&) { ++queueFailed; });
    Core->QueueNext(In().DeckB);
    EXPECT_EQ(Control->Asked, 20);
    EXPECT_EQ(queueFailed, 1);
    ASSERT_EQ(In().DeckB->GetState(), DeckState::Ready);
    EXPECT_EQ(In().DeckB->GetSong()->GetID(), 9);
}

}  // namespace
}  // namespace kelvar
