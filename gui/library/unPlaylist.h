#pragma once
// The library window: the category tree above or beside the tracks of the selected category,
// the sub-category and group views, the floating tree, the drop target window, and every
// action on the tracks. Changes go to the category objects; the shown list is patched in step
// instead of being reloaded where it can be.
#include <QTreeWidget>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/playlist/QueueList.h"
#include "core/playlist/SongItem.h"
#include "foundation/ConfigDoc.h"
#include "gui/engine/WindowList_imp.h"
#include "gui/lists/unBaseSection.h"

class QAction;
class QFileDialog;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QMimeData;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace kelvar {

class TCustomCategory;
class TDropWatch;
class TfoDropTarget;
class TfoLevelList;
class TfoMDIForm;
class TPlaylistManager;
class TProgressPanel;
class TVirtualSongTree;
struct TSongDrop;

// The category tree: it drags its own categories and hands drops to the window.
class TCategoryTreeView : public QTreeWidget {
public:
    explicit TCategoryTreeView(QWidget* Parent = nullptr);
    std::function<bool(const QMimeData* Data, QTreeWidgetItem* Target)> OnDragOver;
    std::function<void(const QMimeData* Data, QTreeWidgetItem* Target)> OnDragDrop;
    std::function<void(const QString&)> OnTypedKey;
    // The drag data of the selected category.
    QMimeData* CategoryMime() const;
    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }

protected:
    void startDrag(Qt::DropActions Actions) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
};

// The MIME type of a category dragged inside the tree.
extern const char* const CategoryMimeType;

class TfoPlaylist : public TfoBaseSection {
public:
    explicit TfoPlaylist(QWidget* Parent = nullptr);
    ~TfoPlaylist() override;

    void SetPlaylistManager(std::shared_ptr<TPlaylistManager> Manager) { PlaylistManager = std::move(Manager); }
    void Init() override;
    void Done() override;
    void LoadSettings(IConfigDoc& Section);
    void SaveSettings(IConfigDoc& Section);
    void AttachDropWatch();
    void ActivateCategoryTree();

    // The category tree.
    void FillCategoryView();
    TCustomCategory* CategoryOf(const QTreeWidgetItem* Node) const;
    QTreeWidgetItem* NodeOf(const TCustomCategory* Category) const;
    TCustomCategory* SelectedCategory() const;
    void tvCategoryChange(QTreeWidgetItem* Node);
    void tvCategoryChanging(QTreeWidgetItem* Node);
    void ShowTrackView(TCustomCategory& Category);
    void ShowGroupView(TCustomCategory& Category);
    void ShowChildrenView(QTreeWidgetItem* Node);
    void ShowGroupSongs();
    void CategoryStatus(int Percent, const std::string& Text);
    void SongListLoaded(const ISongItemListPtr& List);
    void SongRowsLoaded(const ISongItemListPtr& List, int First);
    void SetProgress(int Percent, const std::string& Text);
    void NewCategory();
    void DeleteCategory();
    void RenameCategory();
    void UpdateCategoryActions();
    bool CategoryDragOver(const QMimeData* Data, QTreeWidgetItem* Target);
    void CategoryDragDrop(const QMimeData* Data, QTreeWidgetItem* Target);
    void FilesDroppedOnTree(int X, int Y, const std::vector<std::string>& Files);

    // Layout and floating.
    void SetCatTreeMode(int Mode, bool Force = false);
    void FloatCategories();
    void FloatClosed();
    void DockCategories(bool Closing);
    bool IsFloating() const { return FloatForm != nullptr; }

    // The drop target window.
    void OpenDropTarget();
    void CloseDropTarget();

    // The track list.
    void UpdateSummary();
    void UpdateSongActions();
    void AddFiles(const std::vector<std::string>& Names, TInsertPos Pos, int Index);
    void AddSongItems(const ISongItemListPtr& Songs, TInsertPos Pos, int Index);
    void MoveSelectedRows(int Index);
    bool SongDragOver(const TSongDrop& Drop);
    void SongDragDrop(const TSongDrop& Drop);
    void QueueSelected(bool Top);
    void SongAddFiles();
    void SongAddDir();
    void SongAddURL();
    void SongAddPlaylist();
    void SongRemove();
    void SongCrop();
    void SongClear();
    void SongRemoveDup();
    void SongDelete(bool EraseFiles);
    void SongShuffle();
    void SongSort(const std::string& Fields);
    void SongSaveList();
    void SongRefresh();
    void SongSearch(const QString& Text);
    void SongInfo();
    // Runs an operator's action: a failure is logged and shown in a warning box.
    void RunAction(const std::function<void()>& Action);

    std::shared_ptr<TPlaylistManager> PlaylistManager;
    bool Closing = false;
    int Progress = 0;
    int CatTreeHeight = 140;
    int CatTreeWidth = 140;
    TCustomCategory* DropCategory = nullptr;
    int CatTreeMode = 0;
    std::unique_ptr<TfoDropTarget> DropTarget;
    TfoMDIForm* FloatForm = nullptr;
    int FloatLeft = 0, FloatTop = 0, FloatWidth = 0, FloatHeight = 0;
    bool Floating = false;

    QSplitter* splitCatPlaylist;
    QWidget* pCategory;
    QWidget* bCategory;
    QToolButton* btCategoryMinMax;
    QLabel* lbCaption;
    QToolButton* btFloat;
    QToolButton* btTarget;
    TCategoryTreeView* tvCategory;
    QWidget* pRight;
    QLabel* pTop;
    QWidget* Panel3;
    QToolBar* tbPlaylist;
    QToolButton* btAdd;
    QToolButton* btRemove;
    TfoLevelList* foLevelList1;
    QSplitter* splitGroupAndPlaylist;
    QListWidget* lvChildren;
    TVirtualSongTree* tvSongList;
    QStatusBar* StatusBar;
    QLabel* lbSummary;
    TProgressPanel* StatusProgress;
    TDropWatch* dwPlaylist;
    QFileDialog* OD;

    QMenu *puCategoryTree, *puSongList, *puAddFiles, *puDeleteFiles, *puChildren, *puSort, *puSortMore;
    QAction *alCategoryNew, *alCategoryDelete, *alCategoryRename;
    QAction *alQueueBottom, *alQueueTop, *alSongAddFiles, *alSongAddDir, *alSongAddURL, *alSongAddPlaylist;
    QAction *alSongRemove, *alSongCrop, *alSongClear, *alSongRemoveDup, *alSongDelete, *alSongDeleteFile;
    QAction *alSongSelectAll, *alSongSelectInvert, *alSongShuffle, *alSongSaveList, *alSongRefresh, *alSongSearch;
    QAction *alSongInfo, *alOpenChild;
    std::vector<QAction*> SortActions;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void BuildActions();
    void SetTreeHandlers(bool On);
    void SetBusy(bool Busy);
    void ClearSelectedEvents();
    void OpenChildNode();

    bool FTreeHandlers = false;
    bool FRenaming = false;
    bool FHeartBeatRegistered = false;
    QMetaObject::Connection FCurrentChanged;
};

// The library window's item: name "Playlist", caption "Playlist", sizeable.
class TwiPlaylist : public TWindowItem {
public:
    TwiPlaylist();
    ~TwiPlaylist() override;
    void Activate() override;
    void Refresh() override;
    void Deactivate() override;
    QWidget* GetFrame() override;
    TfoPlaylist* Frame() const { return FFrame.get(); }

private:
    std::unique_ptr<TfoPlaylist> FFrame;
};

}  // namespace kelvar
