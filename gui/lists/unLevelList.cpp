#include "gui/lists/unLevelList.h"

#include <QHeaderView>
#include <QVBoxLayout>

#include "core/playlist/LevelCategories.h"
#include "gui/lists/unGUIFunc.h"

namespace kelvar {

void TLevelListModel::setLevelList(ILevelItemListPtr List) {
    beginResetModel();
    FList = std::move(List);
    endResetModel();
}

int TLevelListModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() || !FList ? 0 : FList->Count();
}

int TLevelListModel::columnCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : 1; }

QVariant TLevelListModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || !FList || Index.row() >= FList->Count() || Index.column() != 0) return {};
    if (Role != Qt::DisplayRole) return {};
    return QString::fromStdString(FList->Items(Index.row()).Caption);
}

QVariant TLevelListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation == Qt::Horizontal && Section == 0 && Role == Qt::DisplayRole) return QStringLiteral("Select Group");
    return {};
}

TVirtualLevelTree::TVirtualLevelTree(QWidget* Parent) : QTableView(Parent), FModel(new TLevelListModel(this)) {
    setModel(FModel);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setMinimumSectionSize(50);
}

void TVirtualLevelTree::SetLevelList(ILevelItemListPtr List) { FModel->setLevelList(std::move(List)); }

TfoLevelList::TfoLevelList(QWidget* Parent) : QWidget(Parent), tvLevelList(new TVirtualLevelTree(this)) {
    setObjectName("foLevelList");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tvLevelList);
    resize(100, 200);
    connect(tvLevelList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& Current, const QModelIndex&) {
                if (!FSelecting && Current.isValid()) SelectLevel(Current.row());
            });
    // The model's reset replaces its selection model's contents, not the object.
}

TfoLevelList::~TfoLevelList() { ClearCategory(); }

void TfoLevelList::ClearCategory() {
    if (!FCategory) return;
    FCategory->OnLevelStatus = nullptr;
    FCategory->OnLevelList = nullptr;
    FCategory = nullptr;
}

void TfoLevelList::SetCategory(TLevelCategory* Category) {
    ClearCategory();
    FCategory = Category;
    tvLevelList->SetLevelList(nullptr);
    if (!FCategory) return;
    FCategory->OnLevelStatus = [](TCustomCategory&, int, const std::string&) {};
    FCategory->OnLevelList = [this](TCustomCategory&, const ILevelItemListPtr& List) { LevelListLoaded(List); };
    FCategory->RefreshLevels(false);
}

void TfoLevelList::LevelListLoaded(const ILevelItemListPtr& List) {
    tvLevelList->SetLevelList(List);
    if (!List || List->Count() == 0) return;
    FSelecting = true;
    SelectSongTreeRange(*tvLevelList, 0, 0);
    tvLevelList->selectionModel()->setCurrentIndex(tvLevelList->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    FSelecting = false;
    SelectLevel(0);
}

void TfoLevelList::SelectLevel(int Index) {
    if (FCategory) FCategory->SetSelectedItem(Index);
    if (OnLevelSelect) OnLevelSelect(*this);
}

}  // namespace kelvar
