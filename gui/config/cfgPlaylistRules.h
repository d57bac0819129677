#pragma once
// The "Playlist rotation rules" page: the rules every logic obeys above the choice of the
// active logic.
#include "gui/config/ConfigNode.h"

namespace kelvar {

class TfrmLogic;
class TfrmPlaylistRules;

class TCfgFrmPlaylistRules : public TfrmBaseConfig {
public:
    explicit TCfgFrmPlaylistRules(QWidget* Parent = nullptr);

    void Init() override;
    void LoadFrom(IConfigDoc& Doc) override;
    void SaveTo(IConfigDoc& Doc) override;
    void Done() override;

    TfrmPlaylistRules* frmPlaylistRules1 = nullptr;
    TfrmLogic* frmLogic1 = nullptr;
};

namespace cfgPlaylistRules {

class TCustomConfigNode : public TBaseConfigNode {
public:
    TCustomConfigNode() { FCaption = "Playlist rotation rules"; }

protected:
    TfrmBaseConfig* CreateFrame() override { return new TCfgFrmPlaylistRules; }
};

TPluginInfo* GetPluginInfo();

}  // namespace cfgPlaylistRules

}  // namespace kelvar
