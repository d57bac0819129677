#include "core/plugins/DSP_Adaptor.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>

#include "foundation/Logger.h"

namespace kelvar {

namespace {

const char* const LogSource = "DSP";
constexpr size_t NameBufferSize = 254;
constexpr size_t MaxNameText = 252;

char SharedName[NameBufferSize] = {};
TPluginInfoFunc ConfigInfoFunction = nullptr;
TDSPAdaptorHandOver HandOver;

// Stores at most MaxNameText characters of text, zero-terminated, into a name buffer.
void StoreName(char* buffer, const char* text) {
    const size_t length = text ? std::min(std::strlen(text), MaxNameText) : 0;
    if (length) std::memcpy(buffer, text, length);
    buffer[length] = '\0';
}

std::string DefaultAdaptorName() {
    return "DSP Adaptor (" + std::filesystem::path(DefaultDSPFile()).filename().string() + ")";
}

TPluginInfo& FilterRecord() {
    static TPluginInfo record = [] {
        SetDSPAdaptorName(DefaultAdaptorName());
        TPluginInfo info;
        info.Name = SharedName;
        info.Description = DSPAdaptorDescription;
        info.Version = 0x0120;
        info.GUID = SharedName;
        info.CreateInstance = DSPAdaptorCreate;
        return info;
    }();
    return record;
}

}  // namespace

const char* const DSPAdaptorDescription =
    "Loads Winamp DSP plugins.\nRuns one module of a Winamp DSP library as a DSP filter.";

bool OpenWinampDSP(TWinampDSPLibrary& Library, const std::string& Path) {
    Library = TWinampDSPLibrary();
    void* handle = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        LogMessage("Unable to load DSP plugin " + Path + " (" + std::string(why ? why : "unknown error") + ")",
                   LogSource, LogKind::Error);
        return false;
    }
    auto entry = reinterpret_cast<TWinampDSPGetHeader2>(dlsym(handle, WINAMP_DSP_ENTRY_POINT));
    TWinampDSPHeader* header = entry ? entry() : nullptr;
    if (!header) {
        dlclose(handle);
        throw EPluginError("Plugin: Unable to find " WINAMP_DSP_ENTRY_POINT " in " +
                           std::filesystem::path(Path).filename().string());
    }
    Library.Handle = handle;
    Library.Header = header;
    return true;
}

void CloseWinampDSP(TWinampDSPLibrary& Library) {
    if (Library.Handle) dlclose(Library.Handle);
    Library = TWinampDSPLibrary();
}

std::string DefaultDSPFile() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&DefaultDSPFile), &info) || !info.dli_fname) return "";
    std::filesystem::path path(info.dli_fname);
    std::string name = path.filename().string();
    name.erase(0, std::min<size_t>(4, name.size()));
    return (path.parent_path() / name).string();
}

void SetDSPAdaptorName(const std::string& Text) { StoreName(SharedName, Text.c_str()); }
std::string GetDSPAdaptorName() { return SharedName; }
const char* DSPAdaptorNameBuffer() { return SharedName; }

void SetDSPAdaptorConfigInfo(TPluginInfoFunc InfoFunction) { ConfigInfoFunction = InfoFunction; }
TPluginInfo* RegisteredDSPAdaptorConfigInfo() { return ConfigInfoFunction ? ConfigInfoFunction() : nullptr; }

TDSPAdaptorHandOver& DSPAdaptorHandOver() { return HandOver; }

TPluginInfo* DSPAdaptorGetPluginInfo() { return &FilterRecord(); }

void DSPAdaptorCreate(IInterfacePtr* Instance, const char* Param) {
    if (!Instance) return;
    FilterRecord();
    if (Param && *Param) {
        *Instance = std::make_shared<TDSP_Adaptor>(Param);
    } else {
        SetDSPAdaptorName(DefaultAdaptorName());
        *Instance = std::make_shared<TDSP_Adaptor>("");
    }
}

// TDSP_Adaptor

TDSP_Adaptor::TDSP_Adaptor(const std::string& FileName) : FFileName(FileName), FInfo(FilterRecord()) {}

TDSP_Adaptor::~TDSP_Adaptor() {
    try {
        Close();
    } catch (...) {
        // A module's Quit that fails must not take the program down with the adaptor.
    }
    CloseLibrary();
}

TPluginInfo* TDSP_Adaptor::DoGetInfo() { return &FInfo; }

