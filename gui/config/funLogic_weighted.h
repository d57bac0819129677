#pragma once
// Settings of the weighted rotation logic: weight changes on events, the minimum weight, and
// whether the playlist rules apply.
#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

#include "gui/plugins/funPluginConfig.h"

namespace kelvar {

class TfrmLogic_weighted : public TfrmPluginConfig {
public:
    explicit TfrmLogic_weighted(QWidget* Parent = nullptr);

    void LoadSettings(IConfigDoc& Node) override;
    void SaveSettings(IConfigDoc& Node) override;

    QLineEdit* ePlayDec = nullptr;
    QLineEdit* eRequestInc = nullptr;
    QSpinBox* eMinWeight = nullptr;
    QCheckBox* eEnforceRules = nullptr;
};

// The number in an edit ("." or "," as the decimal mark), else Default.
double LogicEditFloat(const QLineEdit& Edit, double Default);

namespace funLogic_weighted {

class TCustomConfig : public TPluginConfig {
protected:
    std::unique_ptr<TfrmPluginConfig> CreateFrame() override { return std::make_unique<TfrmLogic_weighted>(); }
};

TPluginInfo* GetPluginInfo();

}  // namespace funLogic_weighted

}  // namespace kelvar
