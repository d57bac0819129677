#include "core/rotation/LogicList.h"

#include <exception>
#include <string>
#include <vector>

#include "core/rotation/Logic_weighted.h"
#include "foundation/Logger.h"

namespace kelvar {

IPlaylistLogicPtr TLogicList::GetLogic(int index) {
    return std::dynamic_pointer_cast<IPlaylistLogic>(Get(index)->GetInstance());
}

IPlaylistLogicPtr TLogicList::TryLogic(int index) {
    IOnDemandInterfacePtr entry = Get(index);
    try {
        if (IPlaylistLogicPtr logic = GetLogic(index)) return logic;
        LogMessage("Error loading Logic: " + entry->GetPlugin()->GetName() + " gives no rotation logic", "CORE",
                   LogKind::Error);
    } catch (const std::exception& e) {
        LogMessage("Error loading Logic: " + std::string(e.what()), "CORE", LogKind::Error);
    }
    // Never kept (nor saved) as the selection: the next start chooses again.
    entry->SetSelected(false);
    return nullptr;
}

IPlaylistLogicPtr TLogicList::GetActive() {
    const int count = Count();
    if (count == 0) return nullptr;
    int selected = -1;
    for (int i = 0; i < count && selected < 0; ++i)
        if (Get(i)->GetSelected()) selected = i;
    // Without a selection the first entry is the default.
    const int first = selected < 0 ? 0 : selected;
    if (IPlaylistLogicPtr logic = TryLogic(first)) {
        Get(first)->SetSelected(true);
        return logic;
    }
    // A logic that does not load must not leave the station without rotation: the built-in
    // weighted logic takes over, else the first entry that loads.
    const std::string weighted = WeightedLogicInfo()->GUID;
    std::vector<int> order;
    for (int i = 0; i < count; ++i)
        if (i != first && Get(i)->GetPlugin()->GetGUID() == weighted)
            order.insert(order.begin(), i);
        else if (i != first)
            order.push_back(i);
    for (int i : order)
        if (IPlaylistLogicPtr logic = TryLogic(i)) {
            LogMessage("Rotation logic: " + Get(i)->GetPlugin()->GetName() + " is active instead", "CORE",
                       LogKind::Warning);
            Get(i)->SetSelected(true);
            return logic;
        }
    return nullptr;
}

}  // namespace kelvar
