// The library window's track list: adding, removing, moving, sorting, queueing and saving the
// tracks of the selected category.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>

#include "controls/BrowseForFolder.h"
#include "core/playlist/CategoryTree.h"
#include "core/playlist/PlaylistLoader_imp.h"
#include "core/playlist/PlaylistManager.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/library/unPlaylist.h"
#include "gui/library/unSearch.h"
#include "gui/lists/PlaylistDialogs.h"
#include "gui/lists/SongInfoHook.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unAddURL.h"
#include "gui/lists/unGUIFunc.h"

namespace kelvar {

void TfoPlaylist::UpdateSummary() {
    const ISongItemListPtr list = tvSongList->SongList();
    if (!list) {
        lbSummary->clear();
        return;
    }
    list->Recalc();
    tvSongList->SetSongList(list);
    std::string text =
        std::to_string(list->Count()) + " tracks (" + FormatSongTime(1, int64_t{list->TotalDuration()} * 1000) + ")";
    if (list->HasUnknownDuration()) text += "+??";
    lbSummary->setText(QString::fromStdString(text));
}

void TfoPlaylist::UpdateSongActions() {
    TCustomCategory* c = SelectedCategory();
    const bool selected = !tvSongList->SelectedRows().empty();
    alSongInfo->setEnabled(tvSongList->FocusedRow() >= 0);
    alQueueBottom->setEnabled(selected);
    alQueueTop->setEnabled(selected);
    const bool remove = CategoryHasCapability(c, CategoryCapability::Remove);
    for (QAction* a : {alSongRemove, alSongCrop, alSongClear}) a->setEnabled(selected && remove);
    alSongRemoveDup->setEnabled(remove);
    for (QAction* a : {alSongAddFiles, alSongAddDir, alSongAddURL, alSongAddPlaylist})
        a->setEnabled(CategoryHasCapability(c, CategoryCapability::AddSongs));
    const bool sort = CategoryHasCapability(c, CategoryCapability::Sort);
    for (QAction* a : SortActions) a->setEnabled(sort);
    alSongShuffle->setEnabled(sort);
}

// --- adding ----------------------------------------------------------------------------------

void TfoPlaylist::AddFiles(const std::vector<std::string>& Names, TInsertPos Pos, int Index) {
    if (!PlaylistManager) return;
    TSongList& songs = *PlaylistManager->SongList;
    songs.OnProgress = [this](TSongList&, int Percent, const std::string& Text) { SetProgress(Percent, Text); };
    ISongItemListPtr added;
    try {
        added = songs.AddFileList(Names);
    } catch (...) {
        songs.OnProgress = nullptr;
        DropCategory = nullptr;
        SetProgress(0, "");
        throw;
    }
    songs.OnProgress = nullptr;
    AddSongItems(added, Pos, Index);
}

void TfoPlaylist::AddSongItems(const ISongItemListPtr& Songs, TInsertPos Pos, int Index) {
    TCustomCategory* shown = SelectedCategory();
    TCustomCategory* target = DropCategory ? DropCategory : shown;
    DropCategory = nullptr;
    if (!target || !Songs || Songs->Count() == 0) {
        SetProgress(0, "");
        return;
    }
    const int n = Songs->Count();
    const ISongItemListPtr list = tvSongList->SongList();
    const bool intoShown = target == shown && list != nullptr;
    double before = 0, after = 0;
    TInsertPos used = ipBottom;
    // The bounds come from the shown list only when the rows go there; another category takes
    // them after its own last row.
    if (intoShown) used = SortIDForDrop(list.get(), before, after, Index, Pos);
    target->OnProgress = [this](TCustomCategory&, int Percent, const std::string& Text) { SetProgress(Percent, Text); };
    try {
        target->AddSongs(*Songs, before, after);
    } catch (...) {
        target->OnProgress = nullptr;
        SetProgress(0, "");
        throw;
    }
    target->OnProgress = nullptr;
    if (intoShown) {
        list->MoveFrom(*Songs, used, Index);
        UpdateSummary();
        switch (used) {
            case ipTop: SelectSongTreeRange(*tvSongList, 0, n - 1); break;
            case ipBottom: SelectSongTreeRange(*tvSongList, list->Count() - n, list->Count() - 1); break;
            case ipInsert: SelectSongTreeRange(*tvSongList, Index, Index + n - 1); break;
        }
    }
    SetProgress(0, "");
}

void TfoPlaylist::SongAddFiles() {
    if (!ExecuteMediaOpenDialog(*OD)) return;
    std::vector<std::string> names;
    for (const QString& file : OD->selectedFiles()) names.push_back(file.toStdString());
    AddFiles(names, ipBottom, 0);
}

void TfoPlaylist::SongAddDir() {
    if (!PlaylistManager || !SelectedCategory()) return;
    QString folder;
    bool subfolders = true;
    if (!ChooseFolder(folder, subfolders, "Choose directory", false, this)) return;
    TSongList& songs = *PlaylistManager->SongList;
    songs.OnProgress = [this](TSongList&, int Percent, const std::string& Text) { SetProgress(Percent, Text); };
    ISongItemListPtr added;
    try {
        added = songs.AddFolder(folder.toStdString(), subfolders);
    } catch (...) {
        songs.OnProgress = nullptr;
        SetProgress(0, "");
        throw;
    }
    songs.OnProgress = nullptr;
    if (added) AddSongItems(added, ipBottom, 0);
}

void TfoPlaylist::SongAddURL() {
    if (!PlaylistManager || !SelectedCategory()) return;
    std::string url, description;
    if (!ExecuteAddURL(url, description)) return;
    TSongList& songs = *PlaylistManager->SongList;
    songs.OnProgress = [this](TSongList&, int Percent, const std::string& Text) { SetProgress(Percent, Text); };
    ISongItemListPtr added;
    try {
        added = songs.AddFile(url, description);
    } catch (...) {
        songs.OnProgress = nullptr;
        throw;
    }
    songs.OnProgress = nullptr;
    AddSongItems(added, ipBottom, 0);
}

void TfoPlaylist::SongAddPlaylist() {
    if (!ExecutePlaylistOpenDialog(*OD) || OD->selectedFiles().isEmpty()) return;
    std::vector<std::string> entries;
    if (!LoadPlaylistFile(OD->selectedFiles().first().toStdString(), entries))
        throw std::runtime_error("Invalid playlist or unsupported playlist format");
    AddFiles(entries, ipBottom, 0);
}

// --- removing --------------------------------------------------------------------------------

void TfoPlaylist::SongRemove() {
    TCustomCategory* c = SelectedCategory();
    const ISongItemListPtr list = tvSongList->SongList();
    const std::vector<int> selected = tvSongList->SelectedRows();
    if (!c || !list || selected.empty()) return;
    if (static_cast<int>(selected.size()) == list->Count()) {
        SongClear();
        return;
    }
    TIntegerList listIDs, songIDs;
    int removed = 0;
    tvSongList->setUpdatesEnabled(false);
    for (int row : selected) {
        const int at = row - removed;
        if (at < 0 || at >= list->Count()) continue;
        listIDs.Add(list->Items(at).ListID);
        songIDs.Add(list->Items(at).SongID);
        list->Delete(at);
        ++removed;
    }
    tvSongList->setUpdatesEnabled(true);
    c->RemoveSongs(listIDs, songIDs);
    UpdateSummary();
    ClearSongTreeState(*tvSongList);
}

void TfoPlaylist::SongCrop() {
    TCustomCategory* c = SelectedCategory();
    const ISongItemListPtr list = tvSongList->SongList();
    const std::vector<int> selected = tvSongList->SelectedRows();
    if (!c || !list) return;
    TIntegerList listIDs, songIDs;
    size_t next = 0;
    int i = 0, k = 0;
    while (i < list->Count()) {
        if (next < selected.size() && selected[next] == i + k) {
            ++i;
            ++next;
            continue;
        }
        listIDs.Add(list->Items(i).ListID);
        songIDs.Add(list->Items(i).SongID);
        list->Delete(i);
        ++k;
    }
    c->RemoveSongs(listIDs, songIDs);
    UpdateSummary();
    SelectAllSongTree(*tvSongList);
}

void TfoPlaylist::SongClear() {
    TCustomCategory* c = SelectedCategory();
    if (!c) return;
    c->ClearSongs();
    if (const ISongItemListPtr list = tvSongList->SongList()) list->Clear();
    UpdateSummary();
}

void TfoPlaylist::SongRemoveDup() {
    TCustomCategory* c = SelectedCategory();
    if (!c) return;
    const int removed = c->RemoveDuplicates();
    CategoryLoadSongs(*c, true);
    MessageDlg(std::to_string(removed) + " duplicate tracks removed from category.", TMsgDlgType::Information,
               MsgButton::OK, this);
}

void TfoPlaylist::SongDelete(bool EraseFiles) {
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
        if (EraseFiles) PlaylistManager->SongList->EraseSong(songID);
        songIDs.Add(songID);
        list->Delete(at);
        ++removed;
    }
    if (!EraseFiles) PlaylistManager->SongList->DeleteSongs(songIDs);
    UpdateSummary();
    ClearSongTreeState(*tvSongList);
}

