#pragma once
// The do-nothing logic the real ones derive from: it keeps the rules and chooses nothing.
#include "core/rotation/PlaylistLogic.h"

namespace kelvar {

class TPlaylistLogic : public IPlaylistLogic {
public:
    void SetRules(IPlaylistRulesPtr rules) override;
    void LoadConfig(IConfigDoc& node) override;
    void SaveConfig(IConfigDoc& node) override;
    void OnEndOfSong(const ISongInfoPtr& song) override;
    ISongInfoPtr ChooseSong() override;
    void OnPlay(const ISongInfoPtr& song) override;
    void OnRequest(const ISongInfoPtr& song, const std::string& host, std::string& message, int& code) override;
    void OnFail(const ISongInfoPtr& song) override;

protected:
    IPlaylistRulesPtr Rules;
};

}  // namespace kelvar
