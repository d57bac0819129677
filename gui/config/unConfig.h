#pragma once
// The configuration dialog's form: the page tree and pages above the OK/Cancel bar. The form's
// tag tells how it closed (1 OK, 2 Cancel or the close box); a page that may not be left keeps
// it open.
#include <QDialog>

namespace kelvar {

class TfrmConfig;
class TfrmOKCancel;

class TfoConfig : public QDialog {
public:
    explicit TfoConfig(QWidget* Parent = nullptr);

    void done(int Result) override;

    TfrmConfig* frmConfig1 = nullptr;
    TfrmOKCancel* frmOKCancel1 = nullptr;
};

}  // namespace kelvar
