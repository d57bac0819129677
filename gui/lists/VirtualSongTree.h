#pragma once
// The song list view of every window that shows songs in rows: row N is item N of the list
// object, read when painted, so a list of any length costs no copy. Drags between our windows
// carry copies of the selected rows in an own MIME type; the hosting window decides what a drop
// means through OnDragOver and OnDragDrop.
#include <QAbstractTableModel>
#include <QTableView>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/playlist/SongItem.h"

class QMimeData;

namespace kelvar {

class TVirtualSongTree;

enum class TSongColumn { Number, Caption, Duration };

struct TSongColumnDef {
    TSongColumn Kind = TSongColumn::Caption;
    QString Title;
    int Width = 100;
};

// How the "Duration" column shows a length: the library and search lists as m:ss, the queue
// and history lists "??:??" for an unknown one.
enum class TDurationStyle { MinSec, UnknownMarked };

class TSongListModel : public QAbstractTableModel {
public:
    explicit TSongListModel(QObject* Parent = nullptr);
    // Begins and ends a reset: the rows are the list's items from then on.
    void setSongList(ISongItemListPtr List);
    // The list's rows from First on were appended (the list being loaded grows).
    void RowsAppended(int First);
    const ISongItemListPtr& SongList() const { return FList; }
    void SetColumns(std::vector<TSongColumnDef> Columns);
    const std::vector<TSongColumnDef>& Columns() const { return FColumns; }
    void SetDurationStyle(TDurationStyle Style) { FDurationStyle = Style; }

    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction | Qt::MoveAction; }

private:
    ISongItemListPtr FList;
    int FRowsBefore = -1;  // the row count while rows appended to the list are announced
    std::vector<TSongColumnDef> FColumns;
    TDurationStyle FDurationStyle = TDurationStyle::MinSec;
};

// What arrives in a drop on a song list or another target.
struct TSongDrop {
    // Files from the desktop (full paths, in the order given).
    bool IsFiles = false;
    std::vector<std::string> Files;
    // Rows from one of our song lists: its tag (1 library, 2 search, 3 queue, 4 history), the
    // list it came from and copies of its selected rows.
    int SourceTag = 0;
    uint64_t SourceID = 0;
    ISongItemListPtr Songs;
    // Where the pointer is: the index rows go before (the row count below the last row).
    int Index = 0;
    bool HasSongs() const { return !IsFiles && Songs != nullptr; }
    bool FromTree(const TVirtualSongTree* Tree) const;
};

class TVirtualSongTree : public QTableView {
public:
    explicit TVirtualSongTree(QWidget* Parent = nullptr);
    ~TVirtualSongTree() override;

    // Shows List (empty for none); pass the same list again after changing it.
    void SetSongList(ISongItemListPtr List);
    // The shown list got rows from First on at its end: shown without a reset, so the
    // selection and the scroll position stay.
    void RowsAppended(int First) { FModel->RowsAppended(First); }
    const ISongItemListPtr& SongList() const { return FModel->SongList(); }
    TSongListModel* Model() const { return FModel; }

    // The source tag other windows read (also the object's property "Tag").
    int Tag() const;
    void SetTag(int Value);
    // Identifies this list in drags, unique in the process.
    uint64_t DragID() const { return FDragID; }

    // Rows in display order that are selected.
    std::vector<int> SelectedRows() const;
    int FocusedRow() const;

    // The drop index at a point of the viewport: the row under it, one more in its lower half,
    // the row count where there is no row.
    int DropIndexAt(const QPoint& ViewportPos) const;

    // The hosting window's answers: whether it takes the drag, and the drop itself.
    std::function<bool(const TSongDrop&)> OnDragOver;
    std::function<void(const TSongDrop&)> OnDragDrop;
    // A key that types a character (the windows open the search with it).
    std::function<void(const QString&)> OnTypedKey;
    std::function<void(int Row)> OnRowDoubleClick;

    // The drag data of the selected rows (what a drag from here carries).
    QMimeData* SelectedRowsMime() const;

protected:
    void startDrag(Qt::DropActions Actions) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dragLeaveEvent(QDragLeaveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;

private:
    bool ReadDrop(const QDropEvent& Event, TSongDrop& Drop) const;

    TSongListModel* FModel;
    uint64_t FDragID;
    int FDropLine = -1;  // row before which the drop mark shows, -1 none
};

// The MIME type of rows dragged between our windows.
extern const char* const SongRowsMimeType;
// Reads our own rows or the desktop's file list; false when the data holds neither.
bool DecodeSongDrop(const QMimeData* Data, TSongDrop& Drop);
// The rows of Songs as drag data from the list with tag Tag and id SourceID.
QMimeData* NewSongRowsMime(const ISongItemList& Songs, int Tag, uint64_t SourceID);

}  // namespace kelvar
