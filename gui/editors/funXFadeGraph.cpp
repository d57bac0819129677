#include "gui/editors/funXFadeGraph.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/FadeCurves.h"
#include "foundation/dButils.h"

namespace kelvar {

int64_t XFadeGraphSpan(const TSongSettings& S) {
    const int64_t xfade = S.XFadeMode == 0 ? 0 : S.XFade;
    const int64_t tin = S.FadeIn.Time;
    const int64_t tout = S.FadeOut.Time;
    const int64_t x = std::llabs(xfade);
    int64_t t0;
    if (S.XFadeMode == 0 || xfade >= 0)
        t0 = tout + tin;
    else if (tout < x)
        t0 = std::max({x, tout, tin});
    else
        t0 = std::max(x, tin) + tout - x;
    return t0 + 2000;
}

TXFadeGraphGeometry::TXFadeGraphGeometry(int W, int H, int64_t S)
    : Width(W), Height(H), Margin(static_cast<int>(std::lround(0.05 * H))), Span(std::max<int64_t>(1, S)) {
    PlotHeight = H - Margin - 2;
}

int TXFadeGraphGeometry::X(double Ms) const {
    return static_cast<int>(std::lround(static_cast<double>(Width) / static_cast<double>(Span) * Ms));
}

int TXFadeGraphGeometry::Y(double Level) const {
    return static_cast<int>(std::lround((100.0 - Level) * PlotHeight / 100.0 + Margin));
}

QImage ScanLineFill(QImage& Image, QPoint Seed, QColor Fill) {
    if (!Image.rect().contains(Seed)) return {};
    const QRgb target = Image.pixel(Seed);
    const QRgb fill = Fill.rgb();
    QImage mask(Image.size(), QImage::Format_Grayscale8);
    mask.fill(0);
    const int w = Image.width();
    const int h = Image.height();
    std::vector<QPoint> stack{Seed};
    auto inside = [&](int x, int y) { return Image.pixel(x, y) == target && mask.constScanLine(y)[x] == 0; };
    while (!stack.empty()) {
        const QPoint p = stack.back();
        stack.pop_back();
        if (!inside(p.x(), p.y())) continue;
        // Widen to the whole run of this line, mark it, and queue the runs above and below.
        int left = p.x();
        while (left > 0 && inside(left - 1, p.y())) --left;
        int right = p.x();
        while (right < w - 1 && inside(right + 1, p.y())) ++right;
        uchar* line = mask.scanLine(p.y());
        for (int x = left; x <= right; ++x) line[x] = 1;
        for (int dy : {-1, 1}) {
            const int y = p.y() + dy;
            if (y < 0 || y >= h) continue;
            bool inRun = false;
            for (int x = left; x <= right; ++x) {
                const bool in = inside(x, y);
                if (in && !inRun) stack.emplace_back(x, y);
                inRun = in;
            }
        }
    }
    for (int y = 0; y < h; ++y) {
        const uchar* m = mask.constScanLine(y);
        for (int x = 0; x < w; ++x)
            if (m[x]) Image.setPixel(x, y, fill);
    }
    return mask;
}

void HatchFill(QImage& Image, QPoint Seed, QColor Color) {
    if (!Image.rect().contains(Seed)) return;
    // Mark the region on a copy, then draw the hatch only where the mark is.
    QImage copy = Image.copy();
    const QColor marker = QColor::fromRgb(Image.pixel(Seed) ^ 0x00FFFFFFu);
    const QImage mask = ScanLineFill(copy, Seed, marker);
    QImage hatch(Image.size(), QImage::Format_ARGB32);
    hatch.fill(Qt::transparent);
    {
        QPainter p(&hatch);
        p.fillRect(hatch.rect(), QBrush(Color, Qt::CrossPattern));
    }
    for (int y = 0; y < Image.height(); ++y) {
        const uchar* m = mask.constScanLine(y);
        const QRgb* hl = reinterpret_cast<const QRgb*>(hatch.constScanLine(y));
        for (int x = 0; x < Image.width(); ++x)
            if (m[x] && qAlpha(hl[x]) != 0) Image.setPixel(x, y, Color.rgb());
    }
}

TfrmXFadeGraph::TfrmXFadeGraph(QWidget* Parent) : QWidget(Parent) {
    resize(500, 140);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(rect());
}

TfrmXFadeGraph::~TfrmXFadeGraph() = default;

void TfrmXFadeGraph::resizeEvent(QResizeEvent*) { Image1->setGeometry(rect()); }

void TfrmXFadeGraph::Init() {
    Image1->setGeometry(rect());
    FBitmap = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    FBitmap.fill(Qt::black);
    Image1->setPixmap(QPixmap::fromImage(FBitmap));
}

void TfrmXFadeGraph::Done() { FBitmap = QImage(); }

void TfrmXFadeGraph::Draw(const TSongSettings& Source) {
    if (FBitmap.isNull()) return;
    TSongSettings s = Source;
    if (s.XFadeMode == 0) s.XFade = 0;
    const int w = FBitmap.width();
    const int h = FBitmap.height();
    const TXFadeGraphGeometry g(w, h, XFadeGraphSpan(s));
    const int64_t x = std::llabs(s.XFade);
    // A fade that is off is drawn as a step.
    const int tout = (s.FadeOut.Enabled != 1 || s.FadeOut.Time <= 0) ? 1 : s.FadeOut.Time;
    const int tin = (s.FadeIn.Enabled != 1 || s.FadeIn.Time <= 0) ? 1 : s.FadeIn.Time;

    FBitmap.fill(Qt::black);
    int xOutEnd = 0;
    int x2 = 0;
    {
        QPainter p(&FBitmap);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(0x00, 0xFF, 0x00), 2));
        QPolygon out;
        out << QPoint(0, g.Y(100)) << QPoint(g.X(1000), g.Y(100));
        for (int i = 0; i <= tout; ++i)
            out << QPoint(g.X(1000) + g.X(i), g.Y(FadeLevelAt(s.FadeOut.Curve, i, tout, s.FadeOut.Level, false)));
        xOutEnd = out.last().x();
        out << QPoint(xOutEnd, g.Y(0) + 1);
        p.drawPolyline(out);

