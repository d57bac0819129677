#include "gui/songinfo/unSongInfo.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "core/playlist/SongRows.h"
#include "foundation/MiscFunc.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unGUIFunc.h"
#include "gui/plugins/funOKCancel.h"
#include "gui/songinfo/funSongInfo.h"
#include "gui/songinfo/unSongApplyList.h"

namespace kelvar {

TfoSongInfo::TfoSongInfo(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Song information editor");
    setModal(true);
    SetFormTag(this, 2);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    lvSong = new QListWidget(this);
    lvSong->setObjectName("lvSong");
    lvSong->setFixedWidth(ListWidth);
    lvSong->hide();
    row->addWidget(lvSong);
    frmSongInfo1 = new TfrmSongInfo(this);
    row->addWidget(frmSongInfo1, 1);
    column->addLayout(row, 1);
    frmOKCancel = new TfrmOKCancel(this);
    column->addWidget(frmOKCancel);
    resize(ClientWidth, 560);
    connect(lvSong, &QListWidget::itemClicked, this, [this] { lvSongClick(); });
}

TfoSongInfo::~TfoSongInfo() { Done(); }

void TfoSongInfo::Init(const IDatasetPtr& Data) {
    FData = Data;
    LoadList(*Data);
    frmSongInfo1->SetDataset(Data);
    frmSongInfo1->Init();
}

void TfoSongInfo::LoadList(IDataset& Data) {
    const QSignalBlocker quiet(lvSong);
    lvSong->clear();
    Data.First();
    while (!Data.Eof()) {
        auto* item = new QListWidgetItem(
            QString::fromStdString(JoinArtistTitleTrimmed(Data.GetValue("artist"), Data.GetValue("title"))), lvSong);
        item->setData(Qt::UserRole, static_cast<qlonglong>(Data.GetFieldValue("ID").AsInteger()));
        Data.Next();
    }
    const bool several = lvSong->count() >= 2;
    lvSong->setVisible(several);
    resize(ClientWidth + (several ? ListWidth : 0), height());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Data.First();
    if (lvSong->count() > 0) lvSong->setCurrentRow(0);
}

void TfoSongInfo::lvSongClick() {
    QListWidgetItem* item = lvSong->currentItem();
    if (!item || !FData) return;
    try {
        frmSongInfo1->SaveSettings();
        if (IsEditing(*FData)) FData->Post();
        FData->Locate("ID", static_cast<int64_t>(item->data(Qt::UserRole).toLongLong()), loCaseInsensitive);
        frmSongInfo1->Reload();
    } catch (const std::exception& e) {
        MessageDlg(e.what(), TMsgDlgType::Error, MsgButton::OK, this);
    }
}

void TfoSongInfo::done(int Result) {
    if (FData) {
        if (GetFormTag(this) == 1) {
            try {
                frmSongInfo1->SaveSettings();
                if (IsEditing(*FData)) FData->Post();
            } catch (const std::exception& e) {
                // The row stays in edit and the dialog open.
                MessageDlg(e.what(), TMsgDlgType::Error, MsgButton::OK, this);
                SetFormTag(this, 0);
                return;
            }
        } else if (IsEditing(*FData)) {
            FData->Cancel();
        }
    }
    QDialog::done(Result);
}

void TfoSongInfo::Done() {
    frmSongInfo1->Done();
    FData.reset();
}

bool EditSelectedSongs(const TVirtualSongTree& Tree) {
    ISongItemListPtr selected;
    GetSelectedSongItems(Tree, selected);
    const int count = std::min(selected ? selected->Count() : 0, MaxEditedSongs);
    std::vector<int> ids(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) ids[static_cast<size_t>(count - 1 - i)] = selected->Items(i).SongID;
    return EditSongIDs(ids);
}

bool EditSongIDs(const std::vector<int>& IDs) {
    IDatasetPtr data = OpenSongsForEdit(IDs);
    if (!data) return false;
    const bool result = EditSongs(data);
    data->Close();
    return result;
}

bool EditSongs(const IDatasetPtr& Data) {
    if (!Data || (Data->Eof() && Data->Bof())) return false;
    TfoSongInfo dialog;
    dialog.Init(Data);
    ExecModal(dialog);
    const bool result = GetFormTag(&dialog) == 1;
    dialog.Done();
    return result;
}

}  // namespace kelvar
