// Every screenshot maker of the folder draws its dialog over a small library.
#include <gtest/gtest.h>

#include <QPixmap>
#include <cstdlib>

#include "common/GuiTestKit.h"
#include "common/SongTestDatabase.h"
#include "gui/engine/Screenshots.h"
#include "gui/songinfo/SonginfoScreenshots.h"

namespace kelvar {
namespace {

class SonginfoScreenshots : public songtest::TSongDbFixture {};

TEST_F(SonginfoScreenshots, EveryMakerDrawsItsDialog) {
    guitest::EnsureApplication();
    for (int i = 1; i <= 3; ++i) {
        const int id = AddSongRow("/m/" + std::to_string(i) + ".mp3", "Demo Artist", "Song " + std::to_string(i));
        PoolExecSQL("UPDATE songlist SET album = 'Demo Album', trackno = :t WHERE ID = :id", {std::to_string(i), id});
    }
    RegisterSonginfoScreenshots();
    // Set KELVAR_SHOT_DIR to look at them.
    const char* folder = std::getenv("KELVAR_SHOT_DIR");
    int made = 0;
    for (const TScreenshotEntry& entry : RegisteredScreenshots()) {
        std::unique_ptr<QWidget> widget = entry.Make();
        ASSERT_TRUE(widget) << entry.Name;
        widget->show();
        for (int i = 0; i < 2; ++i) QCoreApplication::processEvents();
        const QPixmap picture = widget->grab();
        EXPECT_FALSE(picture.isNull()) << entry.Name;
        if (folder) picture.save(QString("%1/%2.png").arg(folder, QString::fromStdString(entry.Name)));
        ++made;
    }
    EXPECT_EQ(made, 3);
}

}  // namespace
}  // namespace kelvar
