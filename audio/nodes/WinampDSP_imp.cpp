#include "audio/nodes/WinampDSP_imp.h"

#include <dlfcn.h>

#include <filesystem>

#include "audio/graph/AudioErrors.h"
#include "foundation/Logger.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

namespace {
// A getter that never answers none would keep ModuleCount going for ever.
constexpr int MaxModules = 1024;
}  // namespace

TWinampDSP::TWinampDSP(const std::string& FileName) : FFileName(FileName) {}

TWinampDSP::~TWinampDSP() {
    TGuard guard(FLock);
    try {
        Deactivate();
        Unload();
    } catch (...) {
        // Deactivate has run, so Unload does not raise; nothing may leave a destructor.
    }
}

void TWinampDSP::Load() {
    TGuard guard(FLock);
    LoadLocked();
}

void TWinampDSP::LoadLocked() {
    if (FLoaded) return;
    void* library = dlopen(FFileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    TWinampDSPHeader* header = nullptr;
    if (library) {
        try {
            auto entry = reinterpret_cast<TWinampDSPGetHeader2>(dlsym(library, WINAMP_DSP_ENTRY_POINT));
            if (entry) header = entry();
        } catch (...) {
            header = nullptr;
        }
    }
    if (!header) {
        const char* why = library ? "no plug-in header" : dlerror();
        LogMessage("DSP plugin " + FFileName + " not loaded (" + std::string(why ? why : "unknown error") + ")", "DSP",
                   LogKind::Warning);
        if (library) dlclose(library);
        FDescription = "Error loading plugin";
        FLoaded = false;
        return;
    }
    FLibrary = library;
    FHeader = header;
    FLoaded = true;
    FDescription = header->description ? header->description : "";
}

void TWinampDSP::Unload() {
    TGuard guard(FLock);
    if (!FLoaded) return;
    const bool active = FActive;
    void* library = FLibrary;
    FLoaded = false;
    FActive = false;
    FActiveModule = nullptr;
    FHeader = nullptr;
    FLibrary = nullptr;
    // A running module's code must stay mapped: its library is not freed then.
    if (active) throw EAudioError("DSP plugin module active - can not close plugin!");
    if (library) dlclose(library);
}

TWinampDSPModule* TWinampDSP::GetModule(int Index) {
    TGuard guard(FLock);
    return GetModuleLocked(Index);
}

TWinampDSPModule* TWinampDSP::GetModuleLocked(int Index) {
    if (!FLoaded || !FHeader || !FHeader->getModule || Index < 0) return nullptr;
    TWinampDSPModule* module = FHeader->getModule(Index);
    if (module) {
        module->hDllInstance = FLibrary;
        module->hwndParent = FParentWindow;
    }
    return module;
}

int TWinampDSP::ModuleCount() {
    TGuard guard(FLock);
    if (!FLoaded || !FHeader || !FHeader->getModule) return 0;
    int count = 0;
    while (count < MaxModules && FHeader->getModule(count)) ++count;
    return count;
}

void TWinampDSP::Activate(int Index) {
    TGuard guard(FLock);
    Deactivate();
    LoadLocked();
    if (!FLoaded) return;
    FModuleIndex = Index;
    TWinampDSPModule* module = GetModuleLocked(Index);
    if (module && module->Init && module->ModifySamples && module->Init(module) == 0) {
        FActiveModule = module;
        FActive = true;
    } else {
        FActiveModule = nullptr;
        FActive = false;
    }
}

void TWinampDSP::Deactivate() {
    TGuard guard(FLock);
    if (FActive && FActiveModule && FActiveModule->Quit) FActiveModule->Quit(FActiveModule);
    FActiveModule = nullptr;
    FActive = false;
}

void TWinampDSP::Configure(int Index) {
    TWinampDSPModule* module = nullptr;
    {
        TGuard guard(FLock);
        LoadLocked();
        if (!FLoaded) return;
        module = GetModuleLocked(Index == -1 ? FModuleIndex : Index);
        if (!module || !module->Config) return;
        module->hwndParent = FParentWindow;
    }
    // The dialog may stay open a long time: audio keeps flowing through the module meanwhile.
    module->Config(module);
}

std::string TWinampDSP::GetDescription() {
    TGuard guard(FLock);
    if (FDescription.empty()) LoadLocked();
    return FDescription;
}

void TWinampDSP::SetDescription(const std::string& Text) {
    TGuard guard(FLock);
    if (!FLoaded) FDescription = Text;
}

int TWinampDSP::ModifySamples(int16_t* Samples, int Frames, int Bits, int Channels, int Rate) {
    if (!Samples || Frames == 0) return Frames;
    TGuard guard(FLock);
    if (!FInUse) return Frames;
    if (!FActive || !FActiveModule) throw EAudioError("ModifySamples: DSP Module must be active");
    return FActiveModule->ModifySamples(FActiveModule, Samples, Frames, Bits, Channels, Rate);
}

bool TWinampDSP::IsActive() {
    TGuard guard(FLock);
    return FActive;
}

bool TWinampDSP::IsLoaded() {
    TGuard guard(FLock);
    return FLoaded;
}

bool TWinampDSP::FileExists() {
    std::error_code ec;
    return std::filesystem::is_regular_file(FFileName, ec);
}

void TWinampDSP::SetParentWindow(uintptr_t Window) {
    TGuard guard(FLock);
    FParentWindow = Window;
    if (FActiveModule) FActiveModule->hwndParent = Window;
}

void TWinampDSP::SetInUse(bool Value) {
    TGuard guard(FLock);
    FInUse = Value;
}

bool TWinampDSP::GetInUse() {
    TGuard guard(FLock);
    return FInUse;
}

void TWinampDSP::SetOwner(TNode_WinampDSPList* Owner) {
    TGuard guard(FLock);
    FOwner = Owner;
}

TNode_WinampDSPList* TWinampDSP::GetOwner() {
    TGuard guard(FLock);
    return FOwner;
}

void TWinampDSP::SetModuleIndex(int Index) {
    TGuard guard(FLock);
    FModuleIndex = Index;
}

int TWinampDSP::GetModuleIndex() {
    TGuard guard(FLock);
    return FModuleIndex;
}

}  // namespace kelvar
