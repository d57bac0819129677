#pragma once
// The "General" page: metadata, automation mode and auto recovery, the default weight of new
// songs, and the hidden HTTP handler port.
#include "gui/config/ConfigNode.h"

namespace kelvar {

class TfrmAutoRecovery;
class TfrmDefWeight;
class TfrmHTTPHandler;
class TfrmMetaDataConfig;

class TCfgFrmGeneral : public TfrmBaseConfig {
public:
    explicit TCfgFrmGeneral(QWidget* Parent = nullptr);

    void Init() override;
    void LoadFrom(IConfigDoc& Doc) override;
    void SaveTo(IConfigDoc& Doc) override;

    TfrmHTTPHandler* frmHTTPHandler1 = nullptr;
    TfrmMetaDataConfig* frmMetaDataConfig1 = nullptr;
    TfrmAutoRecovery* frmAutoRecovery1 = nullptr;
    TfrmDefWeight* frmDefWeight1 = nullptr;
};

namespace cfgGeneral {

class TCustomConfigNode : public TBaseConfigNode {
public:
    TCustomConfigNode() { FCaption = "General"; }

protected:
    TfrmBaseConfig* CreateFrame() override { return new TCfgFrmGeneral; }
};

TPluginInfo* GetPluginInfo();

}  // namespace cfgGeneral

}  // namespace kelvar