// --- order -----------------------------------------------------------------------------------

void TfoPlaylist::MoveSelectedRows(int Index) {
    TCustomCategory* c = SelectedCategory();
    const ISongItemListPtr list = tvSongList->SongList();
    const std::vector<int> selected = tvSongList->SelectedRows();
    if (!c || !list || selected.empty()) return;
    double before = 0, after = 0;
    SortIDForDrop(list.get(), before, after, Index, ipInsert);
    // Each moved row gets its own even share of the gap: halving the rest for every row would
    // run out of precision after some fifty rows and lose their order.
    const int n = static_cast<int>(selected.size());
    for (int i = 0; i < n; ++i) {
        TSongItem& item = list->Items(selected[static_cast<size_t>(i)]);
        const double value = SpreadSortID(before, after, i, n);
        item.SortID = c->MoveSong(item.ListID, value, value);
    }
    int b = 0, p = Index;
    for (int r : selected) {
        list->Move(r + b, r < p ? p - 1 : p);
        if (r + b < p)
            --b;
        else
            ++p;
    }
    tvSongList->SetSongList(list);
    SelectSongTreeRange(*tvSongList, p - n, p - 1);
}

bool TfoPlaylist::SongDragOver(const TSongDrop& Drop) {
    TCustomCategory* c = SelectedCategory();
    if (!CategoryHasCapability(c, CategoryCapability::AddSongs)) return false;
    if (Drop.FromTree(tvSongList)) return CategoryHasCapability(c, CategoryCapability::Sort);
    if (Drop.IsFiles) return true;
    return Drop.SourceTag >= 1 && Drop.SourceTag <= 5;
}

