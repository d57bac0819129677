#include "gui/ProgramScreenshots.h"

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <filesystem>

#include "controls/CaptionFit.h"
#include "foundation/Logger.h"
#include "gui/audioconfig/AudioconfigScreenshots.h"
#include "gui/config/ConfigScreenshots.h"
#include "gui/decks/DecksScreenshots.h"
#include "gui/editors/EditorsScreenshots.h"
#include "gui/engine/Screenshots.h"
#include "gui/library/LibraryScreenshots.h"
#include "gui/lists/ListsScreenshots.h"
#include "gui/onair/OnairScreenshots.h"
#include "gui/songinfo/SonginfoScreenshots.h"
#include "gui/tools/ToolsScreenshots.h"
#include "gui/unMDIGUI.h"
#include "gui/voice/VoiceScreenshots.h"

namespace kelvar {

namespace {

void Settle() {
    // Two rounds: layouts done in the first paint their children in the second.
    for (int i = 0; i < 2; ++i) QApplication::processEvents();
}

// Captions wider than their widgets, as log warnings: scripts/screenshots lists them.
void ReportClipped(const QWidget& Widget, const std::string& Name) {
    for (const TClippedCaption& clipped : FindClippedCaptions(Widget))
        LogMessage("Clipped caption in " + Name + ": " + Describe(clipped), "GUI", LogKind::Warning);
}

bool Save(QWidget& Widget, const std::string& File) {
    const QPixmap picture = Widget.grab();
    const bool ok = !picture.isNull() && picture.save(QString::fromStdString(File), "PNG");
    LogMessage((ok ? "Screenshot written: " : "Screenshot failed: ") + File, "GUI",
               ok ? LogKind::Notice : LogKind::Error);
    return ok;
}

}  // namespace

void RegisterProgramScreenshots() {
    RegisterDecksScreenshots();
    RegisterListsScreenshots();
    RegisterLibraryScreenshots();
    RegisterOnairScreenshots();
    RegisterEditorsScreenshots();
    RegisterSonginfoScreenshots();
    RegisterVoiceScreenshots();
    RegisterAudioconfigScreenshots();
    RegisterConfigScreenshots();
    RegisterToolsScreenshots();
}

int TakeScreenshots(TfoMDIGui* Main, const std::string& Folder) {
    std::error_code ec;
    std::filesystem::create_directories(Folder, ec);
    int failures = 0;
    if (Main) {
        if (!Main->isVisible()) Main->ToggleVisible();
        Settle();
        if (!Save(*Main, Folder + "/MainWindow.png")) ++failures;
        ReportClipped(*Main, "MainWindow");
    }
    for (const TScreenshotEntry& entry : RegisteredScreenshots()) {
        try {
            std::unique_ptr<QWidget> widget = entry.Make();
            if (!widget) {
                ++failures;
                continue;
            }
            widget->show();
            Settle();
            if (!Save(*widget, Folder + "/" + entry.Name + ".png")) ++failures;
            ReportClipped(*widget, entry.Name);
        } catch (const std::exception& e) {
            LogMessage("Screenshot " + entry.Name + " failed (" + e.what() + ")", "GUI", LogKind::Error);
            ++failures;
        }
    }
    return failures;
}

void TakeScreenshotsLater(TfoMDIGui* Main, const std::string& Folder, int WaitMs, std::function<void(int)> Done) {
    // Play at once rather than after the idle watchdog's delay.
    if (Main) Main->alPlay->trigger();
    QTimer::singleShot(WaitMs, qApp, [Main, Folder, Done] {
        const int failures = TakeScreenshots(Main, Folder);
        if (Done) Done(failures);
    });
}

}  // namespace kelvar
