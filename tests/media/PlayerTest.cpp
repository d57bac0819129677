#include <gtest/gtest.h>

#include <sys/socket.h>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "DeckTestUtil.h"
#include "audio/nodes/Node_Volume.h"
#include "foundation/ConfigDoc_XML.h"
#include "media/Player_imp.h"

namespace kelvar {
namespace {

using namespace kelvar::test;

// Opens the protected state the tests look at.
class TTestPlayer : public TPlayer {
public:
    // The worker calls OnMeta: it stops before this class's part goes.
    ~TTestPlayer() override { Unload(); }
    using TPlayer::FVolControl;
    std::atomic<int> EndEvents{0};

protected:
    void OnMeta(IMetaData& Meta) override {
        auto* event = dynamic_cast<IMetaEvent*>(&Meta);
        if (event && event->GetCode() == PlayerEvent::EndReached) ++EndEvents;
        TPlayer::OnMeta(Meta);
    }
};

class Player : public ::testing::Test {
protected:
    std::string Tone(const std::string& name, int ms) {
        return WriteWav(FDir, name, test::Tone(44100, 2, ms, 440, 12000));
    }
    TTempDir FDir;
    TLogCapture FLog;
};

TEST_F(Player, EmptyDeckAndUnknownNamesAreHarmless) {
    TPlayer player;
    for (const std::string& name : {std::string(), FDir.File("missing.wav"), FDir.File("text.xyz")}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(player.Load(name));
        EXPECT_EQ(player.GetDuration(), -1);
        EXPECT_TRUE(player.IsFinished());
        EXPECT_FALSE(player.IsLoaded());
        EXPECT_EQ(player.Seek(5000), 0);
        EXPECT_FALSE(player.IsSeekable());
        EXPECT_EQ(player.GetChannels(), -1);
        EXPECT_EQ(player.GetBitrate(), -1);
        EXPECT_EQ(player.GetRate(), -1);
        player.Unload();
        EXPECT_TRUE(player.IsFinished());
    }
}

TEST_F(Player, PlaysFileToItsEndEventAndStaysLoaded) {
    TTestPlayer player;
    ASSERT_TRUE(player.Load(Tone("a.wav", 1500)));
    EXPECT_TRUE(player.IsLoaded());
    EXPECT_FALSE(player.IsFinished());
    EXPECT_EQ(player.GetDuration(), 1500);
    EXPECT_EQ(player.GetChannels(), 2);
    EXPECT_EQ(player.GetRate(), 44100);
    EXPECT_TRUE(player.IsSeekable());
    // Decoded to its end while paused: still unfinished until the end event fires.
    ASSERT_TRUE(WaitFor([&] { return player.IsEndOfStream(); }));
    EXPECT_FALSE(player.IsFinished());
    EXPECT_EQ(player.EndEvents.load(), 0);
    // Loading does not play.
    EXPECT_EQ(player.Channel->GetMixMode() & MixMode::Playing, 0);
    player.Play();
    EXPECT_NE(player.Channel->GetMixMode() & MixMode::Playing, 0);

    int64_t frames = 0;
    ASSERT_TRUE(PullUntil(
        player.Channel->GetOutput(), [&] { return player.IsFinished(); },
        [&](const int16_t*, int count, TStreamTime) { frames += count / 2; }));
    EXPECT_NEAR(frames, 44100 * 3 / 2, 441);
    EXPECT_EQ(player.EndEvents.load(), 1);
    EXPECT_TRUE(player.IsLoaded());
    EXPECT_GE(player.GetPosition(), 1400);
    EXPECT_EQ(player.GetDuration(), 1500);

    // A seek on a finished deck brings it back, with its end event queued again.
    EXPECT_EQ(player.Seek(1000), 1000);
    EXPECT_FALSE(player.IsFinished());
    frames = 0;
    ASSERT_TRUE(PullUntil(
        player.Channel->GetOutput(), [&] { return player.IsFinished(); },
        [&](const int16_t*, int count, TStreamTime) { frames += count / 2; }));
    EXPECT_NEAR(frames, 44100 / 2, 441);
    EXPECT_EQ(player.EndEvents.load(), 2);

    player.Unload();
    EXPECT_FALSE(player.IsLoaded());
    EXPECT_TRUE(player.IsFinished());
    EXPECT_EQ(player.GetDuration(), -1);
    EXPECT_EQ(player.Channel->GetMixMode() & MixMode::Playing, 0);
}

TEST_F(Player, SourceWithoutAudioFinishesWithoutEndEvent) {
    TTestPlayer player;
    ASSERT_TRUE(player.Load(WriteWav(FDir, "empty.wav", {})));
    ASSERT_TRUE(WaitFor([&] { return player.IsFinished(); }));
    EXPECT_EQ(player.EndEvents.load(), 0);
}

// The end the file's header promises falls due before the worker has delivered anything (a
// very short file on a busy machine): the deck waits for its decoder instead of ending unplayed.
TEST_F(Player, EndWaitsForADecoderThatHasNotDeliveredYet) {
    TTestPlayer player;
    // Shorter than one pull: its end falls due at the first one.
    const std::string tiny = Tone("tiny.wav", 5);
    {
        // With the deck's lock held its new worker cannot decode yet.
        std::lock_guard<std::recursive_mutex> hold(player.GetLock());
        ASSERT_TRUE(player.Load(tiny));
        player.Play();
        std::vector<int16_t> block(441 * 2);
        for (int i = 0; i < 5; ++i) {
            TStreamTime time = 0;
            EXPECT_EQ(player.Channel->GetOutput()->Pull(block.data(), static_cast<int>(block.size() * 2), time), 0);
        }
        EXPECT_GE(player.EndEvents.load(), 1);
        EXPECT_FALSE(player.IsFinished());
    }
    // Once the worker has decoded the file, the end comes.
    ASSERT_TRUE(PullUntil(player.Channel->GetOutput(), [&] { return player.IsFinished(); }));
    EXPECT_TRUE(player.HasAudio());
    EXPECT_TRUE(player.IsEndOfStream());
}

TEST_F(Player, PausedDeckDecodesAheadUntilItsBufferIsFull) {
    TPlayer player;
    ASSERT_TRUE(player.Load(Tone("long.wav", 15000)));
    auto buffer = player.Channel->GetPushPull()->GetBuffer();
    // The bridge holds 10 s; the worker stops there and waits for room.
    ASSERT_TRUE(WaitFor([&] { return buffer->FreeSpace() == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_LE(buffer->DataAvailable(), 200 * 8820);
    EXPECT_FALSE(player.IsEndOfStream());
}

TEST_F(Player, PlayCancelsRunningFadeOut) {
    TTestPlayer player;
    ASSERT_TRUE(player.Load(Tone("a.wav", 1000)));
    player.FVolControl->StartFade(FadeKind::Out, 100, 3000);
    player.Play();
    EXPECT_EQ(player.FVolControl->GetFadeKind(), FadeKind::None);
    player.FVolControl->StartFade(FadeKind::In, 100, 3000);
    player.Play();
    EXPECT_EQ(player.FVolControl->GetFadeKind(), FadeKind::In);
}

TEST_F(Player, ConfigurationRestoresVolumeButNotPitchOrTempo) {
    auto doc = TConfigDoc_XML::Create("");
    {
        TPlayer player;
        player.SetVolume(100);
        player.SetPitch(5);
        player.SetTempo(-3);
        player.SaveConfig(*doc);
    }
    EXPECT_EQ(doc->ReadInteger("Pitch", 0), 5);
    EXPECT_EQ(doc->ReadInteger("Tempo", 0), -3);
    TPlayer player;
    player.LoadConfig(*doc);
    EXPECT_EQ(player.GetVolume(), 100);
    EXPECT_EQ(player.Pitch.load(), 0);
    EXPECT_EQ(player.Tempo.load(), 0);
}

TEST_F(Player, UnloadAndDestroyWhileWorkerWaitsForTheLock) {
    for (int round = 0; round < 5; ++round) {
        auto player = std::make_unique<TPlayer>();
        ASSERT_TRUE(player->Load(Tone("w" + std::to_string(round) + ".wav", 20000)));
        // The worker is decoding ahead; holding the lock makes its next step wait for it.
        player->Lock();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        auto unloaded = std::async(std::launch::async, [&] {
            std::lock_guard<std::recursive_mutex> guard(player->GetLock());
            player->Unload();
        });
        // The unloading thread waits for our lock; the worker waits too. Let go of it.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        player->Unlock();
        ASSERT_EQ(unloaded.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        EXPECT_FALSE(player->IsLoaded());
        // Reload and destroy at once: the stopped worker must be gone before the channel.
        ASSERT_TRUE(player->Load(Tone("w" + std::to_string(round) + ".wav", 20000)));
        player.reset();
    }
}

TEST_F(Player, UnloadDoesNotWaitForWorkerBlockedOnLock) {
    TPlayer player;
    ASSERT_TRUE(player.Load(Tone("b.wav", 30000)));
    std::lock_guard<std::recursive_mutex> guard(player.GetLock());
    // Long enough for the worker to be inside a step, waiting for this lock.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    player.Unload();  // would dead-lock if it waited for the worker
    EXPECT_FALSE(player.IsLoaded());
}

// Bad sources end in a failed load or a clean end of song, never a hang: the deck either
// refuses them or finishes (with nothing or with what could be decoded) while the channel is
// pulled.
TEST_F(Player, BadSourcesFailOrEndCleanly) {
    const Bytes mp3 = EncodeMp3(test::Tone(44100, 2, 2000, 440, 10000), 44100, 2, 128);
    Bytes noise(50000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    Bytes badWav;
    AppendChunk(badWav, "fmt ", FormatBody(1, 2, 44100, 16, 0, 0));
    AppendChunk(badWav, "data", Bytes(1000, 1));
    TLoopbackServer server([&](int fd, const std::string& request, int) {
        if (request.find("/stall") != std::string::npos) {
            SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
            SendAll(fd, mp3.data(), mp3.size() / 4);
            while (!server.Release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            shutdown(fd, SHUT_RDWR);
        } else {
            SendAll(fd, "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>Not here</html>");
        }
    });
    struct Case {
        std::string Name;
        std::string Source;
    };
    const std::vector<Case> cases = {
        {"empty mp3", FDir.File("empty.mp3")},      {"noise mp3", FDir.File("noise.mp3")},
        {"truncated mp3", FDir.File("half.mp3")},   {"wav with block align 0", FDir.File("bad.wav")},
        {"error page", server.Url("/missing.mp3")}, {"stalled stream", server.Url("/stall.mp3")},
    };
    WriteFile(cases[0].Source, {});
    WriteFile(cases[1].Source, noise);
    WriteFile(cases[2].Source, Bytes(mp3.begin(), mp3.begin() + static_cast<ptrdiff_t>(mp3.size() / 2)));
    WriteFile(cases[3].Source, RiffWave(badWav));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPlayer player;
        if (c.Name == "stalled stream") {
            // The server stops sending; the deck waits for it and ends when it goes away.
            ASSERT_TRUE(player.Load(c.Source));
            player.Play();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_FALSE(player.IsFinished());
            server.Release = true;
        } else if (!player.Load(c.Source)) {
            EXPECT_TRUE(player.IsFinished());
            continue;
        }
        player.Play();
        EXPECT_TRUE(PullUntil(player.Channel->GetOutput(), [&] { return player.IsFinished(); }));
    }
}

// An input that stops delivering audio while the deck wants more is ended after the limit: a
// stream that answers and never sends, one that stalls mid-song, and nothing else is cut.
TEST_F(Player, InputWithoutAudioForTheLimitIsEnded) {
    const Bytes mp3 = EncodeMp3(test::Tone(44100, 2, 2000, 440, 10000), 44100, 2, 128);
    TLoopbackServer server([&](int fd, const std::string& request, int) {
        SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
        if (request.find("/stall") != std::string::npos) SendAll(fd, mp3.data(), mp3.size() / 2);
        while (!server.Release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    // Long enough for the stream's first data to arrive on a busy machine.
    constexpr int LimitMs = 1500;
    {
        TTestPlayer silent;
        silent.SetNoAudioLimit(LimitMs);
        ASSERT_TRUE(silent.Load(server.Url("/silent.mp3")));
        const auto start = std::chrono::steady_clock::now();
        silent.Play();
        ASSERT_TRUE(PullUntil(silent.Channel->GetOutput(), [&] { return silent.IsFinished(); }));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, std::chrono::milliseconds(LimitMs));
        EXPECT_LT(took, std::chrono::milliseconds(LimitMs + 2000));
        EXPECT_FALSE(silent.HasAudio());
        EXPECT_TRUE(FLog.Contains("No audio from " + server.Url("/silent.mp3")));
    }
    {
        // What was decoded before the stall still plays to its end event.
        TTestPlayer stalled;
        stalled.SetNoAudioLimit(LimitMs);
        ASSERT_TRUE(stalled.Load(server.Url("/stall.mp3")));
        stalled.Play();
        TStreamTime last = 0;
        ASSERT_TRUE(PullUntil(
            stalled.Channel->GetOutput(), [&] { return stalled.IsFinished(); },
            [&](const int16_t*, int, TStreamTime time) { last = time; }));
        EXPECT_TRUE(stalled.HasAudio());
        EXPECT_EQ(stalled.EndEvents.load(), 1);
        EXPECT_GT(last, 500);
    }
    server.Release = true;
    {
        // A deck whose buffer is full asks for nothing: a long wait is not a stall.
        TTestPlayer full;
        full.SetNoAudioLimit(LimitMs);
        ASSERT_TRUE(full.Load(Tone("long.wav", 12000)));
        auto buffer = full.Channel->GetPushPull()->GetBuffer();
        ASSERT_TRUE(WaitFor([&] { return buffer->FreeSpace() == 0; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(LimitMs * 2));
        full.Play();
        ASSERT_TRUE(PullUntil(full.Channel->GetOutput(), [&] { return full.GetPosition() >= 1000; }));
        EXPECT_FALSE(full.IsEndOfStream());
        EXPECT_FALSE(full.IsFinished());
    }
}

}  // namespace
}  // namespace kelvar
