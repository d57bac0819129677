#pragma once
// The small progress dialog of the long maintenance walks: a caption, the current item, a
// progress bar and a Cancel button that the walk checks at every row.
#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QProgressBar;

namespace kelvar {

class TFxFancyButton;

class TfoProgress : public QDialog {
public:
    explicit TfoProgress(QWidget* Parent = nullptr);

    // One step forward while below the maximum.
    void StepIt();

    QLabel* lbCaption = nullptr;
    QLabel* lbCurrent = nullptr;
    QProgressBar* eProgess = nullptr;
    TFxFancyButton* btClose = nullptr;
    bool FCancelled = false;
    // Told at once when the operator cancels (Cancel, Escape, the close button), for a walk that
    // runs on another thread and can't look at FCancelled.
    std::function<void()> OnCancel;

protected:
    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;
};

// A new progress dialog shown modelessly, not cancelled; the caller frees it when done.
std::unique_ptr<TfoProgress> ShowProgress();

}  // namespace kelvar
