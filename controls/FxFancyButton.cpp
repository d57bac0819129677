#include "controls/FxFancyButton.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QShortcutEvent>
#include <cmath>

namespace kelvar {

TFxFancyButton::TFxFancyButton(QWidget* Parent) : QWidget(Parent) {
    resize(97, 25);
    setMouseTracking(true);
    FEffects.OnEffectChange = [this] { EffectsChanged(); };
    FGlyphs.OnGlyphChange = [this] { EffectsChanged(); };
}

TFxFancyButton::TFxFancyButton(const QString& Caption, QWidget* Parent) : TFxFancyButton(Parent) {
    SetCaption(Caption);
}

void TFxFancyButton::EffectsChanged() {
    if (!FLoading) update();
}

void TFxFancyButton::EndLoading() {
    FLoading = false;
    update();
}

void TFxFancyButton::SetCaption(const QString& Value) {
    if (FCaption == Value) return;
    FCaption = Value;
    if (FShortcutId) releaseShortcut(FShortcutId);
    FShortcutId = 0;
    const QKeySequence Mnemonic = QKeySequence::mnemonic(Value);
    if (!Mnemonic.isEmpty()) FShortcutId = grabShortcut(Mnemonic);
    update();
}

void TFxFancyButton::SetFontColor(TColor Value) {
    if (FFontColor == Value) return;
    FFontColor = Value;
    EffectsChanged();
}

int TFxFancyButton::CornerDiameter() const {
    return FEffects.Shape() == TBtnShape::btnCapsule ? std::min(width(), height()) : 2 * FEffects.CornerRadius();
}

bool TFxFancyButton::PtInShape(int X, int Y) const {
    QPainterPath Path;
    const QRectF R(0, 0, width(), height());
    if (FEffects.Shape() == TBtnShape::btnOval) {
        Path.addEllipse(R);
    } else {
        const double Radius = CornerDiameter() / 2.0;
        Path.addRoundedRect(R, Radius, Radius);
    }
    return Path.contains(QPointF(X + 0.5, Y + 0.5));
}

void TFxFancyButton::FillShape(QPainter& Canvas, const QRect& Rect, int Diameter, const QColor& Color) const {
    if (Rect.width() <= 0 || Rect.height() <= 0) return;
    QPainterPath Path;
    if (FEffects.Shape() == TBtnShape::btnOval)
        Path.addEllipse(QRectF(Rect));
    else if (Diameter <= 0)
        Path.addRect(QRectF(Rect));
    else
        Path.addRoundedRect(QRectF(Rect), Diameter / 2.0, Diameter / 2.0);
    Canvas.fillPath(Path, Color);
}

void TFxFancyButton::PaintGradientFace(QPainter& Canvas) {
    const int W = FEffects.FrameWidth();
    int FR, FG, FB, CR, CG, CB;
    SplitColor(FEffects.FrameColor(), FR, FG, FB);
    SplitColor(FEffects.FaceColor(), CR, CG, CB);
    const int D = CornerDiameter();
    for (int A = 0; A < W; ++A) {
        const double X = std::sqrt(double(W * W - (W - A) * (W - A))) / W;
        const QColor C(int(std::lround(FR + (CR - FR) * X)), int(std::lround(FG + (CG - FG) * X)),
                       int(std::lround(FB + (CB - FB) * X)));
        const QRect R(A, A, width() - 2 * A, height() - 2 * A);
        FillShape(Canvas, R, FEffects.Shape() == TBtnShape::btnOval ? 0 : D - 2 * A, C);
    }
}

void TFxFancyButton::PaintPressedFace(QPainter& Canvas) {
    int FR, FG, FB, CR, CG, CB;
    SplitColor(FEffects.FrameColor(), FR, FG, FB);
    SplitColor(FEffects.FaceColor(), CR, CG, CB);
    auto Mix = [&](int P) {
        return QColor(int(std::lround((CR * (100 - P) + FR * P) / 100.0)),
                      int(std::lround((CG * (100 - P) + FG * P) / 100.0)),
                      int(std::lround((CB * (100 - P) + FB * P) / 100.0)));
    };
    const int D = CornerDiameter();
    const QRect R(1, 1, width() - 3, height() - 3);
    const int Diameter = FEffects.Shape() == TBtnShape::btnOval ? 0 : (D < 1 ? 0 : D - 2);
    FillShape(Canvas, R, Diameter, Qt::black);
    FillShape(Canvas, R.translated(1, 1), Diameter, Mix(40));
    FillShape(Canvas, R.translated(3, 3), Diameter, ToQColor(clBtnHighlight));
    FillShape(Canvas, R.translated(2, 2), Diameter, Mix(15));
}

void TFxFancyButton::ComputeLayout() {
    const QImage& G = FGlyphs.Glyph();
    const int GW = G.isNull() ? 0 : G.width() / FGlyphs.Number(), GH = G.isNull() ? 0 : G.height();
    const QSize Text = MeasureText(font(), FCaption);
    const int TW = Text.width(), TH = Text.height(), Dist = FGlyphs.Distance();
    const int W = width(), H = height();
    switch (FGlyphs.Layout()) {
        case TBmpLayout::lyLeft:
            FGlyphPos = QPoint(Dist + GW + TW < W ? (W - (GW + Dist + TW)) / 2 : 0, GH < H ? (H - GH) / 2 : 0);
            FCaptionPos = QPoint(FGlyphPos.x() + GW + Dist, (H - TH) / 2);
            break;
        case TBmpLayout::lyTop:
            FGlyphPos = QPoint(GW < W ? (W - GW) / 2 : 0, Dist + GH + TH < H ? (H - (GH + Dist + TH)) / 2 : 0);
            FCaptionPos = QPoint((W - TW) / 2, FGlyphPos.y() + GH + Dist);
            break;
        case TBmpLayout::lyRight: {
            const int C = Dist + GW + TW < W ? (W - (GW + Dist + TW)) / 2 : 0;
            FGlyphPos = QPoint(W - C - GW, GH < H ? (H - GH) / 2 : 0);
            FCaptionPos = QPoint(FGlyphPos.x() - TW - Dist, (H - TH) / 2);
            break;
        }
        case TBmpLayout::lyBottom: {
            const int B = Dist + GH + TH < H ? (H - GH - Dist - TH) / 2 : 0;
            FGlyphPos = QPoint(GW < W ? (W - GW) / 2 : 0, H - GH - B);
            FCaptionPos = QPoint((W - TW) / 2, H - GH - B - Dist - TH);
            break;
        }
        case TBmpLayout::lyCenter:
            FGlyphPos = QPoint(GW < W ? (W - GW) / 2 : 0, GH < H ? (H - GH) / 2 : 0);
            FCaptionPos = QPoint((W - TW) / 2, (H - TH) / 2);
            break;
    }
}

int TFxFancyButton::GlyphColumn() const {
    const int State = FGlyphs.Number() < FImageState ? 1 : FImageState;
    return State >= 2 && State <= 4 ? State - 1 : 0;
}

void TFxFancyButton::PaintGlyph(QPainter& Canvas) {
    const QImage& G = FGlyphs.Glyph();
    const int GH = G.height();
    QPoint At = FGlyphPos;
    if (FPressed) At += QPoint(1, 1);
    DrawTransparent(Canvas, At, G, QRect(GlyphColumn() * FGlyphWidth, 0, FGlyphWidth, GH), G.pixel(0, GH - 1));
}

void TFxFancyButton::PaintCaption(QPainter& Canvas) {
    const QSize Size = MeasureText(font(), FCaption);
    const QRect R(FCaptionPos, Size);
    const int Flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    const TColor Main = (FOverShape && !FPressed) ? FEffects.HoverColor() : FFontColor;
    int Off = 0;
    TColor Under = clBtnHighlight;
    bool HasUnder = true;
    switch (FEffects.TextStyle()) {
        case TTextStyle::txNone: HasUnder = false; break;
        case TTextStyle::txLowered: Off = FPressed ? 2 : 1; break;
        case TTextStyle::txRaised: Off = FPressed ? 0 : -1; break;
        case TTextStyle::txShadowed:
            Under = clBtnShadow;
            Off = FPressed ? 3 : 2;
            break;
    }
    if (HasUnder) {
        Canvas.setPen(ToQColor(Under));
        Canvas.drawText(R.translated(Off, Off), Flags, FCaption);
    }
    TColor Text = Main;
    if (!isEnabled()) Text = FEffects.TextStyle() == TTextStyle::txShadowed ? clBtnFace : clBtnShadow;
    Canvas.setPen(ToQColor(Text));
    Canvas.drawText(FPressed ? R.translated(1, 1) : R, Flags, FCaption);
}

void TFxFancyButton::paintEvent(QPaintEvent*) {
    QPainter Canvas(this);
    Canvas.setFont(font());
    const QImage& G = FGlyphs.Glyph();
    FGlyphWidth = G.isNull() ? 0 : G.width() / FGlyphs.Number();
    if (FEffects.FrameStyle() != TFrameStyle::fmNone) {
        if (FPressed)
            PaintPressedFace(Canvas);
        else
            PaintGradientFace(Canvas);
    }
    ComputeLayout();
    if (FGlyphWidth > 0) PaintGlyph(Canvas);
    PaintCaption(Canvas);
}

void TFxFancyButton::mousePressEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    if (Event->button() == Qt::RightButton || !PtInShape(P.x(), P.y())) return;
    FPressed = true;
    FOverShape = true;
    FImageState = 3;
    update();
}

