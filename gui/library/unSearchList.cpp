#include "gui/library/unSearchList.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/FxFancyButton.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/PlaylistUtils.h"
#include "foundation/Logger.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/lists/SongInfoHook.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unGUIFunc.h"

namespace kelvar {

namespace {

const char* const SongTypes[] = {"(All song types)", "S - Normal song",     "I - Station ID",      "P - Promo",
                                 "J - Jingle",       "A - Advertisement",   "N - Syndicated news", "V - Interviews",
                                 "X - Sound FX",     "C - Unknown content", "? - Unknown"};

template <typename F>
void Guarded(F&& Action) {
    try {
        Action();
    } catch (const std::exception& e) {
        LogUnhandledGui(e.what());
    } catch (...) {
        LogUnhandledGui("unknown");
    }
}

}  // namespace

TfoSearchList::TfoSearchList(QWidget* Parent) : QWidget(Parent) {
    setObjectName("foSearchList");
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    outer->addWidget(splitter);

    auto* left = new QWidget(splitter);
    left->setMinimumWidth(150);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(6, 6, 6, 6);
    leftLayout->addWidget(new QLabel("Search string", left));
    auto* searchRow = new QHBoxLayout;
    eSearch = new QLineEdit(left);
    btFind = new QPushButton("Find", left);
    btFind->setFixedWidth(44);
    searchRow->addWidget(eSearch);
    searchRow->addWidget(btFind);
    leftLayout->addLayout(searchRow);
    cbKeystroke = new QCheckBox("Search on keystroke", left);
    cbSubstring = new QCheckBox("Substring search", left);
    cbFirst100 = new QCheckBox("Limit to 100 results", left);
    for (QCheckBox* c : {cbKeystroke, cbSubstring, cbFirst100}) {
        c->setChecked(true);
        leftLayout->addWidget(c);
    }
    leftLayout->addWidget(new QLabel("Limit search to song type", left));
    eSongType = new QComboBox(left);
    for (const char* type : SongTypes) eSongType->addItem(type);
    leftLayout->addWidget(eSongType);
    auto* matching = new QGroupBox("Search for matching", left);
    auto* matchingLayout = new QVBoxLayout(matching);
    cbArtist = new QCheckBox("Artist", matching);
    cbTitle = new QCheckBox("Title", matching);
    cbAlbum = new QCheckBox("Album", matching);
    cbFilename = new QCheckBox("Filename", matching);
    cbArtist->setChecked(true);
    cbTitle->setChecked(true);
    for (QCheckBox* c : {cbArtist, cbTitle, cbAlbum, cbFilename}) matchingLayout->addWidget(c);
    leftLayout->addWidget(matching);
    leftLayout->addStretch(1);
    btExit = new TFxFancyButton("Exit", left);
    btExit->setFixedHeight(26);
    leftLayout->addWidget(btExit);

    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    tvSongList = new TVirtualSongTree(right);
    tvSongList->SetTag(2);
    rightLayout->addWidget(tvSongList, 1);
    pStatus = new QStatusBar(right);
    pStatus->setSizeGripEnabled(false);
    lbSummary = new QLabel(pStatus);
    pStatus->addWidget(lbSummary, 1);
    rightLayout->addWidget(pStatus);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setSizes({185, 371});
    splitter->setStretchFactor(1, 1);

    DelayTimer = new QTimer(this);
    DelayTimer->setSingleShot(true);

    puSongList = new QMenu(this);
    alQueueBottom = puSongList->addAction("Queue Bottom");
    alQueueTop = puSongList->addAction("Queue Top");
    puSongList->addSeparator();
    alSongInfo = puSongList->addAction("Song Info");
    puSongList->addSeparator();
    alDelete = puSongList->addAction("Remove from ALL");
    alDeleteFile = puSongList->addAction("Delete physical file");
    puSongList->addSeparator();
    alSongSelectAll = puSongList->addAction("Select all");
    alSongSelectInvert = puSongList->addAction("Invert selection");
    alSongSelectAll->setShortcut(QKeySequence("Ctrl+A"));
    alSongSelectInvert->setShortcut(QKeySequence("Ctrl+I"));
    tvSongList->addActions(puSongList->actions());
    tvSongList->setContextMenuPolicy(Qt::CustomContextMenu);

    connect(tvSongList, &QWidget::customContextMenuRequested, this, [this](const QPoint& At) {
        UpdateMenu();
        puSongList->popup(tvSongList->viewport()->mapToGlobal(At));
    });
    connect(alQueueBottom, &QAction::triggered, this, [this] { Guarded([this] { QueueSelected(false); }); });
    connect(alQueueTop, &QAction::triggered, this, [this] { Guarded([this] { QueueSelected(true); }); });
    connect(alSongInfo, &QAction::triggered, this, [this] {
        Guarded([this] {
            ISongItemListPtr rows;
            GetSelectedSongItems(*tvSongList, rows);
            if (rows->Count() > 0 && ShowSongInfo) ShowSongInfo(SongInfoIDs(*rows));
        });
    });
    connect(alDelete, &QAction::triggered, this, [this] { Guarded([this] { DeleteSelected(false); }); });
    connect(alDeleteFile, &QAction::triggered, this, [this] { Guarded([this] { DeleteSelected(true); }); });
    connect(alSongSelectAll, &QAction::triggered, this, [this] { SelectAllSongTree(*tvSongList); });
    connect(alSongSelectInvert, &QAction::triggered, this, [this] { InvertSongTreeSelection(*tvSongList); });
    tvSongList->OnRowDoubleClick = [this](int) { Guarded([this] { QueueSelected(false); }); };
    tvSongList->OnDragOver = [](const TSongDrop&) { return false; };

    connect(eSearch, &QLineEdit::textChanged, this, [this] { Guarded([this] { SearchChange(); }); });
    connect(eSearch, &QLineEdit::returnPressed, this, [this] { Guarded([this] { Search(); }); });
    connect(btFind, &QPushButton::clicked, this, [this] { Guarded([this] { Search(); }); });
    connect(eSongType, &QComboBox::currentIndexChanged, this, [this](int) {
        if (cbKeystroke->isChecked()) Guarded([this] { Search(); });
    });
    connect(DelayTimer, &QTimer::timeout, this, [this] { Guarded([this] { Search(); }); });
    btExit->OnClick = [this](TFxFancyButton&) {
        if (OnExit) OnExit();
    };
    eSearch->installEventFilter(this);
}

TfoSearchList::~TfoSearchList() { Done(); }

void TfoSearchList::Init() {
    tvSongList->SetTag(2);
    eSongType->blockSignals(true);
    eSongType->setCurrentIndex(0);
    eSongType->blockSignals(false);
    FAlive = std::make_shared<int>(0);
    SongSearch = std::make_unique<TSongSearch>();
    PendingID = 0;
}

void TfoSearchList::Done() {
    DelayTimer->stop();
    FAlive.reset();
    SongSearch.reset();
    PendingID = 0;
}

void TfoSearchList::SetSearchText(const QString& Text) {
    eSearch->setText(Text);
    eSearch->setCursorPosition(static_cast<int>(eSearch->text().size()));
}

void TfoSearchList::SearchChange() {
    if (!cbKeystroke->isChecked()) return;
    DelayTimer->stop();
    const int length = std::max(static_cast<int>(eSearch->text().size()), 1);
    DelayTimer->setInterval(400 / length);
    DelayTimer->start();
}

TSearchRequest TfoSearchList::Request() const {
    TSearchRequest r;
    r.Text = eSearch->text().toStdString();
    r.Substring = cbSubstring->isChecked();
    r.Limit100 = cbFirst100->isChecked();
    r.Artist = cbArtist->isChecked();
    r.Title = cbTitle->isChecked();
    r.Album = cbAlbum->isChecked();
    r.Filename = cbFilename->isChecked();
    r.SongType = eSongType->currentIndex() > 0 ? eSongType->currentText().toStdString()[0] : 0;
    return r;
}

void TfoSearchList::Search() {
    DelayTimer->stop();
    const TSearchRequest request = Request();
    if (!PlaylistManager || !(request.Artist || request.Title || request.Album || request.Filename)) return;
    if (PendingID != 0 && SongSearch) SongSearch->Cancel(PendingID);
    if (!SongSearch) SongSearch = std::make_unique<TSongSearch>();
    std::weak_ptr<int> alive = FAlive;
    PendingID = SongSearch->Search(request, [this, alive](int ID, const ISongItemListPtr& Songs) {
        if (alive.expired()) return;
        Guarded([&] { SearchResult(ID, Songs); });
    });
    if (PendingID == 0) {
        tvSongList->SetSongList(nullptr);
        lbSummary->setText("Enter your search");
    }
}

void TfoSearchList::SearchResult(int ID, const ISongItemListPtr& Songs) {
    (void)ID;
    PendingID = 0;
    ShowResults(Songs);
}

void TfoSearchList::ShowResults(const ISongItemListPtr& Songs) {
    ISongItemListPtr list = Songs ? Songs : NewSongItemList();
    tvSongList->SetSongList(list);
    list->Recalc();
    lbSummary->setText(QString::fromStdString(std::to_string(list->Count()) + " tracks (" +
                                              FormatSongTime(1, int64_t{list->TotalDuration()} * 1000) + ")"));
}

void TfoSearchList::UpdateMenu() {
    const bool any = !tvSongList->SelectedRows().empty();
    for (QAction* a : {alQueueBottom, alQueueTop, alSongInfo, alDelete, alDeleteFile}) a->setEnabled(any);
}

void TfoSearchList::QueueSelected(bool Top) {
    if (!PlaylistManager) return;
    ISongItemListPtr rows;
    GetSelectedSongItems(*tvSongList, rows);
    if (rows->Count() == 0) return;
    PlaylistManager->Queue->AddSongs(rows, 0, 0, Top ? -1.0 : 0);
}

void TfoSearchList::DeleteSelected(bool EraseFiles) {
    if (!PlaylistManager) return;
    const ISongItemListPtr list = tvSongList->SongList();
    const std::vector<int> selected = tvSongList->SelectedRows();
    if (!list || selected.empty()) return;
    const char* question =
        EraseFiles ? "WARNING: Are you sure you want to delete the selected songs completely from your harddisk?"
                   : "Are you sure you want to delete the selected songs completely from the Media Library and ALL "
                     "categories?";
    if (MessageDlg(question, TMsgDlgType::Warning, MsgButton::Yes | MsgButton::Cancel, this) != MsgButton::Yes) return;
    TIntegerList songIDs;
    int removed = 0;
    for (int row : selected) {
        const int at = row - removed;
        if (at < 0 || at >= list->Count()) continue;
        const int32_t songID = list->Items(at).SongID;
        if (EraseFiles)
            PlaylistManager->SongList->EraseSong(songID);
        else
            songIDs.Add(songID);
        list->Delete(at);
        ++removed;
    }
    if (!EraseFiles) PlaylistManager->SongList->DeleteSongs(songIDs);
    AfterDelete();
}

void TfoSearchList::AfterDelete() {
    const ISongItemListPtr list = tvSongList->SongList();
    tvSongList->SetSongList(list);
    ClearSongTreeState(*tvSongList);
    if (!list) return;
    list->Recalc();
    lbSummary->setText(QString::fromStdString(std::to_string(list->Count()) + " tracks (" +
                                              FormatSongTime(1, int64_t{list->TotalDuration()} * 1000) + ")"));
}

bool TfoSearchList::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == eSearch && Event->type() == QEvent::FocusOut) {
        // Leaving the search field puts the list's focus on its first row.
        if (tvSongList->FocusedRow() < 0 && tvSongList->model()->rowCount() > 0)
            tvSongList->selectionModel()->setCurrentIndex(tvSongList->model()->index(0, 1),
                                                          QItemSelectionModel::NoUpdate);
    }
    return QWidget::eventFilter(Watched, Event);
}

}  // namespace kelvar
