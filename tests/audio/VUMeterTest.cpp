#include <gtest/gtest.h>

#include <vector>

#include "GraphHelpers.h"
#include "audio/nodes/Node_VUMeter.h"

namespace kelvar {
namespace {

using kelvar::testing::Tone;

constexpr int WindowFrames = 1103;  // 4410 bytes (25 ms) reached at a whole frame

struct TMeter {
    explicit TMeter(int Delay) {
        node.SetFormat(DefaultAudioFormat);
        node.SetDelay(Delay);
        node.LockedStart();
    }
    void Feed(int Windows, int16_t Left, int16_t Right) {
        std::vector<int16_t> block(static_cast<size_t>(WindowFrames) * 2);
        for (size_t i = 0; i < block.size(); i += 2) {
            block[i] = Left;
            block[i + 1] = Right;
        }
        for (int w = 0; w < Windows; ++w) {
            TStreamTime time = 0;
            IChunkPtr chunk;
            node.LockedProcess(block.data(), static_cast<int>(block.size() * 2), time, chunk);
        }
    }
    std::pair<double, double> Levels() {
        double left = 1, right = 1;
        node.GetLevels(left, right);
        return {left, right};
    }
    TNode_VU node;
};

TEST(VUMeter, ReadsNothingBeforeTheFirstWindow) {
    TMeter meter(0);
    EXPECT_EQ(meter.Levels(), std::make_pair(-255.0, -255.0));
    auto tone = Tone(20, 32767);
    TStreamTime time = 0;
    IChunkPtr chunk;
    meter.node.LockedProcess(tone.data(), static_cast<int>(tone.size() * 2), time, chunk);
    EXPECT_EQ(meter.Levels(), std::make_pair(-255.0, -255.0));  // 20 ms: the window is still open
}

TEST(VUMeter, FullScaleToneAndChannelsApart) {
    TMeter meter(0);
    meter.Feed(1, 32767, 3277);  // right at a tenth: -20 dB
    EXPECT_EQ(meter.Levels(), std::make_pair(0.0, 20.0));

    // A window spanning several blocks of a tone through the node, audio unchanged.
    TMeter toneMeter(0);
    auto tone = Tone(30, 32767);
    const auto original = tone;
    for (size_t at = 0; at < tone.size(); at += 200) {
        TStreamTime time = 0;
        IChunkPtr chunk;
        const int bytes = static_cast<int>(std::min<size_t>(200, tone.size() - at) * 2);
        EXPECT_EQ(toneMeter.node.LockedProcess(tone.data() + at, bytes, time, chunk), bytes);
    }
    EXPECT_EQ(tone, original);
    EXPECT_EQ(toneMeter.Levels(), std::make_pair(0.0, 0.0));
}

TEST(VUMeter, HoldDecaysOneStepPerWindow) {
    TMeter meter(0);
    meter.Feed(1, 32767, 32767);
    meter.Feed(1, 0, 0);
    EXPECT_EQ(meter.Levels().first, 1.0);
    meter.Feed(9, 0, 0);
    EXPECT_EQ(meter.Levels().first, 10.0);
    meter.Feed(245, 0, 0);  // about 6.4 s after the peak: silence
    EXPECT_EQ(meter.Levels(), std::make_pair(255.0, 255.0));
}

TEST(VUMeter, NegativeFullScaleSampleDoesNotRaiseThePeak) {
    TMeter meter(0);
    meter.Feed(1, -32768, -32767);
    EXPECT_EQ(meter.Levels(), std::make_pair(255.0, 0.0));
}

TEST(VUMeter, DelayLagsTheDisplay) {
    TMeter meter(1000);  // 40 entries: the display lags by 38 windows
    meter.Feed(38, 32767, 32767);
    EXPECT_EQ(meter.Levels().first, -255.0);
    meter.Feed(1, 32767, 32767);
    EXPECT_EQ(meter.Levels().first, 0.0);

    meter.node.LockedSeek();  // forgets everything
    EXPECT_EQ(meter.Levels().first, -255.0);
    meter.node.SetDelay(0);
    meter.Feed(1, 3277, 3277);
    EXPECT_EQ(meter.Levels().first, 20.0);
}

TEST(VUMeter, StoppedMeterReportsSilenceAndIgnoresAudio) {
    TMeter meter(500);
    meter.Feed(30, 32767, 32767);
    meter.node.LockedStop();
    EXPECT_EQ(meter.Levels(), std::make_pair(-255.0, -255.0));
    meter.Feed(3, 32767, 32767);
    EXPECT_EQ(meter.Levels(), std::make_pair(-255.0, -255.0));
    meter.node.LockedStart();
    meter.Feed(20, 32767, 32767);
    EXPECT_EQ(meter.Levels().first, 0.0);
}

}  // namespace
}  // namespace kelvar
