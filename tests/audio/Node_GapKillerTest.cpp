#include <gtest/gtest.h>

#include "NodeChainKit.h"
#include "audio/graph/AudioErrors.h"
#include "audio/nodes/Node_GapKiller.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

using test::Join;
using test::StereoLevel;
using test::StereoSilence;
using test::StereoTone;
using TChain = test::TNodeChain<TNode_GapKiller>;

constexpr int kChunk = 1764;  // 10 ms chunks with blip skipping

TEST(GapKiller, LeadingSilenceIsDroppedAndStampsAreKept) {
    TChain chain;
    const auto music = StereoTone(2000, 10000);
    chain.Push(Join({StereoSilence(1500), music}), 0);
    chain.Filter->EndOfStream();

    ASSERT_FALSE(chain.Sink->Blocks.empty());
    EXPECT_EQ(chain.Sink->Blocks.front().Time, 1500);
    TStreamTime expected = 1500;
    for (const auto& block : chain.Sink->Blocks) {
        ASSERT_EQ(block.Time, expected);
        expected += 10;
    }
    // The last loud chunk, held as a blip candidate, goes out at the end too.
    EXPECT_EQ(chain.Sink->Joined(), music);
    const TGapKillerInfo info = chain.Node().GetInfo();
    EXPECT_TRUE(info.MusicFound);
    EXPECT_EQ(info.FrontSilence, 1500);
}

TEST(GapKiller, SilenceInsideASongComesOutUnchanged) {
    TChain chain;
    const auto song = Join({StereoTone(1000, 10000), StereoSilence(3000), StereoTone(1000, 10000, 300)});
    chain.Push(song, 0);
    EXPECT_EQ(chain.Node().GetInfo().BackSilence, 0);
    chain.Filter->EndOfStream();
    EXPECT_EQ(chain.Sink->Joined(), song);
}

// What a chunk held as a blip candidate becomes when the stream ends right after it.
TEST(GapKiller, ChunkHeldAtTheEnd) {
    struct Case {
        const char* what;
        std::vector<uint8_t> stream;
        size_t outBytes;
        int gaps;
    } cases[] = {
        {"a stream shorter than a chunk is all music", StereoTone(3, 10000), StereoTone(3, 10000).size(), 0},
        {"music ending in a partial chunk", StereoTone(25, 10000), StereoTone(25, 10000).size(), 0},
        {"a lone loud chunk after the music's silence stays a blip",
         Join({StereoTone(100, 10000), StereoSilence(100), StereoLevel(10, 20000)}),
         StereoTone(100, 10000).size() - kChunk, 0},
        {"a lone loud chunk after leading silence stays a blip", Join({StereoSilence(100), StereoLevel(10, 20000)}), 0,
         1},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        TChain chain;
        int gaps = 0;
        chain.Node().SetOnGap([&](TNode_GapKiller&) { ++gaps; });
        chain.Push(k.stream, 0);
        chain.Filter->EndOfStream();
        EXPECT_EQ(chain.Sink->Bytes(), k.outBytes);
        EXPECT_EQ(gaps, k.gaps);
    }
}

TEST(GapKiller, LoneLoudChunkInLeadingSilenceIsABlip) {
    struct Case {
        const char* what;
        bool skipBlips;
        int loudMs;
        TStreamTime firstStamp;
    } cases[] = {
        {"one loud chunk is dropped", true, 10, 1000},
        {"two loud chunks start the music", true, 20, 500},
        {"without blip skipping one is enough", false, 10, 500},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        TChain chain;
        TGapKillerInfo info = chain.Node().GetInfo();
        info.SkipBlips = k.skipBlips;
        chain.Node().SetInfo(info);
        chain.Filter->Start();  // the chunk length follows the setting
        chain.Push(Join({StereoSilence(500), StereoLevel(k.loudMs, 20000), StereoSilence(500 - k.loudMs),
                         StereoTone(1000, 10000)}),
                   0);
        ASSERT_FALSE(chain.Sink->Blocks.empty());
        EXPECT_EQ(chain.Sink->Blocks.front().Time, k.firstStamp);
    }
}

TEST(GapKiller, AStreamWithNothingLoudReportsAGapAtItsEnd) {
    for (const bool active : {true, false}) {
        SCOPED_TRACE(active ? "active" : "inactive");
        TChain chain;
        int gaps = 0;
        chain.Node().SetOnGap([&](TNode_GapKiller&) { ++gaps; });
        chain.Node().SetActive(active);
        const auto silence = StereoSilence(2000);
        chain.Push(silence, 0);
        chain.Filter->EndOfStream();
        EXPECT_EQ(gaps, active ? 1 : 0);
        // Inactive, every block passes as it came.
        EXPECT_EQ(chain.Sink->Bytes(), active ? 0u : silence.size());
    }
}

TEST(GapKiller, LongTrailingSilenceReportsAfterEveryBlock) {
    struct Case {
        int32_t maxGap;
        int gaps;
    } cases[] = {
        // back silence after silent block j is 10 + 50 j ms (the held last loud chunk counts):
        // it passes 5000 ms at block 100 of 160; the empty block after the end is one more
        {5000, 62},
        {0, 0},
        {-15000, 0},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.maxGap);
        TChain chain;
        int gaps = 0;
        chain.Node().SetOnGap([&](TNode_GapKiller& sender) {
            EXPECT_EQ(&sender, &chain.Node());
            ++gaps;
        });
        chain.Node().SetMaxGap(k.maxGap);
        chain.Push(Join({StereoTone(1000, 10000), StereoSilence(8000)}), 0);
        chain.Filter->EndOfStream();  // music went out: no report from the end
        EXPECT_EQ(gaps, k.gaps);
    }
}

