#pragma once
// One DSP plug-in file: its library, header and modules, and the one module that runs.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/nodes/WinampDSPApi.h"

namespace kelvar {

class TNode_WinampDSPList;

class TWinampDSP {
public:
    explicit TWinampDSP(const std::string& FileName);
    // Stops the active module and unloads the library.
    ~TWinampDSP();
    TWinampDSP(const TWinampDSP&) = delete;
    TWinampDSP& operator=(const TWinampDSP&) = delete;

    // Loads the library and reads its header; a file that can't be loaded, or has no entry
    // point or header, stays unloaded with the description "Error loading plugin".
    void Load();
    // Raises EAudioError "DSP plugin module active - can not close plugin!" with a module
    // running (the library then stays mapped); either way the object counts as unloaded.
    void Unload();
    // Module Index with the parent window and library handle filled in; none when the file is
    // not loaded or has no such module.
    TWinampDSPModule* GetModule(int Index);
    int ModuleCount();
    // Runs module Index (loading the file when needed); inactive when its Init fails or it
    // does not exist.
    void Activate(int Index);
    void Deactivate();
    // Shows the module's dialog (-1: the module index) outside the object's lock.
    void Configure(int Index = -1);
    // Loads the file when the description is empty.
    std::string GetDescription();
    // Kept only while the file is not loaded (the cached text).
    void SetDescription(const std::string& Text);
    // Frames after the active module's ModifySamples. Raises EAudioError
    // "ModifySamples: DSP Module must be active" when in use without an active module.
    int ModifySamples(int16_t* Samples, int Frames, int Bits, int Channels, int Rate);

    bool IsActive();
    bool IsLoaded();
    bool FileExists();
    void SetParentWindow(uintptr_t Window);
    void SetInUse(bool Value);
    bool GetInUse();
    void SetOwner(TNode_WinampDSPList* Owner);
    TNode_WinampDSPList* GetOwner();
    void SetModuleIndex(int Index);
    int GetModuleIndex();
    const std::string& GetFileName() const { return FFileName; }

    // Position in the installed list.
    std::atomic<int> SortID{1000};

private:
    void LoadLocked();
    TWinampDSPModule* GetModuleLocked(int Index);

    std::recursive_mutex FLock;
    const std::string FFileName;
    void* FLibrary = nullptr;
    TWinampDSPHeader* FHeader = nullptr;
    bool FLoaded = false;
    std::string FDescription;
    TWinampDSPModule* FActiveModule = nullptr;
    bool FActive = false;
    int FModuleIndex = 0;
    uintptr_t FParentWindow = 0;
    bool FInUse = false;
    TNode_WinampDSPList* FOwner = nullptr;
};
using TWinampDSPPtr = std::shared_ptr<TWinampDSP>;

}  // namespace kelvar
