#pragma once
// Thumb geometry and thumb drawing shared by the track bar and the slider.
#include <QImage>
#include <QRect>

class QPainter;

namespace kelvar {

struct TKcTrackGeometry {
    QRect Inner;  // client rectangle shrunk by the margins
    QSize Client;
    QSize Thumb;  // one frame of the thumb image
    bool Vertical = false;
    bool TopRight = false;  // the minimum lies at the top or right end
    int MinValue = 0;
    int MaxValue = 100;

    int Start() const;
    int Length() const;
    int ValueToPixel(int Value) const;
    // Frequency > 0 snaps the value to its multiples.
    int PixelToValue(int Pixel, int Frequency = 0) const;
    QRect ThumbRect(int Position) const;
};

// Frame Index of a strip of States frames (an index past the last frame shows frame 0); without
// Opaque, pixels of the colour of the thumb's bottom-left pixel let the background through.
void DrawThumbFrame(QPainter& Canvas, const QImage& Thumb, int States, int Index, const QPoint& At, bool Opaque);

}  // namespace kelvar
