#pragma once
// The dialog that describes a live recording source for the queue.
#include <QDialog>
#include <string>

namespace kelvar {

class TfrmCfgMic;
class TfrmOKCancel;

class TfoCfgMic : public QDialog {
public:
    explicit TfoCfgMic(QWidget* Parent = nullptr);

    TfrmCfgMic* frmCfgMic1 = nullptr;
    TfrmOKCancel* frmOKCancel1 = nullptr;
};

// OK gives the source address and the display name chosen and answers true; otherwise both are
// left as they were. The incoming address is not read: the dialog starts from its defaults.
bool MicSourceDialog(std::string& Address, std::string& DisplayName);

}  // namespace kelvar
