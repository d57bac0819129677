#include "core/plugins/PluginManager_imp.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "core/plugins/DSP_Adaptor.h"
#include "foundation/FileFind.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

namespace {

const char* const LogSource = "CORE";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> RegularFiles(const std::string& mask, const std::string& folder) {
    std::vector<std::string> found;
    FindFiles(found, mask, folder, false);
    std::vector<std::string> files;
    for (const auto& file : found) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec)) files.push_back(file);
    }
    return files;
}

void StoreText(char* buffer, size_t maxText, const std::string& text) {
    const size_t length = std::min(text.size(), maxText);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

}  // namespace

// TPluginManager

TPluginManager::TPluginManager(const std::string& Folder) : FFolder(Folder.empty() ? PluginDir() : Folder) {
    if (FFolder.back() != '/') FFolder += '/';
    Readers = std::make_shared<TPluginList>(FFolder, "kelvar_reader_*");
    Decoders = std::make_shared<TPluginList>(FFolder, "kelvar_decoder_*");
    DSP = std::make_shared<TPluginList>(FFolder, "kelvar_dsp_*");
    Output = std::make_shared<TPluginList>(FFolder, "kelvar_output_*");
    DSPInstances = std::make_shared<TPluginList>(FFolder, "<nothing>");
    WinampDSPWrappers = std::make_shared<TPluginList>(FFolder, "<nothing>");
    Encoders = std::make_shared<TPluginList>(FFolder, "kelvar_encoder_*");
    Relays = std::make_shared<TPluginList>(FFolder, "kelvar_relay_*");
    Logic = std::make_shared<TPluginList>(FFolder, "kelvar_logic_*");
    General = std::make_shared<TPluginList>(FFolder, "kelvar_general_*");
}

TPluginManager::~TPluginManager() = default;

void TPluginManager::LoadPlugins() {
    for (const auto& list : {Readers, Decoders, DSP, Output, Encoders, Relays, Logic, General}) list->Scan();
    for (int i = 0; i < DSP->Count(); ++i) DSPInstances->Add(DSP->Get(i));
    WrapWinampDSP();
}

void TPluginManager::WrapWinampDSP() {
    std::vector<std::string> configModules = RegularFiles("cfg_*.so", FFolder);
    for (auto& file : configModules) file = Lower(file);
    std::sort(configModules.begin(), configModules.end());
    for (const auto& file : RegularFiles("dsp_*.so", FFolder)) {
        const std::filesystem::path path(file);
        const std::string configName = (path.parent_path() / ("cfg_" + path.filename().string())).string();
        // A dedicated configuration module handles this DSP module instead.
        if (std::binary_search(configModules.begin(), configModules.end(), Lower(configName))) continue;
        try {
            auto plugin = std::make_shared<TMultiPlugin>(&DSPAdaptorGetPluginInfo, file);
            DSPInstances->Add(plugin);
            WinampDSPWrappers->Add(plugin);
        } catch (const std::exception& e) {
            LogMessage("Error wrapping DSP plugin " + file + ": " + e.what(), LogSource, LogKind::Error);
        }
    }
}

void TPluginManager::LoadConfig(IConfigDoc& Node) {
    Readers->LoadConfig(*Node.Section("Readers"));
    Decoders->LoadConfig(*Node.Section("Decoders"));
    Output->LoadConfig(*Node.Section("Output"));
    Encoders->LoadConfig(*Node.Section("Encoders"));
    Relays->LoadConfig(*Node.Section("Relays"));
    Logic->LoadConfig(*Node.Section("Logic"));
    General->LoadConfig(*Node.Section("General"));
    DSPInstances->LoadConfig(*Node.Section("DSP"));
}

void TPluginManager::SaveConfig(IConfigDoc& Node) {
    Readers->SaveConfig(*Node.Section("Readers"));
    Decoders->SaveConfig(*Node.Section("Decoders"));
    Output->SaveConfig(*Node.Section("Output"));
    Encoders->SaveConfig(*Node.Section("Encoders"));
    Relays->SaveConfig(*Node.Section("Relays"));
    Logic->SaveConfig(*Node.Section("Logic"));
    General->SaveConfig(*Node.Section("General"));
    DSPInstances->SaveConfig(*Node.Section("DSP"));
}

void TPluginManager::Unload() {
    for (const auto& list :
         {Readers, Decoders, DSP, Output, Encoders, Relays, Logic, General, DSPInstances, WinampDSPWrappers})
        list->Unload();
}

// TMultiPlugin

TMultiPlugin::TMultiPlugin(TPluginInfoFunc InfoFunction, const std::string& FileName) : FInfoFunction(InfoFunction) {
    const std::string name = std::filesystem::path(FileName).filename().string();
    TPluginInfo* record = FInfoFunction ? FInfoFunction() : nullptr;
    if (!record || !record->CreateInstance) throw EPluginError("Plugin: Invalid plugin record in " + name);
    IInterfacePtr instance;
    record->CreateInstance(&instance, FileName.c_str());
    FInstance = std::dynamic_pointer_cast<IFilter>(instance);
    if (!FInstance || !FInstance->GetInfo()) throw EPluginError("Plugin: Invalid plugin record in " + name);
    Info = FInstance->GetInfo();
    FOriginalName = Info->Name;
    FOriginalGUID = Info->GUID;
    StoreText(FNameBuffer, MaxText, name);
    StoreText(FGUIDBuffer, MaxText, name);
    Info->Name = FNameBuffer;
    Info->GUID = FGUIDBuffer;
    ReadInfo();
    ID = GUID;
}

TMultiPlugin::~TMultiPlugin() {
    if (!Info) return;
    Info->Name = FOriginalName;
    Info->GUID = FOriginalGUID;
}

void TMultiPlugin::LoadConfig(IConfigDoc& Node) {
    TCustomPlugin::LoadConfig(Node);
    StoreText(FNameBuffer, MaxText, Name);
}

void TMultiPlugin::SaveConfig(IConfigDoc& Node) {
    ReadInfo();
    TCustomPlugin::SaveConfig(Node);
}

IInterfacePtr TMultiPlugin::CreateInstance() { return FInstance; }

}  // namespace kelvar
