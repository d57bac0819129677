#pragma once
// Pieces the queue and history windows share: the clock-time column of their song lists, event
// handlers that know their owner, and the rows of a playlist table as song items.
#include <QStyledItemDelegate>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace kelvar {

class TVirtualSongTree;

// Draws the first column of a song list as a clock time (h:mm:ss) computed per row.
class TTimeColumnDelegate : public QStyledItemDelegate {
public:
    TTimeColumnDelegate(QObject* Parent, std::function<int64_t(int Row)> TimeOfRow);

protected:
    void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override;

private:
    std::function<int64_t(int)> FTimeOfRow;
};

// An event handler that remembers the window that installed it, so that a window clears only
// its own handlers when it closes.
template <class... A>
struct TOwnedCall {
    const void* Owner;
    std::function<void(A...)> Call;
    void operator()(A... Args) const { Call(std::forward<A>(Args)...); }
};

template <class... A, class F>
void SetOwned(std::function<void(A...)>& Event, const void* Owner, F Call) {
    Event = TOwnedCall<A...>{Owner, std::function<void(A...)>(std::move(Call))};
}

template <class... A>
bool IsOwned(const std::function<void(A...)>& Event, const void* Owner) {
    const auto* h = Event.template target<TOwnedCall<A...>>();
    return h && h->Owner == Owner;
}

template <class... A>
void ClearOwned(std::function<void(A...)>& Event, const void* Owner) {
    if (IsOwned(Event, Owner)) Event = nullptr;
}

// The time of day in milliseconds of the program's clock (local time).
int64_t TimeOfDayNowMs();

// The list columns "ETA"/"Time", "Artist - Title" and "Duration" of the queue and history.
void SetupClockSongTree(TVirtualSongTree& Tree, const QString& TimeTitle, int CaptionWidth);

}  // namespace kelvar
