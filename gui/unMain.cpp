#include "gui/unMain.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>

#include "core/CoreCommon.h"
#include "core/HeartBeat.h"
#include "core/KelvarApi.h"
#include "core/playlist/SongDatabase.h"
#include "core/playlist/SongRows.h"
#include "core/unKelvar.h"
#include "foundation/Logger_imp.h"
#include "foundation/MiscFunc.h"
#include "gui/StartupUi.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/KelvarGui.h"
#include "gui/unMDIGUI.h"

namespace kelvar {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

TCommandLine TCommandLine::Parse(const std::vector<std::string>& args) {
    TCommandLine result;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string upper = Upper(arg);
        if (upper == "-SCREENSHOTS" && i + 1 < args.size()) {
            result.ScreenshotFolder = args[++i];
            continue;
        }
        if (upper == "/NOLOG")
            result.NoLog = true;
        else if (upper == "/SERVICE" || TrimText(upper) == "-SERVICE")
            result.Service = true;
        else if (upper == "/NOSPLASH")
            result.NoSplash = true;
    }
    return result;
}

TfoMain::TfoMain(IStartupUi& ui, std::vector<std::string> args, std::function<void()> requestClose)
    : FUi(ui), FArgs(std::move(args)), FRequestClose(std::move(requestClose)) {}

TfoMain::~TfoMain() = default;

void TfoMain::SetStatus(const std::string& text) { FUi.SetStatus(text); }
void TfoMain::SetGroup(int index) { FUi.SetGroup(index); }

void TfoMain::Log(const std::string& message, TLogKind kind) {
    try {
        LogMessage(message, "CORE", kind);
    } catch (...) {}
}

void TfoMain::LogError(const std::string& stepText, const std::exception& e) {
    Log(stepText + " (" + e.what() + ")", LogKind::Exception);
}

void TfoMain::Guarded(const std::string& stepText, const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        LogError(stepText, e);
    } catch (...) {
        LogError(stepText, std::runtime_error("unknown exception"));
    }
}

bool TfoMain::DoInit() {
    FServiceMode = false;
    FCommandLine = TCommandLine::Parse(FArgs);
    FServiceMode = FCommandLine.Service;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (!FCommandLine.NoSplash) FUi.ShowSplash(Version);

    if (!GetCoreLogger()) {
        auto logger = std::make_shared<TLogger>();
        logger->SetLogToFile(!FCommandLine.NoLog);
        SetCoreLogger(logger);
    }
    Log("Logger created", LogKind::Init);

    SetGroup(0);
    SetStatus("Creating general objects");
    Guarded("Error in FfoKelvar.Create", [&] {
        FfoKelvar = std::make_unique<TfoKelvar>();
        FfoKelvar->OnStatus = [this](const std::string& message) { SetStatus(message); };
    });

    SetGroup(1);
    SetStatus("Connecting to database");
    if (!ConnectDatabase()) {
        FRequestClose();
        return false;
    }

    SetStatus("Database ready...");
    bool coreReady = false;
    Guarded("Error in FfoKelvar.DoInit", [&] {
        if (!FfoKelvar) throw std::runtime_error("The core data module does not exist");
        if (TKelvarApi* api = ProgramKelvarApi()) api->SetServiceMode(FServiceMode);
        coreReady = FfoKelvar->DoInit();
        if (coreReady) Log("Kelvar ready", LogKind::Init);
    });
    if (!coreReady) {
        // Nothing could play: the start-up ends with a failure the caller turns into exit 1.
        Log("Kelvar could not start: the core failed to initialize", LogKind::Error);
        FUi.CloseSplash();
        FRequestClose();
        return false;
    }

    if (CoreConfig && CoreConfig->Section("Kelvar")->ReadBool("FirstRun", true)) {
        if (CoreHeartbeat) CoreHeartbeat->Suspend();
        try {
            if (RunFirstRun) RunFirstRun();
        } catch (const std::exception& e) {
            LogError("Error during FirstRun", e);
        }
        if (CoreHeartbeat) CoreHeartbeat->Resume();
    }

    // Service mode never creates the windows.
    SetGroup(4);
    if (!FServiceMode) {
        Guarded("Error in FKelvarGui.Create", [&] {
            SetStatus("Loading GUI engine");
            FKelvarGui = std::make_unique<TKelvarGui>();
        });
        Guarded("Error in FKelvarGui.DoInit", [&] {
            SetStatus("Loading GUI windows");
            if (FKelvarGui) FKelvarGui->DoInit();
        });
        Guarded("Error in foMDIGUI.Create", [&] {
            SetStatus("Loading user interface");
            FfoMDIGui = std::make_unique<TfoMDIGui>();
        });
        Guarded("Error in foMDIGUI.DoInit", [&] {
            if (!FfoMDIGui) return;
            FfoMDIGui->FWindowList = GuiWindowList;
            FfoMDIGui->OnExit = FRequestClose;
            FfoMDIGui->DoInit();
        });
        Log("GUI ready", LogKind::Init);
    }
    FUi.CloseSplash();
    return true;
}

