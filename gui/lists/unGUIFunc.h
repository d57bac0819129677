#pragma once
// Helpers the song list windows share: copying and selecting rows, where dropped rows go, the
// category tree's subtree test and the time texts.
#include <cstdint>
#include <string>

#include "core/playlist/QueueList.h"
#include "core/playlist/SongItem.h"

class QAbstractItemView;
class QTreeWidgetItem;

namespace kelvar {

class TVirtualSongTree;

// Copies of the selected rows in display order; an empty list (never none) when nothing is
// selected.
void GetSelectedSongItems(const TVirtualSongTree& Tree, ISongItemListPtr& List);
// Selects rows First .. Last after clearing the selection; nothing when Last < First.
void SelectSongTreeRange(QAbstractItemView& Tree, int First, int Last);
// The sort values between which rows dropped at Index go, and the position actually used.
TInsertPos SortIDForDrop(const ISongItemList* List, double& Before, double& After, int Index, TInsertPos Pos);
void SelectAllSongTree(QAbstractItemView& Tree);
void InvertSongTreeSelection(QAbstractItemView& Tree);
void ClearSongTreeState(QAbstractItemView& Tree);
// True when Target lies anywhere below Node; false for no Node or Target = Node.
bool IsTreeNodeDescendant(const QTreeWidgetItem* Node, const QTreeWidgetItem* Target);
std::string FormatSongTime(int Style, int64_t Ms);
// Logs "Unhandled exception (What)" with the source "GUI" (GUI logger, else the core's).
void LogUnhandledGui(const std::string& What);
// The sort value of the I-th of N rows spread evenly between Before and After (exclusive).
double SpreadSortID(double Before, double After, int I, int N);

}  // namespace kelvar
