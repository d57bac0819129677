// Where windows go when the layout names no place: the first layout tiles the client area with
// decks, fade control and clock on top and the lists below; later windows cascade.
#include <gtest/gtest.h>

#include <QRegion>
#include <algorithm>

#include "gui/engine/WindowPlacement.h"

namespace kelvar {
namespace {

// The windows of the shipped first layout, in registry order.
std::vector<TPlacedWindow> FirstLayoutWindows() {
    const QSize deck(351, 207), clock(205, 237), list(308, 329), log(568, 229);
    return {
        {deck, false, true},  // Deck A
        {deck, false, true},  // Deck B
        {list, true, false},  // library
        {list, true, false},  // queue
        {list, true, false},  // history
        {deck, false, true},  // fade control
        {log, true, false},   // event log
        {clock, true, true},  // clock
    };
}

int Area(const QRegion& Region) {
    int area = 0;
    for (const QRect& r : Region) area += r.width() * r.height();
    return area;
}

TEST(WindowPlacement, FirstLayoutFillsTheClientWithoutOverlapsOnCommonScreens) {
    const std::vector<TPlacedWindow> windows = FirstLayoutWindows();
    for (const QSize client : {QSize(1000, 640), QSize(1024, 700), QSize(1280, 900), QSize(1920, 1000)}) {
        SCOPED_TRACE(std::to_string(client.width()) + "x" + std::to_string(client.height()));
        const std::vector<QRect> rects = TileFirstLayout(client, windows);
        ASSERT_EQ(rects.size(), windows.size());
        QRegion covered;
        for (size_t i = 0; i < rects.size(); ++i) {
            EXPECT_TRUE(QRect(QPoint(0, 0), client).contains(rects[i])) << i;
            for (size_t j = i + 1; j < rects.size(); ++j) EXPECT_FALSE(rects[i].intersects(rects[j])) << i << "/" << j;
            // A fixed window keeps its own size.
            if (!windows[i].Sizeable) {
                EXPECT_EQ(rects[i].size(), windows[i].Size) << i;
            }
            covered += rects[i];
        }
        EXPECT_EQ(Area(covered), client.width() * client.height());
        // Decks, fade control and clock above every list.
        int topBottom = 0, listTop = client.height();
        for (size_t i = 0; i < rects.size(); ++i)
            if (windows[i].TopBand) topBottom = std::max(topBottom, rects[i].bottom());
        for (size_t i : {2u, 3u, 4u}) listTop = std::min(listTop, rects[i].top());
        EXPECT_GT(listTop, topBottom);
        EXPECT_EQ(rects[0].topLeft(), QPoint(0, 0));
    }
}

TEST(WindowPlacement, NarrowScreensKeepWindowsApartAndTheListsUsable) {
    // Too narrow for a row of two decks and the clock: rows wrap, nothing overlaps, and the
    // lists keep a usable height even where they reach below the client area.
    const std::vector<TPlacedWindow> windows = FirstLayoutWindows();
    const std::vector<QRect> rects = TileFirstLayout(QSize(780, 480), windows);
    for (size_t i = 0; i < rects.size(); ++i)
        for (size_t j = i + 1; j < rects.size(); ++j) EXPECT_FALSE(rects[i].intersects(rects[j])) << i << "/" << j;
    for (size_t i : {2u, 3u, 4u}) EXPECT_GE(rects[i].height(), 120);
    // A desktop of lists alone shares the whole client area.
    const std::vector<QRect> lists =
        TileFirstLayout(QSize(900, 600), {{{300, 300}, true, false}, {{300, 300}, true, false}});
    EXPECT_EQ(lists[0], QRect(0, 0, 600, 600));
    EXPECT_EQ(lists[1], QRect(600, 0, 300, 600));
}

TEST(WindowPlacement, CascadeSkipsTakenPlacesAndStaysInTheClient) {
    const QSize client(900, 600), size(351, 207);
    EXPECT_EQ(CascadePosition(client, size, {}), QPoint(10, 10));
    std::vector<QPoint> taken;
    for (int n = 0; n < 40; ++n) {
        const QPoint at = CascadePosition(client, size, taken);
        EXPECT_EQ(std::count(taken.begin(), taken.end(), at), 0) << n;
        EXPECT_LE(at.x() + size.width(), client.width()) << n;
        EXPECT_LE(at.y() + size.height(), client.height()) << n;
        taken.push_back(at);
    }
    // A window elsewhere does not push the cascade on.
    EXPECT_EQ(CascadePosition(client, size, {QPoint(0, 0), QPoint(300, 200)}), QPoint(10, 10));
}

}  // namespace
}  // namespace kelvar
