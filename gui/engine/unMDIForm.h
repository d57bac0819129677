#pragma once
// The frame around one dockable window: a caption bar with a close button that moves the window
// when dragged, a 4-pixel border that resizes it when the item is sizeable, and raising to the
// front when anything inside is pressed. Hosts are child windows of the main window's client
// area, so moving and sizing are done here rather than by the window manager.
#include <functional>
#include <string>

#include <QPoint>
#include <QRect>
#include <QWidget>

class QLabel;

namespace kelvar {

class IWindowItem;
class TBoxPanel;

// Sizing zones: the system's size command (0xF000) plus the edge code; 0 is none.
namespace SizingZone {
constexpr int None = 0;
constexpr int Left = 0xF001;
constexpr int Right = 0xF002;
constexpr int Top = 0xF003;
constexpr int TopLeft = 0xF004;
constexpr int TopRight = 0xF005;
constexpr int Bottom = 0xF006;
constexpr int BottomLeft = 0xF007;
constexpr int BottomRight = 0xF008;
}  // namespace SizingZone

// The zone at (X, Y) on a panel of Width x Height; every range is inclusive at both ends.
int SizingZoneAt(int X, int Y, int Width, int Height);
Qt::CursorShape ZoneCursor(int Zone);

class TfoMDIForm : public QWidget {
public:
    // The host's client area is this much larger than the hosted frame (border and caption bar).
    static constexpr int ExtraWidth = 8;
    static constexpr int ExtraHeight = 29;
    static constexpr int CaptionHeight = 21;

    explicit TfoMDIForm(QWidget* Parent = nullptr);
    ~TfoMDIForm() override;

    IWindowItem* Item() const { return FItem; }
    void SetItem(IWindowItem* Item) { FItem = Item; }
    void SetCaption(const std::string& Text);
    std::string Caption() const { return FCaption; }
    void SetSizeable(bool Value);
    bool Sizeable() const { return FSizeable; }

    // Puts the item's frame below the caption bar, filling the panel; the host takes the frame's
    // size plus the border and caption.
    void HostFrame(QWidget* Frame);
    QWidget* HostedFrame() const { return FFrame; }

    // The main window's handler for a closed host (the close button).
    std::function<void(TfoMDIForm&)> OnClose;

    // Hides the host and frees it once the event loop is back (never inside its own events).
    void ReleaseLater();

    // The close button's action (tests press it through here or by a mouse click).
    void CloseClicked();
    QWidget* CloseButton() const;
    QWidget* CaptionBar() const;

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void childEvent(QChildEvent* Event) override;

private:
    friend class TMDICaptionBar;
    void BeginMove(const QPoint& GlobalPos);
    void WatchChildren(QObject* Object);

    IWindowItem* FItem = nullptr;
    std::string FCaption;
    bool FSizeable = false;
    TBoxPanel* FPanel = nullptr;
    QWidget* FCaptionBar = nullptr;
    QLabel* FCaptionLabel = nullptr;
    QWidget* FCloseButton = nullptr;
    QWidget* FFrame = nullptr;
    // Move or size under way: the zone (or -1 for a move), where it started and the geometry then.
    int FDragZone = 0;
    bool FDragging = false;
    QPoint FDragStart;
    QRect FDragGeometry;
};

}  // namespace kelvar
