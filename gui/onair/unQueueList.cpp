#include "gui/onair/unQueueList.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <stdexcept>

#include "controls/BrowseForFolder.h"
#include "core/KelvarApi.h"
#include "core/playlist/PlaylistLoader_imp.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/ProgressHandler.h"
#include "core/playlist/SongRows.h"
#include "foundation/Logger.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/library/unSearch.h"
#include "gui/lists/PlaylistDialogs.h"
#include "gui/lists/SongInfoHook.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unAddURL.h"
#include "gui/lists/unGUIFunc.h"
#include "gui/onair/SongListHelpers.h"

namespace kelvar {

std::function<bool(std::string& Address, std::string& Description)> LiveSourceDialogHook;

namespace {

constexpr int64_t DayMs = 86400000;
constexpr int ChooseTries = 20;
constexpr int TickCode = 1;

}  // namespace

TfoQueueList::TfoQueueList(QWidget* Parent) : TfoStatusSection(Parent) {
    TimeOfDay = TimeOfDayNowMs;
    auto* body = new QVBoxLayout(pClient);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    ToolBar1 = new QToolBar(pClient);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    body->addWidget(ToolBar1);
    tvQueueList = new TVirtualSongTree(pClient);
    tvQueueList->setObjectName("tvQueueList");
    SetupClockSongTree(*tvQueueList, "ETA", 190);
    tvQueueList->setItemDelegateForColumn(
        0, new TTimeColumnDelegate(tvQueueList, [this](int Row) { return ETAOfRow(Row); }));
    tvQueueList->setContextMenuPolicy(Qt::CustomContextMenu);
    body->addWidget(tvQueueList, 1);
    OD = new QFileDialog(this);
    OD->setObjectName("OD");
    FRows = NewSongItemList();
    BuildActions();
    resize(300, 300);
}

TfoQueueList::~TfoQueueList() {
    if (FInitDone) Done();
}

void TfoQueueList::RunAction(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const std::exception& e) {
        LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
        MessageDlg(e.what(), TMsgDlgType::Warning, MsgButton::OK, this);
    } catch (...) {
        LogMessage("Unhandled exception (unknown)", "GUI", LogKind::Exception);
    }
    SetProgress(0, "");
}

