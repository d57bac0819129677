// The effect nodes are processed on an audio thread while the main thread changes their
// settings; every change happens between blocks, never half-way (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestSignals.h"
#include "audio/graph/Pins_imp.h"
#include "audio/nodes/Node_AGC.h"
#include "audio/nodes/Node_DSPEffects.h"

namespace kelvar {
namespace {

class TNullSink : public IPinSink {
public:
    void SetSource(IPinSourcePtr) override {}
    void Push(void*, int Length, TStreamTime) override { Bytes += Length; }
    bool SetFormat(const TWaveFormat&) override { return true; }
    void EndOfStream() override {}
    void Seek(TStreamTime) override {}
    bool Start() override { return true; }
    void Stop() override {}
    std::atomic<int64_t> Bytes{0};
};

template <typename Change>
void PushWhileChanging(std::unique_ptr<TNode> node, Change change) {
    auto filter = std::make_shared<TFilter>(std::move(node));
    auto sink = std::make_shared<TNullSink>();
    Connect(filter, sink);
    ASSERT_TRUE(filter->SetFormat(DefaultAudioFormat));
    ASSERT_TRUE(filter->Start());
    std::atomic<bool> done{false};
    std::thread audio([&] {
        auto source = test::Programme(0, -16, 0.5);
        for (int round = 0; round < 20; ++round) {
            auto block = source;
            for (size_t pos = 0; pos < block.size(); pos += 2 * 2205)
                filter->Push(block.data() + pos, static_cast<int>(std::min<size_t>(2 * 2205, block.size() - pos) * 2),
                             0);
        }
        done = true;
    });
    for (int i = 0; !done; ++i) change(i);
    audio.join();
    EXPECT_GT(sink->Bytes.load(), 0);
    filter->Stop();
    Disconnect(filter, sink);
}

TEST(ChannelEffectsThreads, ProcessorSettingsChangeWhileAudioRuns) {
    auto node = std::make_unique<TNode_AGC>();
    TNode_AGC* agc = node.get();
    agc->Enabled = true;
    PushWhileChanging(std::move(node), [&](int i) {
        agc->SetMaxGain(i % 26);
        agc->SetMultiBandEnabled(i % 2);
        agc->SetClipperLevel(static_cast<float>(i % 9 - 6));
        agc->SetStereoExpanderLevel(static_cast<float>(i % 100));
        if (i % 50 == 0) agc->LockedSeek();
    });
}

TEST(ChannelEffectsThreads, EqualiserAndTempoChangeWhileAudioRuns) {
    auto node = std::make_unique<TNode_DSPEffects>();
    TNode_DSPEffects* fx = node.get();
    fx->SetEQEnabled(true);
    PushWhileChanging(std::move(node), [&](int i) {
        fx->SetEQBand(i % 10, i % 200 - 100);
        fx->SetTempo(i % 30 - 10);
        fx->SetPitchSemiTones((i % 7) - 3);
    });
}

}  // namespace
}  // namespace kelvar
