#include "gui/lists/VirtualSongTree.h"

#include <unistd.h>

#include <QDataStream>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QIODevice>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <algorithm>
#include <atomic>

#include "foundation/MiscFunc.h"
#include "gui/lists/unDragDrop.h"
#include "gui/lists/unGUIFunc.h"

namespace kelvar {

const char* const SongRowsMimeType = "application/x-kelvar-song-rows";

namespace {

constexpr quint32 MimeMagic = 0x4B534E47;  // "KSNG"

uint64_t NextDragID() {
    static std::atomic<uint64_t> next{1};
    return next++;
}

}  // namespace

// --- model ---------------------------------------------------------------------------------

TSongListModel::TSongListModel(QObject* Parent) : QAbstractTableModel(Parent) {
    FColumns = {{TSongColumn::Number, "#", 40},
                {TSongColumn::Caption, "Artist - Title", 158},
                {TSongColumn::Duration, "Duration", 52}};
}

void TSongListModel::setSongList(ISongItemListPtr List) {
    beginResetModel();
    FList = std::move(List);
    endResetModel();
}

void TSongListModel::RowsAppended(int First) {
    if (!FList || First < 0 || First >= FList->Count()) return;
    // The rows are in the list already: until the insertion is announced the model still
    // reports the rows it had.
    FRowsBefore = First;
    beginInsertRows(QModelIndex(), First, FList->Count() - 1);
    FRowsBefore = -1;
    endInsertRows();
}

void TSongListModel::SetColumns(std::vector<TSongColumnDef> Columns) {
    beginResetModel();
    FColumns = std::move(Columns);
    endResetModel();
}

int TSongListModel::rowCount(const QModelIndex& Parent) const {
    if (Parent.isValid() || !FList) return 0;
    return FRowsBefore >= 0 ? FRowsBefore : FList->Count();
}

int TSongListModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : static_cast<int>(FColumns.size());
}

QVariant TSongListModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || !FList || Index.row() >= FList->Count() || Index.column() >= columnCount()) return {};
    const TSongColumn kind = FColumns[static_cast<size_t>(Index.column())].Kind;
    if (Role == Qt::TextAlignmentRole)
        return kind == TSongColumn::Caption ? QVariant(int(Qt::AlignLeft | Qt::AlignVCenter))
                                            : QVariant(int(Qt::AlignRight | Qt::AlignVCenter));
    if (Role != Qt::DisplayRole && Role != Qt::ToolTipRole) return {};
    const TSongItem& item = FList->Items(Index.row());
    switch (kind) {
        case TSongColumn::Number: return QString::number(Index.row() + 1);
        case TSongColumn::Caption: return QString::fromStdString(item.Caption);
        case TSongColumn::Duration:
            if (FDurationStyle == TDurationStyle::UnknownMarked && item.Duration <= 0) return QStringLiteral("??:??");
            return QString::fromStdString(FormatSongTime(2, item.Duration));
    }
    return {};
}