        p.setPen(QPen(QColor(0x00, 0x00, 0xFF), 2));
        x2 = g.X(1000.0 + tout - static_cast<double>(x));
        QPolygon in;
        in << QPoint(x2, g.Y(0) + 1) << QPoint(x2, g.Y(100 - s.FadeIn.Level));
        for (int i = 0; i <= tin; ++i)
            in << QPoint(x2 + g.X(i), g.Y(FadeLevelAt(s.FadeIn.Curve, i, tin, s.FadeIn.Level, true)));
        in << QPoint(w, in.last().y());
        p.drawPolyline(in);
    }
    x2 = std::max(x2, 0);
    const int mid = (x2 + xOutEnd) / 2;

    auto solidOverBlack = [this](QPoint at, QColor c) {
        if (FBitmap.rect().contains(at) && FBitmap.pixel(at) == QColor(Qt::black).rgb()) ScanLineFill(FBitmap, at, c);
    };
    auto hatchOver = [this](QPoint at, QColor under, QColor c) {
        if (FBitmap.rect().contains(at) && FBitmap.pixel(at) == under.rgb()) HatchFill(FBitmap, at, c);
    };
    const QColor teal(0x00, 0x80, 0x80);
    std::vector<QPoint> overlap{QPoint(mid, g.Y(0))};
    if (s.XFade < -100) overlap.emplace_back(xOutEnd - 2, g.Y(0));
    for (const QPoint& at : overlap) solidOverBlack(at, teal);
    for (const QPoint& at : overlap) hatchOver(at, teal, QColor(0x00, 0xDD, 0xDD));
    const QColor green(0x00, 0x80, 0x00);
    solidOverBlack(QPoint(1, g.Y(100) + 1), green);
    hatchOver(QPoint(1, g.Y(100) + 1), green, QColor(0x00, 0xDD, 0x00));
    const QColor navy(0x00, 0x00, 0x80);
    solidOverBlack(QPoint(w - 1, g.Y(100) + 1), navy);
    hatchOver(QPoint(w - 1, g.Y(100) + 1), navy, QColor(0x00, 0x00, 0xFF));
    hatchOver(QPoint(1, 1), QColor(Qt::black), QColor(0x33, 0x33, 0x33));

    if (s.XFadeLevel > 0) {
        const int level = static_cast<int>(std::lround(DbToLinear100(-s.XFadeLevel)));
        QPainter p(&FBitmap);
        p.setPen(QPen(QColor(0xFF, 0x00, 0x00), 1, Qt::DotLine));
        for (int y : {g.Y(level), g.Y(level) + 1}) p.drawLine(0, y, w, y);
    }
    Image1->setPixmap(QPixmap::fromImage(FBitmap));
}

}  // namespace kelvar
