#include "gui/library/LibraryScreenshots.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>

#include "core/KelvarApi.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistManager.h"
#include "gui/engine/Screenshots.h"
#include "gui/library/unPlaylist.h"
#include "gui/library/unSearch.h"
#include "gui/library/unSearchList.h"
#include "gui/lists/VirtualSongTree.h"

namespace kelvar {

namespace {

std::shared_ptr<TPlaylistManager> CoreManager() {
    TKelvarApi* api = ProgramKelvarApi();
    return api ? api->PlaylistManager() : nullptr;
}

// Lets the loader threads deliver (on the main thread) for a while.
void WaitFor(const std::function<bool()>& Done, int Ms = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!Done() && timer.elapsed() < Ms) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
}

// The library window keeps its state in its window item; the shot owns both.
class TLibraryShot : public QWidget {
public:
    TLibraryShot() {
        Frame = new TfoPlaylist(this);
        Frame->SetPlaylistManager(CoreManager());
        Frame->Init();
        resize(420, 520);
        Frame->setGeometry(rect());
        if (auto manager = Frame->PlaylistManager)
            if (TCustomCategory* all = manager->Categories->FindByName("All")) {
                if (QTreeWidgetItem* node = Frame->NodeOf(all)) Frame->tvCategory->setCurrentItem(node);
            }
        Frame->ActivateCategoryTree();
        WaitFor([this] { return Frame->tvSongList->SongList() != nullptr; });
    }
    ~TLibraryShot() override { Frame->Done(); }
    void resizeEvent(QResizeEvent*) override { Frame->setGeometry(rect()); }
    TfoPlaylist* Frame;
};

}  // namespace

void RegisterLibraryScreenshots() {
    RegisterScreenshot("Library", [] { return std::unique_ptr<QWidget>(new TLibraryShot()); });
    RegisterScreenshot("Search", [] {
        auto window = std::make_unique<TfoSearch>();
        window->foSearchList1->SetPlaylistManager(CoreManager());
        // Shown first: showing starts the window's query thread.
        window->show();
        TfoSearchList* list = window->foSearchList1;
        list->eSearch->setText("a");
        list->Search();
        WaitFor([list] { return list->PendingID == 0; });
        return std::unique_ptr<QWidget>(std::move(window));
    });
}

}  // namespace kelvar