QVariant TSongListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal || Section < 0 || Section >= columnCount()) return {};
    if (Role == Qt::DisplayRole) return FColumns[static_cast<size_t>(Section)].Title;
    if (Role == Qt::TextAlignmentRole && FColumns[static_cast<size_t>(Section)].Kind != TSongColumn::Caption)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TSongListModel::flags(const QModelIndex& Index) const {
    if (!Index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

// --- drag data -----------------------------------------------------------------------------

QMimeData* NewSongRowsMime(const ISongItemList& Songs, int Tag, uint64_t SourceID) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    auto& list = const_cast<ISongItemList&>(Songs);
    out << MimeMagic << qint64(getpid()) << quint64(SourceID) << qint32(Tag) << qint32(list.Count());
    for (int i = 0; i < list.Count(); ++i) {
        const TSongItem& item = list.Items(i);
        out << qint32(item.ListID) << qint32(item.SongID) << QString::fromStdString(item.Caption) << item.SortID
            << qint32(item.Duration) << qint64(item.StartTime);
    }
    auto* mime = new QMimeData;
    mime->setData(SongRowsMimeType, bytes);
    return mime;
}

bool DecodeSongDrop(const QMimeData* Data, TSongDrop& Drop) {
    if (!Data) return false;
    if (Data->hasFormat(SongRowsMimeType)) {
        QDataStream in(Data->data(SongRowsMimeType));
        quint32 magic = 0;
        qint64 pid = 0;
        quint64 source = 0;
        qint32 tag = 0, count = 0;
        in >> magic >> pid >> source >> tag >> count;
        if (in.status() != QDataStream::Ok || magic != MimeMagic || count < 0) return false;
        auto songs = NewSongItemList();
        for (qint32 i = 0; i < count; ++i) {
            qint32 listID = 0, songID = 0, duration = 0;
            QString caption;
            double sortID = 0;
            qint64 start = 0;
            in >> listID >> songID >> caption >> sortID >> duration >> start;
            if (in.status() != QDataStream::Ok) return false;
            TSongItem& item = songs->Add();
            item.ListID = listID;
            item.SongID = songID;
            item.Caption = caption.toStdString();
            item.SortID = sortID;
            item.Duration = duration;
            item.StartTime = start;
        }
        Drop.IsFiles = false;
        Drop.SourceTag = tag;
        // Rows from another running program are songs of its own, never a move inside a list.
        Drop.SourceID = pid == getpid() ? source : 0;
        Drop.Songs = std::move(songs);
        return true;
    }
    std::vector<std::string> files;
    FilesFromDataObject(Data, files);
    if (files.empty()) return false;
    Drop.IsFiles = true;
    Drop.Files = std::move(files);
    Drop.SourceTag = 0;
    Drop.SourceID = 0;
    return true;
}

bool TSongDrop::FromTree(const TVirtualSongTree* Tree) const {
    return !IsFiles && Tree && SourceID != 0 && SourceID == Tree->DragID();
}

// --- view ----------------------------------------------------------------------------------

TVirtualSongTree::TVirtualSongTree(QWidget* Parent)
    : QTableView(Parent), FModel(new TSongListModel(this)), FDragID(NextDragID()) {
    setModel(FModel);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAlternatingRowColors(true);
    setShowGrid(false);
    setWordWrap(false);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setStretchLastSection(false);
    const auto& columns = FModel->Columns();
    for (size_t c = 0; c < columns.size(); ++c) {
        // At least as wide as the header's caption in the font at hand.
        setColumnWidth(static_cast<int>(c),
                       std::max(columns[c].Width, fontMetrics().horizontalAdvance(columns[c].Title) + 14));
        if (columns[c].Kind == TSongColumn::Caption)
            horizontalHeader()->setSectionResizeMode(static_cast<int>(c), QHeaderView::Stretch);
    }
    SetTag(0);
}

TVirtualSongTree::~TVirtualSongTree() = default;

void TVirtualSongTree::SetSongList(ISongItemListPtr List) {
    setUpdatesEnabled(false);
    try {
        FModel->setSongList(std::move(List));
    } catch (...) {
        setUpdatesEnabled(true);
        throw;
    }
    setUpdatesEnabled(true);
}

int TVirtualSongTree::Tag() const { return property("Tag").toInt(); }
void TVirtualSongTree::SetTag(int Value) { setProperty("Tag", Value); }

std::vector<int> TVirtualSongTree::SelectedRows() const {
    std::vector<int> rows;
    if (!selectionModel()) return rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int TVirtualSongTree::FocusedRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TVirtualSongTree::DropIndexAt(const QPoint& ViewportPos) const {
    const int count = FModel->rowCount();
    const QModelIndex index = indexAt(ViewportPos);
    if (!index.isValid()) return count;
    const QRect rect = visualRect(index);
    return ViewportPos.y() >= rect.center().y() ? index.row() + 1 : index.row();
}

QMimeData* TVirtualSongTree::SelectedRowsMime() const {
    ISongItemListPtr rows;
    GetSelectedSongItems(*this, rows);
    return NewSongRowsMime(*rows, Tag(), FDragID);
}

void TVirtualSongTree::startDrag(Qt::DropActions Actions) {
    (void)Actions;
    if (SelectedRows().empty()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(SelectedRowsMime());
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

bool TVirtualSongTree::ReadDrop(const QDropEvent& Event, TSongDrop& Drop) const {
    if (!DecodeSongDrop(Event.mimeData(), Drop)) return false;
    Drop.Index = DropIndexAt(Event.position().toPoint());
    return true;
}

void TVirtualSongTree::dragEnterEvent(QDragEnterEvent* Event) { dragMoveEvent(Event); }

void TVirtualSongTree::dragMoveEvent(QDragMoveEvent* Event) {
    TSongDrop drop;
    const bool take = ReadDrop(*Event, drop) && OnDragOver && OnDragOver(drop);
    const int line = take ? drop.Index : -1;
    if (line != FDropLine) {
        FDropLine = line;
        viewport()->update();
    }
    if (take) {
        Event->setDropAction(Qt::CopyAction);
        Event->accept();
    } else {
        Event->ignore();
    }
}

void TVirtualSongTree::dragLeaveEvent(QDragLeaveEvent* Event) {
    FDropLine = -1;
    viewport()->update();
    Event->accept();
}

void TVirtualSongTree::dropEvent(QDropEvent* Event) {
    FDropLine = -1;
    viewport()->update();
    TSongDrop drop;
    if (!ReadDrop(*Event, drop) || !OnDragOver || !OnDragOver(drop)) {
        Event->ignore();
        return;
    }
    Event->setDropAction(Qt::CopyAction);
    Event->accept();
    if (OnDragDrop) OnDragDrop(drop);
}

void TVirtualSongTree::keyPressEvent(QKeyEvent* Event) {
    const QString text = Event->text();
    const bool printable = !text.isEmpty() && text.at(0).isPrint() &&
                           !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (printable && OnTypedKey && text != " ") {
        OnTypedKey(text);
        Event->accept();
        return;
    }
    QTableView::keyPressEvent(Event);
}

void TVirtualSongTree::mouseDoubleClickEvent(QMouseEvent* Event) {
    const QModelIndex index = indexAt(Event->position().toPoint());
    if (index.isValid() && OnRowDoubleClick) {
        OnRowDoubleClick(index.row());
        Event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(Event);
}

void TVirtualSongTree::paintEvent(QPaintEvent* Event) {
    QTableView::paintEvent(Event);
    if (FDropLine < 0) return;
    const int count = FModel->rowCount();
    int y = 0;
    if (FDropLine < count)
        y = rowViewportPosition(FDropLine);
    else if (count > 0)
        y = rowViewportPosition(count - 1) + rowHeight(count - 1);
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawLine(0, y, viewport()->width(), y);
}

}  // namespace kelvar
