#pragma once
// The player program's spine: the start-up sequence that creates the logger, the core data
// module and the database pool and initialises the core, and the shutdown sequence that takes
// it all down again. Each step is guarded: a failure is logged and the sequence goes on.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Logger.h"

namespace kelvar {

class IStartupUi;
class TfoKelvar;
class TfoMDIGui;
class TKelvarGui;
class TLogger;

// The command-line switches; each argument is upper-cased and compared whole.
struct TCommandLine {
    bool NoLog = false;
    bool Service = false;
    bool NoSplash = false;
    // "-SCREENSHOTS <folder>": play a few seconds, write the windows' pictures there and quit.
    std::string ScreenshotFolder;
    static TCommandLine Parse(const std::vector<std::string>& args);
};

class TfoMain {
public:
    // RequestClose asks the program's loop to end (the window program's close of its hidden
    // main form); the shutdown then runs DoQuit.
    TfoMain(IStartupUi& ui, std::vector<std::string> args, std::function<void()> requestClose);
    ~TfoMain();
    TfoMain(const TfoMain&) = delete;
    TfoMain& operator=(const TfoMain&) = delete;

    // The whole start-up. False when it left early (no driver, no database): a close is then
    // already requested.
    bool DoInit();
    // The whole shutdown; runs once.
    void DoQuit();

    // Runs the first-run imports when the configuration asks for them (called by DoInit; the
    // window program replaces it with its wizard).
    std::function<void()> RunFirstRun;

    void SetStatus(const std::string& text);
    void SetGroup(int index);
    void Log(const std::string& message, TLogKind kind);
    void LogError(const std::string& stepText, const std::exception& e);

    bool ServiceMode() const { return FServiceMode; }
    TfoKelvar* Core() const { return FfoKelvar.get(); }
    // The operator's main window; null in service mode or when it could not be created.
    TfoMDIGui* MainWindow() const { return FfoMDIGui.get(); }

    static constexpr const char* Version = "3.4.2";

private:
    void Guarded(const std::string& stepText, const std::function<void()>& step);
    bool ConnectDatabase();

    IStartupUi& FUi;
    std::vector<std::string> FArgs;
    std::function<void()> FRequestClose;
    TCommandLine FCommandLine;
    bool FServiceMode = false;
    bool FQuitDone = false;
    std::unique_ptr<TfoKelvar> FfoKelvar;
    std::unique_ptr<TKelvarGui> FKelvarGui;
    std::unique_ptr<TfoMDIGui> FfoMDIGui;
};

}  // namespace kelvar
