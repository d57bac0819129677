#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "DeckTestUtil.h"
#include "audio/mix/AudioPipe_imp.h"
#include "audio/mix/Mixer_imp.h"
#include "media/KelvarPlayer_imp.h"
#include "media/SongInfo_imp.h"

namespace kelvar {
namespace {

using namespace kelvar::test;

const char* const BuiltInText =
    "&f=-5000&x=-3000&fie=1&fit=500&fil=80&fic=1&foe=1&fot=5000&fol=90&foc=1&xf=2&ft=7&fs=100&fb=6000&ge=1";

TSongSettings BuiltIn() {
    TSongSettings s;
    InitSongSettings(s);
    return s;
}

TEST(SongSettings, BuiltInDefaultsWriteTheirOneLine) {
    EXPECT_EQ(SongSettingsToString(BuiltIn()), BuiltInText);
    EXPECT_EQ(SongSettingsToString(DefaultSongSettings), BuiltInText);
}

TEST(SongSettings, EmptyOrMalformedTextAsksForEveryDefault) {
    for (const char* text : {"", "garbage", "&&&", "&f=abc&x=&xf=1.5&fic=&gl=x&bmp=fast&c=99999999999"}) {
        SCOPED_TRACE(text);
        TSongSettings s;
        StringToSongSettings(text, s);
        EXPECT_EQ(s.Start, -1);
        EXPECT_EQ(s.Fade, -1);
        EXPECT_EQ(s.XFade, -1);
        EXPECT_EQ(s.XFadeMode, -1);
        EXPECT_EQ(s.FadeIn.Enabled, -1);
        EXPECT_EQ(s.FadeIn.Curve, 0);
        EXPECT_EQ(s.Gain, 0);
        EXPECT_EQ(s.BPM, 0);
        EXPECT_EQ(s.GapKiller, -1);
        EXPECT_EQ(s.CuePoints[3].Time, -1);
        EXPECT_EQ(s.CuePoints[3].Name, "");
        // Merged over any defaults, the defaults come back.
        TSongSettings defaults = BuiltIn();
        defaults.Start = 1234;
        defaults.XFadeMode = 1;
        TSongSettings merged;
        MergeSongSettings(defaults, s, merged);
        EXPECT_EQ(SongSettingsToString(merged), SongSettingsToString(defaults));
    }
}

TEST(SongSettings, BuiltInTextMergedKeepsDefaultsCuesGainAndBpm) {
    TSongSettings own;
    StringToSongSettings(BuiltInText, own);
    TSongSettings defaults;
    InitSongSettings(defaults);
    defaults.Start = 100;
    defaults.End = 200;
    defaults.Intro = 300;
    defaults.Outro = 400;
    defaults.Gain = 6;
    defaults.BPM = 99.5;
    defaults.CuePoints[2] = {"drop", 4000};
    defaults.Fade = 1;
    defaults.FadeOut = {0, 1, 2, 3};
    defaults.XFadeMode = 0;
    defaults.GapKiller = 0;
    TSongSettings r;
    MergeSongSettings(defaults, own, r);
    EXPECT_EQ(r.Start, 100);
    EXPECT_EQ(r.End, 200);
    EXPECT_EQ(r.Intro, 300);
    EXPECT_EQ(r.Outro, 400);
    EXPECT_EQ(r.Gain, 6);
    EXPECT_EQ(r.BPM, 99.5);
    EXPECT_EQ(r.CuePoints[2].Name, "drop");
    EXPECT_EQ(r.CuePoints[2].Time, 4000);
    EXPECT_EQ(r.Fade, -5000);
    EXPECT_EQ(r.FadeOut.Enabled, 1);
    EXPECT_EQ(r.FadeOut.Time, 5000);
    EXPECT_EQ(r.FadeOut.Level, 90);
    EXPECT_EQ(r.FadeOut.Curve, 2);
    EXPECT_EQ(r.XFadeMode, 2);
    EXPECT_EQ(r.GapKiller, 1);
}

TEST(SongSettings, RoundTripOfEveryField) {
    TSongSettings s = BuiltIn();
    s.Start = 1500;
    s.End = 200000;
    s.Intro = 12000;
    s.Outro = 180000;
    s.CuePoints[0] = {"Verse", 30000};
    s.CuePoints[9] = {"", 90000};
    s.CuePoints[4] = {"not written", 0};
    s.GapKiller = 0;
    s.Gain = -20;
    s.BPM = 128.456;
    s.Fade = 60000;
    s.XFade = -2000;
    s.FadeIn = {0, 800, 100, 1};
    s.FadeOut = {1, 4000, 70, 3};
    s.XFadeMode = 1;
    s.XFadeLevel = 12;
    s.XFadeMinTime = 250;
    s.XFadeMaxTime = 8000;
    const std::string text = SongSettingsToString(s);
    EXPECT_NE(text.find("&fic=0&"), std::string::npos);  // curve minus one
    EXPECT_NE(text.find("&bmp=128.46"), std::string::npos);
    EXPECT_EQ(text.find("ct4"), std::string::npos);
    EXPECT_EQ(text.find("cn9"), std::string::npos);
    TSongSettings r;
    StringToSongSettings(text, r);
    EXPECT_EQ(SongSettingsToString(r), text);
    EXPECT_EQ(r.CuePoints[0].Name, "Verse");
    EXPECT_EQ(r.CuePoints[9].Time, 90000);
    EXPECT_EQ(r.FadeIn.Curve, 1);
    EXPECT_EQ(r.FadeOut.Curve, 3);
    EXPECT_EQ(r.Gain, -20);
    EXPECT_DOUBLE_EQ(r.BPM, 128.46);
}

TEST(SongSettings, ParsingRules) {
    struct Case {
        const char* text;
        int64_t fade;
        double bpm;
    };
    const Case cases[] = {
        {"&F=-4000", -4000, 0},                // keys match without regard to case
        {"&f=200&F=100", 100, 0},              // the item that sorts first wins
        {"f=300", 300, 0},                     // an item before the first "&" counts too
        {"&f=-1000&bmp=120.5", -1000, 120.5},  // full stop
        {"&bmp=120,25", -1, 120.25},           // comma, as written under other locales
        {"&f= 77 ", 77, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TSongSettings s;
        StringToSongSettings(c.text, s);
        EXPECT_EQ(s.Fade, c.fade);
        EXPECT_DOUBLE_EQ(s.BPM, c.bpm);
    }
    // 64-bit times travel as their low 32 bits.
    TSongSettings big = BuiltIn();
    big.Start = (int64_t{1} << 32) + 5;
    EXPECT_NE(SongSettingsToString(big).find("&c=5&"), std::string::npos);
}

TEST(SongSettings, BpmIsWrittenFromFortyFiveWithFullStop) {
    TSongSettings s = BuiltIn();
    s.BPM = 44.99;
    EXPECT_EQ(SongSettingsToString(s).find("bmp"), std::string::npos);
    s.BPM = 120;
    const std::string text = SongSettingsToString(s);
    EXPECT_EQ(text.substr(text.size() - 11), "&bmp=120.00");
}

TEST(SongSettings, CueNamesCannotForgeOtherPairs) {
    TSongSettings s = BuiltIn();
    s.CuePoints[1] = {"Rock & Roll&xf=0&c=999", 5000};
    const std::string text = SongSettingsToString(s);
    TSongSettings r;
    StringToSongSettings(text, r);
    EXPECT_EQ(r.XFadeMode, 2);
    EXPECT_EQ(r.Start, -1);
    EXPECT_EQ(r.CuePoints[1].Time, 5000);
    EXPECT_EQ(r.CuePoints[1].Name, "Rock + Roll+xf-0+c-999");
}

TEST(SongSettings, TmpSettingsOfBlanksFallsBackToXfade) {
    auto song = TSongInfo::Create(1, "/x/a.mp3");
    song->SetValue("xfade", std::string("&f=-7000"));
    song->SetValue("tmpSettings", std::string("   "));
    TSongSettings s;
    TKelvarPlayer::ReadSongSettings(song, s);
    EXPECT_EQ(s.Fade, -7000);
    song->SetValue("tmpSettings", std::string("&f=-1234"));
    TKelvarPlayer::ReadSongSettings(song, s);
    EXPECT_EQ(s.Fade, -1234);
}

// Records the player events that fire, with the played position at the time.
class TTestDeck : public TKelvarPlayer {
public:
    // The worker calls OnMeta, which records into FEvents: it stops before they go.
    ~TTestDeck() override { Unload(); }
    struct Fired {
        int Code;
        TStreamTime Time;
        int64_t Position;
    };
    std::vector<Fired> Events() {
        std::lock_guard<std::mutex> guard(FEventsLock);
        return FEvents;
    }
    int Count(int code) {
        int n = 0;
        for (const auto& e : Events()) n += e.Code == code;
        return n;
    }
    using TKelvarPlayer::FVolControl;
    using TKelvarPlayer::OnEnd;

protected:
    void OnMeta(IMetaData& Meta) override {
        if (auto* event = dynamic_cast<IMetaEvent*>(&Meta)) {
            std::lock_guard<std::mutex> guard(FEventsLock);
            FEvents.push_back({event->GetCode(), Meta.GetTime(), GetPosition()});
        }
        TKelvarPlayer::OnMeta(Meta);
    }

private:
    std::mutex FEventsLock;
    std::vector<Fired> FEvents;
};

class KelvarPlayer : public ::testing::Test {
protected:
    ISongInfoPtr Song(const std::vector<int16_t>& samples, const std::string& xfade = "") {
        const std::string path = WriteWav(FDir, "s" + std::to_string(FCount++) + ".wav", samples);
        auto song = TSongInfo::Create(FCount, path);
        if (!xfade.empty()) song->SetValue("xfade", xfade);
        return song;
    }
    static std::vector<int16_t> Loud(int ms) { return Tone(44100, 2, ms, 440, 20000); }
    static std::vector<int16_t> Quiet(int ms) { return Tone(44100, 2, ms, 440, 3000); }
    static std::vector<int16_t> Silence(int ms) { return Tone(44100, 2, ms, 0); }

    // The test thread pulls faster than real time: let short songs decode completely first, so
    // that every event is in place before playback reaches it, as it is with a clocked output.
    static void Decoded(TTestDeck& deck) {
        ASSERT_TRUE(WaitFor([&] { return deck.IsEndOfStream(); }));
    }

    bool PlayToEnd(TTestDeck& deck) {
        return PullUntil(deck.Channel->GetOutput(), [&] { return deck.IsFinished(); });
    }

    TTempDir FDir;
    int FCount = 0;
    TLogCapture FLog;
};

TEST_F(KelvarPlayer, FadeOutCueQueuedOnlyWhenTheTriggerCannotPlaceIt) {
    for (const auto& [xfade, expected] : {std::pair{"", 1}, std::pair{"&f=60000", 2}, std::pair{"&f=-500&xf=0", 1}}) {
        SCOPED_TRACE(xfade);
        TTestDeck deck;
        deck.SetDefaultSettings(&DefaultSongSettings);
        ASSERT_TRUE(deck.LoadSong(Song(Loud(1000), xfade)));
        Decoded(deck);
        deck.Play();
        ASSERT_TRUE(PlayToEnd(deck));
        // In detection mode the trigger adds its own fade-out at the end of the decoded stream.
        EXPECT_EQ(deck.Count(PlayerEvent::FadeOut), expected);
        EXPECT_EQ(deck.Count(PlayerEvent::EndReached), 1);
    }
}

TEST_F(KelvarPlayer, QuietSongGetsShortestFadeBeforeItsEnd) {
    TTestDeck deck;
    deck.SetDefaultSettings(&DefaultSongSettings);
    ASSERT_TRUE(deck.LoadSong(Song(Quiet(2000), "&ge=0")));
    std::atomic<int> next{0};
    deck.OnNextSong = [&](TKelvarPlayer&) { ++next; };
    Decoded(deck);
    deck.Play();
    ASSERT_TRUE(PlayToEnd(deck));
    EXPECT_EQ(next.load(), 1);
    const auto events = deck.Events();
    ASSERT_GE(events.size(), 3u);
    std::vector<TTestDeck::Fired> cues;
    for (const auto& e : events) {
        if (e.Code == PlayerEvent::FadeOut || e.Code == PlayerEvent::StartNext) cues.push_back(e);
    }
    ASSERT_EQ(cues.size(), 2u);
    EXPECT_EQ(cues[0].Code, PlayerEvent::FadeOut);
    EXPECT_EQ(cues[0].Time, -100);
    EXPECT_NEAR(cues[0].Position, 1900, 20);
    EXPECT_EQ(cues[1].Code, PlayerEvent::StartNext);
    EXPECT_EQ(cues[1].Time, -50);
    EXPECT_NEAR(cues[1].Position, 1950, 20);
    EXPECT_EQ(deck.GetEffectiveSettings().FadeOut.Time, 100);
}

TEST_F(KelvarPlayer, TriggerPlacesFadeWhereTheLoudPartEnds) {
    TTestDeck deck;
    deck.SetDefaultSettings(&DefaultSongSettings);
    // Loud for 3 s, then 1 s below the trigger level but above the gap killer's silence.
    ASSERT_TRUE(deck.LoadSong(Song(Concat(Loud(3000), Quiet(1000)))));
    Decoded(deck);
    // The editor saves the loaded song's settings after the trigger placed its cues: they
    // must survive the events being cleared.
    deck.SetSongSettings(deck.GetSongSettings());
    deck.Play();
    ASSERT_TRUE(PlayToEnd(deck));
    int seen = 0;
    for (const auto& e : deck.Events()) {
        if (e.Code != PlayerEvent::FadeOut && e.Code != PlayerEvent::StartNext) continue;
        ++seen;
        EXPECT_NEAR(e.Time, 3000, 30);
        EXPECT_NEAR(e.Position, 3000, 40);
    }
    EXPECT_EQ(seen, 2);
    EXPECT_NEAR(deck.GetEffectiveSettings().FadeOut.Time, 1000, 30);
}

TEST_F(KelvarPlayer, CueStartAndEndCutThePlayedPart) {
    TTestDeck deck;
    deck.SetDefaultSettings(&DefaultSongSettings);
    ASSERT_TRUE(deck.LoadSong(Song(Loud(3000), "&c=1000&e=2000&xf=0&fie=0")));
    EXPECT_EQ(deck.GetDuration(), 2000);
    Decoded(deck);
    int64_t frames = 0;
    int64_t first = -1;
    deck.Play();
    ASSERT_TRUE(PullUntil(
        deck.Channel->GetOutput(), [&] { return deck.IsFinished(); },
        [&](const int16_t*, int count, TStreamTime time) {
            if (first < 0) first = time;
            frames += count / 2;
        }));
    EXPECT_NEAR(first, 1000, 15);
    // The end event falls due at the cut end, also after the fade-out (due at once with 5 s
    // before the end) started: a fade never lengthens a cut song.
    EXPECT_EQ(deck.Count(PlayerEvent::FadeOut), 1);
    EXPECT_GE(deck.GetPosition(), 1900);
    EXPECT_LE(deck.GetPosition(), 2100);
}

TEST_F(KelvarPlayer, SongStartedOncePerLoadedSong) {
    TTestDeck deck;
    EXPECT_FALSE(deck.SongStarted());
    ASSERT_TRUE(deck.LoadSong(Song(Loud(500))));
    EXPECT_EQ(deck.GetState(), DeckState::Ready);
    EXPECT_FALSE(deck.SongStarted());
    deck.Play();
    EXPECT_EQ(deck.GetState(), DeckState::Playing);
    EXPECT_TRUE(deck.SongStarted());
    EXPECT_FALSE(deck.SongStarted());
    deck.Pause();
    deck.Play();
    EXPECT_FALSE(deck.SongStarted());

    // Played, paused and played again before the first query: never reported.
    ASSERT_TRUE(deck.LoadSong(Song(Loud(500))));
    deck.Play();
    deck.Pause();
    deck.Play();
    EXPECT_FALSE(deck.SongStarted());
    deck.Unload();
    EXPECT_EQ(deck.GetState(), DeckState::Empty);
    EXPECT_EQ(deck.GetSong(), nullptr);
}

TEST_F(KelvarPlayer, SyncTempo) {
    struct Case {
        double bpm, target;
        int tempo;
    };
    const Case cases[] = {{120, 128, 7}, {120, 200, 25}, {120, 60, -25}, {120, 300, 99}, {0, 128, 99}, {250, 128, 99}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        TTestDeck deck;
        TSongSettings s = BuiltIn();
        s.BPM = c.bpm;
        deck.SetSongSettings(s);
        deck.SetPitch(3);
        deck.SetTempo(99);
        deck.SyncTempo(c.target);
        EXPECT_EQ(deck.Tempo.load(), c.tempo);
        EXPECT_EQ(deck.Pitch.load(), c.tempo == 99 ? 3 : 0);
    }
}

TEST_F(KelvarPlayer, LoadSongUsesDefaultsAndOwnSettings) {
    TTestDeck deck;
    auto song = Song(Loud(500), "&fie=0&gl=10");
    std::atomic<int> before{0};
    deck.OnBeforeLoad = [&](TKelvarPlayer& Sender, const ISongInfoPtr& Loading) {
        if (before == 0) {
            EXPECT_EQ(Loading, song);
        }
        Sender.SetDefaultSettings(&NoFadeSongSettings);
        ++before;
    };
    TSongSettings noFade = BuiltIn();
    noFade.FadeOut.Enabled = 0;
    noFade.XFadeMode = 0;
    NoFadeSongSettings = noFade;
    ASSERT_TRUE(deck.LoadSong(song));
    EXPECT_EQ(before.load(), 1);
    const TSongSettings effective = deck.GetEffectiveSettings();
    EXPECT_EQ(effective.FadeIn.Enabled, 0);
    EXPECT_EQ(effective.FadeOut.Enabled, 0);
    EXPECT_EQ(effective.XFadeMode, 0);
    EXPECT_EQ(effective.Gain, 10);
    EXPECT_EQ(deck.GetSongSettings().FadeOut.Enabled, -1);
    NoFadeSongSettings = BuiltIn();

    // A failed load keeps the song until the deck is unloaded.
    auto missing = TSongInfo::Create(9, FDir.File("missing.mp3"));
    EXPECT_FALSE(deck.LoadSong(missing));
    EXPECT_EQ(deck.GetSong(), missing);
    EXPECT_EQ(deck.GetState(), DeckState::Empty);
}

TEST_F(KelvarPlayer, ManualFades) {
    TTestDeck deck;
    deck.SetDefaultSettings(&DefaultSongSettings);
    ASSERT_TRUE(deck.LoadSong(Song(Loud(6000), "&xf=0")));
    Decoded(deck);
    std::atomic<int> next{0};
    deck.OnNextSong = [&](TKelvarPlayer&) { ++next; };
    // Fade to next from a ready deck starts it; the fade starts with the next pull.
    deck.FadeToNext();
    EXPECT_EQ(deck.GetState(), DeckState::Playing);
    ASSERT_TRUE(PullUntil(deck.Channel->GetOutput(), [&] { return next.load() > 0; }));
    EXPECT_EQ(deck.FVolControl->GetFadeKind(), FadeKind::Out);
    EXPECT_NEAR(deck.GetPosition(), 1500, 30);
    ASSERT_TRUE(PlayToEnd(deck));
    EXPECT_NEAR(deck.GetPosition(), 3100, 40);

    // Fade out and pause: paused 3.1 s later.
    deck.Seek(0);
    deck.FadeInAndPlay();
    EXPECT_EQ(deck.FVolControl->GetFadeKind(), FadeKind::In);
    deck.FadeOutAndPause();
    ASSERT_TRUE(PullUntil(deck.Channel->GetOutput(), [&] { return deck.GetState() == DeckState::Ready; }));
    EXPECT_NEAR(deck.GetPosition(), 3100, 30);
}

// A song's settings may hold any number: a gain or fade level out of range must neither invert
// nor amplify the signal.
TEST_F(KelvarPlayer, OutOfRangeGainAndFadeLevelsStayWithinSilenceAndFullLevel) {
    struct Case {
        const char* xfade;
        int untilMs;  // the span looked at, from the start
        int maxPeak;
    };
    const Case cases[] = {
        {"&xf=0&ge=0&fie=0&gl=-1000", 500, 0},
        {"&xf=0&ge=0&foe=0&fie=1&fit=2000&fil=1000", 50, 2000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xfade);
        TTestDeck deck;
        deck.SetDefaultSettings(&DefaultSongSettings);
        ASSERT_TRUE(deck.LoadSong(Song(Loud(1000), c.xfade)));
        Decoded(deck);
        deck.Play();
        int peak = 0;
        ASSERT_TRUE(PullUntil(
            deck.Channel->GetOutput(), [&] { return deck.GetPosition() >= c.untilMs; },
            [&](const int16_t* samples, int count, TStreamTime time) {
                if (time >= c.untilMs) return;
                for (int i = 0; i < count; ++i) peak = std::max(peak, std::abs(int{samples[i]}));
            }));
        EXPECT_LE(peak, c.maxPeak);
    }
}

// The gap killer reports a long gap after every block it processes; the song fades to the next
// once, and a seek lets it do so again.
TEST_F(KelvarPlayer, RepeatedGapReportsStartTheNextSongOnce) {
    TTestDeck deck;
    deck.SetDefaultSettings(&DefaultSongSettings);
    ASSERT_TRUE(deck.LoadSong(Song(Loud(8000), "&xf=0&foe=0&fie=0")));
    std::atomic<int> next{0};
    deck.OnNextSong = [&](TKelvarPlayer&) { ++next; };
    deck.Play();
    ASSERT_TRUE(PullUntil(deck.Channel->GetOutput(), [&] { return deck.GetPosition() >= 200; }));
    auto reportGaps = [&] {
        std::lock_guard<std::recursive_mutex> guard(deck.GetLock());
        for (int i = 0; i < 3; ++i) deck.OnEnd();
    };
    reportGaps();
    ASSERT_TRUE(PullUntil(deck.Channel->GetOutput(), [&] { return next.load() > 0; }));
    ASSERT_TRUE(PullUntil(deck.Channel->GetOutput(), [&] { return deck.GetPosition() >= 2500; }));
    EXPECT_EQ(next.load(), 1);
    EXPECT_EQ(deck.Count(PlayerEvent::StartNext), 1);

    deck.Seek(0);
    deck.Play();
    ASSERT_TRUE(PullUntil(deck.Channel->GetOutput(), [&] { return deck.GetPosition() >= 200; }));
    reportGaps();
    ASSERT_TRUE(PullUntil(deck.Channel->GetOutput(), [&] { return next.load() > 1; }));
    ASSERT_TRUE(PullUntil(deck.Channel->GetOutput(), [&] { return deck.GetPosition() >= 2500; }));
    EXPECT_EQ(next.load(), 2);
}

// Two decks through the mixer: deck A's start-next event starts deck B, as the automation does.
TEST_F(KelvarPlayer, StartNextEventStartsTheOtherDeckInTheMix) {
    TMixer mixer;
    TTestDeck a, b;
    mixer.AddSource(a.Channel->GetOutput());
    mixer.AddSource(b.Channel->GetOutput());
    for (auto* deck : {&a, &b}) deck->SetDefaultSettings(&DefaultSongSettings);
    a.OnNextSong = [&](TKelvarPlayer&) {
        std::lock_guard<std::recursive_mutex> guard(b.GetLock());
        if (b.IsLoaded()) b.Play();
    };
    ASSERT_TRUE(a.LoadSong(Song(Concat(Loud(3000), Quiet(1000)))));
    ASSERT_TRUE(b.LoadSong(Song(Loud(2000))));
    Decoded(a);
    Decoded(b);
    a.Play();
    std::vector<int16_t> block(441 * 2);
    int blocks = 0;
    int64_t aWhenBStarted = -1;
    while (!(a.IsFinished() && b.IsFinished()) && blocks < 3000) {
        TStreamTime time = 0;
        mixer.Mix(block.data(), static_cast<int>(block.size() * 2), time);
        if (aWhenBStarted < 0 && b.GetState() == DeckState::Playing) aWhenBStarted = a.GetPosition();
        ++blocks;
        if (b.GetState() != DeckState::Playing) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    EXPECT_TRUE(a.IsFinished());
    EXPECT_TRUE(b.IsFinished());
    EXPECT_NEAR(aWhenBStarted, 3000, 40);
    mixer.RemoveSource(a.Channel->GetOutput());
    mixer.RemoveSource(b.Channel->GetOutput());
}

}  // namespace
}  // namespace kelvar

namespace kelvar {
namespace {

using namespace kelvar::test;

// Load, play, end of song and eject on the test thread (a fake automation ticking every few
// milliseconds) race the end-of-song and start-next events that the silent output's thread
// fires through the mixer. Run under ThreadSanitizer for the lock order.
TEST(DeckAutomation, TickRacesEndOfSongEventsThroughTheRealPipe) {
    TTempDir dir;
    TLogCapture log;
    std::vector<ISongInfoPtr> songs;
    for (int i = 0; i < 6; ++i) {
        const auto samples = Concat(Tone(44100, 2, 700 + 50 * i, 440, 20000), Tone(44100, 2, 300, 440, 3000));
        songs.push_back(TSongInfo::Create(i, WriteWav(dir, "r" + std::to_string(i) + ".wav", samples)));
    }
    TAudioPipe pipe;
    pipe.GetOutput().SetSettings([&] {
        auto settings = pipe.GetOutput().GetSettings();
        settings.OutputType1 = OutputType::Silent;
        settings.OutputType2 = OutputType::Silent;
        settings.SilentClockRate = 10;
        return settings;
    }());
    {
        TKelvarPlayer a, b;
        pipe.GetMixer().AddSource(a.Channel->GetOutput());
        pipe.GetMixer().AddSource(b.Channel->GetOutput());
        auto startOther = [](TKelvarPlayer& other) {
            std::lock_guard<std::recursive_mutex> guard(other.GetLock());
            if (other.IsLoaded()) other.Play();
        };
        a.OnNextSong = [&](TKelvarPlayer&) { startOther(b); };
        b.OnNextSong = [&](TKelvarPlayer&) { startOther(a); };
        for (auto* deck : {&a, &b}) {
            deck->OnBeforeLoad = [](TKelvarPlayer& Sender, const ISongInfoPtr&) {
                Sender.SetDefaultSettings(&DefaultSongSettings);
            };
        }
        ASSERT_TRUE(pipe.Open());
        pipe.GetOutput().Play();

        size_t next = 0;
        int started = 0;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (started < static_cast<int>(songs.size()) || a.GetState() == DeckState::Playing ||
               b.GetState() == DeckState::Playing) {
            ASSERT_LT(std::chrono::steady_clock::now(), limit) << "started " << started;
            for (auto* deck : {&a, &b}) {
                if (deck->SongStarted()) ++started;
                deck->GetDuration();
                deck->GetPosition();
                if (deck->GetState() == DeckState::Playing && deck->IsFinished()) deck->Unload();
            }
            for (auto* deck : {&a, &b}) {
                if (deck->GetState() == DeckState::Empty && next < songs.size()) {
                    ASSERT_TRUE(deck->LoadSong(songs[next++]));
                }
            }
            if (a.GetState() != DeckState::Playing && b.GetState() != DeckState::Playing) {
                for (auto* deck : {&a, &b}) {
                    std::lock_guard<std::recursive_mutex> guard(deck->GetLock());
                    if (deck->GetState() == DeckState::Ready) {
                        deck->Play();
                        break;
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(started, static_cast<int>(songs.size()));
        pipe.Close();
        pipe.GetMixer().RemoveSource(a.Channel->GetOutput());
        pipe.GetMixer().RemoveSource(b.Channel->GetOutput());
    }
}

}  // namespace
}  // namespace kelvar
