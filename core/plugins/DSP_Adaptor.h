#pragma once
// The built-in DSP filter that runs one module of a Winamp DSP library, and its plug-in records.
#include <cstdint>
#include <string>

#include "audio/nodes/WinampDSPApi.h"
#include "core/plugins/DSPFilter.h"
#include "core/plugins/PluginConfig.h"

namespace kelvar {

// A Winamp DSP library loaded by path.
struct TWinampDSPLibrary {
    void* Handle = nullptr;
    TWinampDSPHeader* Header = nullptr;
};

// Loads the library at Path into Library: false when it can't be loaded (nothing kept). A library
// without "winampDSPGetHeader2", or whose entry answers no header, is unloaded again and raises
// EPluginError.
bool OpenWinampDSP(TWinampDSPLibrary& Library, const std::string& Path);
// Frees a loaded library and clears the record.
void CloseWinampDSP(TWinampDSPLibrary& Library);

class TDSP_Adaptor : public TDSPFilter, public IPluginConfig {
public:
    // A copy of the filter record; FileName may be empty (an adaptor that runs nothing).
    explicit TDSP_Adaptor(const std::string& FileName);
    ~TDSP_Adaptor() override;

    // With no module running, opens the filter as 44100 Hz 16-bit stereo around the dialog.
    // False when no configuration dialog is registered.
    bool Configure(IConfigDoc& Section) override;

    int32_t GetModuleIndex();
    bool HasModule();
    const std::string& GetFileName() const { return FFileName; }

    // The module index to run ("Module").
    int32_t Module = 0;

protected:
    TPluginInfo* DoGetInfo() override;
    // Refuses a format without whole frames; a library that can't be loaded leaves the adaptor
    // active without a module, passing audio unchanged.
    bool DoOpen(const TFilterFormat& Format) override;
    void DoClose() override;
    // Whole frames only, never more than were given.
    int32_t DoProcess(void*& Buffer, int32_t Bytes) override;
    // A new "Module" while the library is loaded quits the old module and starts the new one.
    void DoLoadConfig(IConfigDoc& Section) override;
    void DoSaveConfig(IConfigDoc& Section) override;

private:
    void LoadModule();
    void InitModule();
    void QuitModule();
    void CloseLibrary();

    int32_t FLoadedIndex = 0;
    std::string FFileName;
    TPluginInfo FInfo;
    TWinampDSPLibrary FLibrary;
    TWinampDSPModule* FModule = nullptr;
};

// The filter record: name and GUID "DSP Adaptor (<DefaultDSPFile's name>)", version 1.2.0,
// create procedure DSPAdaptorCreate.
TPluginInfo* DSPAdaptorGetPluginInfo();
// A new adaptor for the file Param (or one without a file when Param is null or empty).
void DSPAdaptorCreate(IInterfacePtr* Instance, const char* Param);

// The path of the module this code runs in with the first four characters of its file name
// removed (a "cfg_dsp_x" wrapper names "dsp_x").
std::string DefaultDSPFile();

// The name and GUID texts of both adaptor records (at most 252 characters are kept).
void SetDSPAdaptorName(const std::string& Text);
std::string GetDSPAdaptorName();
// The shared buffer itself, for records that show the same texts.
const char* DSPAdaptorNameBuffer();
// The description of both records.
extern const char* const DSPAdaptorDescription;

// The configuration record, whose create procedure makes the adaptor's configuration object
// (an IPluginConfig). The user interface registers it; null while none is registered.
void SetDSPAdaptorConfigInfo(TPluginInfoFunc InfoFunction);
TPluginInfo* RegisteredDSPAdaptorConfigInfo();

// The library and module the adaptor hands to its configuration frame while the dialog runs
// (main thread only). The frame must not quit or start the module.
struct TDSPAdaptorHandOver {
    TWinampDSPLibrary Library;
    TWinampDSPModule* Module = nullptr;
};
TDSPAdaptorHandOver& DSPAdaptorHandOver();

}  // namespace kelvar
