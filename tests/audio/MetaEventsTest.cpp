#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "GraphHelpers.h"
#include "audio/graph/FiltersEx.h"
#include "audio/graph/Pins_imp.h"

namespace kelvar {
namespace {

IMetaDataPtr MakeEvent(uint8_t Code, TStreamTime Time, std::vector<int>& Fired) {
    auto event = std::make_shared<TMetaEvent>(MetaKind::Event, Code, Time);
    event->SetCallback([&Fired](IMetaData& e) { Fired.push_back(dynamic_cast<IMetaEvent&>(e).GetCode()); });
    return event;
}

TEST(MetaData, FiresOnceAndNotAfterCancel) {
    std::vector<int> fired;
    auto once = MakeEvent(1, 0, fired);
    once->Fire();
    once->Fire();
    auto cancelled = MakeEvent(2, 0, fired);
    cancelled->Cancel();
    cancelled->Fire();
    EXPECT_EQ(fired, std::vector<int>{1});

    auto failing = std::make_shared<TMetaCaption>(MetaKind::Caption, "Title", 5);
    int calls = 0;
    failing->SetCallback([&calls](IMetaData&) {
        ++calls;
        throw std::runtime_error("handler failed");
    });
    EXPECT_THROW(failing->Fire(), std::runtime_error);
    failing->Fire();  // counted as fired although the handler raised
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(failing->GetCaption(), "Title");
}

TEST(MetaList, EventsFromTheEndWaitForTheEndPosition) {
    std::vector<int> fired;
    TMetaList list;
    list.Add(MakeEvent(1, -2000, fired));
    IMetaDataPtr due;
    EXPECT_FALSE(list.FindDue(999999, due));  // end unknown
    list.EndPosition = 10000;
    EXPECT_FALSE(list.FindDue(7999, due));
    EXPECT_TRUE(list.FindDue(8000, due));
    EXPECT_EQ(list.Count(), 0u);
}

TEST(MetaList, KeepsEventsInDueOrder) {
    std::vector<int> fired;
    TMetaList list;
    list.Add(MakeEvent(1, -1, fired));
    list.Add(MakeEvent(2, 500, fired));
    list.Add(MakeEvent(3, 100, fired));
    list.Add(MakeEvent(4, 100, fired));
    list.Add(MakeEvent(5, 0, fired));
    list.EndPosition = 600;
    IMetaDataPtr due;
    while (list.FindDue(1000000, due)) due->Fire();
    EXPECT_EQ(fired, (std::vector<int>{5, 3, 4, 2, 1}));
}

// A channel tail: a push-pull bridge feeding a mixer input.
struct TTail {
    TTail() {
        Connect(Bridge, Input);
        Bridge->SetFormat(DefaultAudioFormat);
        Bridge->Start();
    }
    ~TTail() { Disconnect(Bridge, Input); }
    void PushMs(int Ms, TStreamTime Time) {
        std::vector<uint8_t> block(static_cast<size_t>(MsToBytes(DefaultAudioFormat, Ms)));
        Bridge->Push(block.data(), static_cast<int>(block.size()), Time);
    }
    int Pull10() {
        std::vector<uint8_t> block(1764);
        TStreamTime time = 0;
        return Input->Pull(block.data(), 1764, time);
    }
    std::shared_ptr<TPinPushPull> Bridge = std::make_shared<TPinPushPull>();
    std::shared_ptr<TFilter_MixMode> Input = std::make_shared<TFilter_MixMode>();
};

TEST(MixModeEvents, OneDueEventFiresPerPull) {
    TTail tail;
    std::vector<int> fired;
    tail.Input->AddMeta(MakeEvent(1, 0, fired));
    tail.Input->AddMeta(MakeEvent(2, 5, fired));
    tail.Input->AddMeta(MakeEvent(3, 200, fired));
    tail.PushMs(1000, 0);
    tail.Pull10();
    EXPECT_EQ(fired, std::vector<int>{1});
    tail.Pull10();
    EXPECT_EQ(fired, (std::vector<int>{1, 2}));
    while (tail.Input->GetPosition() < 190) tail.Pull10();
    EXPECT_EQ(fired.size(), 2u);  // a pull from 180 reaches 190 only
    tail.Pull10();                // from 190: due by 200
    EXPECT_EQ(fired, (std::vector<int>{1, 2, 3}));
}

TEST(MixModeEvents, SeekDropsPendingEvents) {
    TTail tail;
    std::vector<int> fired;
    tail.Input->AddMeta(MakeEvent(1, 0, fired));
    tail.Input->AddMeta(MakeEvent(2, 0, fired));
    tail.PushMs(1000, 0);
    tail.Input->Seek(0);
    EXPECT_TRUE(tail.Input->TakeSeekFlag());
    EXPECT_FALSE(tail.Input->TakeSeekFlag());
    tail.PushMs(100, 0);
    tail.Pull10();
    tail.Pull10();
    EXPECT_TRUE(fired.empty());
}

TEST(MixModeEvents, EndOfStreamFiresEveryRemainingEvent) {
    TTail tail;
    std::vector<int> fired;
    tail.Input->AddMeta(MakeEvent(4, 100000, fired));
    tail.Input->AddMeta(MakeEvent(0, -1, fired));
    tail.PushMs(100, 0);
    tail.Bridge->EndOfStream();
    while (tail.Pull10() > 0) {}
    EXPECT_EQ(fired, (std::vector<int>{4, 0}));
    EXPECT_TRUE(tail.Input->IsStarved());
}

// A stream that never passed a block (it failed at once) still reaches its end event.
TEST(MixModeEvents, EndEventFiresWhenNothingWasPlayed) {
    TTail tail;
    std::vector<int> fired;
    tail.Input->SetEndPosition(-1);
    tail.Input->AddMeta(MakeEvent(0, -1, fired));
    tail.Bridge->EndOfStream();
    EXPECT_EQ(tail.Pull10(), 0);
    EXPECT_EQ(fired, std::vector<int>{0});
}

TEST(MixModeEvents, EndOfStreamCalledDirectlyFiresAtOnce) {
    auto input = std::make_shared<TFilter_MixMode>();
    std::vector<int> fired;
    input->AddMeta(MakeEvent(0, -1, fired));
    input->AddMeta(MakeEvent(4, 5000, fired));
    input->EndOfStream();
    EXPECT_EQ(fired, (std::vector<int>{4, 0}));
}

TEST(MixModeEvents, FailingHandlerStopsTheSweepAndKeepsTheRest) {
    TTail tail;
    std::vector<int> fired;
    tail.Input->AddMeta(MakeEvent(1, -3, fired));
    auto failing = std::make_shared<TMetaEvent>(MetaKind::Event, 2, -2);
    failing->SetCallback([](IMetaData&) { throw std::runtime_error("deck failed"); });
    tail.Input->AddMeta(failing);
    tail.Input->AddMeta(MakeEvent(3, -1, fired));
    tail.Bridge->EndOfStream();
    EXPECT_THROW(tail.Pull10(), std::runtime_error);
    EXPECT_EQ(fired, std::vector<int>{1});
    EXPECT_EQ(tail.Pull10(), 0);  // the end is seen again: the rest fires
    EXPECT_EQ(fired, (std::vector<int>{1, 3}));
}

TEST(MixModeEvents, HandlerMayCallBackIntoTheChannel) {
    TTail tail;
    std::vector<int> fired;
    auto event = std::make_shared<TMetaEvent>(MetaKind::Event, 5, 0);
    auto* input = tail.Input.get();
    event->SetCallback([input, &fired](IMetaData&) {
        input->SetMixMode(input->GetMixMode() | MixMode::Playing);
        input->AddMeta(MakeEvent(6, 0, fired));
    });
    tail.Input->AddMeta(event);
    tail.PushMs(100, 0);
    tail.Pull10();
    EXPECT_EQ(tail.Input->GetMixMode(), MixMode::OnAir | MixMode::Playing);
    tail.Pull10();
    EXPECT_EQ(fired, std::vector<int>{6});
}

// The output thread fires a deck's end events, whose handler takes the deck's lock, while the
// main thread holds the deck's lock and asks the mixer input. Neither order may be held the
// other way round (run under ThreadSanitizer to see an inversion).
TEST(MixModeEvents, EndEventsFireWithoutTheInputLock) {
    for (int round = 0; round < 50; ++round) {
        TTail tail;
        std::recursive_mutex deckLock;
        std::atomic<int> handled{0};
        for (int i = 0; i < 3; ++i) {
            auto event = std::make_shared<TMetaEvent>(MetaKind::Event, 0, -1 - i);
            event->SetCallback([&](IMetaData&) {
                std::lock_guard<std::recursive_mutex> deck(deckLock);
                ++handled;
            });
            tail.Input->AddMeta(event);
        }
        tail.PushMs(30, 0);
        tail.Bridge->EndOfStream();
        std::atomic<bool> done{false};
        std::thread output([&] {
            while (handled < 3) tail.Pull10();
            done = true;
        });
        while (!done) {
            std::lock_guard<std::recursive_mutex> deck(deckLock);
            tail.Input->GetMixMode();
            tail.Input->SetEndPosition(30);
        }
        output.join();
        EXPECT_EQ(handled, 3);
    }
}

}  // namespace
}  // namespace kelvar
