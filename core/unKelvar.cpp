#include "core/unKelvar.h"

#include "core/CoreCommon.h"
#include "core/Kelvar.h"
#include "database/SQLPool.h"
#include "foundation/ConfigDoc_XML.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

std::string CoreConfigFileName() { return RemoveFileExt(ProgramPath()) + ".core.xml"; }

TfoKelvar::TfoKelvar(const std::string& ConfigFile) {
    FHeartbeat = std::make_unique<THeartBeat>();
    CoreHeartbeat = FHeartbeat.get();
    auto config = TConfigDoc_XML::Create(ConfigFile);
    CoreConfig = config;
    FKelvar = std::make_unique<TKelvar>();
    FApi = std::make_unique<TKelvarApi>(*FKelvar);
    SetProgramKelvarApi(FApi.get());
    FKelvar->SetHeartbeat(CoreHeartbeat);
    FKelvar->SetLogger(GetCoreLogger());
}

TfoKelvar::~TfoKelvar() {
    if (FHeartbeat) FHeartbeat->Clear();
    SetProgramKelvarApi(nullptr);
    FApi.reset();
    FKelvar.reset();
    if (FHeartbeat) FHeartbeat->Stop();
    CoreHeartbeat = nullptr;
    FHeartbeat.reset();
    CoreConfig.reset();
    if (auto manager = GetSQLPoolManager()) {
        try {
            manager->Close();
        } catch (const std::exception& e) {
            LogError(e, "Error in closing SQLPoolManager");
        }
    }
}

void TfoKelvar::DoStatus(const std::string& Message) {
    if (OnStatus) OnStatus(Message);
}

void TfoKelvar::Log(const std::string& Message, TLogKind Kind) {
    try {
        if (auto logger = GetCoreLogger()) logger->Log(Message, "CORE", Kind);
    } catch (...) {}
}

void TfoKelvar::LogError(const std::exception& E, const std::string& StepMessage) {
    Log(StepMessage + " (" + E.what() + ")", LogKind::Exception);
}

bool TfoKelvar::DoInit() {
    Initialized = 1;
    FKelvar->StatusEvent = [this](const std::string& Message) { DoStatus(Message); };
    DoStatus("Initializing Kelvar");
    try {
        FKelvar->Init();
    } catch (const std::exception& e) {
        LogError(e, "Error initializing Kelvar");
        // Without its players, logics and playlist control the core has nothing to configure
        // or run: the start-up fails here rather than on the missing parts.
        Log("Kelvar could not be initialized: start-up failed", LogKind::Error);
        return false;
    }
    DoStatus("Loading Kelvar configuration");
    try {
        FKelvar->LoadConfig(*CoreConfig->Section("Kelvar"));
    } catch (const std::exception& e) {
        LogError(e, "Error loading Kelvar configuration");
    }
    DoStatus("Init Kelvar (After load)");
    try {
        FKelvar->DoAfterLoad();
    } catch (const std::exception& e) {
        LogError(e, "Error in Kelvar DoAfterLoad");
    }
    return true;
}

void TfoKelvar::DoQuit() {
    if (!Initialized) return;
    Initialized = 0;
    auto step = [this](const char* Message, const auto& Call) {
        try {
            Call();
        } catch (const std::exception& e) {
            LogError(e, Message);
        }
    };
    step("Error in CoreHeartbeat.Clear", [&] { FHeartbeat->Clear(); });
    step("Error in CoreKelvar.SaveConfig", [&] { FKelvar->SaveConfig(*CoreConfig->Section("Kelvar")); });
    step("Error in saving SQLPoolManager configuration", [&] {
        if (auto manager = GetSQLPoolManager()) manager->SaveConfig(*CoreConfig->Section("Database"));
    });
    step("Error in CoreConfig.SaveConfig", [&] { CoreConfig->Save(); });
    step("Error in Kelvar.DoQuit", [&] { FKelvar->DoQuit(); });
    step("Error in StatusEvent=nil", [&] { FKelvar->StatusEvent = nullptr; });
    step("Error in closing SQLPoolManager", [&] {
        if (auto manager = GetSQLPoolManager()) manager->Close();
    });
    step("Error in CoreConfig=nil", [&] { CoreConfig.reset(); });
}

}  // namespace kelvar
