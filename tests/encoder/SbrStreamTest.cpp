// Streams with SBR data as a host makes them: every frame's SBR block parses with the standard's
// code tables to its stated length and CRC, plain decoders read the core stream cleanly at the core
// rate, and the envelopes follow the energies of the source's high band.
#include "FrameReader.h"
#include "Mp3Decode.h"
#include "SbrReader.h"
#include "TestStreams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Case {
    const char* name;
    int rate, channels;
    StreamConfig config;
    bool openDefaults;  // no SetConfig: the configuration EncoderOpen chose
    bool coupling;      // the tuning lets the two SBR channels be coupled
};

// The encode loop of a host that keeps the configuration EncoderOpen chose.
std::vector<uint8_t> EncodeWithOpenDefaults(const std::vector<int16_t>& pcm, int rate, int channels,
                                            StreamConfig& chosen) {
    const EncoderApi& api = Api();
    EncoderHandle h = api.EncoderOpen(static_cast<uint32_t>(rate), static_cast<uint32_t>(channels), 0);
    std::vector<uint8_t> stream, out(1 << 16);
    if (!h) return stream;
    api.EncoderGetConfig(h, &chosen);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
    size_t pos = 0;
    for (int idle = 0; idle < 3;) {
        int32_t consumed = 0;
        const int32_t left = static_cast<int32_t>(pcm.size() * 2 - pos);
        const int32_t n = api.EncoderEncode(h, left > 0 ? bytes + pos : nullptr, left, &consumed, out.data(),
                                            static_cast<int32_t>(out.size()), nullptr, nullptr);
        if (n < 0) break;
        stream.insert(stream.end(), out.begin(), out.begin() + n);
        pos += static_cast<size_t>(consumed);
        if (left == 0) idle = n == 0 ? idle + 1 : 0;
    }
    api.EncoderClose(h);
    return stream;
}

class SbrStreamTest : public testing::TestWithParam<Case> {};

TEST_P(SbrStreamTest, EveryBlockParsesAndPlainDecodersReadTheCore) {
    const Case& c = GetParam();
    const double seconds = 2.0;
    const std::vector<int16_t> pcm = MakeMusic(c.rate, c.channels, seconds);
    std::vector<uint8_t> bytes;
    StreamConfig config{};
    if (c.openDefaults) {
        bytes = EncodeWithOpenDefaults(pcm, c.rate, c.channels, config);
    } else {
        StreamSettings s;
        s.config = c.config;
        const EncodedStream enc = EncodeStream(pcm, c.rate, c.channels, s);
        ASSERT_TRUE(enc.ok) << enc.error;
        bytes = enc.bytes;
        config = enc.config;
    }
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(config.CodecMode, 1) << "an SBR stream";
    const int coreRate = static_cast<int>(config.OutRate / 2);
    const int sbrChannels = config.ChannelMode == 2 || config.ChannelMode == 4 ? 2 : 1;

    const StreamInfo info = ReadStream(bytes);
    ASSERT_TRUE(info.error.empty()) << info.error;
    SbrStreamReader reader;
    SCOPED_TRACE("code tables from the " + reader.TableSource());
    int blocks = 0, headers = 0, coupled = 0;
    const size_t frames = info.frames.size();
    ASSERT_GT(frames, 20u);
    for (size_t i = 0; i < frames; ++i) {
        const FrameInfo& f = info.frames[i];
        if (f.vbri) continue;
        EXPECT_EQ(f.rate, coreRate);
        const SbrBlock b = reader.ReadFrame(f);
        // The core's own flush frames at the end carry no SBR data.
        if (i + 4 < frames) {
            EXPECT_TRUE(b.found) << "frame " << i << ": " << b.error;
        }
        if (!b.found) continue;
        ++blocks;
        headers += b.header;
        coupled += b.coupled;
        EXPECT_EQ(b.channels, sbrChannels) << "frame " << i;
        EXPECT_TRUE(b.crc) << "the side-data CRC is on by default";
        if (blocks == 1) {
            EXPECT_TRUE(b.header) << "the first block carries a header";
        }
    }
    EXPECT_GE(headers, 2) << "the header repeats about once a second";
    EXPECT_LT(headers, blocks / 10);
    if (c.coupling) {
        EXPECT_GT(coupled, 0) << "similar channels get coupled";
    }

    for (const DecodedAudio& d : {DecodeWithMpg123(bytes), DecodeWithLibav(bytes)}) {
        EXPECT_EQ(d.errors, 0) << d.firstError;
        EXPECT_EQ(d.rate, coreRate);
        EXPECT_EQ(d.channels, config.ChannelMode == 3 ? 1 : c.channels == 1 ? 1 : sbrChannels);
        EXPECT_GE(static_cast<double>(d.samples.size()) / d.channels, seconds * coreRate);
    }
}

std::string Name(const testing::TestParamInfo<Case>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Sbr, SbrStreamTest,
                         testing::Values(Case{"Stereo44k64kbit", 44100, 2, {0, 0, 1, 64000, 0}, false, true},
                                         Case{"OpenDefaultsStereo44k", 44100, 2, {}, true, false},
                                         Case{"Mono44k40kbit", 44100, 1, {44100, 1, 1, 40000, 0}, false, false},
                                         Case{"MidOnlyMode3At48k", 48000, 2, {48000, 3, 1, 32000, 0}, false, false},
                                         Case{"DualChannel32k", 32000, 2, {32000, 4, 1, 48000, 0}, false, false},
                                         Case{"VbrStereo44k", 44100, 2, {44100, 2, 1, 0, 60}, false, false},
                                         Case{
                                             "Stereo44kFrom48kInput", 48000, 2, {44100, 2, 1, 80000, 0}, false, false}),
                         Name);

}  // namespace
