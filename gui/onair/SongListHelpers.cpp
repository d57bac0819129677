#include "gui/onair/SongListHelpers.h"

#include <QHeaderView>
#include <chrono>
#include <ctime>
#include <utility>

#include "foundation/Clock.h"
#include "gui/lists/VirtualSongTree.h"
#include "gui/lists/unGUIFunc.h"

namespace kelvar {

TTimeColumnDelegate::TTimeColumnDelegate(QObject* Parent, std::function<int64_t(int Row)> TimeOfRow)
    : QStyledItemDelegate(Parent), FTimeOfRow(std::move(TimeOfRow)) {}

void TTimeColumnDelegate::initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const {
    QStyledItemDelegate::initStyleOption(Option, Index);
    if (FTimeOfRow) Option->text = QString::fromStdString(FormatSongTime(1, FTimeOfRow(Index.row())));
}

int64_t TimeOfDayNowMs() {
    const auto now = ClockNow();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return (int64_t{local.tm_hour} * 3600 + local.tm_min * 60 + local.tm_sec) * 1000 + ms;
}

void SetupClockSongTree(TVirtualSongTree& Tree, const QString& TimeTitle, int CaptionWidth) {
    Tree.Model()->SetColumns({{TSongColumn::Number, TimeTitle, 55},
                              {TSongColumn::Caption, "Artist - Title", CaptionWidth},
                              {TSongColumn::Duration, "Duration", 52}});
    Tree.Model()->SetDurationStyle(TDurationStyle::UnknownMarked);
    Tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
    Tree.setSelectionBehavior(QAbstractItemView::SelectRows);
    QHeaderView* h = Tree.horizontalHeader();
    h->setSectionResizeMode(0, QHeaderView::Interactive);
    h->setSectionResizeMode(1, QHeaderView::Stretch);
    h->setSectionResizeMode(2, QHeaderView::Fixed);
    h->setMinimumSectionSize(40);
    Tree.setColumnWidth(0, 55);
    Tree.setColumnWidth(2, 52);
}

}  // namespace kelvar
