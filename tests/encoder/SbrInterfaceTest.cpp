// The interface's SBR mode as a host sees it: the configurations EncoderOpen chooses, SetConfig's
// completions and refusals, the enumeration's SBR records, and what the advanced settings report.
#include "TestStreams.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Handle {
    explicit Handle(uint32_t rate, uint32_t channels) : h(Api().EncoderOpen(rate, channels, 0)) {}
    ~Handle() { Api().EncoderClose(h); }
    EncoderHandle h;
};

std::string Text(const StreamConfig& c) {
    return std::to_string(c.OutRate) + "/" + std::to_string(c.ChannelMode) + "/" + std::to_string(c.CodecMode) + "/" +
           std::to_string(c.Bitrate) + "/" + std::to_string(c.VbrQuality);
}

TEST(SbrInterface, OpenChoosesSbrFrom32kHzAndTheLibraryReportsItsRange) {
    struct Row {
        uint32_t rate, channels;
        StreamConfig expected;
    };
    for (const Row& r : {Row{44100, 2, {44100, 2, 1, 80000, 0}}, Row{44100, 1, {44100, 1, 1, 40000, 0}},
                         Row{48000, 2, {48000, 2, 1, 80000, 0}}, Row{32000, 2, {32000, 2, 1, 48000, 0}}}) {
        Handle e(r.rate, r.channels);
        ASSERT_NE(e.h, nullptr) << r.rate;
        StreamConfig cfg{};
        ASSERT_EQ(Api().EncoderGetConfig(e.h, &cfg), 1);
        EXPECT_EQ(Text(cfg), Text(r.expected));
        const AdvancedSettings* a = Api().EncoderGetAdvanced(e.h);
        EXPECT_GT(a->LowPass, r.rate / 4.0f) << "the upper edge of the SBR range";
        EXPECT_LE(a->LowPass, r.rate / 2.0f);
        EXPECT_GT(a->EncoderDelay, 1201 + 2163) << "core, downsampler and SBR delays";
    }
}

TEST(SbrInterface, SetConfigCompletesAndRefusesSbrRecords) {
    Handle stereo(44100, 2);
    struct Row {
        StreamConfig asked;
        int32_t result;
        StreamConfig expected;
    };
    const Row rows[] = {
        {{0, 0, 1, 64000, 0}, 1, {44100, 2, 1, 64000, 0}},  // what brannoc-enc --sbr -b 64000 asks
        {{0, 0, 0, 32000, 0}, 1, {44100, 3, 1, 32000, 0}},  // one coded channel from two below 36 kbit/s
        {{0, 0, 0, 0, 50}, 1, {44100, 2, 1, 0, 50}},        // VBR picks SBR from 32 kHz on
        {{22050, 2, 1, 0, 50}, 1, {22050, 2, 2, 0, 50}},    // below 32 kHz VBR is plain
        {{0, 0, 1, 128000, 0}, 0, {}},                      // no SBR tuning at 128 kbit/s
        {{44100, 2, 1, 128000, 0}, 0, {}},
        {{22050, 2, 1, 64000, 0}, 0, {}},  // an SBR rate must be twice a core rate
        {{44100, 3, 2, 64000, 0}, 0, {}},  // one coded channel from two only with SBR
    };
    for (const Row& r : rows) {
        StreamConfig cfg = r.asked;
        EXPECT_EQ(Api().EncoderSetConfig(stereo.h, &cfg), r.result) << Text(r.asked);
        if (r.result == 1) {
            EXPECT_EQ(Text(cfg), Text(r.expected)) << Text(r.asked);
        }
    }
    Handle mono(44100, 1);
    StreamConfig mode3{44100, 3, 1, 32000, 0};
    EXPECT_EQ(Api().EncoderSetConfig(mono.h, &mode3), 0) << "mode 3 needs two input channels";
    StreamConfig narrow{44100, 1, 1, 32000, 0};
    ASSERT_EQ(Api().EncoderSetConfig(mono.h, &narrow), 1);
    EXPECT_FLOAT_EQ(Api().EncoderGetAdvanced(mono.h)->LowPass, 16192.0f) << "start 6, stop 9: k2 = 47";
    Handle low(22050, 2);
    StreamConfig sbrAt22{0, 0, 1, 48000, 0};
    EXPECT_EQ(Api().EncoderSetConfig(low.h, &sbrAt22), 0) << "no SBR below 32 kHz input";
}

TEST(SbrInterface, EnumerationListsSbrRecordsThatSetConfigTakes) {
    Handle e44(44100, 2), e48(48000, 2);
    EXPECT_EQ(Api().EncoderEnumConfigs(e48.h, 0, 0, 0, 0, 0, 1, 1)->Count, 206u);
    const StreamConfigList* all = Api().EncoderEnumConfigs(e44.h, 0, 0, 0, 0, 0, 1, 1);
    EXPECT_EQ(all->Count, 167u);
    int sbr = 0;
    for (uint32_t i = 0; i < all->Count; ++i) {
        StreamConfig c = all->Configs[i];
        if (c.CodecMode != 1) continue;
        ++sbr;
        Handle probe(44100, 2);
        EXPECT_EQ(Api().EncoderSetConfig(probe.h, &c), 1) << Text(all->Configs[i]);
    }
    EXPECT_GT(sbr, 10);

    const StreamConfigList* list = Api().EncoderEnumConfigs(e44.h, 0, 0, 0, 64000, 0, 0, 0);
    const StreamConfig expected[] = {{32000, 2, 1, 64000, 0}, {32000, 4, 1, 64000, 0}, {22050, 2, 2, 64000, 0},
                                     {22050, 4, 2, 64000, 0}, {44100, 2, 1, 64000, 0}, {44100, 4, 1, 64000, 0},
                                     {24000, 2, 2, 64000, 0}, {24000, 4, 2, 64000, 0}};
    ASSERT_EQ(list->Count, 8u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Text(list->Configs[i]), Text(expected[i])) << i;

    const StreamConfigList* vbr = Api().EncoderEnumConfigs(e44.h, 44100, 0, 1, 0, 60, 1, 1);
    ASSERT_EQ(vbr->Count, 4u) << "SBR at 44.1 kHz: mono, mode 3, joint stereo and dual channel";
    EXPECT_EQ(Text(vbr->Configs[1]), Text(StreamConfig{44100, 3, 1, 0, 60}));
}

}  // namespace
