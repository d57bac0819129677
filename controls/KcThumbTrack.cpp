#include "controls/KcThumbTrack.h"

#include "controls/KcSysUtils.h"

#include <QPainter>
#include <algorithm>

namespace kelvar {

int TKcTrackGeometry::Start() const { return std::max(0, Vertical ? Inner.top() : Inner.left()); }

int TKcTrackGeometry::Length() const {
    return Vertical ? Inner.height() - Thumb.height() : Inner.width() - Thumb.width();
}

int TKcTrackGeometry::ValueToPixel(int Value) const {
    const int Range = MaxValue - MinValue;
    int P = Start();
    if (Range != 0) P += RoundHalfEven(double(Length()) * (double(Value) - MinValue) / Range);
    const int InnerRight = Inner.left() + Inner.width(), InnerBottom = Inner.top() + Inner.height();
    if (Vertical && !TopRight) P = Inner.top() + InnerBottom - P - Thumb.height();
    if (!Vertical && TopRight) P = Inner.left() + InnerRight - P - Thumb.width();
    return P;
}

int TKcTrackGeometry::PixelToValue(int Pixel, int Frequency) const {
    if (Vertical) Pixel = Client.height() - Pixel - Thumb.height();
    const int L = Length();
    int V = 0;
    if (L > 0) V = RoundHalfEven(double(Pixel - Start()) * (double(MaxValue) - MinValue) / L);
    if (Frequency > 0) V = RoundHalfEven(double(V) / Frequency) * Frequency;
    return std::min(std::max(V, 0) + MinValue, MaxValue);
}

QRect TKcTrackGeometry::ThumbRect(int Position) const {
    const int Along = ValueToPixel(Position);
    if (Vertical) return QRect((Client.width() - Thumb.width()) / 2, Along, Thumb.width(), Thumb.height());
    return QRect(Along, (Client.height() - Thumb.height()) / 2, Thumb.width(), Thumb.height());
}

void DrawThumbFrame(QPainter& Canvas, const QImage& Thumb, int States, int Index, const QPoint& At, bool Opaque) {
    if (Thumb.isNull() || States < 1) return;
    const int FrameWidth = Thumb.width() / States;
    if (FrameWidth <= 0) return;
    if (Index > States - 1) Index = 0;
    const QRect Source(Index * FrameWidth, 0, FrameWidth, Thumb.height());
    if (Opaque)
        Canvas.drawImage(At, Thumb, Source);
    else
        DrawTransparent(Canvas, At, Thumb, Source, Thumb.pixel(0, Thumb.height() - 1));
}

}  // namespace kelvar
