#include "gui/tools/ToolsScreenshots.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <memory>

#include "core/AutoRecovery.h"
#include "gui/engine/Screenshots.h"
#include "gui/tools/unAbout.h"
#include "gui/tools/unAutoRecovery.h"
#include "gui/tools/unFirstRun.h"
#include "gui/tools/unFirstRunAddDir.h"
#include "gui/tools/unProgress.h"

namespace kelvar {

void RegisterToolsScreenshots() {
    RegisterScreenshot("FirstRun", []() -> std::unique_ptr<QWidget> { return std::make_unique<TfoFirstRun>(); });
    RegisterScreenshot("AddDir", []() -> std::unique_ptr<QWidget> {
        // Half way through a folder of music, without a run behind it.
        auto dialog = std::make_unique<TfoAddDir>(nullptr, "/home/station/Music", true);
        dialog->FStarted = true;
        dialog->lbCaption->setText(QStringLiteral("Adding *.mp3 files to media library"));
        dialog->lbDirectory->setText(QStringLiteral("/home/station/Music/Albums/*.mp3"));
        dialog->FFound = 450;
        dialog->FAdded = 201;
        dialog->FBatch = 201;
        dialog->UpdateProgress(40);
        return dialog;
    });
    RegisterScreenshot("Progress", []() -> std::unique_ptr<QWidget> {
        auto dialog = std::make_unique<TfoProgress>();
        dialog->setWindowTitle(QStringLiteral("Verify tracks"));
        dialog->lbCaption->setText(QStringLiteral("Checking..."));
        dialog->lbCurrent->setText(QStringLiteral("Harbour Lights - Morning Tide.mp3"));
        dialog->eProgess->setRange(0, 8);
        dialog->eProgess->setValue(3);
        return dialog;
    });
    RegisterScreenshot("AutoRecovery", []() -> std::unique_ptr<QWidget> {
        // A recovery of its own, triggered just now, so the count shows its full wait.
        static TAutoRecovery recovery;
        recovery.Trigger();
        auto dialog = std::make_unique<TfoAutoRecovery>(&recovery);
        dialog->Timer1Timer();
        dialog->FRecovery = nullptr;
        return dialog;
    });
    RegisterScreenshot("About", []() -> std::unique_ptr<QWidget> {
        auto dialog = std::make_unique<TfoAbout>();
        dialog->Fill();
        return dialog;
    });
}

}  // namespace kelvar
