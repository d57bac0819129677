#include "gui/onair/unHistoryList.h"

#include <QAction>
#include <QMenu>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "core/KelvarApi.h"
#include "core/playlist/PlaylistManager.h"
#include "core/playlist/PlaylistUtils.h"
#include "core/playlist/ProgressHandler.h"
#include "foundation/Logger.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/library/unSearch.h"
#include "gui/lists/SongInfoHook.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unGUIFunc.h"
#include "gui/onair/SongListHelpers.h"

namespace kelvar {

TfoHistoryList::TfoHistoryList(QWidget* Parent) : TfoStatusSection(Parent) {
    auto* body = new QVBoxLayout(pClient);
    body->setContentsMargins(0, 0, 0, 0);
    tvHistorylist = new TVirtualSongTree(pClient);
    tvHistorylist->setObjectName("tvHistorylist");
    SetupClockSongTree(*tvHistorylist, "Time", 154);
    tvHistorylist->setItemDelegateForColumn(0, new TTimeColumnDelegate(tvHistorylist, [this](int Row) {
                                                return Row >= 0 && Row < FRows->Count() ? FRows->Items(Row).StartTime
                                                                                        : 0;
                                            }));
    tvHistorylist->setContextMenuPolicy(Qt::CustomContextMenu);
    body->addWidget(tvHistorylist, 1);
    FRows = NewSongItemList();

    auto make = [this](const char* Caption, const char* Keys = nullptr) {
        auto* a = new QAction(Caption, this);
        if (Keys) {
            a->setShortcut(QKeySequence(Keys));
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        addAction(a);
        return a;
    };
    alQueueBottom = make("Queue Bottom", "Return");
    alQueueTop = make("Queue Top", "Ctrl+Return");
    alSearch = make("Search", "Ctrl+F");
    alRefresh = make("Refresh", "F10");
    alSongInfo = make("Song Info", "Alt+3");
    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction(alQueueBottom);
    PopupMenu1->setDefaultAction(alQueueBottom);
    PopupMenu1->addAction(alQueueTop);
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({alSearch, alRefresh});
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(alSongInfo);
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
    auto on = [this](QAction* Action, std::function<void()> Run) {
        connect(Action, &QAction::triggered, this, [this, Run] { RunAction(Run); });
    };
    on(alQueueBottom, [this] { QueueSelected(false); });
    on(alQueueTop, [this] { QueueSelected(true); });
    on(alSearch, [this] { Search(QString()); });
    on(alRefresh, [this] { Refresh(); });
    on(alSongInfo, [this] { SongInfo(); });
    connect(tvHistorylist, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& At) { PopupMenu1->popup(tvHistorylist->viewport()->mapToGlobal(At)); });
    // Rows can be dragged from here; nothing is dropped here.
    tvHistorylist->OnDragOver = [](const TSongDrop&) { return false; };
    tvHistorylist->OnTypedKey = [this](const QString& Text) { RunAction([&] { Search(Text); }); };
    tvHistorylist->OnRowDoubleClick = [this](int) { RunAction([this] { QueueSelected(false); }); };
    resize(300, 300);
}

TfoHistoryList::~TfoHistoryList() {
    if (FInitDone) Done();
}

void TfoHistoryList::RunAction(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const std::exception& e) {
        LogMessage(std::string("Unhandled exception (") + e.what() + ")", "GUI", LogKind::Exception);
        MessageDlg(e.what(), TMsgDlgType::Warning, MsgButton::OK, this);
    } catch (...) {
        LogMessage("Unhandled exception (unknown)", "GUI", LogKind::Exception);
    }
}

void TfoHistoryList::SetProgress(int Percent, const std::string& Text) {
    TfoStatusSection::SetProgress(static_cast<uint8_t>(std::clamp(Percent, 0, 100)), QString::fromStdString(Text));
}

int TfoHistoryList::RowLimit() const { return Api ? Api->HistoryLimit() : 200; }

