#pragma once
// The dialog in which a cue time is typed by hand: minutes, seconds and milliseconds.
#include <QDialog>
#include <cstdint>

class QSpinBox;

namespace kelvar {

class TfrmOKCancel;

class TfoEditTime : public QDialog {
public:
    explicit TfoEditTime(QWidget* Parent = nullptr);

    // A negative time shows as 0; the fields keep their limits.
    void SetTime(int32_t Ms);
    int32_t GetTime() const;

    QSpinBox* eMin = nullptr;
    QSpinBox* eSec = nullptr;
    QSpinBox* eMS = nullptr;
    TfrmOKCancel* frmOKCancel1 = nullptr;
};

// Shows Ms in the dialog; OK stores the typed time and answers true, Cancel leaves Ms alone.
bool EditTime(int64_t& Ms);

}  // namespace kelvar
