#pragma once
// The installed DSP plug-ins and a channel's plug-in chain as the DSP settings page handles
// them, without the engine's headers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvar {

class TNode_WinampDSPList;
class TWinampDSP;
class TWinampDSPList;
using TDSPPluginPtr = std::shared_ptr<TWinampDSP>;
using TDSPPluginListPtr = std::shared_ptr<TWinampDSPList>;

// The process's list of installed plug-ins, their dialogs parented to Window.
TDSPPluginListPtr InstalledDSPPlugins(uintptr_t Window);

class TDSPPluginListAccess {
public:
    explicit TDSPPluginListAccess(TWinampDSPList& List) : FList(List) {}

    int Count();
    // None outside the list.
    TDSPPluginPtr Item(int Index);
    // The plug-in with that path (ignoring case), or none.
    TDSPPluginPtr FindByFile(const std::string& Path);
    // Drops plug-ins whose file is gone, adds new files, sorts.
    void Refresh();
    // Swaps two plug-ins with their places in every chain's order.
    void Exchange(int I, int J);

private:
    TWinampDSPList& FList;
};

class TDSPPluginAccess {
public:
    explicit TDSPPluginAccess(TWinampDSP& Plugin) : FPlugin(Plugin) {}

    const std::string& FileName() const;
    std::string Description();
    // Part of a channel's chain.
    bool InUse();
    // In the chain of a node other than Node.
    bool UsedByOther(const TNode_WinampDSPList* Node);
    bool IsLoaded();
    void Load();
    // Raises the engine's error while a module runs.
    void Unload();
    bool IsActive();
    void Activate(int Index);
    void Deactivate();
    // The modules' descriptions, in module order.
    std::vector<std::string> ModuleNames();
    int ModuleIndex();
    // Shows the module's own settings dialog.
    void Configure(int Index);

private:
    TWinampDSP& FPlugin;
};

class TDSPChainAccess {
public:
    explicit TDSPChainAccess(TNode_WinampDSPList& Node) : FNode(Node) {}

    bool Contains(const std::string& Path);
    void Add(const TDSPPluginPtr& Plugin);
    void Remove(const TDSPPluginPtr& Plugin);
    // Orders the chain as the installed list is ordered.
    void Sort();

private:
    TNode_WinampDSPList& FNode;
};

}  // namespace kelvar
