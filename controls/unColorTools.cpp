#include "controls/unColorTools.h"

#include <QPainter>
#include <algorithm>

namespace kelvar {

TColor ShiftColor(TColor Color, int Amount) {
    const TColor C = ResolveColor(Color);
    auto Channel = [&](int Shift) {
        const int V = static_cast<int>((C >> Shift) & 0xFF) + Amount;
        return static_cast<TColor>(std::clamp(V, 0, 254)) << Shift;
    };
    return (C & 0xFF000000u) | Channel(0) | Channel(8) | Channel(16);
}

void DrawShadedFrame(QPainter& Canvas, const QRect& Rect, TColor Color, int Amount, TBoxStyle Style) {
    if (Style == TBoxStyle::bsNone) return;
    if (Style == TBoxStyle::bsLowered) Amount = -Amount;
    const int L = Rect.left(), T = Rect.top(), R = Rect.right(), B = Rect.bottom();
    if (R < L || B < T) return;
    const QColor Light = ToQColor(ShiftColor(Color, Amount)), Dark = ToQColor(ShiftColor(Color, -Amount));
    // Light: top edge from the right corner, then the left edge; dark: bottom edge, then the right edge.
    if (R > L) Canvas.fillRect(QRect(L + 1, T, R - L, 1), Light);
    if (B > T) Canvas.fillRect(QRect(L, T, 1, B - T), Light);
    if (R > L) Canvas.fillRect(QRect(L, B, R - L, 1), Dark);
    if (B > T) Canvas.fillRect(QRect(R, T + 1, 1, B - T), Dark);
}

}  // namespace kelvar
