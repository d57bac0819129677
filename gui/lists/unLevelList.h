#pragma once
// The group list of a group category: one row per group, choosing a row loads its songs.
#include <QAbstractTableModel>
#include <QTableView>
#include <QWidget>
#include <functional>

#include "core/playlist/SongItem.h"

namespace kelvar {

class TLevelCategory;

class TLevelListModel : public QAbstractTableModel {
public:
    explicit TLevelListModel(QObject* Parent = nullptr) : QAbstractTableModel(Parent) {}
    void setLevelList(ILevelItemListPtr List);
    const ILevelItemListPtr& LevelList() const { return FList; }
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;

private:
    ILevelItemListPtr FList;
};

class TVirtualLevelTree : public QTableView {
public:
    explicit TVirtualLevelTree(QWidget* Parent = nullptr);
    void SetLevelList(ILevelItemListPtr List);
    const ILevelItemListPtr& LevelList() const { return FModel->LevelList(); }
    TLevelListModel* Model() const { return FModel; }

private:
    TLevelListModel* FModel;
};

class TfoLevelList : public QWidget {
public:
    explicit TfoLevelList(QWidget* Parent = nullptr);
    ~TfoLevelList() override;
    // Shows the groups of Category (not owned), cached ones at once.
    void SetCategory(TLevelCategory* Category);
    // Detaches from the category's events.
    void ClearCategory();
    void LevelListLoaded(const ILevelItemListPtr& List);
    void SelectLevel(int Index);
    TLevelCategory* Category() const { return FCategory; }

    TVirtualLevelTree* tvLevelList;
    std::function<void(TfoLevelList& Sender)> OnLevelSelect;

private:
    TLevelCategory* FCategory = nullptr;
    bool FSelecting = false;
};

}  // namespace kelvar
