#pragma once
// The plug-in dialog: a settings frame above the OK/Cancel bar. Closing asks the frame first.
#include <QDialog>

namespace kelvar {

class TfrmOKCancel;
class TfrmPluginConfig;

class TfoPluginConfig : public QDialog {
public:
    explicit TfoPluginConfig(QWidget* Parent = nullptr);

    // Places Frame above the bar and sizes the dialog to it; null takes the frame out again.
    void SetFrame(TfrmPluginConfig* Frame);
    TfrmPluginConfig* GetFrame() const { return FFrame; }
    TfrmOKCancel* GetOKCancel() const { return FOKCancel; }

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    TfrmPluginConfig* FFrame = nullptr;
    TfrmOKCancel* FOKCancel = nullptr;
};

}  // namespace kelvar
