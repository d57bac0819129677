#include "gui/config/cfgGapkiller.h"

#include <QVBoxLayout>

#include "gui/config/funGapKiller.h"

namespace kelvar {

TCfgFrmGapkiller::TCfgFrmGapkiller(QWidget* Parent) : TfrmBaseConfig(Parent) {
    auto* column = new QVBoxLayout(this);
    frmGapKiller1 = new TfrmGapKiller(this);
    column->addWidget(frmGapKiller1);
}

void TCfgFrmGapkiller::LoadFrom(IConfigDoc& Doc) {
    auto kelvar = Doc.Section("Kelvar");
    frmGapKiller1->LoadFrom(*kelvar->Section("GapKillerEx"));
    frmGapKiller1->eEnabled->setChecked(kelvar->Section("DefSongSettings")->ReadInteger("GapKillerOn", 1) == 1);
}

void TCfgFrmGapkiller::SaveTo(IConfigDoc& Doc) {
    auto kelvar = Doc.Section("Kelvar");
    frmGapKiller1->SaveTo(*kelvar->Section("GapKillerEx"));
    kelvar->Section("DefSongSettings")->WriteInteger("GapKillerOn", frmGapKiller1->eEnabled->isChecked() ? 1 : 0);
}

namespace cfgGapkiller {

TPluginInfo* GetPluginInfo() {
    static TPluginInfo info = {"Gap killer", "Plugin to configure Gap killer rules.", 0x100,
                               "{53E1E8F9-BE35-4186-8569-F36132324A92}", CreateConfigNodeInstance<TCustomConfigNode>};
    return &info;
}

}  // namespace cfgGapkiller

}  // namespace kelvar
