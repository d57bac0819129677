#pragma once
// The DSP adaptor's settings frame: which module of the Winamp DSP library runs, and the
// module's own dialog. Works on the library the adaptor hands over while the dialog is open.
#include <QComboBox>
#include <QLabel>
#include <functional>

#include "controls/BoxButton.h"
#include "gui/plugins/funPluginConfig.h"

namespace kelvar {

class TfrmDSP_Adaptor : public TfrmPluginConfig {
public:
    explicit TfrmDSP_Adaptor(QWidget* Parent = nullptr);

    // Selects "Module" (default 0).
    void LoadSettings(IConfigDoc& Node) override;
    // Writes the selected index as "Module" (the loaded one while the list is empty).
    void SaveSettings(IConfigDoc& Node) override;

    QLabel* lbModule = nullptr;
    QComboBox* eModule = nullptr;
    TBoxButton* btConfig = nullptr;

private:
    // Runs the selected module's own dialog; never starts or stops a module.
    void ConfigureModule();

    int FLoadedIndex = 0;
};

namespace funDSP_Adaptor {

// The adaptor's configuration object.
class TCustomConfig : public TPluginConfig {
protected:
    std::unique_ptr<TfrmPluginConfig> CreateFrame() override;
};

}  // namespace funDSP_Adaptor

// The configuration record: the adaptor's texts, creating a funDSP_Adaptor::TCustomConfig.
TPluginInfo* DSPAdaptorConfigInfo();
// Makes the record known to the adaptors, which then show this frame from Configure.
void RegisterDSPAdaptorConfig();

// How the frame warns the operator; the default is a message box with an OK button.
using TDSPAdaptorWarning = std::function<void(QWidget* Parent, const QString& Text)>;
void SetDSPAdaptorWarning(TDSPAdaptorWarning Warning);

}  // namespace kelvar
