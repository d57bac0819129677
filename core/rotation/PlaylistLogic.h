#pragma once
// A rotation logic: chooses the next song when the queue is empty and hears about plays and
// failures. Built-in logics and logic plug-in modules implement it.
#include <memory>
#include <string>

#include "core/playlist/PlaylistRules.h"
#include "core/plugins/PluginList.h"
#include "foundation/ConfigDoc.h"
#include "media/SongInfo.h"

namespace kelvar {

// Plug-in instances are asked for it with std::dynamic_pointer_cast.
class IPlaylistLogic : public virtual IInterface {
public:
    virtual void SetRules(IPlaylistRulesPtr rules) = 0;
    // The node "Logic", shared by whichever logic is active.
    virtual void LoadConfig(IConfigDoc& node) = 0;
    virtual void SaveConfig(IConfigDoc& node) = 0;
    virtual void OnEndOfSong(const ISongInfoPtr& song) = 0;
    // The next song, or empty when nothing qualifies.
    virtual ISongInfoPtr ChooseSong() = 0;
    virtual void OnPlay(const ISongInfoPtr& song) = 0;
    virtual void OnRequest(const ISongInfoPtr& song, const std::string& host, std::string& message, int& code) = 0;
    virtual void OnFail(const ISongInfoPtr& song) = 0;
};

using IPlaylistLogicPtr = std::shared_ptr<IPlaylistLogic>;

// The rotation logics as plug-in entries; the selected one is the active logic.
class ILogicList : public IOnDemandList {
public:
    // The first selected entry's logic. Without a selected entry, or when its instance is no
    // logic, entry 0's logic, and entry 0 becomes the selected one. Empty for an empty list.
    virtual IPlaylistLogicPtr GetActive() = 0;
    // The entry's instance (created at first use) as a logic; empty when it is none.
    virtual IPlaylistLogicPtr GetLogic(int index) = 0;
};

using ILogicListPtr = std::shared_ptr<ILogicList>;

}  // namespace kelvar
