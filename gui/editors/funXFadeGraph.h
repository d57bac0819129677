#pragma once
// A picture of the change from one song to the next: the fade-out of the old song, the fade-in
// of the new one, the overlap, and the level that triggers crossfade detection.
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>

#include "media/SongSettings.h"

class QLabel;

namespace kelvar {

// The milliseconds the graph spans: the fades, their overlap, and 1000 ms before and after.
int64_t XFadeGraphSpan(const TSongSettings& Settings);

// The graph's mapping of time and level onto a bitmap of Width x Height.
struct TXFadeGraphGeometry {
    TXFadeGraphGeometry(int Width, int Height, int64_t Span);
    int X(double Ms) const;
    int Y(double Level) const;

    int Width;
    int Height;
    int Margin;
    int PlotHeight;
    int64_t Span;
};

// Fills the 4-connected region of Seed's colour with Fill (nothing when Seed is outside the
// image). Answers the region as a mask (1 inside), empty when nothing was filled.
QImage ScanLineFill(QImage& Image, QPoint Seed, QColor Fill);
// Draws a cross hatch of Color over the 4-connected region of Seed's colour; the region's other
// pixels keep their colour.
void HatchFill(QImage& Image, QPoint Seed, QColor Color);

class TfrmXFadeGraph : public QWidget {
public:
    explicit TfrmXFadeGraph(QWidget* Parent = nullptr);
    ~TfrmXFadeGraph() override;

    // A new bitmap of the image's size.
    void Init();
    void Done();
    // Settings already merged over the defaults.
    void Draw(const TSongSettings& Settings);
    const QImage& Bitmap() const { return FBitmap; }

    QLabel* Image1 = nullptr;

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    QImage FBitmap;
};

}  // namespace kelvar
