#pragma once
// The settings frame every configurable plug-in shows, and the configuration object that shows
// it in the plug-in dialog.
#include <QFrame>
#include <QString>
#include <memory>

#include "core/plugins/PluginConfig.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmPluginConfig : public QFrame {
public:
    explicit TfrmPluginConfig(QWidget* Parent = nullptr);

    virtual void LoadSettings(IConfigDoc& Node);
    virtual void SaveSettings(IConfigDoc& Node);
    // False keeps the dialog open, for OK and Cancel alike.
    virtual bool CanClose();

    // The dialog's caption.
    QString Title;
};

class TPluginConfig : public IPluginConfig {
public:
    // Shows the frame in the modal plug-in dialog; true (and the frame's settings saved into
    // Node) when the operator confirmed with OK.
    bool Configure(IConfigDoc& Node) override;

protected:
    virtual std::unique_ptr<TfrmPluginConfig> CreateFrame() = 0;
};

}  // namespace kelvar