TEST(GapKiller, LongSilenceIsLetGoBeyondTwentySeconds) {
    TChain chain;
    chain.Push(Join({StereoTone(1000, 10000), StereoSilence(60000)}), 0);
    // Held back: the last 20 s; everything before it has gone out, in order.
    const double outMs = BytesToMs(DefaultAudioFormat, static_cast<int32_t>(chain.Sink->Bytes()));
    EXPECT_NEAR(outMs, 41000.0, 10.0);
    TStreamTime expected = 0;
    for (const auto& block : chain.Sink->Blocks) {
        ASSERT_EQ(block.Time, expected);
        expected += 10;
    }
    EXPECT_EQ(chain.Node().GetInfo().BackSilence, 60010);  // released chunks still count
}

TEST(GapKiller, SeekStartsOverWithLeadingSilence) {
    TChain chain;
    chain.Push(StereoTone(500, 10000), 0);
    chain.Filter->Seek(0);
    EXPECT_FALSE(chain.Node().GetInfo().MusicFound);
    chain.Sink->Blocks.clear();
    chain.Push(Join({StereoSilence(300), StereoTone(500, 10000)}), 0);
    ASSERT_FALSE(chain.Sink->Blocks.empty());
    EXPECT_EQ(chain.Sink->Blocks.front().Time, 300);
    EXPECT_EQ(chain.Node().GetInfo().FrontSilence, 300);
}

TEST(GapKiller, RunningItKeepsTheFormatItStartedWith) {
    TChain chain;
    const TWaveFormat mono = MakePcmFormat(44100, 1, 16);
    EXPECT_FALSE(chain.Filter->SetFormat(mono));
    EXPECT_TRUE(chain.Filter->SetFormat(DefaultAudioFormat));
    chain.Filter->Stop();
    EXPECT_TRUE(chain.Filter->SetFormat(mono));
}

TEST(GapKiller, OnlySixteenBitSamplesCanBeAnalysed) {
    TGapKiller gapKiller;
    const uint8_t block[8] = {};
    struct Case {
        uint16_t bits;
        const char* message;
    } cases[] = {
        {8, "GapKiller: Can not analyze 8 bit samples"},
        {24, "GapKiller: Can not analyze 24 bit samples"},
        {32, "GapKiller: Invalid BitsPerSample"},
        {0, "GapKiller: Invalid BitsPerSample"},
    };
    for (const auto& k : cases) {
        TWaveFormat format = MakePcmFormat(44100, 2, k.bits);
        try {
            gapKiller.IsSilent(block, sizeof block, format);
            ADD_FAILURE() << "no error for " << k.bits << " bits";
        } catch (const EAudioError& e) {
            EXPECT_STREQ(e.what(), k.message);
        }
    }
    // The threshold itself: above it is loud, at it is silent (-20 dB before music: 3277).
    const int16_t atThreshold[2] = {3277, -3277};
    const int16_t above[2] = {0, -3278};
    EXPECT_TRUE(gapKiller.IsSilent(atThreshold, sizeof atThreshold, DefaultAudioFormat));
    EXPECT_FALSE(gapKiller.IsSilent(above, sizeof above, DefaultAudioFormat));
}

TEST(GapKiller, SettingsLoadAndSave) {
    TChain chain;
    auto doc = TConfigDoc_XML::Create("");
    auto section = doc->Section("GapKiller");
    section->WriteInteger("TriggerFront", -30);
    section->WriteInteger("BlipTime", 20);
    section->WriteInteger("MaxGap", 7000);
    section->WriteBool("SkipBlips", false);
    section->WriteBool("Enabled", false);  // written only, never read
    chain.Filter->LoadConfig(*doc);
    TGapKillerInfo info = chain.Node().GetInfo();
    EXPECT_EQ(info.TriggerFront, -30);
    EXPECT_EQ(info.TriggerBack, -24);
    EXPECT_EQ(info.BlipTime, 20);
    EXPECT_FALSE(info.SkipBlips);
    EXPECT_TRUE(info.Enabled);

    auto saved = TConfigDoc_XML::Create("");
    chain.Filter->SaveConfig(*saved);
    auto out = saved->Section("GapKiller");
    EXPECT_EQ(out->ReadString("Enabled", "?"), "-1");
    EXPECT_EQ(out->ReadString("RemoveFront", "?"), "-1");
    EXPECT_EQ(out->ReadString("RemoveBack", "?"), "-1");
    EXPECT_EQ(out->ReadInteger("TriggerFront", 0), -30);
    EXPECT_EQ(out->ReadInteger("TriggerBack", 0), -24);
    EXPECT_EQ(out->ReadString("SkipBlips", "?"), "0");
    EXPECT_EQ(out->ReadInteger("BlipTime", 0), 20);
    EXPECT_EQ(out->ReadInteger("MaxGap", 0), 7000);
}

}  // namespace
}  // namespace kelvar
