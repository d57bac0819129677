#pragma once
// The "Crossfading" page: the global default fades and crossfade of songs without settings of
// their own, and the rule that skips fading for short tracks. The core takes them when it
// reloads after the dialog.
#include <QCheckBox>
#include <QSpinBox>

#include "gui/config/ConfigNode.h"

namespace kelvar {

class TfrmFadeSettings;

class TCfgFrmCrossfader : public TfrmBaseConfig {
public:
    explicit TCfgFrmCrossfader(QWidget* Parent = nullptr);

    void LoadFrom(IConfigDoc& Doc) override;
    void SaveTo(IConfigDoc& Doc) override;
    void Done() override;

    TfrmFadeSettings* frmFadeSettings1 = nullptr;
    QCheckBox* eShortSkip = nullptr;
    QSpinBox* eShortTime = nullptr;
};

namespace cfgCrossfader {

class TCustomConfigNode : public TBaseConfigNode {
public:
    TCustomConfigNode() { FCaption = "Crossfading"; }

protected:
    TfrmBaseConfig* CreateFrame() override { return new TCfgFrmCrossfader; }
};

TPluginInfo* GetPluginInfo();

}  // namespace cfgCrossfader

}  // namespace kelvar
