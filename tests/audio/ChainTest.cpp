#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "GraphHelpers.h"
#include "audio/graph/Pins_imp.h"
#include "audio/nodes/Node_VUMeter.h"
#include "audio/nodes/Node_Volume.h"

namespace kelvar {
namespace {

// A deck's chain on two threads: a worker pushes decoder-sized blocks into the head and waits
// for room; the output thread pulls packets from the mixer input until the end event fires.
TEST(Chain, WorkerAndOutputThreadsMoveEveryByteInOrder) {
    auto head = std::make_shared<TFilter>(std::make_unique<TNode_Volume>());
    auto bridge = std::make_shared<TPinPushPull>();
    auto vu = std::make_shared<TFilter>(std::make_unique<TNode_VU>());
    auto input = std::make_shared<TFilter_MixMode>();
    Connect(head, bridge);
    Connect(bridge, vu);
    Connect(vu, input);
    auto room = std::make_shared<TSyncEvent>();
    bridge->SetDataEvent(room);
    bridge->SetMaxChunks(4);
    ASSERT_TRUE(head->SetFormat(DefaultAudioFormat));
    ASSERT_TRUE(head->Start());

    std::atomic<bool> ended{false};
    auto endEvent = std::make_shared<TMetaEvent>(MetaKind::Event, 0, -1);
    endEvent->SetCallback([&ended](IMetaData&) { ended = true; });
    input->AddMeta(endEvent);

    constexpr int Block = 4608;
    constexpr int Blocks = 200;  // about 5.2 s
    std::vector<uint8_t> source(static_cast<size_t>(Block) * Blocks);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i % 251);

    std::thread worker([&] {
        std::vector<uint8_t> block(Block);
        for (int b = 0; b < Blocks; ++b) {
            while (bridge->GetBuffer()->FreeSpace() == 0) room->WaitFor(100);
            std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(b) * Block, Block, block.begin());
            head->Push(block.data(), Block, BytesToMsRounded(DefaultAudioFormat, b * Block));
        }
        head->EndOfStream();
    });

    std::vector<uint8_t> heard;
    std::vector<uint8_t> packet(8820);
    TStreamTime lastTime = -1;
    bool timesInOrder = true;
    while (!ended) {
        TStreamTime time = 0;
        const int n = input->Pull(packet.data(), 8820, time);
        if (n > 0) {
            timesInOrder = timesInOrder && time > lastTime;
            lastTime = time;
            heard.insert(heard.end(), packet.begin(), packet.begin() + n);
        } else {
            std::this_thread::yield();
        }
    }
    worker.join();
    EXPECT_TRUE(timesInOrder);
    EXPECT_EQ(heard.size(), source.size());
    EXPECT_TRUE(heard == source);
    Disconnect(vu, input);
    Disconnect(bridge, vu);
    Disconnect(head, bridge);
}

}  // namespace
}  // namespace kelvar
