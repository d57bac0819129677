#include "gui/library/unSearch.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>

#include "core/playlist/PlaylistManager.h"
#include "gui/library/unSearchList.h"

namespace kelvar {

namespace {

std::unique_ptr<TfoSearch>& TheWindow() {
    static std::unique_ptr<TfoSearch> window;
    return window;
}

}  // namespace

TfoSearch::TfoSearch() : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("foSearch");
    setWindowTitle("Search");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    foSearchList1 = new TfoSearchList(this);
    layout->addWidget(foSearchList1);
    alSearch = new QAction("Search now", this);
    alExit = new QAction("Close search", this);
    addAction(alSearch);
    addAction(alExit);
    connect(alSearch, &QAction::triggered, this, [this] { foSearchList1->Search(); });
    connect(alExit, &QAction::triggered, this, [this] { close(); });
    foSearchList1->OnExit = [this] { close(); };
    resize(556, 398);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

TfoSearch::~TfoSearch() { foSearchList1->Done(); }

void TfoSearch::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    if (FShown) return;
    FShown = true;
    foSearchList1->Init();
}

void TfoSearch::hideEvent(QHideEvent* Event) {
    QWidget::hideEvent(Event);
    if (!FShown || Event->spontaneous()) return;
    FShown = false;
    foSearchList1->Done();
}

void TfoSearch::keyPressEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(Event);
}

void OpenSearchWindow(std::shared_ptr<TPlaylistManager> Manager, const QString& Text) {
    auto& window = TheWindow();
    if (!window) {
        window = std::make_unique<TfoSearch>();
        window->foSearchList1->SetPlaylistManager(std::move(Manager));
    }
    if (!Text.isEmpty()) window->foSearchList1->SetSearchText(Text);
    window->show();
    window->raise();
    window->activateWindow();
    window->foSearchList1->eSearch->setFocus();
    window->foSearchList1->eSearch->setCursorPosition(static_cast<int>(window->foSearchList1->eSearch->text().size()));
}

void FreeSearchWindow() { TheWindow().reset(); }

TfoSearch* SearchWindow() { return TheWindow().get(); }

}  // namespace kelvar
