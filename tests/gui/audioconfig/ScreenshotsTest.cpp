// Every registered picture of the audio settings window builds over the running core.
#include <QPixmap>
#include <QTabWidget>

#include "gui/audioconfig/AudioconfigScreenshots.h"
#include "gui/audioconfig/funCfgPlayer.h"
#include "gui/engine/Screenshots.h"
#include "tests/gui/audioconfig/AudioConfigTestKit.h"

namespace kelvar {
namespace {

class AudioconfigScreenshots : public audioconfigtest::TCoreFixture {};

TEST_F(AudioconfigScreenshots, EachPageOfTheWindowDraws) {
    RegisterAudioconfigScreenshots();
    std::map<std::string, std::string> pages = {{"AudioSettingsEQ", "EQ"},
                                                {"AudioSettingsAGC", "AGC"},
                                                {"AudioSettingsDSP", "DSP"},
                                                {"AudioSettingsOutput", "Output"}};
    int found = 0;
    for (const auto& entry : RegisteredScreenshots()) {
        auto page = pages.find(entry.Name);
        if (page == pages.end()) continue;
        ++found;
        auto widget = entry.Make();
        auto* window = dynamic_cast<TfoCfgPlayer*>(widget.get());
        ASSERT_NE(window, nullptr);
        QTabWidget* tabs = window->frmCfgPlayer1->pcSection;
        EXPECT_EQ(tabs->tabText(tabs->currentIndex()).toStdString(), page->second);
        widget->show();
        const QPixmap shot = widget->grab();
        EXPECT_FALSE(shot.isNull());
        if (const char* folder = std::getenv("KELVAR_SHOTS"))
            shot.save(QString::fromStdString(std::string(folder) + "/" + entry.Name + ".png"));
    }
    EXPECT_EQ(found, 4);
}

}  // namespace
}  // namespace kelvar
