#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "GraphHelpers.h"
#include "audio/graph/Pins_imp.h"
#include "foundation/ConfigDoc_XML.h"

namespace kelvar {
namespace {

using namespace kelvar::testing;

std::vector<uint8_t> Pattern(size_t Count) {
    std::vector<uint8_t> data(Count);
    for (size_t i = 0; i < Count; ++i) data[i] = static_cast<uint8_t>(i % 251);
    return data;
}

TEST(Filter, ShrinkingNodeStillAnswersFullPulls) {
    const auto data = Pattern(8000);
    auto source = std::make_shared<TVectorSource>(data);
    auto filter = std::make_shared<TFilter>(std::make_unique<THalfNode>());
    Connect(source, filter);

    std::vector<uint8_t> out;
    std::vector<uint8_t> block(400);
    int pulls = 0;
    for (;;) {
        TStreamTime time = -1;
        const int n = filter->Pull(block.data(), 400, time);
        if (n == 0) break;
        EXPECT_EQ(n, 400);
        if (pulls == 0) {
            EXPECT_EQ(time, 0);
        }
        out.insert(out.end(), block.begin(), block.begin() + n);
        ++pulls;
    }
    std::vector<uint8_t> expected;
    for (size_t at = 0; at < data.size(); at += 400)
        expected.insert(expected.end(), data.begin() + at, data.begin() + at + 200);
    EXPECT_EQ(pulls, 10);
    EXPECT_EQ(out, expected);
    Disconnect(source, filter);
}

// Hands its output down in one of the three ways a node may.
class TOutputNode : public TNode {
public:
    enum TMode { InPlace, AsChunk, HandedOut, HeldToEnd, TailAtEnd };
    explicit TOutputNode(TMode Mode) : FMode(Mode) {}
    int Process(void* Buffer, int Length, TStreamTime& Time, IChunkPtr& Chunk) override {
        if (Length <= 0) return 0;
        auto* bytes = static_cast<uint8_t*>(Buffer);
        switch (FMode) {
            case InPlace:
            case TailAtEnd: return Length;
            case AsChunk:  // every byte twice
                Chunk = std::make_shared<TChunk>(Length * 2);
                for (int i = 0; i < Length; ++i) {
                    Chunk->Write(bytes + i, 1);
                    Chunk->Write(bytes + i, 1);
                }
                return 0;
            case HandedOut:  // in two pieces, the second a little later in the stream
                DoOutput(bytes, Length / 2, Time);
                DoOutput(bytes + Length / 2, Length - Length / 2, Time + 1);
                return 0;
            case HeldToEnd: FHeld.insert(FHeld.end(), bytes, bytes + Length); return 0;
        }
        return 0;
    }
    void EndOfStream() override {
        if (FMode == TailAtEnd && !FTailGiven) {
            FHeld.assign(100, 0);
            FTailGiven = true;
        }
        if (!FHeld.empty()) DoOutput(FHeld.data(), static_cast<int>(FHeld.size()), 0);
        FHeld.clear();
    }
    std::string GetName() const override { return "Output"; }

private:
    TMode FMode;
    std::vector<uint8_t> FHeld;
    bool FTailGiven = false;
};

TEST(Filter, PushForwardsEveryKindOfOutput) {
    const auto data = Pattern(100);
    struct TCase {
        TOutputNode::TMode Mode;
        size_t ExpectedBytes;
        size_t ExpectedPushes;
    };
    for (const TCase& c : {TCase{TOutputNode::InPlace, 100, 1}, TCase{TOutputNode::AsChunk, 200, 1},
                           TCase{TOutputNode::HandedOut, 100, 2}}) {
        SCOPED_TRACE(c.Mode);
        auto filter = std::make_shared<TFilter>(std::make_unique<TOutputNode>(c.Mode));
        auto sink = std::make_shared<TCaptureSink>();
        Connect(filter, sink);
        ASSERT_TRUE(filter->Start());
        auto block = data;
        filter->Push(block.data(), 100, 40);
        EXPECT_EQ(sink->Data.size(), c.ExpectedBytes);
        EXPECT_EQ(sink->Times.size(), c.ExpectedPushes);
        EXPECT_EQ(sink->Times.front(), 40);
        EXPECT_EQ(filter->GetPosition(), 40);
        Disconnect(filter, sink);
    }
}

TEST(Filter, EndOfStreamInPushModeHandsOutHeldAudio) {
    auto filter = std::make_shared<TFilter>(std::make_unique<TOutputNode>(TOutputNode::HeldToEnd));
    auto sink = std::make_shared<TCaptureSink>();
    Connect(filter, sink);
    filter->Start();
    auto block = Pattern(64);
    filter->Push(block.data(), 64, 0);
    EXPECT_TRUE(sink->Data.empty());
    filter->EndOfStream();
    EXPECT_EQ(sink->Data, Pattern(64));
    EXPECT_EQ(sink->Ends, 1);
    Disconnect(filter, sink);
}

TEST(Filter, PulledNodeOutputIsKeptInOrder) {
    for (auto mode : {TOutputNode::AsChunk, TOutputNode::HandedOut}) {
        SCOPED_TRACE(mode);
        const auto data = Pattern(3000);
        auto source = std::make_shared<TVectorSource>(data);
        auto filter = std::make_shared<TFilter>(std::make_unique<TOutputNode>(mode));
        Connect(source, filter);
        std::vector<uint8_t> out;
        std::vector<uint8_t> block(700);
        TStreamTime time = 0;
        while (const int n = filter->Pull(block.data(), 700, time))
            out.insert(out.end(), block.begin(), block.begin() + n);
        std::vector<uint8_t> expected;
        for (uint8_t b : data) {
            expected.push_back(b);
            if (mode == TOutputNode::AsChunk) expected.push_back(b);
        }
        EXPECT_EQ(out, expected);
        Disconnect(source, filter);
    }
}

TEST(Filter, EndTravelsDownAfterStopOnlyWhenAPullFindsNothing) {
    auto source = std::make_shared<TVectorSource>(Pattern(1200));
    auto first = std::make_shared<TFilter>(std::make_unique<TCountingNode>());
    auto second = std::make_shared<TFilter>(std::make_unique<TCountingNode>());
    Connect(source, first);
    Connect(first, second);
    auto* secondNode = static_cast<TCountingNode*>(second->GetNode());

    first->Stop();
    std::vector<uint8_t> block(600);
    TStreamTime time = 0;
    EXPECT_EQ(second->Pull(block.data(), 600, time), 600);
    EXPECT_EQ(secondNode->Ends, 0);
    EXPECT_EQ(second->Pull(block.data(), 600, time), 600);
    EXPECT_EQ(secondNode->Ends, 0);
    EXPECT_EQ(second->Pull(block.data(), 600, time), 0);
    EXPECT_EQ(secondNode->Ends, 1);
    Disconnect(first, second);
    Disconnect(source, first);
}

// A pulled node with a tail (a delay, say) hands it out at the end of the stream, and the end
// goes on downstream only after the tail.
TEST(Filter, TailComesOutBeforeTheEndTravelsOn) {
    auto bridge = std::make_shared<TPinPushPull>();
    auto filter = std::make_shared<TFilter>(std::make_unique<TOutputNode>(TOutputNode::TailAtEnd));
    auto sink = std::make_shared<TCaptureSink>();
    Connect(bridge, filter);
    Connect(filter, sink);
    bridge->SetFormat(DefaultAudioFormat);
    bridge->Start();
    auto block = Pattern(1000);
    bridge->Push(block.data(), 1000, 0);
    bridge->EndOfStream();
    std::vector<uint8_t> out(1000);
    TStreamTime time = 0;
    EXPECT_EQ(filter->Pull(out.data(), 1000, time), 1000);
    EXPECT_EQ(filter->Pull(out.data(), 1000, time), 100);  // the tail
    EXPECT_EQ(sink->Ends, 0);
    EXPECT_EQ(filter->Pull(out.data(), 1000, time), 0);
    EXPECT_EQ(sink->Ends, 1);
    Disconnect(filter, sink);
    Disconnect(bridge, filter);
}

TEST(Filter, ControlCallsTravelDownstream) {
    auto filter = std::make_shared<TFilter>(std::make_unique<TCountingNode>());
    auto sink = std::make_shared<TCaptureSink>();
    Connect(filter, sink);
    const TWaveFormat mono = MakePcmFormat(22050, 1, 16);
    EXPECT_TRUE(filter->SetFormat(mono));
    EXPECT_TRUE(SameFormat(sink->LastFormat, mono));
    sink->AcceptFormat = false;
    EXPECT_FALSE(filter->SetFormat(DefaultAudioFormat));
    EXPECT_TRUE(filter->Start());
    filter->Seek(1234);
    EXPECT_EQ(sink->SeekTime, 1234);
    EXPECT_EQ(filter->GetPosition(), 1234);
    filter->Stop();
    EXPECT_EQ(sink->Starts, 1);
    EXPECT_EQ(sink->Stops, 1);
    Disconnect(filter, sink);
}

TEST(PushPull, RefusesAnotherFormatWhileHoldingData) {
    auto bridge = std::make_shared<TPinPushPull>();
    const TWaveFormat other = MakePcmFormat(48000, 2, 16);
    EXPECT_TRUE(bridge->SetFormat(DefaultAudioFormat));
    auto block = Pattern(100);
    bridge->Push(block.data(), 100, 0);
    EXPECT_FALSE(bridge->SetFormat(other));
    EXPECT_TRUE(bridge->SetFormat(DefaultAudioFormat));
    bridge->EndOfStream();
    TStreamTime time = 0;
    EXPECT_EQ(bridge->Pull(block.data(), 100, time), 100);
    EXPECT_TRUE(bridge->SetFormat(other));
    EXPECT_EQ(bridge->GetBuffer()->GetChunkSize(), MsToBytes(other, 50));
}

TEST(PushPull, RoomEventFollowsFreeSpace) {
    auto bridge = std::make_shared<TPinPushPull>();
    auto room = std::make_shared<TSyncEvent>(true, true);
    bridge->SetDataEvent(room);
    bridge->SetFormat(DefaultAudioFormat);
    bridge->SetMaxChunks(2);
    std::vector<uint8_t> block(8820, 1);
    bridge->Push(block.data(), 8820, 0);
    EXPECT_TRUE(room->IsSet());
    bridge->Push(block.data(), 8820, 50);
    EXPECT_FALSE(room->IsSet());  // no free space: the producer waits
    TStreamTime time = 0;
    EXPECT_EQ(bridge->Pull(block.data(), 100, time), 100);
    EXPECT_FALSE(room->IsSet());  // the first chunk is still there
    EXPECT_EQ(bridge->Pull(block.data(), 8720, time), 8720);
    EXPECT_EQ(time, 1);
    EXPECT_TRUE(room->IsSet());
}

TEST(PushPull, ChunkSizeNeverBelowTenMilliseconds) {
    auto bridge = std::make_shared<TPinPushPull>();
    bridge->SetFormat(MakePcmFormat(8000, 1, 8));
    bridge->SetChunkMs(50);
    EXPECT_EQ(bridge->GetBuffer()->GetChunkSize(), 1764);
}

TEST(PinSource, CallsWhatIsAssignedAndSkipsTheRest) {
    TPinSource empty(nullptr, nullptr, nullptr);
    uint8_t block[16];
    TStreamTime time = 0;
    EXPECT_EQ(empty.Pull(block, 16, time), 0);
    EXPECT_EQ(empty.GetFormat().SamplesPerSec, 0u);
    empty.SetSink(nullptr);

    IPinSinkPtr given;
    TPinSource pin([](void*, int Length, TStreamTime& Time) { return Time = 7, Length / 2; },
                   [] { return DefaultAudioFormat; }, [&given](IPinSinkPtr Sink) { given = Sink; });
    EXPECT_EQ(pin.Pull(block, 16, time), 8);
    EXPECT_EQ(time, 7);
    EXPECT_TRUE(SameFormat(pin.GetFormat(), DefaultAudioFormat));
    auto sink = std::make_shared<TCaptureSink>();
    pin.SetSink(sink);
    EXPECT_EQ(given, sink);
}

TEST(MixMode, NewInputIsOnAirButNotPlaying) {
    TFilter_MixMode input;
    EXPECT_EQ(input.GetMixMode(), 2);
    EXPECT_EQ(input.GetNode()->GetName(), "Null");
}

TEST(MixMode, FlagsRoundTripThroughConfiguration) {
    auto doc = TConfigDoc_XML::Create("");
    TFilter_MixMode saved;
    saved.SetMixMode(MixMode::Playing | MixMode::Preview);
    saved.SaveConfig(*doc);
    EXPECT_EQ(doc->ReadString("mmOutput", "?"), "0");
    EXPECT_EQ(doc->ReadString("mmPreview", "?"), "-1");

    TFilter_MixMode loaded;
    loaded.LoadConfig(*doc);
    EXPECT_EQ(loaded.GetMixMode(), MixMode::Preview);  // bit 0 is not configuration

    auto empty = TConfigDoc_XML::Create("");
    TFilter_MixMode defaults;
    defaults.LoadConfig(*empty);
    EXPECT_EQ(defaults.GetMixMode(), MixMode::OnAir);
}

}  // namespace
}  // namespace kelvar
