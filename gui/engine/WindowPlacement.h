#pragma once
// Where the main window puts its windows when the layout names no place for them: the first
// layout tiles the client area, and a window opened later steps down and right from (10,10)
// past every window already sitting there.
#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace kelvar {

struct TPlacedWindow {
    QSize Size;  // the host's own size (a fixed window keeps it)
    bool Sizeable = false;
    bool TopBand = false;  // decks, fade control, clock; the rest goes below
};

// One rectangle per window, in the order given. The top band's windows are packed left to
// right in rows at their own size, each into the first row with room for it; a row's last
// sizeable window stretches to the right edge,
// otherwise the row's free width goes to the last windows of the lower part. The other windows
// share the space below the rows side by side, the first (the library) twice as wide.
std::vector<QRect> TileFirstLayout(const QSize& Client, const std::vector<TPlacedWindow>& Windows);

// The first free position of the cascade (10,10), (34,34), ... that no window in Taken has as
// its top-left corner; the cascade starts again near the top left once Size would leave Client.
QPoint CascadePosition(const QSize& Client, const QSize& Size, const std::vector<QPoint>& Taken);

}  // namespace kelvar
