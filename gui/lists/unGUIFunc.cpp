#include "gui/lists/unGUIFunc.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QTreeWidgetItem>
#include <algorithm>

#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "gui/engine/GUIcommon.h"
#include "gui/lists/VirtualSongTree.h"

namespace kelvar {

void GetSelectedSongItems(const TVirtualSongTree& Tree, ISongItemListPtr& List) {
    List = NewSongItemList();
    const ISongItemListPtr& source = Tree.SongList();
    if (!source) return;
    for (int row : Tree.SelectedRows()) {
        if (row >= source->Count()) continue;
        List->Add() = source->Items(row);
    }
}

void SelectSongTreeRange(QAbstractItemView& Tree, int First, int Last) {
    ClearSongTreeState(Tree);
    QAbstractItemModel* model = Tree.model();
    if (!model || !Tree.selectionModel() || Last < First) return;
    const int rows = model->rowCount();
    First = std::max(First, 0);
    Last = std::min(Last, rows - 1);
    if (Last < First) return;
    const int lastColumn = std::max(model->columnCount() - 1, 0);
    Tree.selectionModel()->select(QItemSelection(model->index(First, 0), model->index(Last, lastColumn)),
                                  QItemSelectionModel::Select);
}

TInsertPos SortIDForDrop(const ISongItemList* List, double& Before, double& After, int Index, TInsertPos Pos) {
    Before = 0;
    After = 1000.0;
    const int count = List ? List->Count() : 0;
    // Read only; the list's Items has no const form.
    auto* list = const_cast<ISongItemList*>(List);
    if (count == 0) {
        Pos = ipBottom;
    } else if (Pos == ipInsert) {
        if (Index >= count)
            Pos = ipBottom;
        else if (Index <= 0)
            Pos = ipTop;
    }
    switch (Pos) {
        case ipTop:
            Before = 0;
            After = list->Items(0).SortID;
            break;
        case ipBottom:
            if (count == 0) {
                Before = 0;
                After = 0;
            } else {
                Before = list->Items(count - 1).SortID;
                After = Before + 100.0 * count;
            }
            break;
        case ipInsert:
            Before = list->Items(Index - 1).SortID;
            After = list->Items(Index).SortID;
            break;
    }
    return Pos;
}

void SelectAllSongTree(QAbstractItemView& Tree) {
    QAbstractItemModel* model = Tree.model();
    if (!model || model->rowCount() == 0) return;
    SelectSongTreeRange(Tree, 0, model->rowCount() - 1);
}

void InvertSongTreeSelection(QAbstractItemView& Tree) {
    QAbstractItemModel* model = Tree.model();
    if (!model || !Tree.selectionModel() || model->rowCount() == 0) return;
    const int lastColumn = std::max(model->columnCount() - 1, 0);
    Tree.selectionModel()->select(QItemSelection(model->index(0, 0), model->index(model->rowCount() - 1, lastColumn)),
                                  QItemSelectionModel::Toggle);
}

void ClearSongTreeState(QAbstractItemView& Tree) {
    if (Tree.selectionModel()) Tree.selectionModel()->clearSelection();
}

bool IsTreeNodeDescendant(const QTreeWidgetItem* Node, const QTreeWidgetItem* Target) {
    if (!Node || !Target || Node == Target) return false;
    for (const QTreeWidgetItem* p = Target->parent(); p; p = p->parent())
        if (p == Node) return true;
    return false;
}

std::string FormatSongTime(int Style, int64_t Ms) { return FormatTimeMs(Style, Ms); }

void LogUnhandledGui(const std::string& What) {
    const std::string text = "Unhandled exception (" + What + ")";
    if (GuiLogger)
        GuiLogger->Log(text, "GUI", 0);
    else
        LogMessage(text, "GUI", 0);
}

double SpreadSortID(double Before, double After, int I, int N) {
    return Before + (After - Before) * static_cast<double>(I + 1) / static_cast<double>(N + 1);
}

}  // namespace kelvar
