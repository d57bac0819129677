#pragma once
// The plug-in kinds (built in, shared object, package), the folder list and the on-demand list.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/plugins/PluginList.h"

namespace kelvar {

class TPluginModule;

// Common state of every plug-in kind. Name and the other texts come from the module's record
// (ReadInfo) or from the configuration, which caches them so a module need not be loaded at
// every start.
class TCustomPlugin : public IPlugin {
public:
    std::string GetDescription() override { return Description; }
    std::string GetGUID() override { return GUID; }
    std::string GetName() override { return Name; }
    uint8_t GetPriority() override { return Priority; }
    uint16_t GetVersion() override { return Version; }
    std::string GetID() override { return ID; }

    void SaveConfig(IConfigDoc& Node) override;
    void LoadConfig(IConfigDoc& Node) override;
    IInterfacePtr CreateInstance() override = 0;

    // Copies Name, Description, GUID and Version from Info.
    void ReadInfo();

protected:
    std::string Name = "Unknown";
    std::string Description = "Unknown";
    std::string GUID = "<none>";
    uint16_t Version = 0;
    uint8_t Priority = 255;
    std::string ID = "<none>";
    bool MustReadInfo = true;
    TPluginInfo* Info = nullptr;
};

// A module built into the program, made from its information function. Its ID is the GUID in
// Base64 without "=".
class TBasePlugin : public TCustomPlugin {
public:
    // Raises EPluginError when the function answers no record.
    explicit TBasePlugin(TPluginInfoFunc InfoFunction);
    // The record's texts always win over the configuration; only the priority is read.
    void LoadConfig(IConfigDoc& Node) override;
    IInterfacePtr CreateInstance() override;

private:
    TPluginInfoFunc FInfoFunction;
};

// A shared object exporting "GetPluginInfo". Its ID is the file name without folder, first word
// with its underscore, and extension: kelvar_logic_x.so has the ID logic_x.
class TDLLPlugin : public TCustomPlugin {
public:
    explicit TDLLPlugin(const std::string& FileName);  // loads nothing
    ~TDLLPlugin() override;

    // Raises EPluginError "Plugin: DLL already open (%s)", "Plugin: Unable to load %s",
    // "Plugin: Unable to find plugin info procedure in %s" or "Plugin: Invalid plugin record
    // in %s" (the file name without folder); a failed load leaves nothing loaded.
    void Load();
    void Unload();
    bool IsLoaded() const { return FModule != nullptr; }
    const std::string& GetFileName() const { return FFileName; }

    // Loads the module while the configuration has no cached record texts yet.
    void LoadConfig(IConfigDoc& Node) override;
    // Instances keep the module mapped while they live, also after Unload.
    IInterfacePtr CreateInstance() override;

private:
    std::string FFileName;
    std::shared_ptr<TPluginModule> FModule;
};

// A package: a shared object whose constructor stores its information function in PluginProc.
// Same ID rule as TDLLPlugin; loaded only by CreateInstance.
class TBPLPlugin : public TCustomPlugin {
public:
    explicit TBPLPlugin(const std::string& FileName);
    ~TBPLPlugin() override;

    // Raises EPluginError "Plugin: Package already open (%s)", "Plugin: Unable to load package
    // (%s)" or "Plugin: PluginProc was not properly filled by (%s)".
    void Load();
    void Unload();
    bool IsLoaded() const { return FModule != nullptr; }
    const std::string& GetFileName() const { return FFileName; }

    IInterfacePtr CreateInstance() override;

private:
    std::string FFileName;
    std::shared_ptr<TPluginModule> FModule;
};

// The ID of a plug-in file (see TDLLPlugin).
std::string PluginFileID(const std::string& FileName);

// The plug-in files of one folder and pattern: Pattern + ".so" (TDLLPlugin), then Pattern +
// ".bpl" (TBPLPlugin), names matched without regard to case.
class TPluginList : public IPluginList, public IPluginListConfig {
public:
    // An empty Folder means the program's folder.
    TPluginList(const std::string& Folder, const std::string& Pattern);

    int Count() override;
    IPluginPtr Get(int Index) override;
    void Add(const IPluginPtr& Plugin) override;
    void Remove(const IPluginPtr& Plugin) override;
    IPluginPtr FindByGUID(const std::string& GUID) override;
    void Scan() override;
    void Unload() override;
    // A plug-in whose module fails to load is logged and keeps its cached (or "Unknown") texts;
    // the others are loaded still.
    void LoadConfig(IConfigDoc& Node) override;
    void SaveConfig(IConfigDoc& Node) override;
    void Clear() override;

    const std::string& GetFolder() const { return FFolder; }
    const std::string& GetPattern() const { return FPattern; }

private:
    std::string FFolder;
    std::string FPattern;
    std::vector<IPluginPtr> FItems;
};

class TOnDemandInterface : public IOnDemandInterface {
public:
    explicit TOnDemandInterface(IPluginPtr Plugin);

    IPluginPtr GetPlugin() override { return FPlugin; }
    uint8_t GetPriority() override { return FPriority; }
    void SetPriority(uint8_t Value) override { FPriority = Value; }
    bool GetSelected() override { return FSelected; }
    void SetSelected(bool Value) override { FSelected = Value; }
    // Raises EPluginError when the plug-in's module can't be loaded (no instance is kept).
    IInterfacePtr GetInstance() override;
    bool IsCreated() override { return FInstance != nullptr; }
    // "od_Priority", "od_Selected"; an instance that is IConfigurable reads Node too.
    void LoadConfig(const IConfigDocPtr& Node) override;
    void SaveConfig(const IConfigDocPtr& Node) override;

private:
    void ConfigureInstance();

    IPluginPtr FPlugin;
    uint8_t FPriority = 255;
    bool FSelected = false;
    IInterfacePtr FInstance;
    IConfigDocPtr FNode;
};

class TOnDemandList : public IOnDemandList {
public:
    int Count() override;
    IOnDemandInterfacePtr Get(int Index) override;
    void AddPlugin(const IPluginPtr& Plugin) override;
    void Add(const IOnDemandInterfacePtr& Item) override;
    void RemovePlugin(const IPluginPtr& Plugin) override;
    void Remove(const IOnDemandInterfacePtr& Item) override;
    void LoadConfig(IConfigDoc& Node) override;
    void SaveConfig(IConfigDoc& Node) override;
    void Clear() override;
    void Sort() override;

protected:
    std::vector<IOnDemandInterfacePtr> FItems;

private:
    void QuickSort(int L, int R);
};

}  // namespace kelvar
