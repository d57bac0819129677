#pragma once
// Colour arithmetic and the shaded one-pixel frame of the box controls.
#include "controls/KcSysUtils.h"

namespace kelvar {

enum class TBoxStyle { bsLowered, bsRaised, bsNone };

// Adds Amount to each channel, clamped to 0..254.
TColor ShiftColor(TColor Color, int Amount);
// Rect's right() and bottom() are the frame's right and bottom pixel lines.
void DrawShadedFrame(QPainter& Canvas, const QRect& Rect, TColor Color, int Amount, TBoxStyle Style);

}  // namespace kelvar
