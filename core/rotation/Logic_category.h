#pragma once
// The clockwheel logic: the operator's script names, line by line, a category of the library or
// a folder on disk and how to pick a song from it. Each choice runs the script on from where the
// last one stopped, up to the next line that yields a song.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/plugins/PluginList.h"
#include "core/rotation/PlaylistLogic_imp.h"
#include "core/rotation/RotationFormatFile.h"
#include "database/SQLPool.h"

namespace kelvar {

class TPlaylistManager;

class TplCategoryRotation : public TPlaylistLogic, public IRotationFormatFile {
public:
    // The playlist model, rules and statistics queue of the current playlist control; raises
    // without one.
    TplCategoryRotation();
    TplCategoryRotation(std::shared_ptr<TPlaylistManager> manager, IPlaylistRulesPtr controlRules);

    void LoadConfig(IConfigDoc& node) override;
    void SaveConfig(IConfigDoc& node) override;
    ISongInfoPtr ChooseSong() override;
    void OnPlay(const ISongInfoPtr& song) override;
    void OnRequest(const ISongInfoPtr& song, const std::string& host, std::string& message, int& code) override;
    void OnFail(const ISongInfoPtr& song) override;

    void LoadFromFile(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName) override;

    IDelayedQueryPtr GetDelayedQuery() const { return DelayedQuery; }

    double PlayDec = 0.5;
    double RequestInc = 5.0;
    std::vector<std::string> RotationFormat;
    // The next line to run.
    int Position = 0;

private:
    // The song of one script line, or none.
    ISongInfoPtr RunLine(int index);
    ISongInfoPtr RunFolderLine(int index, const std::vector<std::string>& tokens);
    // Once per line until the script changes, so a bad line does not flood the log.
    void LogBadLine(int index, const std::string& why);
    IPlaylistRulesPtr FolderRules() const;

    IDelayedQueryPtr DelayedQuery;
    std::shared_ptr<TPlaylistManager> PlaylistManager;
    IPlaylistRulesPtr ControlRules;
    std::set<int> FLoggedLines;
};

// The built-in plug-in record of the clockwheel logic.
TPluginInfo* CategoryLogicInfo();

}  // namespace kelvar
