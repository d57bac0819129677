// The entry points as a host sees them through dlopen: refusals, the encode protocol, the records.
#include "FrameReader.h"
#include "Mp3Decode.h"
#include "TestStreams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

namespace {
struct Handle {
    explicit Handle(uint32_t rate, uint32_t channels, uint32_t format = 0)
        : h(Api().EncoderOpen(rate, channels, format)) {}
    ~Handle() { Api().EncoderClose(h); }
    EncoderHandle h;
};

TEST(EncoderApi, OpenRefusesFormatsItCannotTake) {
    EXPECT_EQ(Api().EncoderOpen(44100, 3, 0), nullptr);
    EXPECT_EQ(Api().EncoderOpen(44100, 2, 2), nullptr);
    EXPECT_EQ(Api().EncoderOpen(44101, 2, 0), nullptr);
    EXPECT_EQ(Api().EncoderOpen(44100, 0, 0), nullptr);
}

TEST(EncoderApi, OpenChoosesAPlainConfigurationByInputRate) {
    struct Row {
        uint32_t rate, channels;
        StreamConfig expected;
    };
    for (const Row& r : {Row{22050, 2, {22050, 2, 2, 64000, 0}}, Row{12000, 2, {12000, 1, 2, 16000, 0}},
                         Row{11025, 1, {11025, 1, 2, 16000, 0}}, Row{8000, 1, {8000, 1, 2, 8000, 0}}}) {
        Handle e(r.rate, r.channels);
        ASSERT_NE(e.h, nullptr) << r.rate;
        StreamConfig cfg{};
        ASSERT_EQ(Api().EncoderGetConfig(e.h, &cfg), 1);
        EXPECT_EQ(std::memcmp(&cfg, &r.expected, sizeof cfg), 0)
            << r.rate << ": " << cfg.OutRate << " " << cfg.ChannelMode << " " << cfg.CodecMode << " " << cfg.Bitrate;
    }
}

TEST(EncoderApi, NullHandleIsRefusedEverywhere) {
    const EncoderApi& a = Api();
    int32_t consumed = 0, bytes = 0;
    uint8_t out[16];
    char version[80];
    StreamConfig cfg{};
    EXPECT_EQ(a.EncoderClose(nullptr), 0);
    EXPECT_EQ(a.EncoderEncode(nullptr, out, 4, &consumed, out, sizeof out, nullptr, nullptr), -1);
    EXPECT_EQ(a.EncoderEnumConfigs(nullptr, 0, 0, 0, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(a.EncoderSetConfig(nullptr, &cfg), 0);
    EXPECT_EQ(a.EncoderGetConfig(nullptr, &cfg), 0);
    EXPECT_EQ(a.EncoderGetAdvanced(nullptr), nullptr);
    EXPECT_EQ(a.EncoderSetAdvanced(nullptr, nullptr), 0);
    EXPECT_EQ(a.EncoderGetVbriHeader(nullptr, out, sizeof out), 0);
    EXPECT_EQ(a.EncoderGetVersion(nullptr, version), 0);
    EXPECT_EQ(a.EncoderGetBlockSize(nullptr, &bytes), 0);
}

class Stereo44 : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(e.h, nullptr);
        StreamConfig cfg{44100, 2, 2, 128000, 0};
        ASSERT_EQ(Api().EncoderSetConfig(e.h, &cfg), 1);
    }
    Handle e{44100, 2};
    std::vector<uint8_t> out = std::vector<uint8_t>(1 << 16);
};

TEST_F(Stereo44, TakesWholeSampleFramesOnly) {
    int16_t pcm[4] = {1, 2, 3, 4};
    int32_t consumed = -5;
    EXPECT_EQ(
        Api().EncoderEncode(e.h, pcm, 6, &consumed, out.data(), static_cast<int32_t>(out.size()), nullptr, nullptr),
        -1);
    EXPECT_EQ(
        Api().EncoderEncode(e.h, pcm, 8, &consumed, out.data(), static_cast<int32_t>(out.size()), nullptr, nullptr), 0);
    EXPECT_EQ(consumed, 8);
    int32_t wanted = 0;
    ASSERT_EQ(Api().EncoderGetBlockSize(e.h, &wanted), 1);
    EXPECT_EQ(wanted, 2 * 576 * 2 - 8);
}

TEST_F(Stereo44, SmallOutputIsRefusedBeforeAnyInputIsTaken) {
    std::vector<int16_t> pcm(2 * 576 * 4, 100);
    int32_t consumed = -5;
    EXPECT_EQ(Api().EncoderEncode(e.h, pcm.data(), static_cast<int32_t>(pcm.size() * 2), &consumed, out.data(), 16,
                                  nullptr, nullptr),
              -1);
    int32_t wanted = 0;
    Api().EncoderGetBlockSize(e.h, &wanted);
    EXPECT_EQ(wanted, 2 * 576 * 2) << "nothing of the block was taken";
}

TEST_F(Stereo44, AdvancedSettingsOutsideTheirRangesAreRefused) {
    const AdvancedSettings before = *Api().EncoderGetAdvanced(e.h);
    EXPECT_FLOAT_EQ(before.LowPass > 0 ? 1.0f : 0.0f, 1.0f) << "the effective lowpass is reported";
    for (float lowpass :
         {22051.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        AdvancedSettings a = before;
        a.LowPass = lowpass;
        EXPECT_EQ(Api().EncoderSetAdvanced(e.h, &a), 0) << lowpass;
    }
    AdvancedSettings a = before;
    a.Option0 = 3;
    EXPECT_EQ(Api().EncoderSetAdvanced(e.h, &a), 0);
    a = before;
    a.PaddingMode = 3;
    EXPECT_EQ(Api().EncoderSetAdvanced(e.h, &a), 0);
    EXPECT_EQ(std::memcmp(Api().EncoderGetAdvanced(e.h), &before, sizeof before), 0);
}

TEST_F(Stereo44, FlushOfAnEmptyStreamFinishesIt) {
    int32_t consumed = 0;
    int total = 0;
    for (int i = 0; i < 20; ++i) {
        const int32_t n = Api().EncoderEncode(e.h, nullptr, 0, &consumed, out.data(), static_cast<int32_t>(out.size()),
                                              nullptr, nullptr);
        ASSERT_GE(n, 0);
        total += n;
    }
    EXPECT_GT(total, 0) << "frames of silence";
    int16_t pcm[4] = {};
    EXPECT_EQ(
        Api().EncoderEncode(e.h, pcm, 8, &consumed, out.data(), static_cast<int32_t>(out.size()), nullptr, nullptr), 0);
    EXPECT_EQ(consumed, 0);
}

TEST_F(Stereo44, VersionAndVbriHeaderOfAConstantRateStream) {
    char v[80];
    std::memset(v, 'x', sizeof v);
    ASSERT_EQ(Api().EncoderGetVersion(e.h, v), 1);
    EXPECT_STREQ(v, "Dec 10 2026 sbr: Dec 10 2026");
    EXPECT_STREQ(v + 40, "1.0.0 sbr: 1.0");
    uint8_t buf[4] = {7, 7, 7, 7};
    EXPECT_EQ(Api().EncoderGetVbriHeader(e.h, buf, sizeof buf), 0);
    EXPECT_EQ(buf[0], 7);
}

TEST(EncoderApi, EnumeratesThePlainConfigurationsOfABitrate) {
    Handle e(44100, 2);
    const StreamConfigList* list = Api().EncoderEnumConfigs(e.h, 0, 0, 0, 128000, 0, 0, 0);
    ASSERT_NE(list, nullptr);
    const StreamConfig expected[] = {
        {32000, 2, 2, 128000, 0}, {32000, 4, 2, 128000, 0}, {44100, 2, 2, 128000, 0}, {44100, 4, 2, 128000, 0}};
    ASSERT_EQ(list->Count, 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(std::memcmp(&list->Configs[i], &expected[i], sizeof expected[i]), 0) << i;
    const StreamConfigList* all = Api().EncoderEnumConfigs(e.h, 0, 0, 0, 0, 0, 1, 1);
    EXPECT_GT(all->Count, 50u);
    EXPECT_LE(all->Count, 250u);
    for (uint32_t i = 0; i < all->Count; ++i) {
        StreamConfig c = all->Configs[i];
        Handle probe(44100, 2);
        EXPECT_EQ(Api().EncoderSetConfig(probe.h, &c), 1) << c.OutRate << " " << c.ChannelMode << " " << c.Bitrate;
    }
}

TEST(EncoderApi, AutomaticLowpassFollowsBitrateAndQuality) {
    Handle mono(22050, 1);
    StreamConfig cfg{22050, 1, 2, 32000, 0};
    ASSERT_EQ(Api().EncoderSetConfig(mono.h, &cfg), 1);
    EXPECT_NEAR(Api().EncoderGetAdvanced(mono.h)->LowPass, 7634.0f, 1.0f);
    Handle vbr(44100, 2);
    StreamConfig q{0, 0, 2, 0, 80};
    ASSERT_EQ(Api().EncoderSetConfig(vbr.h, &q), 1);
    EXPECT_EQ(q.OutRate, 44100u);
    EXPECT_NEAR(Api().EncoderGetAdvanced(vbr.h)->LowPass, 16758.0f, 1.0f);
}

TEST(EncoderApi, InfoBlockCarriesTheTotalLengthOnce) {
    const std::vector<int16_t> pcm = MakeMusic(44100, 2, 1.0);
    StreamSettings s;
    s.config = StreamConfig{44100, 2, 2, 128000, 0};
    s.totalLength = 44100;
    const EncodedStream enc = EncodeStream(pcm, 44100, 2, s);
    ASSERT_TRUE(enc.ok) << enc.error;
    const StreamInfo info = ReadStream(enc.bytes);
    ASSERT_TRUE(info.error.empty()) << info.error;
    int delay = 0;
    uint32_t value = 0;
    ASSERT_TRUE(FindInfoBlock(info, delay, value));
    EXPECT_EQ(delay, 1201);
    EXPECT_EQ(value, 44100u);
}

TEST(EncoderApi, HostAncillaryDataTravelsInTheFrames) {
    Handle e(44100, 1);
    StreamConfig cfg{44100, 1, 2, 128000, 0};
    ASSERT_EQ(Api().EncoderSetConfig(e.h, &cfg), 1);
    uint8_t anc[20];
    for (int i = 0; i < 20; ++i) anc[i] = static_cast<uint8_t>(0x30 + i);
    int32_t ancLen = 20;
    std::vector<int16_t> pcm(576 * 40, 0);
    std::vector<uint8_t> out(1 << 16), stream;
    size_t pos = 0;
    while (pos < pcm.size() * 2) {
        int32_t consumed = 0;
        const int32_t n = Api().EncoderEncode(e.h, reinterpret_cast<uint8_t*>(pcm.data()) + pos,
                                              static_cast<int32_t>(pcm.size() * 2 - pos), &consumed, out.data(),
                                              static_cast<int32_t>(out.size()), anc + (20 - ancLen), &ancLen);
        ASSERT_GE(n, 0);
        stream.insert(stream.end(), out.begin(), out.begin() + n);
        pos += static_cast<size_t>(consumed);
    }
    EXPECT_EQ(ancLen, 0);
    // Short form up to 14 bytes, else 0xAF and the length - 15, then the bytes.
    const StreamInfo info = ReadStream(stream);
    ASSERT_TRUE(info.error.empty()) << info.error;
    bool found = false;
    for (const FrameInfo& f : info.frames) {
        for (int off = 0; off + 22 * 8 <= f.ancillaryBits && !found; ++off) {
            std::vector<uint8_t> b(22);
            for (int k = 0; k < 22; ++k) {
                int v = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    const int p = off + 8 * k + bit;
                    v = (v << 1) | ((f.ancillary[static_cast<size_t>(p / 8)] >> (7 - p % 8)) & 1);
                }
                b[static_cast<size_t>(k)] = static_cast<uint8_t>(v);
            }
            found = b[0] == 0xAF && b[1] == 5 && std::memcmp(b.data() + 2, anc, 20) == 0;
        }
    }
    EXPECT_TRUE(found);
}

TEST(EncoderApi, VbrStreamLeadsWithItsVbriFrame) {
    const std::vector<int16_t> pcm = MakeMusic(44100, 2, 2.0);
    StreamSettings s;
    s.config = StreamConfig{44100, 2, 2, 0, 60};
    const EncodedStream enc = EncodeStream(pcm, 44100, 2, s);
    ASSERT_TRUE(enc.ok);
    const StreamInfo info = ReadStream(enc.bytes);
    ASSERT_TRUE(info.error.empty()) << info.error;
    ASSERT_TRUE(info.frames.front().vbri);
    const uint8_t* v = enc.bytes.data();
    EXPECT_EQ(info.frames.front().size, 522) << "the first MPEG-1 bitrate whose frame exceeds 458 bytes";
    const uint32_t total = (v[46] << 24) | (v[47] << 16) | (v[48] << 8) | v[49];
    const uint32_t frames = (v[50] << 24) | (v[51] << 16) | (v[52] << 8) | v[53];
    EXPECT_EQ(total, enc.bytes.size());
    EXPECT_EQ(frames, info.frames.size());
    EXPECT_EQ((v[44] << 8) | v[45], 60);
    Handle again(44100, 2);
    StreamConfig vbr{44100, 2, 2, 0, 60};
    ASSERT_EQ(Api().EncoderSetConfig(again.h, &vbr), 1);
    uint8_t small[16];
    std::memset(small, 0x5A, sizeof small);
    EXPECT_EQ(Api().EncoderGetVbriHeader(again.h, small, sizeof small), 522) << "the size, whatever the buffer";
    for (uint8_t b : small) EXPECT_EQ(b, 0x5A);
    std::set<int> indexes;
    for (size_t i = 1; i < info.frames.size(); ++i) indexes.insert(info.frames[i].bitrateIndex);
    EXPECT_GT(indexes.size(), 1u) << "frames follow the material";
}
}  // namespace

namespace {
TEST(EncoderApi, FloatInputInTheIntegerScaleEncodesLikeSixteenBit) {
    const std::vector<int16_t> pcm = MakeMusic(48000, 1, 1.0);
    std::vector<float> f(pcm.begin(), pcm.end());
    Handle e(48000, 1, 1);
    ASSERT_NE(e.h, nullptr);
    StreamConfig cfg{48000, 1, 2, 96000, 0};
    ASSERT_EQ(Api().EncoderSetConfig(e.h, &cfg), 1);
    int32_t wanted = 0;
    Api().EncoderGetBlockSize(e.h, &wanted);
    EXPECT_EQ(wanted, 576 * 4);
    std::vector<uint8_t> out(1 << 16), stream;
    size_t pos = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(f.data());
    while (pos < f.size() * 4) {
        int32_t consumed = 0;
        const int32_t n = Api().EncoderEncode(e.h, bytes + pos, static_cast<int32_t>(f.size() * 4 - pos), &consumed,
                                              out.data(), static_cast<int32_t>(out.size()), nullptr, nullptr);
        ASSERT_GE(n, 0);
        stream.insert(stream.end(), out.begin(), out.begin() + n);
        pos += static_cast<size_t>(consumed);
    }
    int32_t consumed = 0;
    for (int32_t n; (n = Api().EncoderEncode(e.h, nullptr, 0, &consumed, out.data(), static_cast<int32_t>(out.size()),
                                             nullptr, nullptr)) > 0;)
        stream.insert(stream.end(), out.begin(), out.begin() + n);
    const StreamInfo info = ReadStream(stream);
    EXPECT_TRUE(info.error.empty()) << info.error;
    EXPECT_GT(info.frames.size(), 40u);
    // Two mono float samples are 8 bytes: 6 bytes are not a whole sample frame.
    Handle g(48000, 2, 1);
    EXPECT_EQ(Api().EncoderEncode(g.h, f.data(), 12, &consumed, out.data(), static_cast<int32_t>(out.size()), nullptr,
                                  nullptr),
              -1);
}

TEST(EncoderApi, EncodeAfterAFailedRebuildIsRefused) {
    Handle e(44100, 2);
    StreamConfig sbr{44100, 2, 1, 64000, 0};
    EXPECT_EQ(Api().EncoderSetConfig(e.h, &sbr), 1);
    StreamConfig vbrSbr{44100, 2, 0, 0, 50};
    EXPECT_EQ(Api().EncoderSetConfig(e.h, &vbrSbr), 1);
    EXPECT_EQ(vbrSbr.CodecMode, 1) << "VBR without a codec is SBR from 32 kHz on";
    StreamConfig refused{44100, 3, 2, 64000, 0};
    EXPECT_EQ(Api().EncoderSetConfig(e.h, &refused), 0) << "refused before the rebuild: the chain keeps running";
    int16_t silence[4] = {};
    int32_t taken = 0;
    uint8_t buffer[8192];
    EXPECT_EQ(Api().EncoderEncode(e.h, silence, 8, &taken, buffer, sizeof buffer, nullptr, nullptr), 0);
    StreamConfig unbuildable{44100, 2, 2, 8000, 0};  // 4000 bit/s per channel: the core refuses
    EXPECT_EQ(Api().EncoderSetConfig(e.h, &unbuildable), 0);
    int16_t pcm[4] = {};
    int32_t consumed = 0;
    uint8_t out[8192];
    EXPECT_EQ(Api().EncoderEncode(e.h, pcm, 8, &consumed, out, sizeof out, nullptr, nullptr), -1);
}
}  // namespace

namespace {
TEST(EncoderApi, FloatInputWithNonFiniteOrHugeSamplesStillMakesAValidStream) {
    Handle e(44100, 2, 1);
    StreamConfig cfg{44100, 2, 2, 128000, 0};
    ASSERT_EQ(Api().EncoderSetConfig(e.h, &cfg), 1);
    std::vector<float> pcm(2 * 44100);
    for (size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<float>(20000.0 * std::sin(0.01 * static_cast<double>(i)));
        if (i % 1000 == 0) pcm[i] = std::numeric_limits<float>::quiet_NaN();
        if (i % 1777 == 0) pcm[i] = std::numeric_limits<float>::infinity();
        if (i % 2999 == 0) pcm[i] = 3e30f;
    }
    std::vector<uint8_t> out(1 << 16), stream;
    size_t pos = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
    while (pos < pcm.size() * 4) {
        int32_t consumed = 0;
        const int32_t n = Api().EncoderEncode(e.h, bytes + pos, static_cast<int32_t>(pcm.size() * 4 - pos), &consumed,
                                              out.data(), static_cast<int32_t>(out.size()), nullptr, nullptr);
        ASSERT_GE(n, 0);
        stream.insert(stream.end(), out.begin(), out.begin() + n);
        pos += static_cast<size_t>(consumed);
    }
    const StreamInfo info = ReadStream(stream);
    EXPECT_TRUE(info.error.empty()) << info.error;
    EXPECT_EQ(DecodeWithMpg123(stream).errors, 0);
}
}  // namespace
