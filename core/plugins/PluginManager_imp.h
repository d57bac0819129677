#pragma once
// The plug-in lists of the plug-in folder, their saved state, and the Winamp DSP modules of that
// folder wrapped as plug-ins through the DSP adaptor.
#include <memory>
#include <string>

#include "core/plugins/DSPFilter.h"
#include "core/plugins/PluginList_imp.h"

namespace kelvar {

using TPluginListPtr = std::shared_ptr<TPluginList>;

class TPluginManager {
public:
    // The ten lists on Folder; an empty Folder means PluginDir().
    explicit TPluginManager(const std::string& Folder);
    ~TPluginManager();
    TPluginManager(const TPluginManager&) = delete;
    TPluginManager& operator=(const TPluginManager&) = delete;

    // Scans the folder into the lists, copies the DSP list into the DSP instances and wraps the
    // Winamp DSP modules.
    void LoadPlugins();
    // Each "dsp_*.so" of the folder without a "cfg_dsp_*.so" beside it becomes a TMultiPlugin
    // of the DSP adaptor in DSPInstances and WinampDSPWrappers. A module whose adaptor can't be
    // made is logged and left out.
    void WrapWinampDSP();
    // The sections "Readers", "Decoders", "Output", "Encoders", "Relays", "Logic", "General"
    // and "DSP" (the DSP instances).
    void LoadConfig(IConfigDoc& Node);
    void SaveConfig(IConfigDoc& Node);
    // Empties all ten lists, which unloads the modules no one else holds.
    void Unload();

    const std::string& GetFolder() const { return FFolder; }

    TPluginListPtr Readers;
    TPluginListPtr Decoders;
    TPluginListPtr DSP;
    TPluginListPtr Output;
    TPluginListPtr DSPInstances;
    TPluginListPtr WinampDSPWrappers;
    TPluginListPtr Encoders;
    TPluginListPtr Relays;
    TPluginListPtr Logic;
    TPluginListPtr General;

private:
    std::string FFolder;
};

// A plug-in made from one file by a shared information function: its record's create procedure
// is called once with the file's path, and that instance (an IFilter) is the plug-in's only one.
// Name, GUID and ID are the file name without folder (at most 252 characters).
class TMultiPlugin : public TCustomPlugin {
public:
    // Raises EPluginError when the function answers no record or the record makes no filter.
    TMultiPlugin(TPluginInfoFunc InfoFunction, const std::string& FileName);
    // Points the record back at its own texts, for an instance that outlives this plug-in.
    ~TMultiPlugin() override;

    void SaveConfig(IConfigDoc& Node) override;
    void LoadConfig(IConfigDoc& Node) override;
    IInterfacePtr CreateInstance() override;

private:
    static constexpr size_t BufferSize = 254;
    static constexpr size_t MaxText = 252;

    TPluginInfoFunc FInfoFunction;
    IFilterPtr FInstance;
    const char* FOriginalName = nullptr;
    const char* FOriginalGUID = nullptr;
    char FNameBuffer[BufferSize] = {};
    char FGUIDBuffer[BufferSize] = {};
};

}  // namespace kelvar
