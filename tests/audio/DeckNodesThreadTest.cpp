#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "NodeChainKit.h"
#include "audio/nodes/Node_FadeTrigger.h"
#include "audio/nodes/Node_GapKiller.h"
#include "audio/nodes/Node_Metronome.h"
#include "audio/nodes/Node_Resampler.h"
#include "common/TempFolder.h"

namespace kelvar {
namespace {

// The deck's nodes as the threads use them: a worker thread pushes through resampler, gap
// killer and fade trigger into the bridge, an output thread pulls through the metronome, and the
// main thread reads and sets them meanwhile. Run under ThreadSanitizer.
TEST(DeckNodesThreads, PushPullAndControlCallsTogether) {
    test::TTempFolder folder;
    const std::string clickFile = folder.File("metronome.dta");
    auto resamplerNode = std::make_unique<TNode_Resampler>();
    auto gapNode = std::make_unique<TNode_GapKiller>();
    auto fadeNode = std::make_unique<TNode_FadeTrigger>();
    auto metronomeNode = std::make_unique<TNode_Metronome>(clickFile);
    TNode_GapKiller& gapKiller = *gapNode;
    TNode_FadeTrigger& fadeTrigger = *fadeNode;
    TNode_Metronome& metronome = *metronomeNode;

    auto resampler = std::make_shared<TFilter>(std::move(resamplerNode));
    auto gap = std::make_shared<TFilter>(std::move(gapNode));
    auto fade = std::make_shared<TFilter>(std::move(fadeNode));
    auto bridge = std::make_shared<TPinPushPull>();
    auto click = std::make_shared<TFilter>(std::move(metronomeNode));
    Connect(resampler, gap);
    Connect(gap, fade);
    Connect(fade, bridge);
    Connect(bridge, click);
    ASSERT_TRUE(resampler->SetFormat(MakePcmFormat(48000, 2, 16)));
    ASSERT_TRUE(resampler->Start());

    std::atomic<bool> pushed{false};
    std::atomic<int> triggers{0};
    fadeTrigger.SetOnTrigger([&](TNode_FadeTrigger& sender) {
        sender.GetFadePoint();
        ++triggers;
    });
    std::thread worker([&] {
        std::vector<uint8_t> block(4608);
        for (size_t i = 0; i + 1 < block.size(); i += 2) {
            const auto s = static_cast<int16_t>((i % 200) * 150 - 15000);
            std::memcpy(&block[i], &s, 2);
        }
        TStreamTime time = 0;
        for (int n = 0; n < 400; ++n) {  // about 10 s
            while (bridge->GetBuffer()->FreeSpace() == 0) std::this_thread::yield();
            resampler->Push(block.data(), static_cast<int>(block.size()), time);
            time += 24;
        }
        resampler->EndOfStream();
        pushed = true;
    });
    std::atomic<size_t> pulledBytes{0};
    std::thread output([&] {
        std::vector<uint8_t> packet(1764);
        for (;;) {
            TStreamTime time = 0;
            // Read the flag before pulling: an empty pull only means the end when everything
            // had been pushed before it began.
            const bool allPushed = pushed;
            const int n = click->Pull(packet.data(), static_cast<int>(packet.size()), time);
            pulledBytes += static_cast<size_t>(std::max(n, 0));
            if (n == 0 && allPushed) break;
            if (n == 0) std::this_thread::yield();
        }
    });
    test::WriteWholeFile(clickFile,
                         std::string("RIFF\x14\0\0\0WAVEdata\x08\0\0\0\x10\x27\x10\x27\x10\x27\x10\x27", 28));
    while (!pushed) {
        gapKiller.GetInfo();
        gapKiller.SetMaxGap(20000);
        fadeTrigger.GetFadePoint();
        metronome.SetInterval(500);
        metronome.SetEnabled(true);
        std::this_thread::yield();
    }
    worker.join();
    output.join();
    EXPECT_EQ(triggers, 1);
    EXPECT_GT(metronome.GetClickSize(), 0);
    // 400 blocks of 1152 frames at 48 kHz are 9.6 s; one held 10 ms chunk stays behind.
    EXPECT_NEAR(BytesToMs(DefaultAudioFormat, static_cast<int32_t>(pulledBytes.load())), 9600.0, 40.0);
    Disconnect(resampler, gap);
    Disconnect(gap, fade);
    Disconnect(fade, bridge);
    Disconnect(bridge, click);
}

}  // namespace
}  // namespace kelvar