void TFxFancyButton::mouseMoveEvent(QMouseEvent* Event) {
    const QPoint P = Event->position().toPoint();
    if (FPressed) {
        // Leaving the control ends the press; Qt holds the leave back while the button is down.
        if (!rect().contains(P)) Leave();
        return;
    }
    if (PtInShape(P.x(), P.y())) {
        FOverShape = true;
        FImageState = 4;
        if (!FHovered) {
            FHovered = true;
            update();
        }
    } else {
        FOverShape = false;
        FImageState = 1;
        if (FHovered) {
            FHovered = false;
            update();
        }
    }
}

void TFxFancyButton::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::RightButton) return;
    const bool Fire = FOverShape && FPressed;
    // A press always ends with the release, so the face never stays drawn down.
    FPressed = false;
    FImageState = FOverShape ? 4 : 1;
    update();
    if (Fire && OnClick) OnClick(*this);
}

void TFxFancyButton::Leave() {
    FImageState = isEnabled() ? 1 : 2;
    FOverShape = false;
    FPressed = false;
    FHovered = false;
    update();
}

void TFxFancyButton::leaveEvent(QEvent* Event) {
    QWidget::leaveEvent(Event);
    Leave();
}

void TFxFancyButton::changeEvent(QEvent* Event) {
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::EnabledChange) {
        FImageState = isEnabled() ? 1 : 2;
        update();
    }
}

bool TFxFancyButton::event(QEvent* Event) {
    if (Event->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(Event)->shortcutId() == FShortcutId) {
        if (isEnabled() && OnClick) OnClick(*this);
        return true;
    }
    return QWidget::event(Event);
}

}  // namespace kelvar
