#pragma once
// The auto-recovery countdown: shown when the core's auto recovery finds the players idle for
// too long, it counts down the seconds to the restart and lets the operator recover at once or
// cancel the recovery.
#include <QDialog>

class QLabel;
class QMenu;
class QTimer;

namespace kelvar {

class TAutoRecovery;
class TFxFancyButton;

// What closing the countdown does to the recovery.
namespace RecoveryOutcome {
constexpr int None = 0;     // closed by the program: the recovery went on or stopped elsewhere
constexpr int Recover = 1;  // start it now
constexpr int Cancel = 2;   // abort it (the operator's Cancel, Escape or closing the window)
}  // namespace RecoveryOutcome

class TfoAutoRecovery : public QDialog {
public:
    explicit TfoAutoRecovery(TAutoRecovery* Recovery, QWidget* Parent = nullptr);

    void Timer1Timer();
    void btOKClick();
    void btCloseClick();
    // Closed by the program: neither starts nor aborts the recovery, and lets go of it.
    void CloseQuietly();

    QLabel* lbTitle = nullptr;
    QLabel* lbText = nullptr;
    QLabel* lbTime = nullptr;
    TFxFancyButton* btOK = nullptr;
    TFxFancyButton* btClose = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QTimer* Timer1 = nullptr;
    // One of RecoveryOutcome.
    int Tag = RecoveryOutcome::Cancel;
    TAutoRecovery* FRecovery;

protected:
    void closeEvent(QCloseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;

private:
    void PostClose();
};

// The countdown shown now, null when none is.
TfoAutoRecovery* AutoRecoveryDialog();
// Shows the countdown for Recovery (the same dialog again when one is open: its outcome and
// timer start afresh).
void ShowAutoRecoveryDialog(TAutoRecovery& Recovery);
// Closes the countdown without touching the recovery (it started or was aborted elsewhere).
void CloseAutoRecoveryDialog();

}  // namespace kelvar
