// Every stream decodes without an error in libmpg123 and libavcodec, for all nine rates, mono, joint
// stereo and dual channel, CBR and VBR, with and without CRC; the frames are what the settings ask for.
#include "FrameReader.h"
#include "Mp3Decode.h"
#include "TestStreams.h"

#include <gtest/gtest.h>

namespace {
struct Case {
    int rate;
    int mode;          // 1 mono, 2 joint stereo, 4 dual channel
    uint32_t bitrate;  // 0 for VBR
    uint32_t quality;
    bool crc;
};

std::string Name(const testing::TestParamInfo<Case>& info) {
    const Case& c = info.param;
    return std::to_string(c.rate) + "_mode" + std::to_string(c.mode) +
           (c.quality ? "_vbr" + std::to_string(c.quality) : "_" + std::to_string(c.bitrate)) + (c.crc ? "_crc" : "");
}

std::vector<Case> Cases() {
    struct RateBitrates {
        int rate;
        uint32_t mono, stereo;
    };
    const RateBitrates table[] = {{8000, 8000, 16000},   {11025, 16000, 24000},  {12000, 24000, 20000},
                                  {16000, 24000, 32000}, {22050, 40000, 64000},  {24000, 32000, 48000},
                                  {32000, 48000, 96000}, {44100, 64000, 128000}, {48000, 96000, 192000}};
    std::vector<Case> cases;
    for (const RateBitrates& r : table) {
        cases.push_back({r.rate, 1, r.mono, 0, false});
        cases.push_back({r.rate, 2, r.stereo, 0, true});
        cases.push_back({r.rate, 4, r.stereo, 0, false});
        cases.push_back({r.rate, 1, 0, 40, true});
        cases.push_back({r.rate, 2, 0, 80, false});
    }
    return cases;
}

class StreamDecodeTest : public testing::TestWithParam<Case> {};

TEST_P(StreamDecodeTest, DecodesCleanlyWithTheRequestedFrames) {
    const Case& c = GetParam();
    const int channels = c.mode == 1 ? 1 : 2;
    const double seconds = 1.5;
    const std::vector<int16_t> pcm = MakeMusic(c.rate, channels, seconds);
    StreamSettings s;
    s.config = StreamConfig{static_cast<uint32_t>(c.rate), c.mode, 2, c.bitrate, c.quality};
    s.crc = c.crc;
    const EncodedStream enc = EncodeStream(pcm, c.rate, channels, s);
    ASSERT_TRUE(enc.ok) << enc.error;

    const DecodedAudio mpg = DecodeWithMpg123(enc.bytes);
    EXPECT_EQ(mpg.errors, 0) << mpg.firstError;
    EXPECT_EQ(mpg.rate, c.rate);
    EXPECT_EQ(mpg.channels, channels);
    EXPECT_GE(mpg.samples.size(), pcm.size());
    const DecodedAudio av = DecodeWithLibav(enc.bytes);
    EXPECT_EQ(av.errors, 0) << av.firstError;
    EXPECT_GE(av.samples.size(), pcm.size() * 9 / 10);

    const StreamInfo info = ReadStream(enc.bytes);
    ASSERT_TRUE(info.error.empty()) << info.error;
    ASSERT_FALSE(info.frames.empty());
    const int expectedVersion = c.rate >= 32000 ? 0 : (c.rate >= 16000 ? 1 : 2);
    const int expectedMode = c.mode == 1 ? 3 : (c.mode == 4 ? 2 : 1);
    size_t audioBytes = 0, audioFrames = 0;
    for (size_t i = 0; i < info.frames.size(); ++i) {
        const FrameInfo& f = info.frames[i];
        EXPECT_EQ(f.version, expectedVersion);
        EXPECT_EQ(f.rate, c.rate);
        if (f.vbri) {
            EXPECT_EQ(i, 0u) << "the VBRI frame leads the stream";
            continue;
        }
        EXPECT_EQ(f.mode, expectedMode);
        EXPECT_EQ(f.hasCrc, c.crc);
        EXPECT_TRUE(f.crcOk) << "frame " << i;
        if (c.mode != 2) {
            EXPECT_EQ(f.modeExtension, 0);
        }
        audioBytes += static_cast<size_t>(f.size);
        ++audioFrames;
    }
    EXPECT_EQ(info.frames.front().vbri, c.quality != 0);
    if (c.quality == 0) {
        // The average frame matches the bitrate within one frame over the whole stream.
        const double spf = c.rate >= 32000 ? 1152 : 576;
        const double expected = c.bitrate / 8.0 * audioFrames * spf / c.rate;
        const double frame = c.bitrate / 8.0 * spf / c.rate;
        EXPECT_NEAR(static_cast<double>(audioBytes), expected, frame + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(AllRatesAndModes, StreamDecodeTest, testing::ValuesIn(Cases()), Name);

TEST(StreamQuality, DecodedSignalFollowsTheInput) {
    // A gross fault in the filterbank, the scale or the quantizer shows as a collapse of the SNR.
    struct Q {
        int rate, mode;
        uint32_t bitrate;
        double minSnr;
    };
    // The floors sit 1.5 dB under what the encoder reaches (16.1, 11.4 and 11.5 dB).
    for (const Q q : {Q{44100, 2, 192000, 14.5}, Q{44100, 1, 64000, 9.9}, Q{22050, 2, 64000, 10.0}}) {
        const int channels = q.mode == 1 ? 1 : 2;
        const std::vector<int16_t> pcm = MakeMusic(q.rate, channels, 2.0);
        StreamSettings s;
        s.config = StreamConfig{static_cast<uint32_t>(q.rate), q.mode, 2, q.bitrate, 0};
        const EncodedStream enc = EncodeStream(pcm, q.rate, channels, s);
        ASSERT_TRUE(enc.ok);
        const DecodedAudio mpg = DecodeWithMpg123(enc.bytes);
        EXPECT_GT(AlignedSnr(pcm, mpg.samples, channels, enc.delay), q.minSnr) << q.rate << " " << q.bitrate;
    }
}

TEST(StreamQuality, InputConversionKeepsTheStreamDecodable) {
    const std::vector<int16_t> pcm = MakeMusic(48000, 2, 1.0);
    StreamSettings s;
    s.config = StreamConfig{44100, 2, 2, 128000, 0};
    const EncodedStream enc = EncodeStream(pcm, 48000, 2, s);
    ASSERT_TRUE(enc.ok) << enc.error;
    EXPECT_GT(enc.delay, 1201);
    const DecodedAudio mpg = DecodeWithMpg123(enc.bytes);
    EXPECT_EQ(mpg.errors, 0);
    EXPECT_EQ(mpg.rate, 44100);
    EXPECT_NEAR(static_cast<double>(mpg.samples.size()) / 2, 44100.0, 44100.0 * 0.1);
}
}  // namespace

namespace {
TEST(StreamStereo, IntensityOnlyWhereAllowed) {
    // Intensity stereo: two coded channels at 96000 bit/s or less, allowed by the settings, never for
    // dual channel; every such stream still decodes cleanly.
    struct Row {
        uint32_t bitrate;
        int mode;
        bool allow;
        bool expectIntensity;
    };
    const std::vector<int16_t> pcm = MakeMusic(44100, 2, 1.5);
    for (const Row& r : {Row{96000, 2, true, true}, Row{128000, 2, true, false}, Row{96000, 2, false, false},
                         Row{96000, 4, true, false}}) {
        StreamSettings s;
        s.config = StreamConfig{44100, r.mode, 2, r.bitrate, 0};
        s.allowIntensity = r.allow;
        const EncodedStream enc = EncodeStream(pcm, 44100, 2, s);
        ASSERT_TRUE(enc.ok) << enc.error;
        const StreamInfo info = ReadStream(enc.bytes);
        ASSERT_TRUE(info.error.empty()) << info.error;
        int intensityFrames = 0;
        for (const FrameInfo& f : info.frames) intensityFrames += f.modeExtension & 1;
        EXPECT_EQ(intensityFrames > 0, r.expectIntensity) << r.bitrate << " mode " << r.mode << " allow " << r.allow;
        const DecodedAudio mpg = DecodeWithMpg123(enc.bytes);
        EXPECT_EQ(mpg.errors, 0) << mpg.firstError;
        EXPECT_EQ(DecodeWithLibav(enc.bytes).errors, 0);
        EXPECT_GT(AlignedSnr(pcm, mpg.samples, 2, enc.delay), 10.0);  // 11.5 to 12.7 dB reached
    }
}
}  // namespace

namespace {
TEST(StreamQuality, EveryRefinementLevelMakesADecodableStream) {
    // Level 0 skips the distortion-driven steps and the full region search, level 2 adds its pass and
    // converts the input even at equal rates, cutting at the core's lowpass.
    const std::vector<int16_t> pcm = MakeMusic(44100, 2, 1.5);
    for (int level : {0, 1, 2}) {
        StreamSettings s;
        s.config = StreamConfig{44100, 2, 2, 128000, 0};
        s.option0 = level;
        const EncodedStream enc = EncodeStream(pcm, 44100, 2, s);
        ASSERT_TRUE(enc.ok) << enc.error;
        EXPECT_EQ(enc.delay > 1201, level == 2) << "only level 2 adds the converter's delay";
        const DecodedAudio mpg = DecodeWithMpg123(enc.bytes);
        EXPECT_EQ(mpg.errors, 0) << level;
        EXPECT_EQ(DecodeWithLibav(enc.bytes).errors, 0) << level;
        // Reached: 12.8, 12.7 and 11.1 dB (level 2 also cuts at the core's lowpass).
        EXPECT_GT(AlignedSnr(pcm, mpg.samples, 2, enc.delay), level == 2 ? 9.6 : 11.2) << level;
    }
}
}  // namespace
