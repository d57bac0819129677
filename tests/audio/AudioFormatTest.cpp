#include <gtest/gtest.h>

#include "foundation/AudioFormat.h"

namespace kelvar {
namespace {

TEST(AudioFormat, DefaultFormatConversions) {
    EXPECT_DOUBLE_EQ(BytesToMs(DefaultAudioFormat, 176400), 1000.0);
    EXPECT_DOUBLE_EQ(BytesToMs(DefaultAudioFormat, 3), 0.0);  // less than one frame
    EXPECT_EQ(MsToBytes(DefaultAudioFormat, 50), 8820);
    EXPECT_EQ(MsToBytes(DefaultAudioFormat, 10), 1764);
    EXPECT_EQ(MsToBytes(DefaultAudioFormat, 1000), 176400);
}

TEST(AudioFormat, DegenerateFormatsGiveZero) {
    TWaveFormat noChannels = DefaultAudioFormat;
    noChannels.Channels = 0;
    EXPECT_DOUBLE_EQ(BytesToMs(noChannels, 176400), 0.0);
    TWaveFormat noRate = DefaultAudioFormat;
    noRate.SamplesPerSec = 0;
    EXPECT_DOUBLE_EQ(BytesToMs(noRate, 176400), 0.0);
    EXPECT_DOUBLE_EQ(FilterBytesToMs(TFilterFormat{44100, 16, -2}, 4000), 0.0);
    EXPECT_DOUBLE_EQ(FilterBytesToMs(TFilterFormat{0, 16, 2}, 4000), 0.0);
    EXPECT_DOUBLE_EQ(FilterBytesToMs(TFilterFormat{44100, 16, 2}, 176400), 1000.0);
}

TEST(AudioFormat, RoundedHalvesGoToEven) {
    const TWaveFormat lowRate = MakePcmFormat(8000, 1, 8);
    EXPECT_EQ(BytesToMsRounded(lowRate, 4), 0);   // 0.5 ms
    EXPECT_EQ(BytesToMsRounded(lowRate, 12), 2);  // 1.5 ms
    EXPECT_EQ(BytesToMsRounded(lowRate, 20), 2);  // 2.5 ms
}

TEST(AudioFormat, SameFormatComparesEveryField) {
    TWaveFormat other = DefaultAudioFormat;
    EXPECT_TRUE(SameFormat(DefaultAudioFormat, other));
    other.ExtraSize = 2;
    EXPECT_FALSE(SameFormat(DefaultAudioFormat, other));
    EXPECT_EQ(DefaultAudioFormat.AvgBytesPerSec, 176400u);
    EXPECT_EQ(DefaultAudioFormat.BlockAlign, 4);
}

}  // namespace
}  // namespace kelvar
