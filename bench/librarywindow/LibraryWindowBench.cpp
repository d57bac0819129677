// The library window opening a category of 100,000 songs (until its first rows are painted,
// and until the last row is painted after a jump to the end) and the search window's search
// over 100,000 songs (until the rows are shown), offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <chrono>
#include <cstdlib>

#include "common/BenchSongDatabase.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistManager.h"
#include "core/rotation/PlaylistRules_imp.h"
#include "gui/library/unPlaylist.h"
#include "gui/library/unSearchList.h"
#include "gui/lists/VirtualSongTree.h"

namespace {

using namespace kelvar;
using Clock = std::chrono::steady_clock;

constexpr int SongCount = 100000;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_library_window";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

struct TLibrary {
    benchdb::TBenchSongDatabase Db{"librarywindow"};
    std::shared_ptr<TPlaylistManager> Manager;
    TCustomCategory* Everything = nullptr;

    TLibrary() {
        App();
        PoolExecSQL("CREATE TABLE bench_digit (x INTEGER)");
        for (int d = 0; d < 10; ++d) PoolExecSQL("INSERT INTO bench_digit (x) VALUES (" + std::to_string(d) + ")");
        const std::string numbers =
            "(SELECT a.x + 10 * b.x + 100 * c.x + 1000 * d.x + 10000 * e.x AS n FROM bench_digit a, bench_digit b, "
            "bench_digit c, bench_digit d, bench_digit e) s";
        PoolExecSQL(
            "INSERT INTO songlist (ID, filename, artist, title, album, duration) SELECT NEXT VALUE FOR "
            "GEN_songlist_ID, '/music/' || MOD(n, 500) || '/' || n || '.mp3', 'Artist ' || MOD(n * 7, 5000), "
            "'Title ' || n, 'Album ' || MOD(n, 9000), 180000 FROM " +
            numbers + " WHERE n < " + std::to_string(SongCount));
        Manager = std::make_shared<TPlaylistManager>();
        Manager->Categories->SetRules(std::make_shared<TPlaylistRules>());
        Everything = Manager->Categories->CreateCategory(Manager->Categories->FindByID(0), "Everything");
        PoolExecSQL(
            "INSERT INTO categorylist (ID, songID, categoryID, sortID) SELECT GEN_ID(GEN_categorylist_ID, 1), "
            "ID, :cat, ID * 1000 FROM songlist",
            {Everything->ID});
    }
    ~TLibrary() {
        Manager->Categories->GetDelayedQuery()->WaitForAll();
        Manager.reset();
    }
    void PumpUntil(const std::function<bool()>& Done) {
        Db.PumpUntil([&] {
            QCoreApplication::processEvents();
            return Done();
        });
    }
};

TLibrary& Library() {
    static TLibrary library;
    return library;
}

// Counters: first_rows_ms from choosing the category to its first rows painted; all_loaded_ms
// until every row has arrived and, after a jump to the end, the last row is painted too.
void BM_OpenCategoryOf100kSongs(benchmark::State& state) {
    auto& library = Library();
    TfoPlaylist frame;
    frame.SetPlaylistManager(library.Manager);
    frame.Init();
    frame.resize(420, 600);
    frame.show();
    frame.ActivateCategoryTree();
    QTreeWidgetItem* everything = frame.NodeOf(library.Everything);
    QTreeWidgetItem* other = frame.NodeOf(library.Manager->Categories->FindByID(0));
    double first = 0, all = 0, view = 0;
    for (auto _ : state) {
        frame.tvCategory->setCurrentItem(other);
        library.PumpUntil([&] { return library.Everything->Loader == nullptr; });
        const auto start = Clock::now();
        frame.tvCategory->setCurrentItem(everything);
        // Forced: every pass reads the rows from the database, as the first opening does.
        frame.SongRefresh();
        library.PumpUntil([&] { return frame.tvSongList->SongList() != nullptr; });
        frame.tvSongList->viewport()->grab();
        first += MsSince(start);
        library.PumpUntil([&] { return library.Everything->Loader == nullptr; });
        const auto delivered = Clock::now();
        frame.tvSongList->scrollToBottom();
        frame.tvSongList->viewport()->grab();
        all += MsSince(start);
        view += MsSince(delivered);
        if (frame.tvSongList->model()->rowCount() != SongCount) state.SkipWithError("wrong row count");
    }
    state.counters["first_rows_ms"] = first / static_cast<double>(state.iterations());
    state.counters["all_loaded_ms"] = all / static_cast<double>(state.iterations());
    // The window's own share: from the whole list's arrival to the last row painted.
    state.counters["view_ms"] = view / static_cast<double>(state.iterations());
    frame.Done();
}
BENCHMARK(BM_OpenCategoryOf100kSongs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Scrolling: one page down through the list, each page painted.
void BM_ScrollPageOf100kRows(benchmark::State& state) {
    auto list = NewSongItemList();
    for (int i = 0; i < SongCount; ++i) {
        TSongItem& item = list->Add();
        item.Caption = "Artist " + std::to_string(i % 5000) + " - Title " + std::to_string(i);
        item.Duration = 180000;
    }
    App();
    TVirtualSongTree tree;
    tree.resize(400, 500);
    tree.show();
    tree.SetSongList(list);
    QScrollBar* bar = tree.verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() + bar->pageStep() > bar->maximum() ? 0 : bar->value() + bar->pageStep());
        tree.viewport()->grab();
    }
}
BENCHMARK(BM_ScrollPageOf100kRows)->Unit(benchmark::kMicrosecond);

// Argument: 1 with "Limit to 100 results", 0 without. "7" is in the artist or title of about
// half the songs.
void BM_SearchOver100kSongs(benchmark::State& state) {
    auto& library = Library();
    TfoSearchList frame;
    frame.SetPlaylistManager(library.Manager);
    frame.Init();
    frame.cbKeystroke->setChecked(false);
    frame.cbFirst100->setChecked(state.range(0) == 1);
    frame.eSearch->setText("7");
    int rows = 0;
    for (auto _ : state) {
        frame.Search();
        library.PumpUntil([&] { return frame.PendingID == 0; });
        frame.tvSongList->viewport()->grab();
        rows = frame.tvSongList->model()->rowCount();
    }
    state.counters["rows"] = rows;
    frame.Done();
}
BENCHMARK(BM_SearchOver100kSongs)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
