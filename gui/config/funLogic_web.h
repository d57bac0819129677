#pragma once
// Settings of the web rotation logic: the page to contact on each event and whether the
// contact waits for the answer.
#include <QCheckBox>
#include <QLineEdit>

#include "gui/plugins/funPluginConfig.h"

namespace kelvar {

class TfrmLogic_web : public TfrmPluginConfig {
public:
    explicit TfrmLogic_web(QWidget* Parent = nullptr);

    void LoadSettings(IConfigDoc& Node) override;
    void SaveSettings(IConfigDoc& Node) override;

    QLineEdit* eOnChooseSong = nullptr;
    QLineEdit* eOnPlay = nullptr;
    QLineEdit* eOnFail = nullptr;
    QLineEdit* eOnEndOfSong = nullptr;
    QLineEdit* eOnRequest = nullptr;
    QCheckBox* cOnPlay = nullptr;
    QCheckBox* cOnFail = nullptr;
    QCheckBox* cOnEndOfSong = nullptr;
    QCheckBox* cOnRequest = nullptr;
};

namespace funLogic_web {

class TCustomConfig : public TPluginConfig {
protected:
    std::unique_ptr<TfrmPluginConfig> CreateFrame() override { return std::make_unique<TfrmLogic_web>(); }
};

TPluginInfo* GetPluginInfo();

}  // namespace funLogic_web

}  // namespace kelvar