void TfoHistoryList::Init() {
    TfoStatusSection::Init();
    SetCaption("History");
    tvHistorylist->SetTag(4);
    FRows = NewSongItemList();
    tvHistorylist->SetSongList(FRows);
    FInitDone = true;
    Refresh();
    if (Api)
        FHistoryLink = Api->ListenHistory([this](const TSongItem& Item) { RunAction([&] { HistoryAdded(Item); }); });
}

void TfoHistoryList::Done() {
    FHistoryLink.Reset();
    FInitDone = false;
    TfoStatusSection::Done();
}

void TfoHistoryList::Refresh() {
    if (!Api || !Api->HasQueue()) return;
    LoadRows(Api->HistorySnapshot());
}

void TfoHistoryList::LoadRows(const ISongItemListPtr& Rows) {
    FRows->Clear();
    if (Rows) {
        TProgressHandler progress(static_cast<uint32_t>(Rows->Count()), "Loading...",
                                  [this](int Percent, const std::string& Text) { SetProgress(Percent, Text); });
        for (int i = 0; i < Rows->Count(); ++i) {
            FRows->Add() = Rows->Items(i);
            progress.StepIt();
        }
    }
    TrimAndSummarize();
    SetProgress(0, "");
}

void TfoHistoryList::HistoryAdded(const TSongItem& Item) {
    FRows->Insert(0) = Item;
    TrimAndSummarize();
}

void TfoHistoryList::TrimAndSummarize() {
    const int limit = RowLimit();
    while (FRows->Count() > limit) FRows->Delete(FRows->Count() - 1);
    int64_t total = 0;
    bool missing = false;
    for (int i = 0; i < FRows->Count(); ++i) {
        const int32_t d = FRows->Items(i).Duration;
        if (d > 0)
            total += d;
        else
            missing = true;
    }
    tvHistorylist->SetSongList(FRows);
    std::string text = std::to_string(FRows->Count()) + " tracks (" + FormatSongTime(1, total) + ")";
    if (missing) text += "+??";
    SetStatusText(QString::fromStdString(text));
}

void TfoHistoryList::UpdateActions() {
    const bool selected = !tvHistorylist->SelectedRows().empty();
    for (QAction* a : {alQueueBottom, alQueueTop, alSongInfo}) a->setEnabled(selected);
}

void TfoHistoryList::QueueSelected(bool Top) {
    if (!Api) return;
    ISongItemListPtr rows;
    GetSelectedSongItems(*tvHistorylist, rows);
    if (!rows || rows->Count() == 0) return;
    Api->QueueSongs(rows, 0, Top ? -1.0 : 0);
}

void TfoHistoryList::Search(const QString& Text) { OpenSearchWindow(PlaylistManager, Text); }

void TfoHistoryList::SongInfo() {
    ISongItemListPtr rows;
    GetSelectedSongItems(*tvHistorylist, rows);
    if (rows && rows->Count() > 0 && ShowSongInfo) ShowSongInfo(SongInfoIDs(*rows));
}

TwiHistorylist::TwiHistorylist() : TWindowItem("Historylist", "History", true) {}

TwiHistorylist::~TwiHistorylist() {
    if (FFrame) FFrame->Done();
}

void TwiHistorylist::Activate() {
    TWindowItem::Activate();
    FFrame = std::make_unique<TfoHistoryList>();
    FFrame->Api = ProgramKelvarApi();
    if (FFrame->Api) FFrame->PlaylistManager = FFrame->Api->PlaylistManager();
    FFrame->Init();
}

void TwiHistorylist::Deactivate() {
    if (FFrame) {
        FFrame->Done();
        FFrame->PlaylistManager.reset();
        FFrame->Api = nullptr;
    }
    FFrame.reset();
    TWindowItem::Deactivate();
}

QWidget* TwiHistorylist::GetFrame() { return FFrame.get(); }

}  // namespace kelvar
