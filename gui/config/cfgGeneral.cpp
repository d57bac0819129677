#include "gui/config/cfgGeneral.h"

#include <QGridLayout>

#include "gui/config/funAutoRecovery.h"
#include "gui/config/funDefWeight.h"
#include "gui/config/funHTTPHandler.h"
#include "gui/config/funMetaDataConfig.h"

namespace kelvar {

TCfgFrmGeneral::TCfgFrmGeneral(QWidget* Parent) : TfrmBaseConfig(Parent) {
    auto* grid = new QGridLayout(this);
    frmMetaDataConfig1 = new TfrmMetaDataConfig(this);
    frmAutoRecovery1 = new TfrmAutoRecovery(this);
    frmHTTPHandler1 = new TfrmHTTPHandler(this);
    frmDefWeight1 = new TfrmDefWeight(this);
    grid->addWidget(frmMetaDataConfig1, 0, 0, 1, 2);
    grid->addWidget(frmAutoRecovery1, 1, 0);
    grid->addWidget(frmHTTPHandler1, 2, 0);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(4);
    grid->addWidget(frmDefWeight1, 1, 1, Qt::AlignTop);
}

void TCfgFrmGeneral::Init() {
    // Without the HTTP port the default weight stays beside the auto recovery, which keeps the
    // page inside the dialog.
    frmHTTPHandler1->hide();
}

void TCfgFrmGeneral::LoadFrom(IConfigDoc& Doc) {
    auto kelvar = Doc.Section("Kelvar");
    frmHTTPHandler1->LoadFrom(*kelvar->Section("HTTPManager"));
    frmMetaDataConfig1->LoadFrom(*kelvar->Section("MetaData"));
    frmAutoRecovery1->LoadFrom(*kelvar->Section("AutoRecovery"));
    frmDefWeight1->LoadFrom(*kelvar);
}

void TCfgFrmGeneral::SaveTo(IConfigDoc& Doc) {
    auto kelvar = Doc.Section("Kelvar");
    frmHTTPHandler1->SaveTo(*kelvar->Section("HTTPManager"));
    frmMetaDataConfig1->SaveTo(*kelvar->Section("MetaData"));
    frmAutoRecovery1->SaveTo(*kelvar->Section("AutoRecovery"));
    frmDefWeight1->SaveTo(*kelvar);
}

namespace cfgGeneral {

TPluginInfo* GetPluginInfo() {
    static TPluginInfo info = {"General configuration", "Various module configuration.", 0x100,
                               "{14366F20-6BF8-46A9-A0B7-D41F1483D7A5}", CreateConfigNodeInstance<TCustomConfigNode>};
    return &info;
}

}  // namespace cfgGeneral

}  // namespace kelvar
