#pragma once
// The core data module: creates the core heartbeat, the core configuration document and the
// core object, and runs the core's start-up and shutdown as guarded steps, each logging its
// failure and letting the sequence go on.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/HeartBeat.h"
#include "core/KelvarApi.h"
#include "foundation/ConfigDoc.h"
#include "foundation/Logger.h"

namespace kelvar {

class TKelvar;

// The program's path with ".core.xml" in place of its extension.
std::string CoreConfigFileName();

class TfoKelvar {
public:
    using TStatusEvent = std::function<void(const std::string& Message)>;

    // Sets CoreHeartbeat, CoreConfig (the document of ConfigFile, by default the program's own
    // core configuration) and the program's door (ProgramKelvarApi) to the core it makes.
    explicit TfoKelvar(const std::string& ConfigFile = CoreConfigFileName());
    ~TfoKelvar();
    TfoKelvar(const TfoKelvar&) = delete;
    TfoKelvar& operator=(const TfoKelvar&) = delete;

    // Once, after the database pool is open. False when the core could not be initialized (it
    // is then neither configured nor started; the failure is logged).
    bool DoInit();
    // Once, at shutdown; nothing unless initialised.
    void DoQuit();
    void DoStatus(const std::string& Message);
    void Log(const std::string& Message, TLogKind Kind);
    void LogError(const std::exception& E, const std::string& StepMessage);

    uint8_t Initialized = 0;
    TStatusEvent OnStatus;

private:
    std::unique_ptr<THeartBeat> FHeartbeat;
    std::unique_ptr<TKelvar> FKelvar;
    std::unique_ptr<TKelvarApi> FApi;
};

}  // namespace kelvar
