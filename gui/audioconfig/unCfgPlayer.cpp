#include "gui/audioconfig/unCfgPlayer.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

#include "controls/FxFancyButton.h"
#include "gui/audioconfig/funCfgPlayer.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"

namespace kelvar {

namespace {

QPointer<TfoCfgPlayer>& Window() {
    static QPointer<TfoCfgPlayer> window;
    return window;
}

}  // namespace

TfoCfgPlayer::TfoCfgPlayer(QWidget* Parent) : QDialog(Parent) {
    setObjectName("foCfgPlayer");
    setWindowTitle("Audio settings");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    resize(539, 498);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    frmCfgPlayer1 = new TfrmCfgPlayer(this);
    column->addWidget(frmCfgPlayer1, 1);
    frmOKCancel1 = new TfrmOKCancel(this);
    frmOKCancel1->btClose->setVisible(false);
    column->addWidget(frmOKCancel1);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TfoCfgPlayer::~TfoCfgPlayer() { Closing(); }

void TfoCfgPlayer::Closing() {
    if (FClosed) return;
    FClosed = true;
    if (Window() == this) Window() = nullptr;
    frmCfgPlayer1->DetachAll();
}

void TfoCfgPlayer::closeEvent(QCloseEvent* Event) {
    QDialog::closeEvent(Event);
    if (!Event->isAccepted()) return;
    Closing();
    deleteLater();
}

void TfoCfgPlayer::done(int Result) {
    QDialog::done(Result);
    Closing();
    deleteLater();
}

void ShowAudioSettings(const TAudioObject& Object, const std::string& Page, bool Modal) {
    if (!Window()) {
        auto* window = new TfoCfgPlayer();
        Window() = window;
        window->frmCfgPlayer1->SelectObject(Object);
        window->frmCfgPlayer1->SetPage(Page);
    }
    TfoCfgPlayer* window = Window();
    if (Modal) {
        window->hide();
        window->setWindowFlag(Qt::WindowStaysOnTopHint, false);
        window->setModal(true);
        ExecModal(*window);
        // However the modal run ended, the window is done with.
        if (Window() == window) window->close();
    } else {
        window->setModal(false);
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        window->show();
        window->raise();
    }
}

void CloseAudioSettings() {
    if (TfoCfgPlayer* window = Window()) {
        window->close();
        delete window;
    }
    Window() = nullptr;
}

TfoCfgPlayer* AudioSettingsWindow() { return Window(); }

}  // namespace kelvar
