#include <gtest/gtest.h>

#include "NodeChainKit.h"
#include "audio/nodes/Node_FadeTrigger.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

using test::Join;
using test::StereoLevel;
using test::StereoSilence;
using test::StereoTone;
using TChain = test::TNodeChain<TNode_FadeTrigger>;

// -7 dB is a threshold of about 14637: 20000 is music, 10000 is not.
TEST(FadeTrigger, PublishesTheEndOfTheLastLoudBlock) {
    struct Case {
        const char* what;
        std::vector<uint8_t> song;
        bool enabled;
        int32_t fadePoint;
        int triggers;
    } cases[] = {
        {"loud to the end", StereoTone(3000, 20000), true, 3000, 1},
        {"a quiet tail", Join({StereoTone(2000, 20000), StereoTone(1500, 10000)}), true, 2000, 1},
        {"one loud sample", Join({StereoSilence(1200), StereoLevel(1, 20000), StereoSilence(799)}), true, 1250, 1},
        {"silent throughout", StereoSilence(2000), true, -1, 1},
        {"switched off", StereoTone(3000, 20000), false, -1, 0},
    };
    for (auto& k : cases) {
        SCOPED_TRACE(k.what);
        TChain chain;
        int triggers = 0;
        int32_t seenInHandler = -2;
        chain.Node().FEnabled = k.enabled;
        chain.Node().SetOnTrigger([&](TNode_FadeTrigger& sender) {
            ++triggers;
            seenInHandler = sender.GetFadePoint();  // the lock is re-entrant
        });
        chain.Push(k.song, 0);
        EXPECT_EQ(chain.Node().GetFadePoint(), -1) << "published only at the end";
        chain.Filter->EndOfStream();
        EXPECT_EQ(chain.Node().GetFadePoint(), k.fadePoint);
        EXPECT_EQ(triggers, k.triggers);
        if (k.triggers) {
            EXPECT_EQ(seenInHandler, k.fadePoint);
        }
        EXPECT_EQ(chain.Sink->Joined(), k.song) << "audio passes unchanged";
    }
}

TEST(FadeTrigger, TimesAreThirtyTwoBitStreamMilliseconds) {
    TChain chain;
    auto block = StereoTone(50, 20000);
    TStreamTime time = (TStreamTime(1) << 32) + 7000;  // only the low 32 bits count
    chain.Filter->Push(block.data(), static_cast<int>(block.size()), time);
    chain.Filter->EndOfStream();
    EXPECT_EQ(chain.Node().GetFadePoint(), 7050);
}

TEST(FadeTrigger, SeekForgetsWhatWasFound) {
    TChain chain;
    chain.Push(StereoTone(1000, 20000), 0);
    chain.Filter->EndOfStream();
    ASSERT_EQ(chain.Node().GetFadePoint(), 1000);
    chain.Filter->Seek(0);
    EXPECT_EQ(chain.Node().GetFadePoint(), -1);
    chain.Push(StereoSilence(500), 0);
    chain.Filter->EndOfStream();
    EXPECT_EQ(chain.Node().GetFadePoint(), -1);
}

TEST(FadeTrigger, SettingsLoadAndSave) {
    TChain chain;
    auto doc = TConfigDoc_XML::Create("");
    auto section = doc->Section("FadeTrigger");
    section->WriteBool("Enabled", false);
    section->WriteInteger("TriggerLevel", -12);
    chain.Filter->LoadConfig(*doc);
    EXPECT_FALSE(chain.Node().FEnabled);
    EXPECT_EQ(chain.Node().FTriggerLevel, -12);

    auto saved = TConfigDoc_XML::Create("");
    chain.Filter->SaveConfig(*saved);
    auto out = saved->Section("FadeTrigger");
    EXPECT_EQ(out->ReadString("Enabled", "?"), "0");
    EXPECT_EQ(out->ReadInteger("TriggerLevel", 0), -12);
    EXPECT_EQ(out->ReadInteger("ReadAhead", 0), 15000);
}

}  // namespace
}  // namespace kelvar