void TfoQueueList::BuildActions() {
    auto make = [this](const char* Caption, const char* Hint = nullptr, const char* Keys = nullptr) {
        auto* a = new QAction(Caption, this);
        if (Hint) a->setToolTip(Hint);
        if (Keys) {
            a->setShortcut(QKeySequence(Keys));
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        addAction(a);
        return a;
    };
    alPlayNext = make("Play next", "Play next song in Queue", "Return");
    alChooseNext = make("Choose next", "Put another song into the queue", "Ctrl+N");
    alQueueAddFiles = make("Add Files", "Add files to queue", "Ctrl+O");
    alQueueAddDir = make("Add Directory", nullptr, "Ctrl+D");
    alQueueAddURL = make("Add URL", nullptr, "Ctrl+U");
    alQueueAddList = make("Add Playlist", nullptr, "Ctrl+L");
    alQueueAddMic = make("Add Mic / Linein", nullptr, "Ctrl+M");
    alQueueRemove = make("Remove", "Remove selected songs from queue", "Del");
    alQueueCrop = make("Crop", "Remove all songs except those selected", "Shift+Del");
    alQueueClear = make("Clear", "Clear queue", "Ctrl+Del");
    alRemoveDups = make("Remove duplicates");
    alDelete = make("Delete from ALL", nullptr, "Ctrl+Shift+Del");
    alDeleteFile = make("Delete physical file");
    alQueueShuffle = make("Shuffle", "Shuffle (Randomize) list", "Ctrl+R");
    alQueueRefresh = make("Refresh", "Refresh list of songs", "F10");
    alQueueSave = make("Save", "Save queue", "Ctrl+S");
    alSongSearch = make("Search", "Search for a song", "Ctrl+F");
    alSongInfo = make("Song Info", "View song information", "Alt+3");
    alSelectAll = make("Select all", "Select all songs", "Ctrl+A");
    alSelectInvert = make("Invert selection", nullptr, "Ctrl+I");

    puAddFiles = new QMenu(this);
    puAddFiles->addActions({alQueueAddFiles, alQueueAddDir, alQueueAddURL, alQueueAddList, alQueueAddMic});
    puDeleteFiles = new QMenu(this);
    puDeleteFiles->addActions({alQueueRemove, alQueueCrop, alQueueClear, alRemoveDups});
    puDeleteFiles->addSeparator();
    puDeleteFiles->addActions({alDelete, alDeleteFile});
    puQueueList = new QMenu(this);
    puQueueList->addAction(alPlayNext);
    puQueueList->setDefaultAction(alPlayNext);
    puQueueList->addAction(alChooseNext);
    QMenu* add = puQueueList->addMenu("Add");
    add->addActions(puAddFiles->actions());
    QMenu* remove = puQueueList->addMenu("Remove");
    remove->addActions(puDeleteFiles->actions());
    puQueueList->addActions(
        {alQueueSave, alSongSearch, alQueueShuffle, alQueueRefresh, alSelectAll, alSelectInvert, alSongInfo});

    btAdd = new QToolButton(ToolBar1);
    btAdd->setObjectName("btAdd");
    btAdd->setText("Add");
    btAdd->setToolTip("Add files to queue");
    btAdd->setMenu(puAddFiles);
    btAdd->setPopupMode(QToolButton::MenuButtonPopup);
    ToolBar1->addWidget(btAdd);
    btRemove = new QToolButton(ToolBar1);
    btRemove->setObjectName("btRemove");
    btRemove->setText("Remove");
    btRemove->setToolTip("Remove selected files from queue");
    btRemove->setMenu(puDeleteFiles);
    btRemove->setPopupMode(QToolButton::MenuButtonPopup);
    ToolBar1->addWidget(btRemove);
    ToolBar1->addSeparator();
    ToolBar1->addActions({alSongSearch, alQueueSave, alQueueRefresh, alChooseNext, alPlayNext});

    for (QMenu* menu : {puQueueList, puDeleteFiles, puAddFiles}) {
        connect(menu, &QMenu::aboutToShow, this, [this] {
            FMenuOpen = true;
            UpdateActions();
        });
        connect(menu, &QMenu::aboutToHide, this, [this] { FMenuOpen = false; });
    }
    auto on = [this](QAction* Action, std::function<void()> Run) {
        connect(Action, &QAction::triggered, this, [this, Run] { RunAction(Run); });
    };
    on(alPlayNext, [this] { PlayNext(); });
    on(alChooseNext, [this] { ChooseNext(); });
    on(alQueueAddFiles, [this] { AddFilesClick(); });
    on(alQueueAddDir, [this] { AddDirectory(); });
    on(alQueueAddURL, [this] { AddURL(); });
    on(alQueueAddList, [this] { AddPlaylist(); });
    on(alQueueAddMic, [this] { AddMic(); });
    on(alQueueRemove, [this] { Remove(); });
    on(alQueueCrop, [this] { Crop(); });
    on(alQueueClear, [this] { Clear(); });
    on(alRemoveDups, [this] { RemoveDuplicates(); });
    on(alDelete, [this] { DeleteSelected(false); });
    on(alDeleteFile, [this] { DeleteSelected(true); });
    on(alQueueShuffle, [this] { Shuffle(); });
    on(alQueueRefresh, [this] { Refresh(); });
    on(alQueueSave, [this] { Save(); });
    on(alSongSearch, [this] { Search(QString()); });
    on(alSongInfo, [this] { SongInfo(); });
    on(alSelectAll, [this] { SelectAllSongTree(*tvQueueList); });
    on(alSelectInvert, [this] { InvertSongTreeSelection(*tvQueueList); });
    connect(btAdd, &QToolButton::clicked, this, [this] { RunAction([this] { AddFilesClick(); }); });
    connect(btRemove, &QToolButton::clicked, this, [this] {
        RunAction([this] {
            UpdateActions();
            if (alQueueRemove->isEnabled()) Remove();
        });
    });
    connect(tvQueueList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& At) { puQueueList->popup(tvQueueList->viewport()->mapToGlobal(At)); });
    tvQueueList->OnDragOver = [this](const TSongDrop& Drop) { return SongDragOver(Drop); };
    tvQueueList->OnDragDrop = [this](const TSongDrop& Drop) { RunAction([&] { SongDragDrop(Drop); }); };
    tvQueueList->OnTypedKey = [this](const QString& Text) { RunAction([&] { Search(Text); }); };
    tvQueueList->OnRowDoubleClick = [this](int) { RunAction([this] { RowDoubleClicked(); }); };
}

