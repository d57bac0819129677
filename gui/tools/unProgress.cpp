#include "gui/tools/unProgress.h"

#include <QLabel>
#include <QProgressBar>

#include "controls/FxFancyButton.h"

namespace kelvar {

TfoProgress::TfoProgress(QWidget* Parent) : QDialog(Parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("foProgress");
    setWindowTitle(QStringLiteral("Progress"));
    setFixedSize(255, 109);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(238, 234, 219));
    setPalette(colours);

    lbCaption = new QLabel(this);
    QFont bold = lbCaption->font();
    bold.setBold(true);
    lbCaption->setFont(bold);
    lbCaption->setGeometry(8, 6, 239, 17);
    lbCurrent = new QLabel(this);
    lbCurrent->setGeometry(8, 26, 239, 17);
    eProgess = new QProgressBar(this);
    eProgess->setRange(0, 100);
    eProgess->setValue(0);
    eProgess->setTextVisible(false);
    eProgess->setGeometry(8, 48, 239, 16);
    btClose = new TFxFancyButton(QStringLiteral("Cancel"), this);
    btClose->setObjectName("btClose");
    btClose->setGeometry(95, 76, 65, 25);
    btClose->OnClick = [this](TFxFancyButton&) {
        FCancelled = true;
        if (OnCancel) OnCancel();
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
    };
}

void TfoProgress::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    FCancelled = false;
}

void TfoProgress::done(int Result) {
    // Escape or the window's close button stop the walk too: it would go on out of sight.
    FCancelled = true;
    if (OnCancel) OnCancel();
    QDialog::done(Result);
}

void TfoProgress::StepIt() {
    if (eProgess->value() < eProgess->maximum()) eProgess->setValue(eProgess->value() + 1);
}

std::unique_ptr<TfoProgress> ShowProgress() {
    auto dialog = std::make_unique<TfoProgress>();
    dialog->FCancelled = false;
    dialog->show();
    return dialog;
}

}  // namespace kelvar
