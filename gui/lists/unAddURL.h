#pragma once
// The "Add URL" dialog: a stream address (from the recent ones) and its description.
#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

namespace kelvar {

class TfrmOKCancel;

class TfoAddURL : public QDialog {
public:
    explicit TfoAddURL(QWidget* Parent = nullptr);
    QComboBox* eURL;
    QLineEdit* eDescription;
    TfrmOKCancel* frmOKCancel;

protected:
    void showEvent(QShowEvent* Event) override;
};

// The recent addresses kept: URL at the top (also when already further down), at most 20.
void AddRecentURL(std::vector<std::string>& Recent, const std::string& URL);

// Runs the dialog with URL and Description filled in; on OK answers the address and the
// description (the address when left empty). False for Cancel or an empty address.
bool ExecuteAddURL(std::string& URL, std::string& Description);

}  // namespace kelvar
