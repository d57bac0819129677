#include "gui/config/cfgPlaylistRules.h"

#include <QVBoxLayout>

#include "gui/config/funLogic.h"
#include "gui/config/funPlaylistRules.h"

namespace kelvar {

TCfgFrmPlaylistRules::TCfgFrmPlaylistRules(QWidget* Parent) : TfrmBaseConfig(Parent) {
    auto* column = new QVBoxLayout(this);
    frmPlaylistRules1 = new TfrmPlaylistRules(this);
    frmLogic1 = new TfrmLogic(this);
    column->addWidget(frmPlaylistRules1);
    column->addWidget(frmLogic1, 1);
}

void TCfgFrmPlaylistRules::Init() { frmLogic1->Init(); }

void TCfgFrmPlaylistRules::LoadFrom(IConfigDoc& Doc) {
    frmPlaylistRules1->LoadFrom(*Doc.Section("Kelvar")->Section("PlaylistRules"));
    frmLogic1->LoadFrom(Doc);
}

void TCfgFrmPlaylistRules::SaveTo(IConfigDoc& Doc) {
    frmPlaylistRules1->SaveTo(*Doc.Section("Kelvar")->Section("PlaylistRules"));
    frmLogic1->SaveTo(Doc);
}

void TCfgFrmPlaylistRules::Done() { frmLogic1->Done(); }

namespace cfgPlaylistRules {

TPluginInfo* GetPluginInfo() {
    static TPluginInfo info = {"Playlist rotation rules", "Plugin to configure Playlist rotation rules.", 0x100,
                               "{581EEAF7-D348-4DA3-A5F2-93BD2E820236}", CreateConfigNodeInstance<TCustomConfigNode>};
    return &info;
}

}  // namespace cfgPlaylistRules

}  // namespace kelvar
