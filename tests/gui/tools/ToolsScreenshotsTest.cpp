// The screenshot makers of the tools' dialogs build each dialog filled in, without starting
// anything: the folder import shows its counters without a walk behind it.
#include <QImage>
#include <QLabel>
#include <set>

#include "common/GuiTestKit.h"
#include "gui/engine/Screenshots.h"
#include "gui/tools/ToolsScreenshots.h"
#include "gui/tools/unFirstRunAddDir.h"

namespace kelvar {
namespace {

TEST(ToolsScreenshots, EveryMakerBuildsItsDialogFilledIn) {
    guitest::EnsureApplication();
    RegisterToolsScreenshots();
    std::set<std::string> names;
    for (const TScreenshotEntry& entry : RegisteredScreenshots()) {
        std::unique_ptr<QWidget> widget = entry.Make();
        ASSERT_NE(widget, nullptr) << entry.Name;
        names.insert(entry.Name);
        widget->show();
        QCoreApplication::processEvents();
        const QImage image = widget->grab().toImage();
        EXPECT_FALSE(image.isNull()) << entry.Name;
        if (auto* import = dynamic_cast<TfoAddDir*>(widget.get())) {
            EXPECT_EQ(import->lbTotal->text(), "Found 450 files.");
            EXPECT_EQ(import->lbAdded->text(), "Added 281 files.");
            EXPECT_EQ(import->FAdded, 201) << "no walk ran";
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{"FirstRun", "AddDir", "Progress", "AutoRecovery", "About"}));
}

}  // namespace
}  // namespace kelvar