TQueueList* TfoQueueList::Queue() const { return PlaylistManager ? PlaylistManager->Queue.get() : nullptr; }

void TfoQueueList::SetProgress(int Percent, const std::string& Text) {
    TfoStatusSection::SetProgress(static_cast<uint8_t>(std::clamp(Percent, 0, 100)), QString::fromStdString(Text));
}

void TfoQueueList::ListenToQueue() {
    FQueueLinks.clear();
    if (!Api) return;
    // The window's own changes place or drop its rows itself: it does not hear them again.
    TQueueListener listener;
    listener.Popped = [this](int ID) { RunAction([&] { QueuePopped(ID); }); };
    listener.Added = [this](const ISongItemListPtr& Songs) {
        if (FOwnChange == 0) RunAction([&] { QueueAdded(Songs); });
    };
    listener.Removed = [this](int ID) {
        if (FOwnChange == 0) RunAction([&] { QueueRowDeleted(ID); });
    };
    listener.Changed = [this] {
        if (FOwnChange == 0) RunAction([this] { Refresh(); });
    };
    FQueueLinks = Api->ListenQueue(std::move(listener));
}

// Marks the window's own change of the queue while it runs.
template <class F>
void TfoQueueList::OwnChange(F Change) {
    ++FOwnChange;
    try {
        Change();
    } catch (...) {
        --FOwnChange;
        throw;
    }
    --FOwnChange;
}

void TfoQueueList::AttachProgress() {
    if (TQueueList* q = Queue())
        SetOwned(q->OnProgress, this,
                 [this](TQueueList&, int Percent, const std::string& Text) { SetProgress(Percent, Text); });
}

void TfoQueueList::Init() {
    TfoStatusSection::Init();
    FMenuOpen = false;
    SetCaption("Queue");
    tvQueueList->SetTag(3);
    FRows = NewSongItemList();
    tvQueueList->SetSongList(FRows);
    ListenToQueue();
    FInitDone = true;
    Refresh();
}

void TfoQueueList::Done() {
    FQueueLinks.clear();
    if (TQueueList* q = Queue()) ClearOwned(q->OnProgress, this);
    if (PlaylistManager && PlaylistManager->SongList) ClearOwned(PlaylistManager->SongList->OnProgress, this);
    FInitDone = false;
    TfoStatusSection::Done();
}

void TfoQueueList::Tick() {
    UpdateETA();
    tvQueueList->viewport()->update();
}

void TfoQueueList::Refresh() {
    AttachProgress();
    FRows->Clear();
    tvQueueList->SetSongList(FRows);
    TQueueList* q = Queue();
    if (!q) return;
    LoadRows(q->GetList());
}

void TfoQueueList::LoadRows(const IDatasetPtr& Rows) {
    FRows->Clear();
    if (Rows) {
        TProgressHandler progress(static_cast<uint32_t>(std::max(0, Rows->RecordCount())), "Loading...",
                                  [this](int Percent, const std::string& Text) { SetProgress(Percent, Text); });
        tvQueueList->setUpdatesEnabled(false);
        for (Rows->First(); !Rows->Eof(); Rows->Next()) {
            TSongItem& item = FRows->Add();
            item.ListID = static_cast<int32_t>(Rows->GetFieldValue("ID").AsInteger());
            item.SongID = static_cast<int32_t>(Rows->GetFieldValue("songID").AsInteger());
            item.Duration = static_cast<int32_t>(Rows->GetFieldValue("duration").AsInteger());
            item.SortID = Rows->GetFieldValue("sortID").AsFloat();
            item.Caption =
                SongDisplayName(Rows->GetFieldValue("artist").AsString(), Rows->GetFieldValue("title").AsString());
            if (Rows->GetFieldValue("requestID").AsInteger() > 0) item.Caption += " ~requested~";
            progress.StepIt();
        }
        tvQueueList->setUpdatesEnabled(true);
    }
    UpdateETA();
    SetProgress(0, "");
}