void TfoPlaylist::SongDragDrop(const TSongDrop& Drop) {
    if (!SongDragOver(Drop)) return;
    const int index = Drop.Index;
    if (Drop.FromTree(tvSongList)) {
        MoveSelectedRows(index);
        return;
    }
    if (!Drop.IsFiles && Drop.SourceTag == 1) return;  // another library list
    DropCategory = SelectedCategory();
    if (Drop.IsFiles)
        AddFiles(Drop.Files, ipInsert, index);
    else
        AddSongItems(Drop.Songs, ipInsert, index);
}

void TfoPlaylist::SongShuffle() {
    TCustomCategory* c = SelectedCategory();
    if (!c) return;
    c->OnProgress = [this](TCustomCategory&, int Percent, const std::string& Text) { SetProgress(Percent, Text); };
    c->Shuffle();
    c->OnProgress = nullptr;
    CategoryLoadSongs(*c, true);
}

void TfoPlaylist::SongSort(const std::string& Fields) {
    TCustomCategory* c = SelectedCategory();
    if (!c) return;
    c->OnProgress = [this](TCustomCategory&, int Percent, const std::string& Text) { SetProgress(Percent, Text); };
    c->Sort(Fields, true);
    c->OnProgress = nullptr;
    CategoryLoadSongs(*c, true);
}

// --- other actions ---------------------------------------------------------------------------

void TfoPlaylist::QueueSelected(bool Top) {
    if (!PlaylistManager) return;
    ISongItemListPtr rows;
    GetSelectedSongItems(*tvSongList, rows);
    if (rows->Count() == 0) return;
    PlaylistManager->Queue->AddSongs(rows, 0, 0, Top ? -1.0 : 0);
}

void TfoPlaylist::SongSaveList() {
    TCustomCategory* c = SelectedCategory();
    if (!c) return;
    std::string fileName;
    if (!ExecuteM3USaveDialog(fileName, "Save playlist category")) return;
    std::string sql;
    TVariantArray params;
    if (!c->GetSongListSQL(sql, params, " ,filename ")) {
        MessageDlg("Error while trying to get needed SQL commands for songlist.", TMsgDlgType::Error, MsgButton::OK,
                   this);
        return;
    }
    if (!SaveM3U(fileName, PoolQuery(sql, params, true)))
        MessageDlg("Error while trying to save category.", TMsgDlgType::Error, MsgButton::OK, this);
}

void TfoPlaylist::SongRefresh() {
    TCustomCategory* c = SelectedCategory();
    if (!c) return;
    SetBusy(true);
    tvSongList->SetSongList(nullptr);
    CategoryLoadSongs(*c, true);
}

void TfoPlaylist::SongSearch(const QString& Text) { OpenSearchWindow(PlaylistManager, Text); }

void TfoPlaylist::SongInfo() {
    ISongItemListPtr rows;
    GetSelectedSongItems(*tvSongList, rows);
    if (rows->Count() > 0 && ShowSongInfo) ShowSongInfo(SongInfoIDs(*rows));
}

}  // namespace kelvar
