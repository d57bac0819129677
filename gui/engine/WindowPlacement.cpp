#include "gui/engine/WindowPlacement.h"

#include <algorithm>

namespace kelvar {

namespace {

constexpr int kCascadeStart = 10;
constexpr int kCascadeStep = 24;
// A row's free width narrower than this is left empty rather than squeezing a list into it.
constexpr int kMinGapWidth = 160;
// The lower part keeps this much height even on a screen too low for everything.
constexpr int kMinLowerHeight = 120;

struct TRow {
    std::vector<size_t> Items;
    int Width = 0;
    int Height = 0;
};

}  // namespace

std::vector<QRect> TileFirstLayout(const QSize& Client, const std::vector<TPlacedWindow>& Windows) {
    std::vector<QRect> rects(Windows.size());
    std::vector<TRow> rows;
    std::vector<size_t> lower;
    for (size_t i = 0; i < Windows.size(); ++i) {
        if (!Windows[i].TopBand) {
            lower.push_back(i);
            continue;
        }
        const QSize size = Windows[i].Size;
        // First fit: a small window (the clock) fills the free end of an earlier row.
        auto fits = std::find_if(rows.begin(), rows.end(),
                                 [&](const TRow& row) { return row.Width + size.width() <= Client.width(); });
        TRow& row = fits != rows.end() ? *fits : rows.emplace_back();
        row.Items.push_back(i);
        row.Width += size.width();
    }
    // A row is as high as its fixed windows (sizeable ones follow them), else its highest window.
    for (TRow& row : rows) {
        int fixed = 0, any = 0;
        for (size_t i : row.Items) {
            any = std::max(any, Windows[i].Size.height());
            if (!Windows[i].Sizeable) fixed = std::max(fixed, Windows[i].Size.height());
        }
        row.Height = fixed > 0 ? fixed : any;
    }

    int top = 0;
    for (TRow& row : rows) {
        int left = 0;
        for (size_t i : row.Items) {
            const QSize size = Windows[i].Size;
            // Sizeable windows take the row's height so that its lower edge is even.
            rects[i] = QRect(left, top, size.width(), Windows[i].Sizeable ? row.Height : size.height());
            left += size.width();
        }
        const int gap = Client.width() - left;
        if (gap > 0) {
            auto last =
                std::find_if(row.Items.rbegin(), row.Items.rend(), [&](size_t i) { return Windows[i].Sizeable; });
            if (last != row.Items.rend()) {
                // The stretching window pushes those after it to the right edge.
                rects[*last].setWidth(rects[*last].width() + gap);
                for (auto after = row.Items.rbegin(); after != last; ++after) rects[*after].translate(gap, 0);
            } else if (gap >= kMinGapWidth && lower.size() > 1) {
                const size_t taken = lower.back();
                lower.pop_back();
                rects[taken] = QRect(left, top, gap, row.Height);
            }
        }
        top += row.Height;
    }

    if (lower.empty()) return rects;
    const int height = std::max(kMinLowerHeight, Client.height() - top);
    // The first window of the lower part counts twice: the library needs the room.
    const int shares = static_cast<int>(lower.size()) + 1;
    int left = 0;
    for (size_t n = 0; n < lower.size(); ++n) {
        const int share = n == 0 ? 2 : 1;
        const int width = n + 1 == lower.size() ? Client.width() - left : Client.width() * share / shares;
        rects[lower[n]] = QRect(left, top, std::max(1, width), height);
        left += width;
    }
    return rects;
}

QPoint CascadePosition(const QSize& Client, const QSize& Size, const std::vector<QPoint>& Taken) {
    // Each pass down the diagonal starts a step further right, so a crowded client area still
    // gives every window a place of its own.
    for (int pass = 0; pass < 64; ++pass) {
        QPoint at(kCascadeStart + pass * kCascadeStep / 2, kCascadeStart);
        if (pass > 0 && at.x() + Size.width() > Client.width()) break;
        for (;;) {
            if (std::find(Taken.begin(), Taken.end(), at) == Taken.end()) return at;
            const QPoint next = at + QPoint(kCascadeStep, kCascadeStep);
            if (next.x() + Size.width() > Client.width() || next.y() + Size.height() > Client.height()) break;
            at = next;
        }
    }
    return {kCascadeStart, kCascadeStart};
}

}  // namespace kelvar