void TfoQueueList::UpdateETA() {
    FBase = TimeOfDay() + (Api ? Api->DecksRemainingTime() : 0);
    int64_t total = 0;
    int64_t offset = 0;
    bool missing = false;
    for (int i = 0; i < FRows->Count(); ++i) {
        TSongItem& item = FRows->Items(i);
        item.StartTime = offset;
        if (item.Duration > 0) {
            total += item.Duration;
            offset = (offset + item.Duration) % DayMs;
        } else {
            missing = true;  // adds no time
        }
    }
    tvQueueList->SetSongList(FRows);
    std::string text = std::to_string(FRows->Count()) + " tracks (" + FormatSongTime(1, total) + ")";
    if (missing) text += "+??";
    SetStatusText(QString::fromStdString(text));
}

int64_t TfoQueueList::ETAOfRow(int Row) const {
    if (Row < 0 || Row >= FRows->Count()) return 0;
    return (FRows->Items(Row).StartTime + FBase) % DayMs;
}

void TfoQueueList::QueuePopped(int ID) {
    if (FRows->Count() == 0) return;
    if (FRows->Items(0).ListID == ID) {
        FRows->Delete(0);
        UpdateETA();
    } else {
        Refresh();
    }
}

void TfoQueueList::QueueAdded(const ISongItemListPtr& Songs) {
    if (!Songs) return;
    const int n = Songs->Count();
    if (n == 0) return;
    const bool bottom = FRows->Count() == 0 || !(Songs->Items(0).SortID < FRows->Items(0).SortID);
    FRows->MoveFrom(*Songs, bottom ? ipBottom : ipTop, 0);
    UpdateETA();
    if (!FMenuOpen) {
        if (bottom)
            SelectSongTreeRange(*tvQueueList, FRows->Count() - n, FRows->Count() - 1);
        else
            SelectSongTreeRange(*tvQueueList, 0, n - 1);
    }
    SetProgress(0, "");
}

void TfoQueueList::QueueRowDeleted(int ID) {
    for (int i = 0; i < FRows->Count(); ++i) {
        if (FRows->Items(i).ListID == ID) {
            FRows->Delete(i);
            UpdateETA();
            return;
        }
    }
}

void TfoQueueList::UpdateActions() {
    const bool selected = !tvQueueList->SelectedRows().empty();
    for (QAction* a : {alQueueRemove, alQueueCrop, alSongInfo, alDelete, alDeleteFile}) a->setEnabled(selected);
}

void TfoQueueList::PlayNext() {
    if (Api) Api->PlayNext(IsShiftDown());
}

void TfoQueueList::RowDoubleClicked() {
    if (tvQueueList->FocusedRow() < 0) return;
    MoveSelectedRows(0);
    // The moves are stored in the background; the deck takes the top row straight from the table.
    if (Api) Api->WaitForQueue();
    PlayNext();
}

void TfoQueueList::ChooseNext() {
    if (!Api || !Api->HasQueue()) return;
    if (Api->QueueChosenSong(ChooseTries)) return;  // the queue's OnAdd shows it
    MessageDlg("Kelvar was unable to queue a song after " + std::to_string(ChooseTries) +
                   " tries. This can be caused by incorrect playlist rotation rules or having too few files in your "
                   "media library.",
               TMsgDlgType::Warning, MsgButton::OK, this);
}

void TfoQueueList::AddFiles(const std::vector<std::string>& Names, TInsertPos Pos, int Index) {
    if (!PlaylistManager) return;
    TSongList& songs = *PlaylistManager->SongList;
    SetOwned(songs.OnProgress, this,
             [this](TSongList&, int Percent, const std::string& Text) { SetProgress(Percent, Text); });
    AddSongItems(songs.AddFileList(Names), Pos, Index);
}

void TfoQueueList::AddSongItems(const ISongItemListPtr& Songs, TInsertPos Pos, int Index) {
    if (!Api || !Songs || Songs->Count() == 0) return;
    const int n = Songs->Count();
    double before = 0, after = 0;
    const TInsertPos used = SortIDForDrop(FRows.get(), before, after, Index, Pos);
    AttachProgress();
    // Our own change: the rows are placed here, not by the queue's event.
    OwnChange([&] { Api->QueueSongs(Songs, before, after); });
    FRows->MoveFrom(*Songs, used, Index);
    UpdateETA();
    switch (used) {
        case ipTop: SelectSongTreeRange(*tvQueueList, 0, n - 1); break;
        case ipBottom: SelectSongTreeRange(*tvQueueList, FRows->Count() - n, FRows->Count() - 1); break;
        case ipInsert: SelectSongTreeRange(*tvQueueList, Index, Index + n - 1); break;
    }
    SetProgress(0, "");
}

