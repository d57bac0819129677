// The two roads that start a deck: the start-next event on the output thread (with the output
// pair's and the mixer's locks held) and the main thread's check of finished decks. Run under
// ThreadSanitizer with its deadlock detector this keeps the lock order honest; it touches no
// database (the embedded engine's own locking overwhelms that detector).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/KelvarTestAccess.h"
#include "core/CoreTestKit.h"
#include "core/Kelvar.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

namespace fs = std::filesystem;

// Crossfades six short songs through the real decks, mixer and silent output; Extra runs on the
// main thread on every pass besides the tick's own deck checks.
void RunCrossfades(const std::function<void(TKelvar& Core)>& Extra) {
    const fs::path folder = fs::temp_directory_path() / ("kelvar-lockorder-" + std::to_string(getpid()));
    fs::create_directories(folder);
    constexpr int Songs = 6;
    std::vector<std::string> files;
    for (int i = 0; i < Songs; ++i) {
        files.push_back((folder / ("s" + std::to_string(i) + ".wav")).string());
        coretest::WriteToneWav(files.back(), 1500, 300 + 50 * i);
    }
    InitSongSettings(DefaultSongSettings);
    {
        // The core's decks and audio pipe without the database: only its deck handling runs.
        TKelvar core;
        TKelvarTestAccess in(core);
        in.AutoRecovery = std::make_unique<TAutoRecovery>();
        in.AudioPipe = std::make_unique<TAudioPipe>();
        TDualOutput_Combo& output = in.AudioPipe->GetOutput();
        TDualOutputSettings settings = output.GetSettings();
        settings.OutputType1 = OutputType::Silent;
        settings.OutputType2 = OutputType::Silent;
        settings.PreviewStyle = PreviewStyle::None;
        settings.SilentClockRate = 20;
        output.SetSettings(settings);
        for (int i = 0; i < 2; ++i) {
            auto deck = std::make_unique<TCoreDeck>();
            deck->SetDefaultSettings(&DefaultSongSettings);
            in.AudioPipe->GetMixer().AddSource(deck->Channel->GetOutput());
            in.PlayerList.push_back(std::move(deck));
        }
        in.DeckA = in.PlayerList[0].get();
        in.DeckB = in.PlayerList[1].get();
        in.DeckA->OnNextSong = [&](TKelvarPlayer&) { in.DeckFadeStart(*in.DeckA, *in.DeckB); };
        in.DeckB->OnNextSong = [&](TKelvarPlayer&) { in.DeckFadeStart(*in.DeckB, *in.DeckA); };
        ASSERT_TRUE(in.AudioPipe->Open());
        output.Play();

        size_t next = 0;
        auto load = [&](TKelvarPlayer* deck) {
            ASSERT_TRUE(deck->LoadSong(TSongInfo::Create(static_cast<int>(next), files[next])));
            ++next;
        };
        load(in.DeckA);
        in.DeckA->Play();
        std::vector<TKelvarPlayer*> started;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < until) {
            for (TKelvarPlayer* deck : {in.DeckA, in.DeckB}) {
                if (deck->SongStarted()) started.push_back(deck);
            }
            // What the tick does meanwhile: eject finished decks (and start a ready one when
            // nothing plays), look at both decks' positions.
            in.CheckFinishedPlayers();
            in.CurrentDeck();
            in.DecksRemainingTime();
            if (in.PlayingDeck() && next < files.size()) {
                if (TKelvarPlayer* empty = in.EmptyDeck()) load(empty);
            }
            if (Extra) Extra(core);
            if (next == files.size() && !in.PlayingDeck() && !in.ReadyDeck()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(static_cast<int>(started.size()), Songs);
        for (size_t i = 1; i < started.size(); ++i) EXPECT_NE(started[i], started[i - 1]) << i;
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
}

TEST(DeckLockOrder, CrossfadeOnTheOutputThreadWhileTheMainThreadChecksDecks) { RunCrossfades(nullptr); }

// The main thread's deck commands take a deck's lock and then its channel's node locks (the
// mix-mode filter, the volume envelope, the chain seeked from the source end), while the start-
// next handler takes the same deck's lock under the output pair's, the master chain's and the
// mixer's locks: the two orders agree as long as no deck lock is held towards the mixer.
TEST(DeckLockOrder, DeckCommandsUnderTheDeckLockWhileTheOutputThreadStartsDecks) {
    RunCrossfades([pass = 0](TKelvar& Core) mutable {
        if (++pass % 20 != 0) return;
        for (TKelvarPlayer* deck : {Core.Players(0), Core.Players(1)}) {
            std::lock_guard<std::recursive_mutex> guard(deck->GetLock());
            if (deck->GetState() == DeckState::Ready) deck->Seek(0);
            deck->GetEffectiveSettings();
            deck->GetPosition();
        }
    });
}

}  // namespace
}  // namespace kelvar
