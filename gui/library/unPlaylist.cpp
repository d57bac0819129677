#include "gui/library/unPlaylist.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDataStream>
#include <QDrag>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIODevice>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <unordered_map>

#include "core/KelvarApi.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/LevelCategories.h"
#include "core/playlist/PlaylistManager.h"
#include "foundation/Logger.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/engine/unMDIForm.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unDragDrop.h"
#include "gui/lists/unDropTarget.h"
#include "gui/lists/unGUIFunc.h"
#include "gui/lists/unLevelList.h"
#include "gui/lists/unStatusSection.h"

namespace kelvar {

const char* const CategoryMimeType = "application/x-kelvar-category";

namespace {

constexpr int CategoryRole = Qt::UserRole + 1;
constexpr int HeartBeatCode = 1;
constexpr int HeaderHeight = 21;

bool IsPrintableKey(const QKeyEvent& Event) {
    const QString text = Event.text();
    return !text.isEmpty() && text.at(0).isPrint() && text != " " &&
           !(Event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

// The category a drag carries: this process and the category's address.
bool CategoryOfMime(const QMimeData* Data, quintptr& Category) {
    if (!Data || !Data->hasFormat(CategoryMimeType)) return false;
    QDataStream in(Data->data(CategoryMimeType));
    qint64 pid = 0;
    quint64 address = 0;
    in >> pid >> address;
    if (in.status() != QDataStream::Ok || pid != getpid()) return false;
    Category = static_cast<quintptr>(address);
    return true;
}

}  // namespace

// --- category tree view ----------------------------------------------------------------------

TCategoryTreeView::TCategoryTreeView(QWidget* Parent) : QTreeWidget(Parent) {
    setHeaderHidden(true);
    setIndentation(27);
    setRootIsDecorated(false);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

QMimeData* TCategoryTreeView::CategoryMime() const {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint64(getpid()) << quint64(currentItem() ? currentItem()->data(0, CategoryRole).toULongLong() : 0);
    auto* mime = new QMimeData;
    mime->setData(CategoryMimeType, bytes);
    return mime;
}

void TCategoryTreeView::startDrag(Qt::DropActions) {
    if (!currentItem()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(CategoryMime());
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void TCategoryTreeView::dragEnterEvent(QDragEnterEvent* Event) { dragMoveEvent(Event); }

void TCategoryTreeView::dragMoveEvent(QDragMoveEvent* Event) {
    QTreeWidgetItem* target = itemAt(Event->position().toPoint());
    if (OnDragOver && OnDragOver(Event->mimeData(), target)) {
        Event->setDropAction(Event->mimeData()->hasFormat(CategoryMimeType) ? Qt::MoveAction : Qt::CopyAction);
        Event->accept();
    } else {
        Event->ignore();
    }
}

void TCategoryTreeView::dropEvent(QDropEvent* Event) {
    QTreeWidgetItem* target = itemAt(Event->position().toPoint());
    Event->setDropAction(Qt::CopyAction);
    Event->accept();
    if (OnDragDrop) OnDragDrop(Event->mimeData(), target);
}

void TCategoryTreeView::keyPressEvent(QKeyEvent* Event) {
    if (OnTypedKey && IsPrintableKey(*Event) && state() != QAbstractItemView::EditingState) {
        OnTypedKey(Event->text());
        Event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(Event);
}

// --- window item -----------------------------------------------------------------------------

TwiPlaylist::TwiPlaylist() : TWindowItem("Playlist", "Playlist", true) {}

TwiPlaylist::~TwiPlaylist() {
    if (FFrame) FFrame->Done();
}

void TwiPlaylist::Activate() {
    TWindowItem::Activate();
    FFrame = std::make_unique<TfoPlaylist>();
    if (TKelvarApi* api = ProgramKelvarApi(); api && api->PlaylistManager())
        FFrame->SetPlaylistManager(api->PlaylistManager());
    FFrame->Init();
    if (GuiConfig) FFrame->LoadSettings(*GuiConfig->Section("Playlist"));
}

void TwiPlaylist::Refresh() {
    TWindowItem::Refresh();
    if (!FFrame) return;
    FFrame->AttachDropWatch();
    if (FFrame->Floating && !FFrame->IsFloating()) FFrame->FloatCategories();
}

void TwiPlaylist::Deactivate() {
    if (FFrame) {
        if (GuiConfig) FFrame->SaveSettings(*GuiConfig->Section("Playlist"));
        FFrame->Done();
        FFrame->PlaylistManager.reset();
        FFrame.reset();
    }
    TWindowItem::Deactivate();
}

QWidget* TwiPlaylist::GetFrame() { return FFrame.get(); }

// --- frame -----------------------------------------------------------------------------------

TfoPlaylist::TfoPlaylist(QWidget* Parent) : TfoBaseSection(Parent) {
    setObjectName("foPlaylist");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    splitCatPlaylist = new QSplitter(Qt::Vertical, this);
    splitCatPlaylist->setChildrenCollapsible(false);
    splitCatPlaylist->setHandleWidth(5);
    outer->addWidget(splitCatPlaylist);

    pCategory = new QWidget(splitCatPlaylist);
    pCategory->setObjectName("pCategory");
    auto* catLayout = new QVBoxLayout(pCategory);
    catLayout->setContentsMargins(1, 1, 1, 1);
    catLayout->setSpacing(0);
    bCategory = new QWidget(pCategory);
    bCategory->setObjectName("bCategory");
    bCategory->setFixedHeight(HeaderHeight);
    bCategory->setAutoFillBackground(true);
    QPalette bar = bCategory->palette();
    bar.setColor(QPalette::Window, BgrColor(12615680));
    bar.setColor(QPalette::WindowText, Qt::white);
    bCategory->setPalette(bar);
    auto* barLayout = new QHBoxLayout(bCategory);
    barLayout->setContentsMargins(2, 0, 2, 0);
    barLayout->setSpacing(2);
    btCategoryMinMax = new QToolButton(bCategory);
    btCategoryMinMax->setAutoRaise(true);
    btCategoryMinMax->setFixedSize(19, 19);
    lbCaption = new QLabel("Categories", bCategory);
    QFont bold = lbCaption->font();
    bold.setBold(true);
    lbCaption->setFont(bold);
    btFloat = new QToolButton(bCategory);
    btFloat->setText("Float");
    btFloat->setAutoRaise(true);
    btTarget = new QToolButton(bCategory);
    btTarget->setText("Target");
    btTarget->setAutoRaise(true);
    barLayout->addWidget(btCategoryMinMax);
    barLayout->addWidget(lbCaption, 1);
    barLayout->addWidget(btFloat);
    barLayout->addWidget(btTarget);
    catLayout->addWidget(bCategory);
    tvCategory = new TCategoryTreeView(pCategory);
    catLayout->addWidget(tvCategory, 1);

    pRight = new QWidget(splitCatPlaylist);
    auto* rightLayout = new QVBoxLayout(pRight);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    pTop = new QLabel(" .:. Tracks in selected category", pRight);
    pTop->setFixedHeight(18);
    rightLayout->addWidget(pTop);
    Panel3 = new QWidget(pRight);
    rightLayout->addWidget(Panel3, 1);
    auto* panelLayout = new QVBoxLayout(Panel3);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    tbPlaylist = new QToolBar(Panel3);
    tbPlaylist->setIconSize(QSize(16, 16));
    panelLayout->addWidget(tbPlaylist);
    splitGroupAndPlaylist = new QSplitter(Qt::Horizontal, Panel3);
    splitGroupAndPlaylist->setChildrenCollapsible(false);
    foLevelList1 = new TfoLevelList(splitGroupAndPlaylist);
    foLevelList1->hide();
    lvChildren = new QListWidget(splitGroupAndPlaylist);
    lvChildren->setViewMode(QListView::IconMode);
    lvChildren->setResizeMode(QListView::Adjust);
    lvChildren->setMovement(QListView::Static);
    lvChildren->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvChildren->setContextMenuPolicy(Qt::CustomContextMenu);
    lvChildren->hide();
    tvSongList = new TVirtualSongTree(splitGroupAndPlaylist);
    tvSongList->SetTag(1);
    tvSongList->setContextMenuPolicy(Qt::CustomContextMenu);
    splitGroupAndPlaylist->setStretchFactor(2, 1);
    splitGroupAndPlaylist->setStretchFactor(1, 1);
    panelLayout->addWidget(splitGroupAndPlaylist, 1);
    StatusBar = new QStatusBar(Panel3);
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setFixedHeight(19);
    lbSummary = new QLabel(StatusBar);
    lbSummary->setMinimumWidth(120);
    StatusProgress = new TProgressPanel(StatusBar);
    StatusBar->addWidget(lbSummary, 1);
    StatusBar->addPermanentWidget(StatusProgress, 0);
    panelLayout->addWidget(StatusBar);
    splitCatPlaylist->addWidget(pCategory);
    splitCatPlaylist->addWidget(pRight);
    splitCatPlaylist->setStretchFactor(1, 1);

    dwPlaylist = new TDropWatch(this);
    OD = new QFileDialog(this);
    BuildActions();

    connect(btCategoryMinMax, &QToolButton::clicked, this, [this] { SetCatTreeMode(CatTreeMode + 1); });
    connect(btFloat, &QToolButton::clicked, this, [this] { RunAction([this] { FloatCategories(); }); });
    connect(btTarget, &QToolButton::clicked, this, [this] { RunAction([this] { OpenDropTarget(); }); });
    bCategory->installEventFilter(this);
    lbCaption->installEventFilter(this);
    tvCategory->OnDragOver = [this](const QMimeData* Data, QTreeWidgetItem* Target) {
        return CategoryDragOver(Data, Target);
    };
    tvCategory->OnDragDrop = [this](const QMimeData* Data, QTreeWidgetItem* Target) {
        RunAction([&] { CategoryDragDrop(Data, Target); });
    };
    tvCategory->OnTypedKey = [this](const QString& Text) { RunAction([&] { SongSearch(Text); }); };
    connect(tvCategory, &QWidget::customContextMenuRequested, this, [this](const QPoint& At) {
        if (QTreeWidgetItem* node = tvCategory->itemAt(At)) tvCategory->setCurrentItem(node);
        UpdateCategoryActions();
        puCategoryTree->popup(tvCategory->viewport()->mapToGlobal(At));
    });
    connect(tvCategory, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* Node, int) {
        if (FRenaming || !Node) return;
        TCustomCategory* category = CategoryOf(Node);
        if (!category) return;
        const std::string wanted = Node->text(0).toStdString();
        if (wanted == category->Name) return;
        bool renamed = false;
        try {
            renamed = category->Rename(wanted);
        } catch (const std::exception& e) {
            LogUnhandledGui(e.what());
        }
        if (!renamed) {
            FRenaming = true;
            Node->setText(0, QString::fromStdString(category->Name));
            FRenaming = false;
        }
    });
    connect(lvChildren, &QListWidget::itemActivated, this, [this](QListWidgetItem*) { OpenChildNode(); });
    connect(lvChildren, &QWidget::customContextMenuRequested, this, [this](const QPoint& At) {
        alOpenChild->setEnabled(lvChildren->currentItem() != nullptr);
        puChildren->popup(lvChildren->viewport()->mapToGlobal(At));
    });
    dwPlaylist->OnFilesDropped = [this](TDropWatch&, int X, int Y, const std::vector<std::string>& Files) {
        RunAction([&] { FilesDroppedOnTree(X, Y, Files); });
    };
    tvSongList->OnDragOver = [this](const TSongDrop& Drop) { return SongDragOver(Drop); };
    tvSongList->OnDragDrop = [this](const TSongDrop& Drop) { RunAction([&] { SongDragDrop(Drop); }); };
    tvSongList->OnTypedKey = [this](const QString& Text) { RunAction([&] { SongSearch(Text); }); };
    tvSongList->OnRowDoubleClick = [this](int) { RunAction([this] { QueueSelected(false); }); };
    connect(tvSongList, &QWidget::customContextMenuRequested, this, [this](const QPoint& At) {
        UpdateSongActions();
        puSongList->popup(tvSongList->viewport()->mapToGlobal(At));
    });
    foLevelList1->OnLevelSelect = [this](TfoLevelList&) { RunAction([this] { ShowGroupSongs(); }); };
    SetCatTreeMode(0, true);
}

TfoPlaylist::~TfoPlaylist() {
    if (!Closing) Done();
}

void TfoPlaylist::RunAction(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const std::exception& e) {
        SetBusy(false);
        LogUnhandledGui(e.what());
        MessageDlg(e.what(), TMsgDlgType::Warning, MsgButton::OK, this);
    } catch (...) {
        SetBusy(false);
        LogUnhandledGui("unknown");
    }
}

void TfoPlaylist::SetBusy(bool Busy) {
    if (Busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void TfoPlaylist::BuildActions() {
    auto make = [this](const char* Caption, const char* Keys = nullptr,
                       Qt::ShortcutContext Context = Qt::WidgetWithChildrenShortcut) {
        auto* action = new QAction(Caption, this);
        if (Keys) {
            action->setShortcut(QKeySequence(Keys));
            action->setShortcutContext(Context);
        }
        return action;
    };
    alCategoryNew = make("New", "Ins", Qt::WidgetShortcut);
    alCategoryDelete = make("Delete", "Del", Qt::WidgetShortcut);
    alCategoryRename = make("Rename");
    tvCategory->addActions({alCategoryNew, alCategoryDelete});

    alQueueBottom = make("Queue Bottom", "Return", Qt::WidgetShortcut);
    alQueueTop = make("Queue Top", "Ctrl+Return", Qt::WidgetShortcut);
    alSongAddFiles = make("Add Files", "Ctrl+O");
    alSongAddDir = make("Add Directory", "Ctrl+D");
    alSongAddURL = make("Add URL", "Ctrl+U");
    alSongAddPlaylist = make("Add Playlist", "Ctrl+L");
    alSongRemove = make("Remove", "Del", Qt::WidgetShortcut);
    alSongCrop = make("Crop", "Shift+Del", Qt::WidgetShortcut);
    alSongClear = make("Clear", "Ctrl+Del", Qt::WidgetShortcut);
    alSongRemoveDup = make("Remove duplicates");
    alSongDelete = make("Remove from ALL", "Ctrl+Shift+Del", Qt::WidgetShortcut);
    alSongDeleteFile = make("Delete physical file");
    alSongSelectAll = make("Select all", "Ctrl+A", Qt::WidgetShortcut);
    alSongSelectInvert = make("Invert selection", "Ctrl+I", Qt::WidgetShortcut);
    alSongShuffle = make("Shuffle list", "Ctrl+R");
    alSongSaveList = make("Save List", "Ctrl+S");
    alSongRefresh = make("Refresh list", "F10");
    alSongSearch = make("Search", "Ctrl+F");
    alSongInfo = make("Song Info", "Alt+3");
    alOpenChild = make("Open child node");
    alSongSaveList->setToolTip("Save playlist category to file");
    tvSongList->addActions({alQueueBottom, alQueueTop, alSongRemove, alSongCrop, alSongClear, alSongDelete,
                            alSongSelectAll, alSongSelectInvert});
    addActions({alSongAddFiles, alSongAddDir, alSongAddURL, alSongAddPlaylist, alSongShuffle, alSongSaveList,
                alSongRefresh, alSongSearch, alSongInfo});

    const std::pair<const char*, const char*> sorts[] = {
        {"By Artist", "artist,title"},
        {"By Title", "title,artist"},
        {"By Album", "album,title"},
        {"By Year", "albumyear"},
        {"By Duration", "duration,title"},
        {"By Filename", "filename"},
        {"By Weight", "weight,title"},
        {"By Balance", "balance,title"},
        {"By Date added", "date_added"},
        {"By Date played", "date_played"},
        {"By Times played", "count_played,title"},
        {"By Times requested", "count_requested,title"},
    };
    for (const auto& [caption, fields] : sorts) {
        QAction* action = make(caption);
        const std::string f = fields;
        connect(action, &QAction::triggered, this, [this, f] { RunAction([&] { SongSort(f); }); });
        SortActions.push_back(action);
    }

    puAddFiles = new QMenu(this);
    puAddFiles->addActions({alSongAddFiles, alSongAddDir, alSongAddURL, alSongAddPlaylist});
    puDeleteFiles = new QMenu(this);
    puDeleteFiles->addActions({alSongRemove, alSongCrop, alSongClear, alSongRemoveDup});
    puDeleteFiles->addSeparator();
    puDeleteFiles->addActions({alSongDelete, alSongDeleteFile});
    puSort = new QMenu("Sort", this);
    for (size_t i = 0; i < 5; ++i) puSort->addAction(SortActions[i]);
    puSortMore = puSort->addMenu("More");
    for (size_t i = 5; i < SortActions.size(); ++i) puSortMore->addAction(SortActions[i]);
    puSortMore->addSeparator();
    puSortMore->addAction(alSongShuffle);

    puSongList = new QMenu(this);
    puSongList->addAction(alQueueBottom);
    puSongList->setDefaultAction(alQueueBottom);
    puSongList->addAction(alQueueTop);
    puSongList->addSeparator();
    puSongList->addMenu(puAddFiles)->setText("Add");
    puSongList->addMenu(puDeleteFiles)->setText("Remove");
    puSongList->addMenu(puSort);
    puSongList->addSeparator();
    puSongList->addActions({alSongSaveList, alSongSearch, alSongRefresh});
    puSongList->addSeparator();
    puSongList->addActions({alSongSelectAll, alSongSelectInvert});
    puSongList->addSeparator();
    puSongList->addAction(alSongInfo);

    puCategoryTree = new QMenu(this);
    puCategoryTree->addActions({alCategoryNew, alCategoryRename, alCategoryDelete});
    puCategoryTree->addSeparator();
    puCategoryTree->addActions({alSongAddFiles, alSongAddDir, alSongAddURL, alSongAddPlaylist});
    puCategoryTree->addSeparator();
    puCategoryTree->addActions({alSongSearch, alSongRefresh});
    puChildren = new QMenu(this);
    puChildren->addAction(alOpenChild);
    for (QMenu* menu : {puAddFiles, puDeleteFiles})
        connect(menu, &QMenu::aboutToShow, this, [this] { UpdateSongActions(); });

    btAdd = new QToolButton(tbPlaylist);
    btAdd->setText("Add");
    btAdd->setToolTip("Add files to category");
    btAdd->setMenu(puAddFiles);
    btAdd->setPopupMode(QToolButton::MenuButtonPopup);
    tbPlaylist->addWidget(btAdd);
    btRemove = new QToolButton(tbPlaylist);
    btRemove->setText("Remove");
    btRemove->setToolTip("Remove selected files");
    btRemove->setMenu(puDeleteFiles);
    btRemove->setPopupMode(QToolButton::MenuButtonPopup);
    tbPlaylist->addWidget(btRemove);
    tbPlaylist->addSeparator();
    tbPlaylist->addAction(alSongSearch);
    tbPlaylist->addAction(alSongSaveList);
    tbPlaylist->addAction(alSongRefresh);

    auto on = [this](QAction* Action, std::function<void()> Run) {
        connect(Action, &QAction::triggered, this, [this, Run] { RunAction(Run); });
    };
    on(alCategoryNew, [this] { NewCategory(); });
    on(alCategoryDelete, [this] { DeleteCategory(); });
    on(alCategoryRename, [this] { RenameCategory(); });
    on(alQueueBottom, [this] { QueueSelected(false); });
    on(alQueueTop, [this] { QueueSelected(true); });
    on(alSongAddFiles, [this] { SongAddFiles(); });
    on(alSongAddDir, [this] { SongAddDir(); });
    on(alSongAddURL, [this] { SongAddURL(); });
    on(alSongAddPlaylist, [this] { SongAddPlaylist(); });
    on(alSongRemove, [this] { SongRemove(); });
    on(alSongCrop, [this] { SongCrop(); });
    on(alSongClear, [this] { SongClear(); });
    on(alSongRemoveDup, [this] { SongRemoveDup(); });
    on(alSongDelete, [this] { SongDelete(false); });
    on(alSongDeleteFile, [this] { SongDelete(true); });
    on(alSongSelectAll, [this] { SelectAllSongTree(*tvSongList); });
    on(alSongSelectInvert, [this] { InvertSongTreeSelection(*tvSongList); });
    on(alSongShuffle, [this] { SongShuffle(); });
    on(alSongSaveList, [this] { SongSaveList(); });
    on(alSongRefresh, [this] { SongRefresh(); });
    on(alSongSearch, [this] { SongSearch(""); });
    on(alSongInfo, [this] { SongInfo(); });
    on(alOpenChild, [this] { OpenChildNode(); });
    connect(btAdd, &QToolButton::clicked, this, [this] { RunAction([this] { SongAddFiles(); }); });
    connect(btRemove, &QToolButton::clicked, this, [this] {
        UpdateSongActions();
        if (alSongRemove->isEnabled()) RunAction([this] { SongRemove(); });
    });
}

// --- opening and closing ---------------------------------------------------------------------

void TfoPlaylist::Init() {
    Closing = false;
    SetTreeHandlers(false);
    CatTreeMode = 0;
    CatTreeHeight = CatTreeWidth = 140;
    SetCatTreeMode(0, true);
    Progress = 0;
    SetBusy(false);
    tvSongList->SetTag(1);
    FillCategoryView();
    if (tvCategory->topLevelItemCount() > 0) tvCategory->setCurrentItem(tvCategory->topLevelItem(0));
    if (GuiHeartBeat) {
        GuiHeartBeat->Add(100, this, HeartBeatCode, [this](THeartBeat&) { ActivateCategoryTree(); });
        FHeartBeatRegistered = true;
    }
}

void TfoPlaylist::ActivateCategoryTree() {
    if (FHeartBeatRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, HeartBeatCode);
    FHeartBeatRegistered = false;
    if (FTreeHandlers) return;
    if (QTreeWidgetItem* node = tvCategory->currentItem()) RunAction([&] { tvCategoryChange(node); });
    SetTreeHandlers(true);
}

void TfoPlaylist::SetTreeHandlers(bool On) {
    if (On == FTreeHandlers) return;
    FTreeHandlers = On;
    if (On) {
        FCurrentChanged = connect(tvCategory, &QTreeWidget::currentItemChanged, this,
                                  [this](QTreeWidgetItem* Current, QTreeWidgetItem* Previous) {
                                      RunAction([&] {
                                          tvCategoryChanging(Previous);
                                          if (Current) tvCategoryChange(Current);
                                      });
                                  });
    } else {
        disconnect(FCurrentChanged);
    }
}

void TfoPlaylist::Done() {
    Closing = true;
    if (FHeartBeatRegistered && GuiHeartBeat) GuiHeartBeat->Remove(this, HeartBeatCode);
    FHeartBeatRegistered = false;
    CloseDropTarget();
    DockCategories(true);
    ClearSelectedEvents();
    dwPlaylist->SetEnabled(false);
    dwPlaylist->SetWatchControl(nullptr);
    SetTreeHandlers(false);
    foLevelList1->ClearCategory();
    if (PlaylistManager) {
        TCategoryTree& tree = *PlaylistManager->Categories;
        for (int i = 0; i < tree.Count(); ++i) {
            TCustomCategory* c = tree.Items(i);
            c->OnStatus = nullptr;
            c->OnSongList = nullptr;
            c->OnSongRows = nullptr;
            c->OnProgress = nullptr;
        }
        PlaylistManager->SongList->OnProgress = nullptr;
    }
}

void TfoPlaylist::AttachDropWatch() {
    dwPlaylist->SetEnabled(false);
    dwPlaylist->SetWatchControl(tvCategory);
    dwPlaylist->SetEnabled(true);
}

void TfoPlaylist::LoadSettings(IConfigDoc& Section) {
    const std::string active = Section.ReadString("ActiveCategory", "");
    CatTreeHeight = static_cast<int>(Section.ReadInteger("CatTreeHeight", 140));
    CatTreeWidth = static_cast<int>(Section.ReadInteger("CatTreeWidth", 140));
    FloatHeight = static_cast<int>(Section.ReadInteger("FloatHeight", pCategory->height()));
    FloatWidth = static_cast<int>(Section.ReadInteger("FloatWidth", pCategory->width()));
    FloatTop = static_cast<int>(Section.ReadInteger("FloatTop", 0));
    FloatLeft = static_cast<int>(Section.ReadInteger("FloatLeft", 0));
    int64_t mode = Section.ReadInteger("CatTreeMode", CatTreeMode);
    if (mode < 0) mode = 0;
    SetCatTreeMode(static_cast<int>(mode % 3), true);
    Floating = Section.ReadBool("Floating", false);
    if (active.empty()) return;
    const QString wanted = QString::fromStdString(active);
    for (QTreeWidgetItemIterator it(tvCategory); *it; ++it)
        if ((*it)->text(0) == wanted) {
            tvCategory->setCurrentItem(*it);
            break;
        }
}

void TfoPlaylist::SaveSettings(IConfigDoc& Section) {
    QTreeWidgetItem* node = tvCategory->currentItem();
    Section.WriteString("ActiveCategory", node ? node->text(0).toStdString() : "");
    Section.WriteInteger("CatTreeMode", CatTreeMode);
    Section.WriteBool("Floating", FloatForm != nullptr);
    if (FloatForm) {
        Section.WriteInteger("CatTreeHeight", CatTreeHeight);
        Section.WriteInteger("CatTreeWidth", CatTreeWidth);
        Section.WriteInteger("FloatHeight", FloatForm->height());
        Section.WriteInteger("FloatWidth", FloatForm->width());
        Section.WriteInteger("FloatTop", FloatForm->y());
        Section.WriteInteger("FloatLeft", FloatForm->x());
        return;
    }
    // A window never shown has no panel size of its own yet.
    const bool laidOut = pCategory->isVisible();
    if (CatTreeMode == 0) Section.WriteInteger("CatTreeHeight", laidOut ? pCategory->height() : CatTreeHeight);
    if (CatTreeMode == 1) Section.WriteInteger("CatTreeWidth", laidOut ? pCategory->width() : CatTreeWidth);
    Section.WriteInteger("FloatHeight", FloatHeight);
    Section.WriteInteger("FloatWidth", FloatWidth);
    Section.WriteInteger("FloatTop", FloatTop);
    Section.WriteInteger("FloatLeft", FloatLeft);
}

// --- category tree ---------------------------------------------------------------------------

TCustomCategory* TfoPlaylist::CategoryOf(const QTreeWidgetItem* Node) const {
    if (!Node) return nullptr;
    return reinterpret_cast<TCustomCategory*>(static_cast<quintptr>(Node->data(0, CategoryRole).toULongLong()));
}

QTreeWidgetItem* TfoPlaylist::NodeOf(const TCustomCategory* Category) const {
    if (!Category) return nullptr;
    for (QTreeWidgetItemIterator it(tvCategory); *it; ++it)
        if (CategoryOf(*it) == Category) return *it;
    return nullptr;
}

TCustomCategory* TfoPlaylist::SelectedCategory() const { return CategoryOf(tvCategory->currentItem()); }

namespace {

QIcon CategoryIcon(const TCustomCategory& Category, const QStyle& Style) {
    return Style.standardIcon(Category.Kind == CategoryKind::Songs ? QStyle::SP_FileIcon : QStyle::SP_DirIcon);
}

void SetNodeOf(QTreeWidgetItem& Node, TCustomCategory& Category, const QStyle& Style) {
    Node.setText(0, QString::fromStdString(Category.Name));
    Node.setData(0, CategoryRole, QVariant::fromValue<qulonglong>(reinterpret_cast<quintptr>(&Category)));
    Node.setIcon(0, CategoryIcon(Category, Style));
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (Category.HasCapability(CategoryCapability::Rename)) flags |= Qt::ItemIsEditable;
    Node.setFlags(flags);
}

}  // namespace

void TfoPlaylist::FillCategoryView() {
    const bool handlers = FTreeHandlers;
    SetTreeHandlers(false);
    FRenaming = true;
    tvCategory->clear();
    if (PlaylistManager) {
        TCategoryTree& tree = *PlaylistManager->Categories;
        std::unordered_map<std::string, QTreeWidgetItem*> firstByName;
        for (int i = 0; i < tree.Count(); ++i) {
            TCustomCategory* c = tree.Items(i);
            c->OnStatus = nullptr;
            c->OnSongList = nullptr;
            c->OnSongRows = nullptr;
            QTreeWidgetItem* parent = nullptr;
            if (c->Parent) {
                auto found = firstByName.find(c->Parent->Name);
                if (found != firstByName.end()) parent = found->second;
            }
            auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvCategory);
            SetNodeOf(*node, *c, *style());
            firstByName.emplace(c->Name, node);
        }
    }
    if (tvCategory->topLevelItemCount() > 0) tvCategory->topLevelItem(0)->setExpanded(true);
    FRenaming = false;
    SetTreeHandlers(handlers);
}

void TfoPlaylist::ClearSelectedEvents() {
    if (TCustomCategory* c = SelectedCategory()) {
        c->OnStatus = nullptr;
        c->OnSongList = nullptr;
        c->OnSongRows = nullptr;
    }
}

void TfoPlaylist::tvCategoryChanging(QTreeWidgetItem* Node) {
    if (TCustomCategory* c = CategoryOf(Node)) {
        c->OnStatus = nullptr;
        c->OnSongList = nullptr;
        c->OnSongRows = nullptr;
    }
    foLevelList1->ClearCategory();
    tvSongList->SetSongList(nullptr);
}

void TfoPlaylist::tvCategoryChange(QTreeWidgetItem* Node) {
    TCustomCategory* category = CategoryOf(Node);
    if (!category) return;
    SetBusy(true);
    SetProgress(0, "Changing category...");
    switch (category->Kind) {
        case CategoryKind::Folder: ShowChildrenView(Node); break;
        case CategoryKind::Groups: ShowGroupView(*category); break;
        default: ShowTrackView(*category); break;
    }
    SetBusy(false);
}

void TfoPlaylist::ShowTrackView(TCustomCategory& Category) {
    tbPlaylist->show();
    tvSongList->show();
    lvChildren->hide();
    foLevelList1->hide();
    SetBusy(true);
    Category.OnStatus = [this](TCustomCategory&, int Percent, const std::string& Text) {
        CategoryStatus(Percent, Text);
    };
    Category.OnSongList = [this](TCustomCategory&, const ISongItemListPtr& List) {
        RunAction([&] { SongListLoaded(List); });
    };
    Category.OnSongRows = [this](TCustomCategory&, const ISongItemListPtr& List, int First) {
        RunAction([&] { SongRowsLoaded(List, First); });
    };
    CategoryLoadSongs(Category, false);
}

void TfoPlaylist::ShowGroupView(TCustomCategory& Category) {
    ShowTrackView(Category);
    foLevelList1->show();
    splitGroupAndPlaylist->setSizes({120, std::max(splitGroupAndPlaylist->width() - 120, 100)});
    if (auto* level = dynamic_cast<TLevelCategory*>(&Category)) foLevelList1->SetCategory(level);
}

void TfoPlaylist::ShowGroupSongs() {
    if (TCustomCategory* c = SelectedCategory()) CategoryLoadSongs(*c, true);
}

void TfoPlaylist::ShowChildrenView(QTreeWidgetItem* Node) {
    tvSongList->hide();
    tbPlaylist->hide();
    lvChildren->show();
    foLevelList1->hide();
    lvChildren->setUpdatesEnabled(false);
    lvChildren->clear();
    for (int i = 0; Node && i < Node->childCount(); ++i) {
        QTreeWidgetItem* child = Node->child(i);
        auto* item = new QListWidgetItem(child->icon(0), child->text(0), lvChildren);
        item->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(reinterpret_cast<quintptr>(child)));
    }
    lvChildren->setUpdatesEnabled(true);
    SetProgress(0, "");
}

void TfoPlaylist::OpenChildNode() {
    QListWidgetItem* item = lvChildren->currentItem();
    if (!item) return;
    auto* node = reinterpret_cast<QTreeWidgetItem*>(static_cast<quintptr>(item->data(Qt::UserRole).toULongLong()));
    // The node may have gone with a rebuilt tree: only a node still in the tree is taken.
    for (QTreeWidgetItemIterator it(tvCategory); *it; ++it)
        if (*it == node) {
            tvCategory->setCurrentItem(node);
            return;
        }
}

void TfoPlaylist::CategoryStatus(int Percent, const std::string& Text) {
    if (Closing) return;
    SetBusy(true);
    SetProgress(Percent, Text);
}

void TfoPlaylist::SongRowsLoaded(const ISongItemListPtr& List, int First) {
    if (tvSongList->SongList() == List && First > 0)
        tvSongList->RowsAppended(First);
    else
        tvSongList->SetSongList(List);
    UpdateSummary();
}

void TfoPlaylist::SongListLoaded(const ISongItemListPtr& List) {
    // The rows of a list shown while it loaded are there already; a reset would lose the place.
    if (tvSongList->SongList() == List)
        tvSongList->RowsAppended(tvSongList->model()->rowCount());
    else
        tvSongList->SetSongList(List);
    UpdateSummary();
    SetProgress(0, "");
    SetBusy(false);
}

void TfoPlaylist::SetProgress(int Percent, const std::string& Text) {
    if (Closing) return;
    Progress = std::clamp(Percent, 0, 100);
    StatusProgress->SetProgress(Progress, QString::fromStdString(Text));
    StatusBar->repaint();
}

void TfoPlaylist::UpdateCategoryActions() {
    TCustomCategory* c = SelectedCategory();
    for (QAction* a : {alSongAddDir, alSongAddFiles, alSongAddURL, alSongAddPlaylist})
        a->setEnabled(CategoryHasCapability(c, CategoryCapability::AddSongs));
    alCategoryNew->setEnabled(CategoryHasCapability(c, CategoryCapability::CreateChildren));
    alCategoryRename->setEnabled(CategoryHasCapability(c, CategoryCapability::Rename));
    alCategoryDelete->setEnabled(CategoryHasCapability(c, CategoryCapability::Delete));
}

void TfoPlaylist::NewCategory() {
    TCustomCategory* parent = SelectedCategory();
    QTreeWidgetItem* parentNode = tvCategory->currentItem();
    if (!parent || !PlaylistManager) return;
    TCategoryTree& tree = *PlaylistManager->Categories;
    std::string name = "New folder";
    int attempts = 0, n = 0;
    TCustomCategory* made = nullptr;
    while (!made && attempts <= 3) {
        if (!tree.FindByName(name)) {
            ++attempts;
            made = tree.CreateCategory(parent, name);
            if (made) break;
        }
        ++n;
        name = "New folder (" + std::to_string(n) + ")";
    }
    if (!made) throw std::runtime_error("Unable to create unique category name in 3 tries...");
    FRenaming = true;
    auto* node = new QTreeWidgetItem(parentNode);
    SetNodeOf(*node, *made, *style());
    parentNode->setExpanded(true);
    FRenaming = false;
    tvCategory->editItem(node, 0);
}

void TfoPlaylist::DeleteCategory() {
    QTreeWidgetItem* node = tvCategory->currentItem();
    TCustomCategory* category = CategoryOf(node);
    if (!category || !PlaylistManager) return;
    if (MessageDlg("Are you sure you want to delete this category and all sub-categories?", TMsgDlgType::Warning,
                   MsgButton::Yes | MsgButton::No, this) != MsgButton::Yes)
        return;
    // The node's category is freed below: nothing may look at it through the change handlers.
    const bool handlers = FTreeHandlers;
    SetTreeHandlers(false);
    tvCategoryChanging(node);
    category->DeleteCategory();
    PlaylistManager->Categories->Remove(category);
    delete node;
    SetTreeHandlers(handlers);
    if (handlers && tvCategory->currentItem()) tvCategoryChange(tvCategory->currentItem());
}

void TfoPlaylist::RenameCategory() {
    QTreeWidgetItem* node = tvCategory->currentItem();
    if (node && CategoryHasCapability(CategoryOf(node), CategoryCapability::Rename)) tvCategory->editItem(node, 0);
}

bool TfoPlaylist::CategoryDragOver(const QMimeData* Data, QTreeWidgetItem* Target) {
    if (!Target) return false;
    TCustomCategory* target = CategoryOf(Target);
    quintptr moved = 0;
    if (CategoryOfMime(Data, moved)) {
        QTreeWidgetItem* selected = tvCategory->currentItem();
        return selected && Target != selected && moved == reinterpret_cast<quintptr>(CategoryOf(selected)) &&
               !IsTreeNodeDescendant(selected, Target) &&
               CategoryHasCapability(CategoryOf(selected), CategoryCapability::Move) &&
               CategoryHasCapability(target, CategoryCapability::CreateChildren);
    }
    TSongDrop drop;
    if (!DecodeSongDrop(Data, drop)) return false;
    if (drop.IsFiles) return CategoryHasCapability(target, CategoryCapability::AddSongs);
    return drop.SourceTag >= 1 && drop.SourceTag <= 5 && CategoryHasCapability(target, CategoryCapability::AddSongs);
}

void TfoPlaylist::CategoryDragDrop(const QMimeData* Data, QTreeWidgetItem* Target) {
    if (!Target) {
        MessageDlg("You can only drop items on top of a category.", TMsgDlgType::Information, MsgButton::OK, this);
        return;
    }
    if (!CategoryDragOver(Data, Target)) return;
    quintptr moved = 0;
    if (CategoryOfMime(Data, moved)) {
        QTreeWidgetItem* selected = tvCategory->currentItem();
        TCustomCategory* category = CategoryOf(selected);
        TCustomCategory* target = CategoryOf(Target);
        const bool handlers = FTreeHandlers;
        SetTreeHandlers(false);
        const bool sameParent = selected->parent() == Target->parent();
        if (category->MoveTo(target, sameParent ? 1 : 0)) {
            QTreeWidgetItem* oldParent = selected->parent();
            const bool expanded = selected->isExpanded();
            if (oldParent)
                oldParent->removeChild(selected);
            else
                tvCategory->takeTopLevelItem(tvCategory->indexOfTopLevelItem(selected));
            if (sameParent) {
                QTreeWidgetItem* parent = Target->parent();
                if (parent)
                    parent->insertChild(parent->indexOfChild(Target), selected);
                else
                    tvCategory->insertTopLevelItem(tvCategory->indexOfTopLevelItem(Target), selected);
            } else {
                Target->addChild(selected);
                Target->setExpanded(true);
            }
            selected->setExpanded(expanded);
            tvCategory->setCurrentItem(selected);
        }
        SetTreeHandlers(handlers);
        return;
    }
    TSongDrop drop;
    if (!DecodeSongDrop(Data, drop)) return;
    DropCategory = CategoryOf(Target);
    if (drop.IsFiles)
        AddFiles(drop.Files, ipBottom, 0);
    else
        AddSongItems(drop.Songs, ipBottom, 0);
}

void TfoPlaylist::FilesDroppedOnTree(int X, int Y, const std::vector<std::string>& Files) {
    QTreeWidgetItem* node = tvCategory->itemAt(X, Y);
    TCustomCategory* category = CategoryOf(node);
    if (!category || !category->HasCapability(CategoryCapability::AddSongs)) return;
    DropCategory = category;
    AddFiles(Files, ipBottom, 0);
}

bool TfoPlaylist::eventFilter(QObject* Watched, QEvent* Event) {
    if ((Watched == bCategory || Watched == lbCaption) && Event->type() == QEvent::MouseButtonDblClick) {
        SetCatTreeMode(CatTreeMode + 1);
        return true;
    }
    return TfoBaseSection::eventFilter(Watched, Event);
}

// --- layout and floating ---------------------------------------------------------------------

void TfoPlaylist::SetCatTreeMode(int Mode, bool Force) {
    Mode = ((Mode % 3) + 3) % 3;
    if (Mode == CatTreeMode && !Force) return;
    if (!FloatForm && pCategory->parentWidget() == splitCatPlaylist && !Force) {
        if (CatTreeMode == 0) CatTreeHeight = pCategory->height();
        if (CatTreeMode == 1) CatTreeWidth = pCategory->width();
    }
    CatTreeMode = Mode;
    if (FloatForm) return;
    const int collapsed = HeaderHeight + 2;
    pCategory->setMaximumHeight(QWIDGETSIZE_MAX);
    pCategory->setMinimumSize(0, 0);
    if (Mode == 1) {
        CatTreeWidth = std::max(CatTreeWidth, 50);
        splitCatPlaylist->setOrientation(Qt::Horizontal);
        btCategoryMinMax->setText(QString(QChar(0x2191)));  // up
        pTop->hide();
        btFloat->hide();
        splitCatPlaylist->handle(1)->setEnabled(true);
        splitCatPlaylist->setSizes({CatTreeWidth, std::max(splitCatPlaylist->width() - CatTreeWidth, 50)});
    } else {
        splitCatPlaylist->setOrientation(Qt::Vertical);
        pTop->show();
        btFloat->show();
        if (Mode == 0) {
            CatTreeHeight = std::max(CatTreeHeight, 50);
            btCategoryMinMax->setText(QString(QChar(0x2190)));  // left
            splitCatPlaylist->handle(1)->setEnabled(true);
            splitCatPlaylist->setSizes({CatTreeHeight, std::max(splitCatPlaylist->height() - CatTreeHeight, 50)});
        } else {
            btCategoryMinMax->setText(QString(QChar(0x2193)));  // down
            pCategory->setFixedHeight(collapsed);
            splitCatPlaylist->handle(1)->setEnabled(false);
            splitCatPlaylist->setSizes({collapsed, std::max(splitCatPlaylist->height() - collapsed, 50)});
        }
    }
    tvCategory->setVisible(Mode != 2);
}

void TfoPlaylist::FloatCategories() {
    if (FloatForm) return;
    if (CatTreeMode == 0) CatTreeHeight = pCategory->height();
    if (CatTreeMode == 1) CatTreeWidth = pCategory->width();
    QWidget* client = nullptr;
    if (QWidget* host = parentWidget()) client = host->parentWidget();
    FloatForm = new TfoMDIForm(client);
    FloatForm->SetCaption("Playlist Categories");
    FloatForm->SetSizeable(true);
    pTop->hide();
    bCategory->hide();
    tvCategory->show();
    pCategory->setMaximumHeight(QWIDGETSIZE_MAX);
    pCategory->setMinimumSize(0, 0);
    FloatForm->HostFrame(pCategory);
    pCategory->show();
    FloatForm->OnClose = [this](TfoMDIForm&) { FloatClosed(); };
    FloatForm->show();
    if (FloatWidth > 0 && FloatHeight > 0) FloatForm->resize(FloatWidth, FloatHeight);
    FloatForm->move(std::max(FloatLeft, 0), std::max(FloatTop, 0));
    Floating = true;
}

void TfoPlaylist::FloatClosed() {
    if (!FloatForm) return;
    FloatWidth = FloatForm->width();
    FloatHeight = FloatForm->height();
    FloatTop = FloatForm->y();
    FloatLeft = FloatForm->x();
    DockCategories(false);
}

void TfoPlaylist::DockCategories(bool ClosingWindow) {
    if (!FloatForm) return;
    const bool handlers = FTreeHandlers;
    SetTreeHandlers(false);
    if (ClosingWindow) pCategory->hide();
    pCategory->setParent(nullptr);
    splitCatPlaylist->insertWidget(0, pCategory);
    bCategory->show();
    pCategory->setVisible(!ClosingWindow);
    FloatForm->OnClose = nullptr;
    FloatForm->ReleaseLater();
    FloatForm = nullptr;
    Floating = false;
    if (!ClosingWindow) {
        SetCatTreeMode(CatTreeMode, true);
        SetTreeHandlers(handlers);
    }
}

// --- drop target window ----------------------------------------------------------------------

void TfoPlaylist::OpenDropTarget() {
    if (!DropTarget) {
        DropTarget = std::make_unique<TfoDropTarget>();
        DropTarget->OnDropFiles = [this](TfoDropTarget&, const std::string& Name,
                                         const std::vector<std::string>& Files) {
            RunAction([&] {
                DropCategory = PlaylistManager ? PlaylistManager->Categories->FindByName(Name) : nullptr;
                if (DropCategory) AddFiles(Files, ipBottom, 0);
            });
        };
        DropTarget->OnDropItems = [this](TfoDropTarget&, const std::string& Name, const TSongDrop& Rows) {
            RunAction([&] {
                DropCategory = PlaylistManager ? PlaylistManager->Categories->FindByName(Name) : nullptr;
                if (DropCategory) AddSongItems(Rows.Songs, ipBottom, 0);
            });
        };
        TCustomCategory* selected = SelectedCategory();
        DropTarget->ShowCategories(selected ? selected->Name : "",
                                   PlaylistManager ? PlaylistManager->Categories.get() : nullptr);
    }
    DropTarget->show();
    DropTarget->raise();
}

void TfoPlaylist::CloseDropTarget() {
    if (!DropTarget) return;
    DropTarget->close();
    DropTarget->OnDropFiles = nullptr;
    DropTarget->OnDropItems = nullptr;
    DropTarget.reset();
}

}  // namespace kelvar