bool TfoMain::ConnectDatabase() {
    for (;;) {
        try {
            std::string driver = "MYSQL";
            if (CoreConfig) driver = CoreConfig->Section("Database")->ReadString("Driver", "MYSQL");
            driver = Upper(driver);
            if (!OpenSongDatabase(driver, CoreConfig ? CoreConfig->Section("Database").get() : nullptr)) {
                FUi.ErrorDialog("No valid database driver found (" + driver + "). Kelvar will be closed.");
                return false;
            }
        } catch (const std::exception& e) {
            LogError("Error in SQLPoolManager.LoadConfig/Open", e);
        }
        SetStatus("Checking database connection");
        try {
            CheckSongDatabase();
            return true;
        } catch (const std::exception& e) {
            SetStatus("Connection to database failed!");
            LogError("Connection to database failed", e);
            if (!FUi.RetryDialog("Unable to connect or query database. Please make sure the database server is "
                                 "running and configured properly."))
                return false;
        }
    }
}

void TfoMain::DoQuit() {
    if (FQuitDone) return;
    FQuitDone = true;
    try {
        FUi.ShowSplash(Version);
        if (FfoMDIGui) FfoMDIGui->hide();
        Guarded("Error ejecting players or in CoreHeartBeat.Clear", [&] {
            if (TKelvarApi* api = ProgramKelvarApi()) api->ShutdownAudio();
            if (CoreHeartbeat) CoreHeartbeat->Clear();
        });
        SetStatus("Closing user interface");
        Guarded("Error in GuiHeartBeat.Clear", [&] {
            if (GuiHeartBeat) GuiHeartBeat->Clear();
        });
        Guarded("Error in foMDIGui.DoQuit/Free", [&] {
            if (!FfoMDIGui) return;
            FfoMDIGui->DoQuit();
            FfoMDIGui.reset();
        });
        Guarded("Error in FKelvarGui.DoQuit/Free", [&] {
            SetStatus("Closing gui engine");
            if (!FKelvarGui) return;
            FKelvarGui->DoQuit();
            FKelvarGui.reset();
        });
        Guarded("Error in foImages.Free/GuiLogger=nil", [&] {
            SetStatus("Unloading images");
            GuiLogger.reset();
        });
        SetStatus("Unloading Kelvar object");
        Guarded("Error in FfoKelvar.DoQuit", [&] {
            if (FfoKelvar) FfoKelvar->DoQuit();
        });
        Guarded("Error in FfoKelvar.Free", [&] { FfoKelvar.reset(); });
        Log("Shutdown complete.", LogKind::Notice);
        SetCoreLogger(nullptr);
        FUi.CloseSplash();
    } catch (const std::exception& e) {
        LogError("Error in foMain.DoQuit", e);
    }
}

}  // namespace kelvar
