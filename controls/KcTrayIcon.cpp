#include "controls/KcTrayIcon.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace kelvar {

namespace {

class QtTrayBackend : public ITrayBackend {
public:
    explicit QtTrayBackend(TKcTrayIcon& Owner) {
        QObject::connect(&FTray, &QSystemTrayIcon::activated, [&Owner](QSystemTrayIcon::ActivationReason Reason) {
            const QPoint At = QCursor::pos();
            switch (Reason) {
                case QSystemTrayIcon::Trigger:
                    Owner.HandleMouse(TTrayMouse::LeftDown, At);
                    Owner.HandleMouse(TTrayMouse::LeftUp, At);
                    break;
                case QSystemTrayIcon::DoubleClick: Owner.HandleMouse(TTrayMouse::LeftDouble, At); break;
                case QSystemTrayIcon::Context:
                    Owner.HandleMouse(TTrayMouse::RightDown, At);
                    Owner.HandleMouse(TTrayMouse::RightUp, At);
                    break;
                case QSystemTrayIcon::MiddleClick:
                    Owner.HandleMouse(TTrayMouse::MiddleDown, At);
                    Owner.HandleMouse(TTrayMouse::MiddleUp, At);
                    break;
                default: break;
            }
        });
    }
    bool Add(const QIcon& Icon, const QString& Tip) override {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
        FTray.setIcon(Icon);
        FTray.setToolTip(Tip);
        FTray.show();
        return true;
    }
    bool Modify(const QIcon& Icon, const QString& Tip) override {
        FTray.setIcon(Icon);
        FTray.setToolTip(Tip);
        return true;
    }
    void Delete() override { FTray.hide(); }

private:
    QSystemTrayIcon FTray;
};

constexpr int kHintLength = 62;

}  // namespace

std::unique_ptr<ITrayBackend> CreateQtTrayBackend(TKcTrayIcon& Owner) { return std::make_unique<QtTrayBackend>(Owner); }

TKcTrayIcon::TKcTrayIcon(std::unique_ptr<ITrayBackend> Backend) : FBackend(std::move(Backend)) {
    if (!FBackend) FBackend = CreateQtTrayBackend(*this);
}

TKcTrayIcon::~TKcTrayIcon() {
    SetVisible(false);
    if (FMainWindow) FMainWindow->removeEventFilter(this);
}

void TKcTrayIcon::SetIcon(const QIcon& Value) {
    FIcon = Value;
    UpdateIcon();
}

void TKcTrayIcon::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    UpdateIcon();
}

void TKcTrayIcon::SetHint(const QString& Value) {
    const QString Cut = Value.left(kHintLength);
    if (FHint == Cut) return;
    FHint = Cut;
    UpdateIcon();
}

void TKcTrayIcon::SetShowHint(bool Value) {
    if (FShowHint == Value) return;
    FShowHint = Value;
    UpdateIcon();
}

QString TKcTrayIcon::Tip() const { return (!FHint.isEmpty() && FShowHint) ? FHint : QString(); }

void TKcTrayIcon::UpdateIcon() {
    if (FIcon.isNull()) return;
    if (!FVisible) {
        if (FAdded) {
            FBackend->Delete();
            FAdded = false;
        }
        return;
    }
    if (FAdded) {
        FBackend->Modify(FIcon, Tip());
    } else {
        // A refused add leaves the icon unadded, so the next update tries the add again.
        FAdded = FBackend->Add(FIcon, Tip());
    }
}

void TKcTrayIcon::ShowPopup(const QPoint& ScreenPos) {
    if (!FPopupMenu) return;
    QCoreApplication::processEvents();
    if (FMainWindow) FMainWindow->activateWindow();
    if (OnShowPopup)
        OnShowPopup(*FPopupMenu, ScreenPos);
    else
        FPopupMenu->popup(ScreenPos);
}

void TKcTrayIcon::HandleMouse(TTrayMouse Message, const QPoint& At, Qt::KeyboardModifiers Mods) {
    if (!FEnabled) return;
    const int X = At.x(), Y = At.y();
    auto Down = [&](Qt::MouseButton B) {
        if (OnMouseDown) OnMouseDown(*this, B, Mods, X, Y);
    };
    auto Up = [&](Qt::MouseButton B) {
        if (OnMouseUp) OnMouseUp(*this, B, Mods, X, Y);
    };
    switch (Message) {
        case TTrayMouse::Move:
            if (OnMouseMove) OnMouseMove(*this, Mods, X, Y);
            break;
        case TTrayMouse::LeftDown:
            Down(Qt::LeftButton);
            FClickPending = true;
            if (FLeftBtnPopup) {
                FClickPending = false;
                ShowPopup(At);
            }
            break;
        case TTrayMouse::LeftUp:
            if (FClickPending) {
                FClickPending = false;
                if (OnClick) OnClick(*this);
            }
            Up(Qt::LeftButton);
            break;
        case TTrayMouse::LeftDouble:
        case TTrayMouse::RightDouble:
        case TTrayMouse::MiddleDouble:
            if (OnDblClick) OnDblClick(*this);
            break;
        case TTrayMouse::RightDown:
            Down(Qt::RightButton);
            ShowPopup(At);
            break;
        case TTrayMouse::RightUp: Up(Qt::RightButton); break;
        case TTrayMouse::MiddleDown: Down(Qt::MiddleButton); break;
        case TTrayMouse::MiddleUp: Up(Qt::MiddleButton); break;
    }
}

void TKcTrayIcon::SetMainWindow(QWidget* Window) {
    if (FMainWindow) FMainWindow->removeEventFilter(this);
    FMainWindow = Window;
    if (Window) Window->installEventFilter(this);
}

bool TKcTrayIcon::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == FMainWindow && Event->type() == QEvent::WindowStateChange && FHideTaskBtn &&
        (FMainWindow->windowState() & Qt::WindowMinimized)) {
        FMainWindow->hide();
        SetVisible(true);
    }
    return QObject::eventFilter(Watched, Event);
}

}  // namespace kelvar
