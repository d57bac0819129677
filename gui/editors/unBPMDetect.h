#pragma once
// The small modal dialog that runs a tempo measurement with its progress and a Cancel button.
#include <QDialog>
#include <memory>
#include <string>

class QProgressBar;
class QPushButton;
class QTimer;

namespace kelvar {

class TBPMDetect;

class TfoBPMDetect : public QDialog {
public:
    explicit TfoBPMDetect(QWidget* Parent = nullptr);
    ~TfoBPMDetect() override;

    void Start(const std::string& FileName);
    // Collects the worker's estimate; harmless when nothing runs.
    void Stop();
    void Timer1Timer();
    double Result() const { return FResult; }

    QProgressBar* eProgress = nullptr;
    QPushButton* btCancel = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void closeEvent(QCloseEvent* Event) override;
    void done(int Result) override;

private:
    void PostClose();

    std::unique_ptr<TBPMDetect> FDetect;
    double FResult = 0;
};

// Measures the tempo of a file with the progress dialog: the estimate, 0 when none was found,
// the file could not be read or the operator cancelled before any audio was decoded.
double DetectBPM(const std::string& FileName);

}  // namespace kelvar
