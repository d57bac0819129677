#pragma once
// The queue window: the songs the automation plays next with the clock time each is expected
// to start. Its rows follow the queue table through the queue's events, so changes made
// elsewhere show without reloading; its own changes are marked so that it does not hear them.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/playlist/QueueList.h"
#include "core/playlist/SongItem.h"
#include "foundation/MulticastEvent.h"
#include "gui/engine/WindowList_imp.h"
#include "gui/lists/unStatusSection.h"

class QAction;
class QFileDialog;
class QMenu;
class QToolBar;
class QToolButton;

namespace kelvar {

class TKelvarApi;
class TPlaylistManager;
class TVirtualSongTree;
struct TSongDrop;

// The recording source dialog lives in a later folder: the program sets this hook. It runs the
// dialog with Description and answers the live source address and description it built.
extern std::function<bool(std::string& Address, std::string& Description)> LiveSourceDialogHook;

class TfoQueueList : public TfoStatusSection {
public:
    explicit TfoQueueList(QWidget* Parent = nullptr);
    ~TfoQueueList() override;

    void Init() override;
    void Done() override;
    void Tick();
    void Refresh();
    void LoadRows(const IDatasetPtr& Rows);
    void UpdateETA();

    // Queue events.
    void QueuePopped(int ID);
    void QueueAdded(const ISongItemListPtr& Songs);
    void QueueRowDeleted(int ID);

    // Actions.
    void PlayNext();
    void ChooseNext();
    void AddFilesClick();
    void AddDirectory();
    void AddURL();
    void AddPlaylist();
    void AddMic();
    void Remove();
    void Crop();
    // Answers whether it ran.
    bool Clear();
    void RemoveDuplicates();
    void DeleteSelected(bool EraseFiles);
    void Shuffle();
    void Save();
    void Search(const QString& Text);
    void SongInfo();
    void RowDoubleClicked();
    void AddFiles(const std::vector<std::string>& Names, TInsertPos Pos, int Index);
    void AddSongItems(const ISongItemListPtr& Songs, TInsertPos Pos, int Index);
    void MoveSelectedRows(int Index);
    bool SongDragOver(const TSongDrop& Drop) const;
    void SongDragDrop(const TSongDrop& Drop);
    // Enables the removing actions by the selection (run when a menu opens).
    void UpdateActions();

    // The row's expected start as a time of day.
    int64_t ETAOfRow(int Row) const;
    int64_t Base() const { return FBase; }
    bool MenuOpen() const { return FMenuOpen; }
    const ISongItemListPtr& Rows() const { return FRows; }

    // The time of day in ms; tests replace it.
    std::function<int64_t()> TimeOfDay;

    std::shared_ptr<TPlaylistManager> PlaylistManager;
    // The core's front door: every queue command and the queue's events go through it.
    TKelvarApi* Api = nullptr;

    TVirtualSongTree* tvQueueList = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton* btAdd = nullptr;
    QToolButton* btRemove = nullptr;
    QFileDialog* OD = nullptr;
    QMenu* puQueueList = nullptr;
    QMenu* puAddFiles = nullptr;
    QMenu* puDeleteFiles = nullptr;
    QAction* alPlayNext = nullptr;
    QAction* alChooseNext = nullptr;
    QAction* alQueueAddFiles = nullptr;
    QAction* alQueueAddDir = nullptr;
    QAction* alQueueAddURL = nullptr;
    QAction* alQueueAddList = nullptr;
    QAction* alQueueAddMic = nullptr;
    QAction* alQueueRemove = nullptr;
    QAction* alQueueCrop = nullptr;
    QAction* alQueueClear = nullptr;
    QAction* alRemoveDups = nullptr;
    QAction* alDelete = nullptr;
    QAction* alDeleteFile = nullptr;
    QAction* alQueueShuffle = nullptr;
    QAction* alQueueRefresh = nullptr;
    QAction* alQueueSave = nullptr;
    QAction* alSongSearch = nullptr;
    QAction* alSongInfo = nullptr;
    QAction* alSelectAll = nullptr;
    QAction* alSelectInvert = nullptr;

private:
    void BuildActions();
    void RunAction(const std::function<void()>& Action);
    void ListenToQueue();
    template <class F>
    void OwnChange(F Change);
    void AttachProgress();
    TQueueList* Queue() const;
    void SetProgress(int Percent, const std::string& Text);

    ISongItemListPtr FRows;
    int64_t FBase = 0;
    bool FMenuOpen = false;
    bool FInitDone = false;
    std::vector<TEventLink> FQueueLinks;
    int FOwnChange = 0;
};

class TwiQueuelist : public TWindowItem {
public:
    TwiQueuelist();
    ~TwiQueuelist() override;
    void Activate() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfoQueueList* Frame() const { return FFrame.get(); }

private:
    std::unique_ptr<TfoQueueList> FFrame;
};

}  // namespace kelvar
