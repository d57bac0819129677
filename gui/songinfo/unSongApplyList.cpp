#include "gui/songinfo/unSongApplyList.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/FxFancyButton.h"
#include "core/playlist/SongRows.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "gui/engine/GUIcommon.h"
#include "gui/engine/GuiDialogs.h"
#include "gui/plugins/funOKCancel.h"

namespace kelvar {

const char* const ExcludedApplyFields =
    ",ID,songID,filename,diskID,flags,status,balance,date_added,feeagency,date_played,date_artist_played,title,"
    "duration,trackno,count_played,count_requested,last_requested,count_performances,xfade,";

bool IsExcludedApplyField(const std::string& Name) {
    return UpperAscii(ExcludedApplyFields).find(UpperAscii("," + Name + ",")) != std::string::npos;
}

bool IsEditing(IDataset& Data) { return Data.IsEditing(); }

namespace {

constexpr int SongIDRole = Qt::UserRole + 1;

QString Text(const std::string& Value) { return QString::fromStdString(Value); }

}  // namespace

TfoSongApplyList::TfoSongApplyList(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Apply changes to list of tracks");
    setWindowFlag(Qt::Tool);
    setModal(true);
    SetFormTag(this, 2);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    pcApply = new QTabWidget(this);
    column->addWidget(pcApply, 1);

    auto* songsPage = new QWidget();
    auto* songsColumn = new QVBoxLayout(songsPage);
    lvSonglist = new QTreeWidget(songsPage);
    lvSonglist->setObjectName("lvSonglist");
    lvSonglist->setRootIsDecorated(false);
    lvSonglist->setColumnCount(5);
    lvSonglist->setHeaderLabels({"", "No.", "Artist", "Title", "Album"});
    lvSonglist->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    lvSonglist->setColumnWidth(0, 24);
    lvSonglist->setColumnWidth(1, 40);
    lvSonglist->setColumnWidth(2, 150);
    lvSonglist->setColumnWidth(3, 170);
    songsColumn->addWidget(lvSonglist, 1);
    auto* buttons = new QHBoxLayout();
    btSelectAll = new QPushButton("Select All", songsPage);
    btSelectNone = new QPushButton("Select None", songsPage);
    buttons->addWidget(btSelectAll);
    buttons->addWidget(btSelectNone);
    buttons->addStretch(1);
    songsColumn->addLayout(buttons);
    pcApply->addTab(songsPage, "Apply only to selected tracks");

    auto* fieldsPage = new QWidget();
    auto* fieldsColumn = new QVBoxLayout(fieldsPage);
    fieldsColumn->addWidget(new QLabel("Apply these fields", fieldsPage));
    eFieldList = new QListWidget(fieldsPage);
    eFieldList->setObjectName("eFieldList");
    // Three columns of check boxes, filled top to bottom.
    eFieldList->setFlow(QListView::TopToBottom);
    eFieldList->setWrapping(true);
    eFieldList->setResizeMode(QListView::Adjust);
    eFieldList->setGridSize(QSize(150, 20));
    fieldsColumn->addWidget(eFieldList, 1);
    eApplyToEmpty = new QCheckBox("Apply data to field ONLY if field is empty", fieldsPage);
    eApplyToEmpty->setChecked(true);
    fieldsColumn->addWidget(eApplyToEmpty);
    pcApply->addTab(fieldsPage, "Advanced options");

    frmOKCancel = new TfrmOKCancel(this);
    frmOKCancel->btOK->SetCaption("Apply");
    column->addWidget(frmOKCancel);

    connect(btSelectAll, &QPushButton::clicked, this, [this] { CheckAll(true); });
    connect(btSelectNone, &QPushButton::clicked, this, [this] { CheckAll(false); });

    resize(520, 380);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfoSongApplyList::showEvent(QShowEvent* Event) {
    pcApply->setCurrentIndex(0);
    QDialog::showEvent(Event);
}

void TfoSongApplyList::Fill(IDataset& Data) {
    eFieldList->clear();
    for (const std::string& name : Data.FieldNames()) {
        if (IsExcludedApplyField(name)) continue;
        auto* item = new QListWidgetItem(Text(name), eFieldList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    lvSonglist->clear();
    Data.First();
    while (!Data.Eof()) {
        auto* item = new QTreeWidgetItem(lvSonglist);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
        item->setText(1, Text(Data.GetValue("trackno")));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(2, Text(Data.GetValue("artist")));
        item->setText(3, Text(Data.GetValue("title")));
        item->setText(4, Text(Data.GetValue("album")));
        item->setData(0, SongIDRole, static_cast<qlonglong>(Data.GetFieldValue("songID").AsInteger()));
        Data.Next();
    }
}

void TfoSongApplyList::LoadSettings(const IConfigDoc& Doc) {
    eApplyToEmpty->setChecked(Doc.ReadBool("ApplyToEmpty", eApplyToEmpty->isChecked()));
    // Sections are only reached through a mutable document; the reads change nothing.
    auto fields = const_cast<IConfigDoc&>(Doc).Section("ApplyFields");
    for (int i = 0; i < eFieldList->count(); ++i) {
        QListWidgetItem* item = eFieldList->item(i);
        item->setCheckState(fields->ReadBool(item->text().toStdString(), true) ? Qt::Checked : Qt::Unchecked);
    }
}

void TfoSongApplyList::SaveSettings(IConfigDoc& Doc) const {
    Doc.WriteBool("ApplyToEmpty", eApplyToEmpty->isChecked());
    auto fields = Doc.Section("ApplyFields");
    for (int i = 0; i < eFieldList->count(); ++i) {
        const QListWidgetItem* item = eFieldList->item(i);
        fields->WriteBool(item->text().toStdString(), item->checkState() == Qt::Checked);
    }
}

std::vector<int> TfoSongApplyList::GetCheckedIDs() const {
    std::vector<int> ids;
    for (int i = 0; i < lvSonglist->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvSonglist->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked) ids.push_back(item->data(0, SongIDRole).toInt());
    }
    return ids;
}

void TfoSongApplyList::GetCheckedFields(std::vector<std::string>& List) const {
    List.clear();
    for (int i = 0; i < eFieldList->count(); ++i) {
        const QListWidgetItem* item = eFieldList->item(i);
        if (item->checkState() == Qt::Checked) List.push_back(item->text().toStdString());
    }
}

void TfoSongApplyList::CheckAll(bool Checked) {
    for (int i = 0; i < lvSonglist->topLevelItemCount(); ++i)
        lvSonglist->topLevelItem(i)->setCheckState(0, Checked ? Qt::Checked : Qt::Unchecked);
}

bool ApplyListDialog(IDataset& Data, std::vector<int>& IDs, std::vector<std::string>& Fields, bool& ToEmpty) {
    IDs.clear();
    TfoSongApplyList dialog;
    dialog.Fill(Data);
    IConfigDocPtr section = GuiConfig ? GuiConfig->Section("AlbumApply") : nullptr;
    if (section) dialog.LoadSettings(*section);
    ExecModal(dialog);
    if (GetFormTag(&dialog) != 1) return false;
    IDs = dialog.GetCheckedIDs();
    dialog.GetCheckedFields(Fields);
    ToEmpty = dialog.eApplyToEmpty->isChecked();
    if (section) dialog.SaveSettings(*section);
    return true;
}

void ApplyToAlbum(IDataset& Edited) {
    const std::string album = Edited.GetValue("album");
    if (album.empty()) {
        MessageDlg("Album name empty. Unable to apply...", TMsgDlgType::Information, MsgButton::OK);
        return;
    }
    if (IsEditing(Edited)) Edited.Post();
    IDatasetPtr targets = OpenAlbumTracks(album, Edited.GetFieldValue("ID"));
    std::vector<int> ids;
    std::vector<std::string> fields;
    bool toEmpty = true;
    if (!ApplyListDialog(*targets, ids, fields, toEmpty)) return;
    const int count = ApplyFields(Edited, *targets, ids, toEmpty, fields);
    MessageDlg("Information applied to " + std::to_string(count) + " tracks", TMsgDlgType::Information, MsgButton::OK);
}

}  // namespace kelvar
