// The mixer's on-air and preview mixes over mixer inputs fed with constant levels.
#include <gtest/gtest.h>

#include <cstring>

#include "OutputTestKit.h"
#include "audio/mix/Mixer_imp.h"

namespace kelvar {
namespace {

constexpr int kBlock = 1764;  // 10 ms

// A mixer input whose source gives every sample the same value (or nothing).
struct TLevelInput {
    explicit TLevelInput(int16_t Value, uint8_t Flags) : Level(Value) {
        Source = std::make_shared<TPinSource>(
            [this](void* Buffer, int Length, TStreamTime&) {
                if (Silent) return 0;
                auto* s = static_cast<int16_t*>(Buffer);
                for (int i = 0; i < Length / 2; ++i) s[i] = Level;
                return Length;
            },
            [] { return DefaultAudioFormat; }, nullptr);
        Input = std::make_shared<TFilter_MixMode>();
        Connect(Source, Input);
        Input->SetFormat(DefaultAudioFormat);
        Input->Start();
        Input->SetMixMode(Flags);
    }
    int16_t Level;
    bool Silent = false;
    std::shared_ptr<TPinSource> Source;
    TFilter_MixModePtr Input;
};

struct TBlocks {
    std::vector<int16_t> OnAir = std::vector<int16_t>(kBlock / 2);
    std::vector<int16_t> Preview = std::vector<int16_t>(kBlock / 2);
};

TBlocks MixOnce(TMixer& Mixer) {
    TBlocks b;
    TStreamTime t = 0;
    EXPECT_EQ(Mixer.Mix(b.OnAir.data(), kBlock, t), kBlock);
    EXPECT_EQ(Mixer.ReadPreview(b.Preview.data(), kBlock, t), kBlock);
    return b;
}

bool All(const std::vector<int16_t>& Samples, int16_t Value) {
    return std::all_of(Samples.begin(), Samples.end(), [&](int16_t s) { return s == Value; });
}

TEST(Mixer, FlagsDecideWhatIsMixed) {
    struct Case {
        const char* Name;
        uint8_t FlagsA, FlagsB;
        bool Preview;
        int16_t OnAir, PreviewLevel;
    };
    // A plays 1000, B plays 300.
    const Case cases[] = {
        {"nothing playing", 2, 6, true, 0, 0},
        {"A on air", 3, 0, false, 1000, 0},
        {"A playing in neither mix", 1, 0, false, 0, 0},
        {"A on air, B preview", 3, 5, true, 1000, 300},
        {"both in both", 7, 7, true, 1300, 1300},
        {"A both, B on air", 7, 3, true, 1300, 1000},
        {"A preview, B both", 5, 7, true, 300, 1300},
        {"A neither, B on air", 1, 3, true, 300, 0},
        {"preview off", 5, 3, false, 300, 0},
    };
    for (const auto& c : cases) {
        TMixer mixer;
        TLevelInput a(1000, c.FlagsA), b(300, c.FlagsB);
        mixer.AddSource(a.Input);
        mixer.AddSource(b.Input);
        mixer.SetPreviewEnabled(c.Preview);
        const TBlocks blocks = MixOnce(mixer);
        EXPECT_TRUE(All(blocks.OnAir, c.OnAir)) << c.Name << ": " << blocks.OnAir[0];
        EXPECT_TRUE(All(blocks.Preview, c.PreviewLevel)) << c.Name << ": " << blocks.Preview[0];
    }
}

TEST(Mixer, SumsClipAndShortInputsAreSilencePadded) {
    TMixer mixer;
    TLevelInput a(30000, 3), b(5000, 3), c(-30000, 5);
    mixer.AddSource(a.Input);
    mixer.AddSource(b.Input);
    mixer.AddSource(c.Input);
    mixer.SetPreviewEnabled(true);
    TBlocks blocks = MixOnce(mixer);
    EXPECT_TRUE(All(blocks.OnAir, 32767));
    EXPECT_TRUE(All(blocks.Preview, -30000));

    // A starved channel adds nothing and says so after the mix.
    a.Silent = true;
    c.Silent = true;
    blocks = MixOnce(mixer);
    EXPECT_TRUE(All(blocks.OnAir, 5000));
    EXPECT_TRUE(All(blocks.Preview, 0));
    EXPECT_TRUE(a.Input->IsStarved());
    EXPECT_FALSE(b.Input->IsStarved());
}

TEST(Mixer, LatePreviewKeepsTheNewestThreeBlocks) {
    TMixer mixer;
    TLevelInput a(0, 5);
    mixer.AddSource(a.Input);
    mixer.SetPreviewEnabled(true);
    std::vector<int16_t> block(kBlock / 2);
    TStreamTime t = 0;
    for (int16_t level = 1; level <= 5; ++level) {
        a.Level = level;
        mixer.Mix(block.data(), kBlock, t);
    }
    for (int16_t expected : {3, 4, 5, 0}) {
        ASSERT_EQ(mixer.ReadPreview(block.data(), kBlock, t), kBlock);
        EXPECT_TRUE(All(block, expected)) << expected << " got " << block[0];
    }
    // Removed inputs are no longer pulled.
    mixer.RemoveSource(a.Input);
    a.Level = 77;
    mixer.Mix(block.data(), kBlock, t);
    EXPECT_TRUE(All(block, 0));
}

TEST(Mixer, MasterChainCarriesTheOnAirMix) {
    TMixer mixer;
    TLevelInput a(1234, 3);
    mixer.AddSource(a.Input);
    std::vector<int16_t> block(kBlock / 2);
    TStreamTime t = 0;
    ASSERT_EQ(mixer.GetMasterOutput()->Pull(block.data(), kBlock, t), kBlock);
    EXPECT_TRUE(All(block, 1234));
}

}  // namespace
}  // namespace kelvar
