// The screenshot makers build the three windows filled from the running core.
#include <gtest/gtest.h>

#include "OnAirTestCore.h"
#include "gui/engine/Screenshots.h"
#include "gui/onair/OnairScreenshots.h"

namespace kelvar {
namespace {

class OnairScreenshots : public onairtest::TCoreFixture {};

TEST_F(OnairScreenshots, MakersBuildTheWindows) {
    for (int i = 1; i <= 5; ++i) AddSong(i, 2000 * i, i <= 3 ? 'X' : 'S');
    auto songs = NewSongItemList();
    for (int i = 4; i <= 5; ++i) {
        TSongItem& item = songs->Add();
        item.SongID = static_cast<int>(PoolQuery("SELECT MAX(ID) AS N FROM songlist")->GetFieldValue("N").AsInteger());
        item.Caption = "Queued song";
        item.Duration = 4000;
    }
    Manager->Queue->AddSongs(songs, 0, 0, 0);
    RegisterOnairScreenshots();
    int made = 0;
    for (const TScreenshotEntry& e : RegisteredScreenshots()) {
        if (e.Name != "Queue" && e.Name != "History" && e.Name != "SoundFX") continue;
        std::unique_ptr<QWidget> w = e.Make();
        ASSERT_TRUE(w) << e.Name;
        w->show();
        Settle();
        EXPECT_FALSE(w->grab().isNull());
        ++made;
    }
    EXPECT_EQ(made, 3);
}

}  // namespace
}  // namespace kelvar
