#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "DeckTestUtil.h"
#include "common/RenderEngine.h"
#include "media/KelvarPlayer_imp.h"

namespace kelvar {
namespace {

using namespace kelvar::test;

// The frequency of the left channel over a window, by zero crossings, and its peak.
struct TWindow {
    double Hz = 0;
    int Peak = 0;
};

class RenderEngine : public ::testing::Test {
protected:
    void SetUp() override { FDefaults = DefaultSongSettings; }
    void TearDown() override { DefaultSongSettings = FDefaults; }

    std::vector<int16_t> Render(const std::vector<std::string>& files, const std::string& settings = "",
                                render::TRenderResult* out = nullptr) {
        render::TRenderOptions options;
        options.Output = FDir.File("mix.wav");
        options.Files = files;
        options.HasSettings = !settings.empty();
        options.Settings = settings;
        const render::TRenderResult result = render::Render(options);
        EXPECT_TRUE(result.Ok) << result.Error;
        if (out) *out = result;
        const Bytes wav = ReadFileBytes(options.Output);
        EXPECT_GE(wav.size(), 44u);
        std::vector<int16_t> samples((wav.size() - 44) / 2);
        std::memcpy(samples.data(), wav.data() + 44, samples.size() * 2);
        return samples;
    }

    static TWindow At(const std::vector<int16_t>& mix, double seconds, double length = 0.1) {
        TWindow w;
        const size_t from = static_cast<size_t>(seconds * 44100) * 2;
        const size_t to = std::min(mix.size(), from + static_cast<size_t>(length * 44100) * 2);
        int crossings = 0;
        for (size_t i = from; i + 2 < to; i += 2) {
            w.Peak = std::max(w.Peak, std::abs(static_cast<int>(mix[i])));
            crossings += (mix[i] < 0) != (mix[i + 2] < 0);
        }
        w.Hz = crossings / 2.0 / length;
        return w;
    }

    TTempDir FDir;
    TLogCapture FLog;
    TSongSettings FDefaults;
};

// A: 0.5 s silence, 8 s loud 440 Hz, 2 s quiet, 1.5 s silence. B: 1 s silence, 6 s loud 660 Hz,
// 1 s silence. With the defaults the gap killer cuts the silences and B starts where A's loud
// part ends (the detected fade point), while A's quiet tail fades under it.
TEST_F(RenderEngine, CrossfadesAtTheDetectedFadePointWithoutGapsOrClipping) {
    const std::string a = WriteWav(FDir, "a.wav",
                                   Concat(Concat(Tone(44100, 2, 500, 0), Tone(44100, 2, 8000, 440, 22000)),
                                          Concat(Tone(44100, 2, 2000, 440, 3000), Tone(44100, 2, 1500, 0))));
    const std::string b =
        WriteWav(FDir, "b.wav",
                 Concat(Concat(Tone(44100, 2, 1000, 0), Tone(44100, 2, 6000, 660, 22000)), Tone(44100, 2, 1000, 0)));
    render::TRenderResult result;
    const auto mix = Render({a, b}, "", &result);
    EXPECT_EQ(result.Loaded, 2);
    EXPECT_LT(result.Peak, 32767);
    // A from 0 (its leading silence cut), B from 8.0 s for 6 s (both silences cut).
    EXPECT_NEAR(static_cast<double>(mix.size()) / 2 / 44100, 14.0, 0.1);
    EXPECT_NEAR(At(mix, 0.2).Hz, 440, 15);
    EXPECT_NEAR(At(mix, 7.8).Hz, 440, 15);
    EXPECT_NEAR(At(mix, 8.3).Hz, 660, 15);
    EXPECT_NEAR(At(mix, 13.5).Hz, 660, 15);
    // The overlap starts at A's fade point: where A's loud part ends, B is already there.
    int switchMs = -1;
    for (int ms = 7500; ms < 9000; ms += 10) {
        if (At(mix, ms / 1000.0, 0.01).Peak < 15000) {
            switchMs = ms;
            break;
        }
    }
    EXPECT_GT(At(mix, switchMs / 1000.0 + 0.01, 0.02).Peak, 4000);
    EXPECT_NEAR(switchMs, 8000, 60);
}

TEST_F(RenderEngine, KeepsSilencesWithoutGapKillerAndSkipsBadFiles) {
    const std::string a = WriteWav(FDir, "a.wav", Concat(Tone(44100, 2, 1000, 0), Tone(44100, 2, 2000, 440, 22000)));
    const std::string b = WriteWav(FDir, "b.wav", Concat(Tone(44100, 2, 1000, 0), Tone(44100, 2, 2000, 660, 22000)));
    WriteFile(FDir.File("bad.wav"), Bytes(100, 7));
    render::TRenderResult result;
    // No crossfade, no fades, gap killer off: the files follow each other as they are.
    const auto mix = Render({a, FDir.File("bad.wav"), FDir.File("missing.mp3"), b}, "&ge=0&xf=0&fie=0&foe=0", &result);
    // The missing file fails to load; the one of garbage fails or has nothing to play.
    EXPECT_EQ(result.Failed, 2);
    EXPECT_TRUE(FLog.Contains("Failed to play"));
    const double seconds = static_cast<double>(mix.size()) / 2 / 44100;
    EXPECT_GE(seconds, 6.0);
    EXPECT_LT(seconds, 6.3);
    EXPECT_LT(At(mix, 0.5).Peak, 10);
    EXPECT_NEAR(At(mix, 2.0).Hz, 440, 15);
    EXPECT_NEAR(At(mix, 5.0).Hz, 660, 15);
}

// The same play list (normal, very short, broken and empty files between two songs that
// crossfade) renders to the same samples and the same failures while every core is busy.
TEST_F(RenderEngine, RendersTheSameSamplesAndFailuresUnderLoad) {
    const std::string a =
        WriteWav(FDir, "a.wav", Concat(Tone(44100, 2, 1500, 440, 22000), Tone(44100, 2, 500, 440, 3000)));
    const std::string b =
        WriteWav(FDir, "b.wav", Concat(Tone(44100, 2, 1500, 660, 22000), Tone(44100, 2, 500, 660, 3000)));
    const std::string tiny = WriteWav(FDir, "tiny.wav", Tone(44100, 2, 5, 550, 22000));
    const std::string broken = FDir.File("broken.wav");
    const std::string empty = FDir.File("empty.wav");
    WriteFile(broken, Bytes(300, 0x55));
    WriteFile(empty, Bytes());
    // Each song after a file that fails at once: which deck it lands on must not depend on how
    // soon the failing one is found out.
    const std::vector<std::string> files = {tiny, a, broken, tiny, b, empty, tiny, a, tiny, b};
    render::TRenderResult calm;
    const auto reference = Render(files, "", &calm);
    ASSERT_FALSE(reference.empty());

    std::atomic<bool> stop{false};
    std::vector<std::thread> load;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i) {
        load.emplace_back([&stop] {
            volatile uint64_t x = 1;
            while (!stop) x = x * 6364136223846793005ULL + 1;
        });
    }
    for (int run = 0; run < 2; ++run) {
        render::TRenderResult busy;
        const auto mix = Render(files, "", &busy);
        EXPECT_EQ(busy.Failed, calm.Failed) << "run " << run;
        EXPECT_EQ(busy.Loaded, calm.Loaded) << "run " << run;
        ASSERT_EQ(mix.size(), reference.size()) << "run " << run;
        EXPECT_TRUE(mix == reference) << "run " << run;
    }
    stop = true;
    for (auto& t : load) t.join();
}

}  // namespace
}  // namespace kelvar
