#pragma once
// The "Gap killer" page: the shared gap killer settings and whether songs use it by default.
#include "gui/config/ConfigNode.h"

namespace kelvar {

class TfrmGapKiller;

class TCfgFrmGapkiller : public TfrmBaseConfig {
public:
    explicit TCfgFrmGapkiller(QWidget* Parent = nullptr);

    void LoadFrom(IConfigDoc& Doc) override;
    void SaveTo(IConfigDoc& Doc) override;

    TfrmGapKiller* frmGapKiller1 = nullptr;
};

namespace cfgGapkiller {

class TCustomConfigNode : public TBaseConfigNode {
public:
    TCustomConfigNode() { FCaption = "Gap killer"; }

protected:
    TfrmBaseConfig* CreateFrame() override { return new TCfgFrmGapkiller; }
};

TPluginInfo* GetPluginInfo();

}  // namespace cfgGapkiller

}  // namespace kelvar
