#include "gui/engine/unMDIForm.h"

#include <QChildEvent>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "controls/BoxPanel.h"
#include "gui/engine/WindowList.h"

namespace kelvar {

namespace {

bool InBox(int X, int Y, int Left, int Right, int Top, int Bottom) {
    return X >= Left && X <= Right && Y >= Top && Y <= Bottom;
}

constexpr int kMoveZone = -1;
constexpr int kMinimumSize = 75;
constexpr TColor kPanelColor = 0xA2C9D2;  // RGB 210, 201, 162

}  // namespace

int SizingZoneAt(int X, int Y, int W, int H) {
    if (InBox(X, Y, 0, 6, 30, H - 30)) return SizingZone::Left;
    if (InBox(X, Y, 30, W - 30, 0, 6)) return SizingZone::Top;
    if (InBox(X, Y, 30, W - 30, H - 6, H)) return SizingZone::Bottom;
    if (InBox(X, Y, W - 6, W, 30, H - 30)) return SizingZone::Right;
    if (InBox(X, Y, 0, 6, 0, 30) || InBox(X, Y, 0, 30, 0, 6)) return SizingZone::TopLeft;
    if (InBox(X, Y, W - 30, W, 0, 6) || InBox(X, Y, W - 6, W, 0, 30)) return SizingZone::TopRight;
    if (InBox(X, Y, 0, 30, H - 6, H) || InBox(X, Y, 0, 6, H - 30, H)) return SizingZone::BottomLeft;
    if (InBox(X, Y, W - 30, W, H - 6, H) || InBox(X, Y, W - 6, W, H - 30, H)) return SizingZone::BottomRight;
    return SizingZone::None;
}

Qt::CursorShape ZoneCursor(int Zone) {
    switch (Zone) {
        case SizingZone::Left:
        case SizingZone::Right: return Qt::SizeHorCursor;
        case SizingZone::Top:
        case SizingZone::Bottom: return Qt::SizeVerCursor;
        case SizingZone::TopLeft:
        case SizingZone::BottomRight: return Qt::SizeFDiagCursor;
        case SizingZone::TopRight:
        case SizingZone::BottomLeft: return Qt::SizeBDiagCursor;
        default: return Qt::ArrowCursor;
    }
}

// The caption bar: a dark gradient strip; a left press starts moving the host.
class TMDICaptionBar : public QWidget {
public:
    explicit TMDICaptionBar(TfoMDIForm* Host) : QWidget(Host), FHost(Host) {
        setFixedHeight(TfoMDIForm::CaptionHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, QColor(92, 104, 140));
        g.setColorAt(1, QColor(44, 52, 82));
        p.fillRect(rect(), g);
        p.fillRect(QRect(3, 1, 19, height() - 2), QColor(210, 201, 162));
        p.setPen(QColor(44, 52, 82));
        p.drawText(QRect(3, 1, 19, height() - 2), Qt::AlignCenter, QStringLiteral("K"));
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) FHost->BeginMove(e->globalPosition().toPoint());
        e->ignore();  // the host's own press handling raises it
    }
    void mouseMoveEvent(QMouseEvent* e) override { e->ignore(); }
    void mouseReleaseEvent(QMouseEvent* e) override { e->ignore(); }

private:
    TfoMDIForm* FHost;
};

namespace {

// The close button: a 20 x 21 picture that lights while the mouse is over it.
class TMDICloseButton : public QWidget {
public:
    TMDICloseButton(QWidget* Parent, std::function<void()> Click) : QWidget(Parent), FClick(std::move(Click)) {
        setFixedSize(20, 21);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setToolTip(QStringLiteral("Close"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool over = underMouse();
        p.setPen(QPen(over ? QColor(255, 96, 80) : QColor(230, 230, 230), 2));
        p.drawLine(6, 6, 14, 14);
        p.drawLine(14, 6, 6, 14);
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && FClick) FClick();
    }

private:
    std::function<void()> FClick;
};

}  // namespace

TfoMDIForm::TfoMDIForm(QWidget* Parent) : QWidget(Parent) {
    setMinimumSize(kMinimumSize, kMinimumSize);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    FPanel = new TBoxPanel(this);
    FPanel->SetStyle(TBoxStyle::bsRaised);
    FPanel->SetColor(kPanelColor);
    FPanel->setAttribute(Qt::WA_TransparentForMouseEvents);
    FPanel->lower();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(0);
    auto* bar = new TMDICaptionBar(this);
    FCaptionBar = bar;
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(29, 0, 2, 0);
    barLayout->setSpacing(0);
    FCaptionLabel = new QLabel(bar);
    QFont f = FCaptionLabel->font();
    f.setBold(true);
    FCaptionLabel->setFont(f);
    FCaptionLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    FCaptionLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    barLayout->addWidget(FCaptionLabel, 1);
    FCloseButton = new TMDICloseButton(bar, [this] { CloseClicked(); });
    barLayout->addWidget(FCloseButton);
    layout->addWidget(bar);
    layout->addStretch(1);
}

TfoMDIForm::~TfoMDIForm() = default;

QWidget* TfoMDIForm::CloseButton() const { return FCloseButton; }
QWidget* TfoMDIForm::CaptionBar() const { return FCaptionBar; }

void TfoMDIForm::SetCaption(const std::string& Text) {
    FCaption = Text;
    FCaptionLabel->setText(QString::fromStdString(Text));
    setWindowTitle(QString::fromStdString(Text));
}

void TfoMDIForm::SetSizeable(bool Value) {
    FSizeable = Value;
    if (!Value) unsetCursor();
}

void TfoMDIForm::HostFrame(QWidget* Frame) {
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    if (FFrame) {
        layout->removeWidget(FFrame);
        FFrame->setParent(nullptr);
    }
    // Drop the stretch that keeps an empty host's caption at the top.
    if (layout->count() > 1 && layout->itemAt(1)->spacerItem()) delete layout->takeAt(1);
    FFrame = Frame;
    if (!Frame) {
        layout->addStretch(1);
        return;
    }
    const QSize frameSize = Frame->size().isValid() && !Frame->size().isEmpty() ? Frame->size() : Frame->sizeHint();
    Frame->setParent(this);
    layout->addWidget(Frame, 1);
    WatchChildren(Frame);
    resize(frameSize.width() + ExtraWidth, frameSize.height() + ExtraHeight);
    Frame->show();
}

void TfoMDIForm::ReleaseLater() {
    OnClose = nullptr;
    FItem = nullptr;
    hide();
    deleteLater();
}

void TfoMDIForm::CloseClicked() { close(); }

void TfoMDIForm::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    FPanel->setGeometry(rect());
    if (FItem) {
        FItem->SetVisible(true);
        FItem->Refresh();
    }
}