void TfoQueueList::MoveSelectedRows(int Index) {
    const std::vector<int> selected = tvQueueList->SelectedRows();
    if (!Api || selected.empty()) return;
    double before = 0, after = 0;
    SortIDForDrop(FRows.get(), before, after, Index, ipInsert);
    // Each moved row gets its own even share of the gap: halving the rest for every row runs
    // out of precision after some fifty rows and loses their order.
    const int n = static_cast<int>(selected.size());
    for (int i = 0; i < n; ++i) {
        TSongItem& item = FRows->Items(selected[static_cast<size_t>(i)]);
        const double value = SpreadSortID(before, after, i, n);
        item.SortID = Api->MoveQueueSong(item.ListID, value, value);
    }
    int b = 0, p = Index;
    for (int r : selected) {
        FRows->Move(r + b, r < p ? p - 1 : p);
        if (r + b < p)
            --b;
        else
            ++p;
    }
    UpdateETA();
    SelectSongTreeRange(*tvQueueList, p - n, p - 1);
}

bool TfoQueueList::SongDragOver(const TSongDrop& Drop) const {
    if (Drop.IsFiles) return true;
    return Drop.SourceTag >= 1 && Drop.SourceTag <= 6;
}

void TfoQueueList::SongDragDrop(const TSongDrop& Drop) {
    if (!SongDragOver(Drop)) return;
    const int index = Drop.Index;
    if (Drop.IsFiles) {
        AddFiles(Drop.Files, ipInsert, index);
    } else if (Drop.FromTree(tvQueueList)) {
        MoveSelectedRows(index);
    } else if (Drop.SourceTag != 3 && Drop.Songs) {
        AddSongItems(Drop.Songs, ipInsert, index);
    }
}

void TfoQueueList::AddFilesClick() {
    if (!ExecuteMediaOpenDialog(*OD)) return;
    std::vector<std::string> names;
    for (const QString& file : OD->selectedFiles()) names.push_back(file.toStdString());
    AddFiles(names, ipBottom, 0);
}

void TfoQueueList::AddDirectory() {
    if (!PlaylistManager) return;
    QString folder;
    bool subfolders = true;
    if (!ChooseFolder(folder, subfolders, "Choose directory", false, this)) return;
    TSongList& songs = *PlaylistManager->SongList;
    SetOwned(songs.OnProgress, this,
             [this](TSongList&, int Percent, const std::string& Text) { SetProgress(Percent, Text); });
    AddSongItems(songs.AddFolder(folder.toStdString(), subfolders), ipBottom, 0);
}

void TfoQueueList::AddURL() {
    if (!PlaylistManager) return;
    std::string url, description;
    if (!ExecuteAddURL(url, description)) return;
    AddSongItems(PlaylistManager->SongList->AddFile(url, description), ipBottom, 0);
}

void TfoQueueList::AddPlaylist() {
    if (!ExecutePlaylistOpenDialog(*OD) || OD->selectedFiles().isEmpty()) return;
    std::vector<std::string> entries;
    if (!LoadPlaylistFile(OD->selectedFiles().first().toStdString(), entries))
        throw std::runtime_error("Invalid playlist or unsupported playlist format");
    AddFiles(entries, ipBottom, 0);
}

void TfoQueueList::AddMic() {
    if (!PlaylistManager || !LiveSourceDialogHook) return;
    std::string address = "mic://";
    std::string description = "Live recording";
    if (!LiveSourceDialogHook(address, description)) return;
    AddSongItems(PlaylistManager->SongList->AddFile(address, description), ipBottom, 0);
}

void TfoQueueList::Remove() {
    const std::vector<int> selected = tvQueueList->SelectedRows();
    if (!Api || selected.empty()) return;
    if (static_cast<int>(selected.size()) == FRows->Count() && Clear()) return;
    // Our own deletions: the rows go here, not by the queue's event.
    try {
        OwnChange([&] {
            int k = 0;
            std::vector<int32_t> ids;
            tvQueueList->setUpdatesEnabled(false);
            for (int row : selected) {
                const int at = row - k;
                if (at < 0 || at >= FRows->Count()) continue;
                ids.push_back(FRows->Items(at).ListID);
                FRows->Delete(at);
                ++k;
            }
            // One queued statement: the automation's next pop sees all of it.
            Api->RemoveQueueSongs(ids);
        });
    } catch (...) {
        tvQueueList->setUpdatesEnabled(true);
        throw;
    }
    tvQueueList->setUpdatesEnabled(true);
    UpdateETA();
    ClearSongTreeState(*tvQueueList);
}

