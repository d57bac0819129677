#pragma once
// The list of rotation logics the core picks its active logic from.
#include "core/plugins/PluginList_imp.h"
#include "core/rotation/PlaylistLogic.h"

namespace kelvar {

// The active logic is the selected entry, else the first; one that fails to load is logged with
// the reason and deselected, and the built-in weighted logic takes its place.
class TLogicList : public TOnDemandList, public ILogicList {
public:
    IPlaylistLogicPtr GetActive() override;
    IPlaylistLogicPtr GetLogic(int index) override;

    int Count() override { return TOnDemandList::Count(); }
    IOnDemandInterfacePtr Get(int index) override { return TOnDemandList::Get(index); }
    void AddPlugin(const IPluginPtr& plugin) override { TOnDemandList::AddPlugin(plugin); }
    void Add(const IOnDemandInterfacePtr& item) override { TOnDemandList::Add(item); }
    void RemovePlugin(const IPluginPtr& plugin) override { TOnDemandList::RemovePlugin(plugin); }
    void Remove(const IOnDemandInterfacePtr& item) override { TOnDemandList::Remove(item); }
    void LoadConfig(IConfigDoc& node) override { TOnDemandList::LoadConfig(node); }
    void SaveConfig(IConfigDoc& node) override { TOnDemandList::SaveConfig(node); }
    void Clear() override { TOnDemandList::Clear(); }
    void Sort() override { TOnDemandList::Sort(); }

private:
    // The entry's logic, or null (logged, deselected) when it gives none.
    IPlaylistLogicPtr TryLogic(int index);
};

}  // namespace kelvar
