// Joint stereo at the half rates, with M/S and intensity both allowed, plays at the source's channel
// levels in libmpg123 and in libavcodec alike: a band that carries no intensity must not be read as one.
#include "Mp3Decode.h"
#include "TestStreams.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> StereoTone(int rate, double hz, double left, double right, double seconds) {
    const size_t frames = static_cast<size_t>(rate * seconds);
    std::vector<int16_t> pcm(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double s = std::sin(2 * kPi * hz * static_cast<double>(i) / rate);
        pcm[2 * i] = static_cast<int16_t>(std::lround(32767 * left * s));
        pcm[2 * i + 1] = static_cast<int16_t>(std::lround(32767 * right * s));
    }
    return pcm;
}

// RMS level in dB of one channel over the middle half of an interleaved stereo signal.
double LevelDb(const std::vector<float>& samples, int channel) {
    const size_t frames = samples.size() / 2;
    double sum = 0;
    size_t n = 0;
    for (size_t i = frames / 4; i < frames * 3 / 4; ++i, ++n)
        sum += double(samples[2 * i + channel]) * samples[2 * i + channel];
    return 10 * std::log10(sum / static_cast<double>(std::max<size_t>(n, 1)) + 1e-30);
}

double SourceLevelDb(double amplitude) { return 20 * std::log10(amplitude * 32767 / 32768 / std::sqrt(2.0)); }

struct ToneCase {
    const char* name;
    int rate;
    uint32_t bitrate;
    double hz, left, right;
};

TEST(StereoDecoderAgreement, ChannelLevelsMatchTheSourceInBothDecoders) {
    const ToneCase cases[] = {
        {"equal tone 22050 Hz", 22050, 64000, 80, 0.3, 0.3},
        {"panned tone 22050 Hz", 22050, 64000, 80, 0.4, 0.1},
        {"equal tone 16000 Hz", 16000, 32000, 80, 0.3, 0.3},
    };
    for (const ToneCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<int16_t> pcm = StereoTone(c.rate, c.hz, c.left, c.right, 2.0);
        StreamSettings s;
        s.config = StreamConfig{static_cast<uint32_t>(c.rate), 2, 2, c.bitrate, 0};
        const EncodedStream enc = EncodeStream(pcm, c.rate, 2, s);
        ASSERT_TRUE(enc.ok) << enc.error;
        const DecodedAudio decoded[2] = {DecodeWithMpg123(enc.bytes), DecodeWithLibav(enc.bytes)};
        const char* names[2] = {"libmpg123", "libavcodec"};
        for (int d = 0; d < 2; ++d) {
            ASSERT_EQ(decoded[d].channels, 2) << names[d];
            EXPECT_EQ(decoded[d].errors, 0) << names[d] << ": " << decoded[d].firstError;
            EXPECT_NEAR(LevelDb(decoded[d].samples, 0), SourceLevelDb(c.left), 0.2) << names[d] << " left";
            EXPECT_NEAR(LevelDb(decoded[d].samples, 1), SourceLevelDb(c.right), 0.2) << names[d] << " right";
        }
    }
}
}  // namespace

namespace {
TEST(StereoDecoderAgreement, MusicDecodesAlikeAtTheHalfRates) {
    // Joint stereo with M/S and intensity where both are on by default: the two decoders' outputs
    // differ from the source by about the same amount.
    for (const int rate : {16000, 22050, 24000}) {
        SCOPED_TRACE(rate);
        // The same music in both channels: the side channel is silent, so every band with values
        // in the mid channel lies above the last right-channel value.
        const std::vector<int16_t> mono = MakeMusic(rate, 1, 2.0);
        std::vector<int16_t> pcm(mono.size() * 2);
        for (size_t i = 0; i < mono.size(); ++i) pcm[2 * i] = pcm[2 * i + 1] = mono[i];
        StreamSettings s;
        s.config = StreamConfig{static_cast<uint32_t>(rate), 2, 2, 48000, 0};
        const EncodedStream enc = EncodeStream(pcm, rate, 2, s);
        ASSERT_TRUE(enc.ok) << enc.error;
        const double mpg = AlignedSnr(pcm, DecodeWithMpg123(enc.bytes).samples, 2, enc.delay);
        const double av = AlignedSnr(pcm, DecodeWithLibav(enc.bytes).samples, 2, enc.delay);
        EXPECT_NEAR(av, mpg, 0.5);
    }
}
}  // namespace
