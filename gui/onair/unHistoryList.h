#pragma once
// The history window: the songs played last, newest first, with the time of day each started.
// A booked song arrives through the history's event and goes on top without reloading.
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "core/playlist/SongItem.h"
#include "foundation/MulticastEvent.h"
#include "gui/engine/WindowList_imp.h"
#include "gui/lists/unStatusSection.h"

class QAction;
class QMenu;

namespace kelvar {

class TKelvarApi;
class TPlaylistManager;
class TVirtualSongTree;

class TfoHistoryList : public TfoStatusSection {
public:
    explicit TfoHistoryList(QWidget* Parent = nullptr);
    ~TfoHistoryList() override;

    void Init() override;
    void Done() override;
    void Refresh();
    void LoadRows(const ISongItemListPtr& Rows);
    void HistoryAdded(const TSongItem& Item);
    void TrimAndSummarize();
    void QueueSelected(bool Top);
    void Search(const QString& Text);
    void SongInfo();
    void UpdateActions();
    // The row limit of the history.
    int RowLimit() const;
    const ISongItemListPtr& Rows() const { return FRows; }

    std::shared_ptr<TPlaylistManager> PlaylistManager;
    // The core's front door: the window hears booked plays through it.
    TKelvarApi* Api = nullptr;

    TVirtualSongTree* tvHistorylist = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* alQueueBottom = nullptr;
    QAction* alQueueTop = nullptr;
    QAction* alSearch = nullptr;
    QAction* alRefresh = nullptr;
    QAction* alSongInfo = nullptr;

private:
    void RunAction(const std::function<void()>& Action);
    void SetProgress(int Percent, const std::string& Text);

    ISongItemListPtr FRows;
    bool FInitDone = false;
    TEventLink FHistoryLink;
};

class TwiHistorylist : public TWindowItem {
public:
    TwiHistorylist();
    ~TwiHistorylist() override;
    void Activate() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfoHistoryList* Frame() const { return FFrame.get(); }

private:
    std::unique_ptr<TfoHistoryList> FFrame;
};

}  // namespace kelvar
