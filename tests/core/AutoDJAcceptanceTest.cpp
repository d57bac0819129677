// The whole road of a song: a generated library on the embedded song database, the core in
// Auto DJ mode over the silent output at a raised clock rate, twenty songs in a row.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/KelvarTestAccess.h"
#include "common/SongTestDatabase.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "core/playlist/PlaylistManager.h"
#include "foundation/ConfigDoc_XML.h"
#include "media/SongInfo_imp.h"
#include "platform/dbus/SessionBus.h"
#include "platform/dbus/TestBusDaemon.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;
using coretest::TMemoryLogger;
using coretest::TQuietTap;

class AutoDJAcceptance : public songtest::TSongDbFixture {
protected:
    void SetUp() override {
        TSongDbFixture::SetUp();
        Folder = fs::temp_directory_path() / ("kelvar-autodj-" + std::to_string(getpid()));
        fs::create_directories(Folder);
        SetCoreLogger(Log);
    }
    void TearDown() override {
        SetCoreLogger(nullptr);
        std::error_code ec;
        fs::remove_all(Folder, ec);
        TSongDbFixture::TearDown();
    }

    // Pumps the main loop until Done holds or the bound passes.
    template <class F>
    bool PumpUntil(F Done, int Seconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
        while (!Done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            Loop->ProcessPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    std::string AddSong(int n, int ms) {
        const std::string file = (Folder / ("song" + std::to_string(n) + ".wav")).string();
        coretest::WriteToneWav(file, ms, 220.0 + 20 * n);
        AddSongRow(file, "Artist " + std::to_string(n), "Title " + std::to_string(n), ms);
        return file;
    }

    fs::path Folder;
    std::shared_ptr<TMemoryLogger> Log = std::make_shared<TMemoryLogger>();
};

TEST_F(AutoDJAcceptance, TwentySongsCrossfadeAndAreBookedOnce) {
    constexpr int LibrarySize = 26;
    constexpr int SongMs = 4000;
    constexpr int Songs = 20;
    for (int n = 0; n < LibrarySize; ++n) AddSong(n, SongMs);

    THeartBeat beat;
    TKelvar core;
    TKelvarTestAccess in(core);
    core.SetLogger(Log);
    core.SetHeartbeat(&beat);
    core.Init();

    auto doc = TConfigDoc_XML::Create("");
    auto node = doc->Section("Kelvar");
    node->WriteInteger("ProcessPriority", 32);
    auto output = node->Section("AudioPipe")->Section("Output");
    output->WriteInteger("OutputType1", 0);
    output->WriteInteger("OutputType2", 0);
    output->WriteInteger("PreviewStyle", 0);
    auto recovery = node->Section("AutoRecovery");
    recovery->WriteInteger("DJMode", 0);
    recovery->WriteBool("AutoRecoveryEnabled", true);
    // Short songs crossfade too (the length rule off).
    node->Section("DefSongSettings")->WriteInteger("XFadeSkipTime", 0);
    core.LoadConfig(*node);
    ASSERT_TRUE(in.PlaylistControl && in.PlaylistControl->GetLogic());

    // A controlling program switches the song-change notification on (any non-zero value).
    test::TTestBusDaemon daemon;
    ASSERT_TRUE(daemon.Running());
    std::vector<int64_t> announced;
    SetKelvarAPIReceiver([&](uint32_t code, int64_t value) {
        if (code == KelvarAPI::SongChange) announced.push_back(value);
        DispatchKelvarAPI(code, value, in.APIHandlers());
    });
    std::string error;
    auto remote = platform::TSessionBus::Open(error);
    ASSERT_TRUE(remote) << error;
    ASSERT_TRUE(remote->Emit({KelvarAPIMessage, KelvarAPI::NotifySongChange, 256}, error)) << error;
    ASSERT_TRUE(PumpUntil([&] { return in.NotifySongChange != 0; }, 30));

    // Each song lasts a second of wall time at this rate, far more than a tick and a load take;
    // the checkers slow every thread down, so under them the output runs in real time.
    TDualOutputSettings settings = in.AudioPipe->GetOutput().GetSettings();
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    settings.SilentClockRate = 1;
#else
    settings.SilentClockRate = 4;
#endif
    in.AudioPipe->GetOutput().SetSettings(settings);
    core.DoAfterLoad();
    auto tap = std::make_shared<TQuietTap>(in.AudioPipe->GetMixer().GetMasterOutput());
    in.AudioPipe->GetOutput().SetMainSource(tap);
    in.Play();

    auto played = [&] { return in.PlaylistControl->GetPlayCount(); };
    ASSERT_TRUE(PumpUntil([&] { return played() >= 1; }, 60));
    tap->Watching = true;

    ASSERT_TRUE(PumpUntil([&] { return played() >= Songs / 2; }, 120));
    // A song queued and its file pulled away before it is loaded.
    const std::string pulled = AddSong(LibrarySize, SongMs);
    const int pulledID =
        static_cast<int>(PoolQuery("SELECT MAX(ID) AS M FROM songlist")->GetFieldValue("M").AsInteger());
    in.PlaylistControl->GetPlaylistManager()->Queue->AddSong(*TSongInfo::Create(pulledID, pulled), ipBottom);
    fs::remove(pulled);
    ASSERT_TRUE(PumpUntil([&] { return Log->Count("Failed to play") > 0; }, 120));

    ASSERT_TRUE(PumpUntil([&] { return played() >= Songs; }, 400)) << "only " << played() << " songs played";
    tap->Watching = false;
    const int starts = played();
    core.DoQuit();
    beat.Stop();
    ASSERT_TRUE(PumpUntil([&] { return CountRows("historylist") >= starts; }, 60));
    ASSERT_TRUE(PumpUntil([&] { return static_cast<int>(announced.size()) >= starts; }, 60));
    SetKelvarAPIReceiver(nullptr);
    CloseMessageBus();

    // Every start was booked once, each song at most once, the pulled one never.
    EXPECT_EQ(CountRows("historylist"), starts);
    EXPECT_EQ(static_cast<int>(
                  PoolQuery("SELECT COUNT(DISTINCT songID) AS N FROM historylist")->GetFieldValue("N").AsInteger()),
              starts);
    EXPECT_EQ(CountRows("historylist", "songID = " + std::to_string(pulledID)), 0);
    // Every start was announced on the bus with the song's ID.
    std::set<int64_t> booked;
    for (auto rows = PoolQuery("SELECT songID FROM historylist"); !rows->Eof(); rows->Next()) {
        booked.insert(rows->GetFieldValue("songID").AsInteger());
    }
    EXPECT_EQ(std::set<int64_t>(announced.begin(), announced.end()), booked);
    EXPECT_EQ(static_cast<int>(announced.size()), starts);
    // The artist rule held: no artist twice within the run.
    EXPECT_EQ(static_cast<int>(
                  PoolQuery("SELECT COUNT(DISTINCT artist) AS N FROM historylist")->GetFieldValue("N").AsInteger()),
              starts);

    // Each start logged under its deck, the decks taking turns (one crossfades into the other).
    std::vector<std::string> decks;
    for (const auto& e : Log->Entries()) {
        if (e.Kind == LogKind::Notice && (e.Source == "DECK A" || e.Source == "DECK B")) decks.push_back(e.Source);
    }
    ASSERT_EQ(static_cast<int>(decks.size()), starts);
    for (size_t i = 1; i < decks.size(); ++i) EXPECT_NE(decks[i], decks[i - 1]) << "start " << i;

    // The pulled song was skipped with a warning under the deck's source.
    bool warned = false;
    for (const auto& e : Log->Entries()) {
        if (e.Message.rfind("Failed to play Artist " + std::to_string(LibrarySize), 0) == 0) {
            warned = e.Kind == LogKind::Warning && (e.Source == "DECK A" || e.Source == "DECK B");
        }
    }
    EXPECT_TRUE(warned);
    // No silence between the songs: the on-air mix never went quiet for longer than a few
    // samples of the tones' own zero crossings.
    EXPECT_LT(tap->LongestQuietMs.load(), 5.0);
    EXPECT_GT(tap->PulledMs.load(), Songs * 3000.0);
}

}  // namespace
}  // namespace kelvar
