#include "gui/editors/unBPMDetect.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "core/BPMDetect.h"
#include "gui/editors/EditorControls.h"
#include "gui/engine/GuiDialogs.h"

namespace kelvar {

TfoBPMDetect::TfoBPMDetect(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("BPM Detection");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setFixedSize(300, 118);
    auto* title = MakeEditorLabel(this, "lbTitle", "Detecting Beats Per Minute", QRect(10, 8, 280, 20));
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    MakeEditorLabel(this, "lbProgress", "Progress", QRect(10, 34, 280, 18));
    eProgress = new QProgressBar(this);
    eProgress->setObjectName("eProgress");
    eProgress->setGeometry(10, 54, 280, 18);
    eProgress->setRange(0, 100);
    eProgress->setValue(0);
    eProgress->setTextVisible(false);
    btCancel = new QPushButton("Cancel", this);
    btCancel->setObjectName("btCancel");
    btCancel->setGeometry(110, 82, 80, 26);
    connect(btCancel, &QPushButton::clicked, this, [this] { PostClose(); });
    Timer1 = new QTimer(this);
    Timer1->setInterval(300);
    connect(Timer1, &QTimer::timeout, this, [this] { GuardedUi([this] { Timer1Timer(); }); });
}

TfoBPMDetect::~TfoBPMDetect() { Stop(); }

void TfoBPMDetect::Start(const std::string& FileName) {
    Stop();
    FDetect = std::make_unique<TBPMDetect>(FileName);
    eProgress->setRange(0, 100);
    Timer1->start();
}

void TfoBPMDetect::Stop() {
    if (!FDetect) return;
    Timer1->stop();
    FResult = FDetect->Finish();
    FDetect.reset();
}

void TfoBPMDetect::Timer1Timer() {
    if (!FDetect) return;
    const int maximum = std::max(100, FDetect->GetDuration());
    eProgress->setMaximum(maximum);
    eProgress->setValue(std::max(0, std::min(FDetect->GetProgressMs(), maximum)));
    // A worker that ended without reaching the end (no decoder, a file that does not open, an
    // error) closes the dialog too; Stop then collects its answer of 0.
    if (FDetect->IsDone() || FDetect->HasEnded()) PostClose();
}

void TfoBPMDetect::PostClose() {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

void TfoBPMDetect::closeEvent(QCloseEvent* Event) {
    Stop();
    QDialog::closeEvent(Event);
}

void TfoBPMDetect::done(int Result) {
    Stop();
    QDialog::done(Result);
}

double DetectBPM(const std::string& FileName) {
    TfoBPMDetect dialog;
    dialog.Start(FileName);
    ExecModal(dialog);
    dialog.Stop();
    return dialog.Result();
}

}  // namespace kelvar
