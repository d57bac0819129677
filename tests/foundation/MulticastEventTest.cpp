// Events that any number of listeners hear, with listeners that come and go while it fires.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/MulticastEvent.h"

namespace kelvar {
namespace {

TEST(MulticastEvent, EveryListenerHearsUntilItsLinkGoes) {
    TMulticastEvent<int> event;
    std::vector<std::string> heard;
    auto first = std::make_unique<TEventLink>(event, [&](int v) { heard.push_back("a" + std::to_string(v)); });
    TEventLink second(event, [&](int v) { heard.push_back("b" + std::to_string(v)); });
    EXPECT_EQ(event.Count(), 2);
    event(1);
    first.reset();
    event(2);
    second.Reset();
    event(3);
    EXPECT_EQ(heard, (std::vector<std::string>{"a1", "b1", "b2"}));
    EXPECT_FALSE(event);
    EXPECT_EQ(event.Add(nullptr), 0u);  // an empty handler is not registered
    EXPECT_FALSE(event);
}

TEST(MulticastEvent, ListenersRemovedOrAddedWhileItFires) {
    TMulticastEvent<> event;
    int a = 0, b = 0, c = 0;
    TEventLink linkB;
    TEventLink linkC;
    // The first listener removes the second and adds a third: the second is not called, the
    // third hears only the next firing.
    TEventLink linkA(event, [&] {
        ++a;
        linkB.Reset();
        if (!linkC.Linked()) linkC = TEventLink(event, [&] { ++c; });
    });
    linkB = TEventLink(event, [&] { ++b; });
    event();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 0);
    event();
    EXPECT_EQ(a, 2);
    EXPECT_EQ(c, 1);
}

TEST(MulticastEvent, ALinkMayOutliveItsEvent) {
    TEventLink link;
    {
        TMulticastEvent<int> event;
        link = TEventLink(event, [](int) {});
        EXPECT_TRUE(link.Linked());
    }
    link.Reset();  // the event is gone: nothing to remove
    EXPECT_FALSE(link.Linked());
}

}  // namespace
}  // namespace kelvar