void TfoMDIForm::closeEvent(QCloseEvent* Event) {
    Event->accept();
    // The handler may free this host: that happens through ReleaseLater, after this event.
    if (OnClose) OnClose(*this);
}

void TfoMDIForm::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    FPanel->setGeometry(rect());
}

void TfoMDIForm::BeginMove(const QPoint& GlobalPos) {
    raise();
    update();
    FDragZone = kMoveZone;
    FDragging = true;
    FDragStart = GlobalPos;
    FDragGeometry = geometry();
    grabMouse();
}

void TfoMDIForm::mousePressEvent(QMouseEvent* Event) {
    raise();
    if (FDragging) return;  // a move begun by the caption bar
    if (Event->button() != Qt::LeftButton || !FSizeable) return;
    const QPoint pos = Event->position().toPoint();
    const int zone = SizingZoneAt(pos.x(), pos.y(), width(), height());
    if (zone == SizingZone::None) return;
    setCursor(ZoneCursor(zone));
    FDragZone = zone;
    FDragging = true;
    FDragStart = Event->globalPosition().toPoint();
    FDragGeometry = geometry();
    grabMouse();
}

void TfoMDIForm::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint global = Event->globalPosition().toPoint();
    if (!FDragging) {
        if (FSizeable) {
            const QPoint pos = Event->position().toPoint();
            setCursor(ZoneCursor(SizingZoneAt(pos.x(), pos.y(), width(), height())));
        }
        return;
    }
    const QPoint d = global - FDragStart;
    QRect g = FDragGeometry;
    if (FDragZone == kMoveZone) {
        g.translate(d);
    } else {
        const int minW = minimumWidth(), minH = minimumHeight();
        auto left = [&] { g.setLeft(std::min(FDragGeometry.left() + d.x(), FDragGeometry.right() - minW + 1)); };
        auto right = [&] { g.setRight(std::max(FDragGeometry.right() + d.x(), FDragGeometry.left() + minW - 1)); };
        auto top = [&] { g.setTop(std::min(FDragGeometry.top() + d.y(), FDragGeometry.bottom() - minH + 1)); };
        auto bottom = [&] { g.setBottom(std::max(FDragGeometry.bottom() + d.y(), FDragGeometry.top() + minH - 1)); };
        switch (FDragZone) {
            case SizingZone::Left: left(); break;
            case SizingZone::Right: right(); break;
            case SizingZone::Top: top(); break;
            case SizingZone::Bottom: bottom(); break;
            case SizingZone::TopLeft:
                top();
                left();
                break;
            case SizingZone::TopRight:
                top();
                right();
                break;
            case SizingZone::BottomLeft:
                bottom();
                left();
                break;
            case SizingZone::BottomRight:
                bottom();
                right();
                break;
            default: break;
        }
    }
    setGeometry(g);
    FPanel->setGeometry(rect());
}

void TfoMDIForm::mouseReleaseEvent(QMouseEvent*) {
    if (!FDragging) return;
    FDragging = false;
    FDragZone = 0;
    releaseMouse();
    if (!FSizeable) unsetCursor();
}

void TfoMDIForm::childEvent(QChildEvent* Event) {
    QWidget::childEvent(Event);
    if (Event->added()) WatchChildren(Event->child());
}

void TfoMDIForm::WatchChildren(QObject* Object) {
    if (!Object || !Object->isWidgetType()) return;
    Object->installEventFilter(this);
    for (QObject* child : Object->children()) WatchChildren(child);
}

bool TfoMDIForm::eventFilter(QObject* Watched, QEvent* Event) {
    // Any button pressed inside brings the host to the front.
    if (Event->type() == QEvent::MouseButtonPress) raise();
    if (Event->type() == QEvent::ChildAdded) WatchChildren(static_cast<QChildEvent*>(Event)->child());
    return QWidget::eventFilter(Watched, Event);
}

}  // namespace kelvar
