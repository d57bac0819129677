#include "core/rotation/LogicList.h"

#include <exception>

#include "foundation/Logger.h"

namespace kelvar {

IPlaylistLogicPtr TLogicList::GetLogic(int index) {
    return std::dynamic_pointer_cast<IPlaylistLogic>(Get(index)->GetInstance());
}

IPlaylistLogicPtr TLogicList::GetActive() {
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        IOnDemandInterfacePtr entry = Get(i);
        if (!entry->GetSelected()) continue;
        try {
            if (IPlaylistLogicPtr logic = GetLogic(i)) return logic;
        } catch (const std::exception& e) {
            // A logic module that no longer loads must not leave the station without rotation.
            LogMessage("Error loading Logic: " + std::string(e.what()), "CORE", LogKind::Error);
        }
        break;
    }
    if (count == 0) return nullptr;
    Get(0)->SetSelected(true);
    return GetLogic(0);
}

}  // namespace kelvar
