#pragma once
// The program's icon in the notification area, with its tip, popup menu and mouse events. The
// notification area itself sits behind a small backend so that tests can watch what is sent.
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

namespace kelvar {

class ITrayBackend {
public:
    virtual ~ITrayBackend() = default;
    // Each answers whether the notification area took the request.
    virtual bool Add(const QIcon& Icon, const QString& Tip) = 0;
    virtual bool Modify(const QIcon& Icon, const QString& Tip) = 0;
    virtual void Delete() = 0;
};

// The backend over QSystemTrayIcon; its activations reach the icon's mouse handling.
std::unique_ptr<ITrayBackend> CreateQtTrayBackend(class TKcTrayIcon& Owner);

enum class TTrayMouse {
    Move,
    LeftDown,
    LeftUp,
    LeftDouble,
    RightDown,
    RightUp,
    RightDouble,
    MiddleDown,
    MiddleUp,
    MiddleDouble
};

class TKcTrayIcon : public QObject {
public:
    using TNotifyEvent = std::function<void(TKcTrayIcon&)>;
    using TMouseEvent = std::function<void(TKcTrayIcon&, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y)>;
    using TMouseMoveEvent = std::function<void(TKcTrayIcon&, Qt::KeyboardModifiers, int X, int Y)>;

    // Without a backend the icon uses the system tray through Qt.
    explicit TKcTrayIcon(std::unique_ptr<ITrayBackend> Backend = nullptr);
    ~TKcTrayIcon() override;

    const QIcon& Icon() const { return FIcon; }
    void SetIcon(const QIcon& Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    QString Hint() const { return FHint; }
    // Keeps the first 62 characters.
    void SetHint(const QString& Value);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Value) { FPopupMenu = Value; }
    bool HideTaskBtn() const { return FHideTaskBtn; }
    void SetHideTaskBtn(bool Value) { FHideTaskBtn = Value; }
    bool LeftBtnPopup() const { return FLeftBtnPopup; }
    void SetLeftBtnPopup(bool Value) { FLeftBtnPopup = Value; }
    // The window minimising hides (with HideTaskBtn) in favour of the icon.
    void SetMainWindow(QWidget* Window);

    TNotifyEvent OnClick, OnDblClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    // Shows the popup menu at a screen position; replaceable by tests.
    std::function<void(QMenu&, const QPoint&)> OnShowPopup;

    // A mouse message from the notification area.
    void HandleMouse(TTrayMouse Message, const QPoint& ScreenPos, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
    bool Added() const { return FAdded; }
    // The tip text the notification area gets now.
    QString Tip() const;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void UpdateIcon();
    void ShowPopup(const QPoint& ScreenPos);

    std::unique_ptr<ITrayBackend> FBackend;
    QIcon FIcon;
    bool FVisible = false;
    bool FEnabled = true;
    QString FHint;
    bool FShowHint = false;
    QPointer<QMenu> FPopupMenu;
    bool FHideTaskBtn = false;
    bool FLeftBtnPopup = false;
    bool FAdded = false;
    bool FClickPending = false;
    QPointer<QWidget> FMainWindow;
};

}  // namespace kelvar
