// KelvarZorvik: the player. With a display it runs with its windows; with "/SERVICE",
// "-SERVICE" or no display it runs the core alone, as a service would.
#include <QApplication>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/KcFonts.h"
#include "controls/KcResources.h"
#include "core/MessageAPI.h"
#include "foundation/Logger_imp.h"
#include "foundation/MainThread.h"
#include "foundation/MiscFunc.h"
#include "foundation/ProcessLocale.h"
#include "gui/FirstRunImport.h"
#include "gui/ProgramScreenshots.h"
#include "gui/QtMainThread.h"
#include "gui/RemoteCommands.h"
#include "gui/RunOnce.h"
#include "gui/ShutdownSignals.h"
#include "gui/StartupUi.h"
#include "gui/TeeLogger.h"
#include "gui/WindowHooks.h"
#include "gui/WindowItems.h"
#include "gui/plugins/funDSP_Adaptor.h"
#include "gui/tools/unFirstRun.h"
#include "gui/unMDIGUI.h"
#include "gui/unMain.h"
#include "gui/unSplash.h"

using namespace kelvar;

namespace {

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return (x11 && *x11) || (wayland && *wayland) || (platform && *platform);
}

int RunService(std::vector<std::string> args) {
    auto loop = std::make_shared<TPlainMainLoop>();
    SetMainThreadDispatcher(loop);
    TCommandLine commandLine = TCommandLine::Parse(args);
    auto file = std::make_shared<TLogger>();
    file->SetLogToFile(!commandLine.NoLog);
    auto logger = std::make_shared<TTeeLogger>(file);
    SetCoreLogger(logger);

    TServiceStartupUi ui;
    args.push_back("/SERVICE");
    TfoMain main(ui, args, [loop] { loop->Quit(); });
    main.RunFirstRun = [] { RunFirstRunImports(); };
    StartShutdownSignalThread([loop](int signal) {
        LogMessage("Signal " + std::to_string(signal) + " received: shutting down", "CORE", LogKind::Init);
        loop->Quit();
    });

    int exitCode = 0;
    if (main.DoInit()) {
        InstallRemoteCommands({[loop] { loop->Quit(); }, nullptr}, ui);
        // Nobody reads a warning here and nobody could set Auto DJ again: a queue failure keeps
        // the mode, the core logs it and plays its fallback song.
        IgnoreQueueFailures();
        loop->Run();
        RemoveRemoteCommands();
    } else {
        exitCode = 1;
    }
    main.DoQuit();
    CloseMessageBus();
    loop->Close();
    return exitCode;
}

// The application's handler for exceptions no event handler caught: logged, never a dialog.
class TKelvarApplication : public QApplication {
public:
    using QApplication::QApplication;
    std::function<void(const std::exception&)> OnException;

    bool notify(QObject* Receiver, QEvent* Event) override {
        try {
            return QApplication::notify(Receiver, Event);
        } catch (const std::exception& e) {
            Report(e);
        } catch (...) {
            Report(std::runtime_error("unknown exception"));
        }
        return false;
    }

private:
    void Report(const std::exception& e) {
        try {
            if (OnException)
                OnException(e);
            else
                LogMessage(std::string("Unhandled exception (") + e.what() + ")", "CORE", LogKind::Exception);
        } catch (...) {}
    }
};

// Ends the event loop without asking the windows to close first (the main window's close button
// only hides it, which would leave the layout saved as hidden).
void EndLoop() {
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

int RunWindows(int argc, char** argv, std::vector<std::string> args) {
    TKelvarApplication app(argc, argv);
    UseEnvironmentLocale();  // the application object sets the locale again
    UseDialogFont();
    app.setApplicationName("Kelvar Zorvik");
    QApplication::setWindowIcon(KcProgramIcon());  // every window, the about box, decks without a picture
    app.setQuitOnLastWindowClosed(false);
    auto dispatcher = std::make_shared<TQtMainThread>();
    SetMainThreadDispatcher(dispatcher);
    TCommandLine commandLine = TCommandLine::Parse(args);
    auto logger = std::make_shared<TLogger>();
    logger->SetLogToFile(!commandLine.NoLog);
    SetCoreLogger(logger);

    RegisterDSPAdaptorConfig();
    RegisterWindowItems();
    TQtStartupUi ui;
    TfoMain main(ui, args, EndLoop);
    app.OnException = [&main](const std::exception& e) { main.LogError("Unhandled exception", e); };
    // The screenshot mode runs unattended: it takes the wizard's defaults.
    main.RunFirstRun = [&commandLine] {
        if (commandLine.ScreenshotFolder.empty())
            RunFirstRunWizard();
        else
            RunFirstRunImports();
    };
    InstallWindowHooks();
    StartShutdownSignalThread([](int) { EndLoop(); });
    int exitCode = 0;
    if (main.DoInit()) {
        TfoMDIGui* window = main.MainWindow();
        if (window)
            InstallRemoteReceivers(window->RemoteHandlers(), [window] { window->ShowKelvar(); });
        else
            InstallRemoteCommands({EndLoop, nullptr}, ui);
        if (!commandLine.ScreenshotFolder.empty()) {
            // Plays a while first so that the decks and meters show what an operator sees.
            const char* wait = std::getenv("KELVAR_SCREENSHOT_WAIT_MS");
            RegisterProgramScreenshots();
            TakeScreenshotsLater(window, commandLine.ScreenshotFolder, wait ? std::atoi(wait) : 5000,
                                 [&exitCode](int failed) {
                                     exitCode = failed == 0 ? 0 : 3;
                                     EndLoop();
                                 });
        }
        app.exec();
        RemoveRemoteCommands();
    } else {
        app.exec();  // runs the requested close
        exitCode = 1;
    }
    main.DoQuit();
    RemoveWindowHooks();
    app.OnException = nullptr;
    CloseMessageBus();
    dispatcher->Close();
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    // Install folders, database and song paths may hold any letters.
    UseEnvironmentLocale();
    BlockShutdownSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!CheckSingleInstance("")) {
        BroadcastShowKelvar(static_cast<uint32_t>(NameChecksum(SingleInstanceMutexName())));
        std::cerr << "Kelvar is already running from " << ProgramPath() << "." << std::endl;
        return 0;
    }
    TCommandLine commandLine = TCommandLine::Parse(args);
    int exitCode = (commandLine.Service || !HasDisplay()) ? RunService(args) : RunWindows(argc, argv, args);
    ReleaseSingleInstance();
    return exitCode;
}
