#include "gui/tools/unAutoRecovery.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <algorithm>

#include "controls/FxFancyButton.h"
#include "core/AutoRecovery.h"
#include "foundation/Logger.h"

namespace kelvar {

namespace {

QPointer<TfoAutoRecovery>& Current() {
    static QPointer<TfoAutoRecovery> dialog;
    return dialog;
}

}  // namespace

TfoAutoRecovery::TfoAutoRecovery(TAutoRecovery* Recovery, QWidget* Parent)
    : QDialog(Parent, Qt::Tool | Qt::WindowStaysOnTopHint), FRecovery(Recovery) {
    setObjectName("foAutoRecovery");
    setWindowTitle(QStringLiteral("Automated recovery"));
    setFixedSize(215, 135);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(238, 234, 219));
    setPalette(colours);

    lbTitle = new QLabel(QStringLiteral("Players in idle state for too long."), this);
    lbTitle->setGeometry(8, 6, 199, 17);
    lbText = new QLabel(QStringLiteral("Auto recovery will atempt to start the players again in ..."), this);
    lbText->setWordWrap(true);
    lbText->setGeometry(8, 24, 199, 32);
    lbTime = new QLabel(QStringLiteral("0 seconds"), this);
    QFont big = lbTime->font();
    big.setBold(true);
    big.setPixelSize(16);
    lbTime->setFont(big);
    lbTime->setAlignment(Qt::AlignCenter);
    lbTime->setGeometry(8, 60, 199, 26);
    btOK = new TFxFancyButton(QStringLiteral("Recover now"), this);
    btOK->setObjectName("btOK");
    btOK->setToolTip(QStringLiteral("Recover now"));
    btOK->setGeometry(16, 100, 88, 25);
    btClose = new TFxFancyButton(QStringLiteral("Cancel"), this);
    btClose->setObjectName("btClose");
    btClose->setToolTip(QStringLiteral("Cancel auto recovery"));
    btClose->setGeometry(111, 100, 88, 25);
    btOK->OnClick = [this](TFxFancyButton&) { btOKClick(); };
    btClose->OnClick = [this](TFxFancyButton&) { btCloseClick(); };

    PopupMenu1 = new QMenu(this);
    QAction* recover = PopupMenu1->addAction(QStringLiteral("Recover"));
    recover->setShortcut(QKeySequence(Qt::Key_Return));
    QAction* cancel = PopupMenu1->addAction(QStringLiteral("Cancel"));
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(recover, &QAction::triggered, this, [this] { btOKClick(); });
    connect(cancel, &QAction::triggered, this, [this] { btCloseClick(); });

    Timer1 = new QTimer(this);
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void TfoAutoRecovery::Timer1Timer() {
    if (!FRecovery) return;
    // The count may run below zero while the recovery waits for its tick.
    lbTime->setText(QStringLiteral("%1 seconds").arg(std::max(0, FRecovery->SecondsLeft())));
}

void TfoAutoRecovery::PostClose() {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

void TfoAutoRecovery::btOKClick() {
    Tag = RecoveryOutcome::Recover;
    Timer1->stop();
    hide();
    PostClose();
}

void TfoAutoRecovery::btCloseClick() {
    Tag = RecoveryOutcome::Cancel;
    Timer1->stop();
    hide();
    PostClose();
}

void TfoAutoRecovery::CloseQuietly() {
    Tag = RecoveryOutcome::None;
    FRecovery = nullptr;
    Timer1->stop();
    hide();
    PostClose();
}

void TfoAutoRecovery::keyPressEvent(QKeyEvent* Event) {
    switch (Event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: btOKClick(); return;
        case Qt::Key_Escape: btCloseClick(); return;
        default: QDialog::keyPressEvent(Event);
    }
}

void TfoAutoRecovery::contextMenuEvent(QContextMenuEvent* Event) { PopupMenu1->popup(Event->globalPos()); }

void TfoAutoRecovery::closeEvent(QCloseEvent* Event) {
    if (Current() == this) Current() = nullptr;
    Timer1->stop();
    QDialog::closeEvent(Event);
    TAutoRecovery* recovery = FRecovery;
    FRecovery = nullptr;
    const int outcome = Tag;
    Tag = RecoveryOutcome::None;
    if (!recovery) return;
    try {
        if (outcome == RecoveryOutcome::Recover)
            recovery->Start();
        else if (outcome == RecoveryOutcome::Cancel)
            recovery->Abort();
    } catch (const std::exception& e) {
        LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
    } catch (...) {
        LogMessage("Unhandled exception (unknown)", "GUI", LogKind::Exception);
    }
}

TfoAutoRecovery* AutoRecoveryDialog() { return Current().data(); }

void ShowAutoRecoveryDialog(TAutoRecovery& Recovery) {
    TfoAutoRecovery* dialog = Current().data();
    if (!dialog) {
        dialog = new TfoAutoRecovery(&Recovery);
        // Frees itself once closed.
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        Current() = dialog;
    }
    dialog->FRecovery = &Recovery;
    dialog->Tag = RecoveryOutcome::Cancel;
    dialog->Timer1->start();
    dialog->show();
    dialog->Timer1Timer();
}

void CloseAutoRecoveryDialog() {
    TfoAutoRecovery* dialog = Current().data();
    Current() = nullptr;
    if (dialog) dialog->CloseQuietly();
}

}  // namespace kelvar
