#include "core/DSPPluginAccess.h"

#include "audio/nodes/Node_WinampDSPList.h"
#include "audio/nodes/WinampDSPList.h"

namespace kelvar {

TDSPPluginListPtr InstalledDSPPlugins(uintptr_t Window) {
    TDSPPluginListPtr list = GetWinampDSPList();
    list->SetParentWindow(Window);
    return list;
}

int TDSPPluginListAccess::Count() { return FList.Count(); }

TDSPPluginPtr TDSPPluginListAccess::Item(int Index) { return FList.GetItem(Index); }

TDSPPluginPtr TDSPPluginListAccess::FindByFile(const std::string& Path) { return FList.FindByFile(Path); }

void TDSPPluginListAccess::Refresh() { FList.Refresh(); }

void TDSPPluginListAccess::Exchange(int I, int J) { FList.Exchange(I, J); }

const std::string& TDSPPluginAccess::FileName() const { return FPlugin.GetFileName(); }

std::string TDSPPluginAccess::Description() { return FPlugin.GetDescription(); }

bool TDSPPluginAccess::InUse() { return FPlugin.GetInUse(); }

bool TDSPPluginAccess::UsedByOther(const TNode_WinampDSPList* Node) {
    return FPlugin.GetOwner() && FPlugin.GetOwner() != Node;
}

bool TDSPPluginAccess::IsLoaded() { return FPlugin.IsLoaded(); }

void TDSPPluginAccess::Load() { FPlugin.Load(); }

void TDSPPluginAccess::Unload() { FPlugin.Unload(); }

bool TDSPPluginAccess::IsActive() { return FPlugin.IsActive(); }

void TDSPPluginAccess::Activate(int Index) { FPlugin.Activate(Index); }

void TDSPPluginAccess::Deactivate() { FPlugin.Deactivate(); }

std::vector<std::string> TDSPPluginAccess::ModuleNames() {
    std::vector<std::string> names;
    const int count = FPlugin.ModuleCount();
    for (int i = 0; i < count; ++i) {
        TWinampDSPModule* module = FPlugin.GetModule(i);
        names.emplace_back(module && module->description ? module->description : "");
    }
    return names;
}

int TDSPPluginAccess::ModuleIndex() { return FPlugin.GetModuleIndex(); }

void TDSPPluginAccess::Configure(int Index) { FPlugin.Configure(Index); }

bool TDSPChainAccess::Contains(const std::string& Path) { return FNode.FindDSP(Path) != nullptr; }

void TDSPChainAccess::Add(const TDSPPluginPtr& Plugin) { FNode.AddDSP(Plugin); }

void TDSPChainAccess::Remove(const TDSPPluginPtr& Plugin) { FNode.RemoveDSP(Plugin); }

void TDSPChainAccess::Sort() { FNode.Sort(); }

}  // namespace kelvar
