// Every screenshot maker of the folder builds its window over a running core; with
// KELVAR_SHOT_DIR set the pictures are written there to look at.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>

#include "CoreConfigFixture.h"
#include "gui/config/ConfigScreenshots.h"
#include "gui/engine/Screenshots.h"

namespace kelvar {
namespace {

using namespace configtest;

class ConfigScreenshots : public CoreConfigFixture {};

TEST_F(ConfigScreenshots, EveryMakerBuildsItsWindow) {
    RegisterConfigScreenshots();
    const char* folder = std::getenv("KELVAR_SHOT_DIR");
    int made = 0;
    for (const TScreenshotEntry& entry : RegisteredScreenshots()) {
        std::unique_ptr<QWidget> widget = entry.Make();
        ASSERT_TRUE(widget) << entry.Name;
        widget->show();
        Settle();
        const QImage picture = widget->grab().toImage();
        EXPECT_FALSE(picture.isNull()) << entry.Name;
        if (folder) picture.save(QString::fromStdString(std::string(folder) + "/" + entry.Name + ".png"));
        ++made;
    }
    EXPECT_EQ(made, 11);
}

}  // namespace
}  // namespace kelvar