int32_t TDSP_Adaptor::GetModuleIndex() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return Module;
}

bool TDSP_Adaptor::HasModule() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FModule != nullptr;
}

bool TDSP_Adaptor::DoOpen(const TFilterFormat& Format) {
    if (Format.BitsPerSample / 8 * Format.Channels <= 0) {
        LogMessage("DSP Adaptor: refused format with " + std::to_string(Format.BitsPerSample) + " bits and " +
                       std::to_string(Format.Channels) + " channels",
                   LogSource, LogKind::Error);
        return false;
    }
    LoadModule();
    InitModule();
    return true;
}

void TDSP_Adaptor::LoadModule() {
    FModule = nullptr;
    FLoadedIndex = Module;
    if (FFileName.empty() || !OpenWinampDSP(FLibrary, FFileName)) return;
    if (Module >= 0 && FLibrary.Header->getModule) FModule = FLibrary.Header->getModule(Module);
    // The record's name buffer is the shared one or its wrapper's, both writable.
    StoreName(const_cast<char*>(FInfo.Name), FLibrary.Header->description);
}

void TDSP_Adaptor::InitModule() {
    if (!FModule) return;
    FModule->hwndParent = 0;  // no desktop window here
    FModule->hDllInstance = FLibrary.Handle;
    // A failing Init still leaves the module running, as it would in the original host.
    if (FModule->Init) FModule->Init(FModule);
}

void TDSP_Adaptor::QuitModule() {
    TWinampDSPModule* module = FModule;
    FModule = nullptr;
    if (module && module->Quit) module->Quit(module);
}

void TDSP_Adaptor::CloseLibrary() { CloseWinampDSP(FLibrary); }

void TDSP_Adaptor::DoClose() {
    try {
        QuitModule();
    } catch (...) {
        CloseLibrary();
        throw;
    }
    CloseLibrary();
}

int32_t TDSP_Adaptor::DoProcess(void*& Buffer, int32_t Bytes) {
    if (!FModule || !FModule->ModifySamples || !Buffer || Bytes <= 0) return Bytes;
    const int32_t frameSize = FFormat.BitsPerSample / 8 * FFormat.Channels;
    if (frameSize <= 0) return Bytes;
    const int32_t frames = Bytes / frameSize;
    if (frames == 0) return 0;
    const int result = FModule->ModifySamples(FModule, static_cast<short int*>(Buffer), frames, FFormat.BitsPerSample,
                                              FFormat.Channels, FFormat.SampleRate);
    // The buffer holds no more than it was given.
    return std::clamp(result, 0, frames) * frameSize;
}

void TDSP_Adaptor::DoLoadConfig(IConfigDoc& Section) {
    const int64_t value = Section.ReadInteger("Module", Module);
    Module = static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    if (Module != FLoadedIndex && FLibrary.Handle) {
        QuitModule();
        if (Module >= 0 && FLibrary.Header->getModule) FModule = FLibrary.Header->getModule(Module);
        InitModule();
    }
    FLoadedIndex = Module;
}

void TDSP_Adaptor::DoSaveConfig(IConfigDoc& Section) { Section.WriteInteger("Module", Module); }

bool TDSP_Adaptor::Configure(IConfigDoc& Section) {
    TPluginInfo* configInfo = RegisteredDSPAdaptorConfigInfo();
    if (!configInfo || !configInfo->CreateInstance) {
        LogMessage("DSP Adaptor: no configuration dialog available", LogSource, LogKind::Warning);
        return false;
    }
    bool openedHere = false;
    {
        std::lock_guard<std::recursive_mutex> guard(FLock);
        if (!FActive) {
            TFilterFormat format;
            format.SampleRate = 44100;
            format.BitsPerSample = 16;
            format.Channels = 2;
            Open(format);
            openedHere = true;
        }
        HandOver.Library = FLibrary;
        HandOver.Module = FModule;
    }
    // The dialog runs without the filter's lock, so processing goes on while it is open.
    const auto finish = [&] {
        HandOver = TDSPAdaptorHandOver();
        if (openedHere) Close();
    };
    bool result = false;
    try {
        IInterfacePtr instance;
        configInfo->CreateInstance(&instance, nullptr);
        if (auto config = std::dynamic_pointer_cast<IPluginConfig>(instance)) result = config->Configure(Section);
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return result;
}

}  // namespace kelvar