void TfoQueueList::Crop() {
    if (!Api) return;
    const std::vector<int> selected = tvQueueList->SelectedRows();
    OwnChange([&] {
        size_t next = 0;
        int i = 0, k = 0;
        std::vector<int32_t> ids;
        while (i < FRows->Count()) {
            if (next < selected.size() && selected[next] == i + k) {
                ++i;
                ++next;
                continue;
            }
            ids.push_back(FRows->Items(i).ListID);
            FRows->Delete(i);
            ++k;
        }
        Api->RemoveQueueSongs(ids);
    });
    UpdateETA();
    SelectAllSongTree(*tvQueueList);
}

bool TfoQueueList::Clear() {
    if (!Api) return false;
    OwnChange([&] { Api->ClearQueue(); });
    FRows->Clear();
    UpdateETA();
    return true;
}

void TfoQueueList::RemoveDuplicates() {
    if (!Api) return;
    const int removed = Api->RemoveQueueDuplicates();
    Refresh();
    MessageDlg(std::to_string(removed) + " duplicate tracks removed from queue.", TMsgDlgType::Information,
               MsgButton::OK, this);
}

void TfoQueueList::DeleteSelected(bool EraseFiles) {
    if (!PlaylistManager) return;
    const std::vector<int> selected = tvQueueList->SelectedRows();
    if (selected.empty()) return;
    const char* question =
        EraseFiles ? "WARNING: Are you sure you want to delete the selected songs completely from your harddisk?"
                   : "Are you sure you want to delete the selected songs completely from the Media Library and ALL "
                     "categories?";
    if (MessageDlg(question, TMsgDlgType::Warning, MsgButton::Yes | MsgButton::Cancel, this) != MsgButton::Yes) return;
    int k = 0;
    for (int row : selected) {
        const int at = row - k;
        if (at < 0 || at >= FRows->Count()) continue;
        const int32_t songID = FRows->Items(at).SongID;
        if (EraseFiles)
            PlaylistManager->SongList->EraseSong(songID);
        else
            PlaylistManager->SongList->DeleteSong(songID);
        FRows->Delete(at);
        ++k;
    }
    UpdateETA();
    ClearSongTreeState(*tvQueueList);
}

void TfoQueueList::Shuffle() {
    if (Api) Api->ShuffleQueue();  // OnChange reloads the list
}

void TfoQueueList::Save() {
    std::string fileName;
    if (!ExecuteM3USaveDialog(fileName, "Save queue")) return;
    IDatasetPtr rows = OpenQueuedSongs();
    if (!SaveM3U(fileName, rows))
        MessageDlg("Error while trying to save queue.", TMsgDlgType::Error, MsgButton::OK, this);
}

void TfoQueueList::Search(const QString& Text) { OpenSearchWindow(PlaylistManager, Text); }

void TfoQueueList::SongInfo() {
    ISongItemListPtr rows;
    GetSelectedSongItems(*tvQueueList, rows);
    if (rows && rows->Count() > 0 && ShowSongInfo) ShowSongInfo(SongInfoIDs(*rows));
}

TwiQueuelist::TwiQueuelist() : TWindowItem("Queuelist", "Queue", true) {}

TwiQueuelist::~TwiQueuelist() {
    if (FFrame && GuiHeartBeat) GuiHeartBeat->Remove(this, TickCode);
}

void TwiQueuelist::Activate() {
    TWindowItem::Activate();
    FFrame = std::make_unique<TfoQueueList>();
    FFrame->Api = ProgramKelvarApi();
    if (FFrame->Api) FFrame->PlaylistManager = FFrame->Api->PlaylistManager();
    FFrame->Init();
    if (GuiHeartBeat)
        GuiHeartBeat->Add(1000, this, TickCode, [this](THeartBeat&) {
            if (FFrame) FFrame->Tick();
        });
}

void TwiQueuelist::Deactivate() {
    if (GuiHeartBeat) GuiHeartBeat->Remove(this, TickCode);
    if (FFrame) {
        FFrame->Done();
        FFrame->PlaylistManager.reset();
        FFrame->Api = nullptr;
    }
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiQueuelist::GetFrame() { return FFrame.get(); }

}  // namespace kelvar
