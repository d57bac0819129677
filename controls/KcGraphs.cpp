#include "controls/KcGraphs.h"

#include <QPainter>
#include <cmath>

namespace kelvar {

void TKcPercentGraphItem::SetColor(TColor Value) {
    if (FColor == Value) return;
    FColor = Value;
    Changed();
}

void TKcPercentGraphItem::SetValue(double Value) {
    if (FValue == Value) return;
    FValue = Value;
    Changed();
}

void TKcPercentGraphItem::SetPattern(TKcBrushPattern Value) {
    if (FPattern == Value) return;
    FPattern = Value;
    Changed();
}

void TKcPercentGraphItem::Assign(const TKcPercentGraphItem& S) {
    FColor = S.FColor;
    FValue = S.FValue;
    FPattern = S.FPattern;
    Changed();
}

void TKcPercentGraphItem::Changed() {
    if (FOwner && FOwner->OnChange) FOwner->OnChange();
}

TKcPercentGraphItem& TKcPercentGraphItems::Add() {
    FItems.push_back(std::make_unique<TKcPercentGraphItem>());
    FItems.back()->FOwner = this;
    if (OnChange) OnChange();
    return *FItems.back();
}

void TKcPercentGraphItems::Clear() {
    FItems.clear();
    if (OnChange) OnChange();
}

void TKcPercentGraphItems::Assign(const TKcPercentGraphItems& Source) {
    if (&Source == this) return;
    auto Handler = std::move(OnChange);
    FItems.clear();
    for (const auto& Item : Source.FItems) Add().Assign(*Item);
    OnChange = std::move(Handler);
    if (OnChange) OnChange();
}

TKcPercentGraph::TKcPercentGraph(QWidget* Parent) : TKcGraphicImageControl(Parent) {
    SetColor(11307165);
    FSegments.OnChange = [this] { Recalc(); };
}

void TKcPercentGraph::SetOutlineColor(TColor Value) {
    if (FOutlineColor == Value) return;
    FOutlineColor = Value;
    PropertyChanged();
}

void TKcPercentGraph::Recalc() {
    const double Old = FTotal;
    FTotal = 0;
    for (int I = 0; I < FSegments.Count(); ++I) FTotal += FSegments.Items(I).Value();
    PropertyChanged();
    if (FTotal != Old && OnChange) OnChange(*this);
}

TKcPercentPie::TKcPercentPie(QWidget* Parent) : TKcPercentGraph(Parent) { resize(97, 97); }

namespace {

Qt::BrushStyle BrushStyle(TKcBrushPattern P) {
    switch (P) {
        case TKcBrushPattern::bpSolid: return Qt::SolidPattern;
        case TKcBrushPattern::bpClear: return Qt::NoBrush;
        case TKcBrushPattern::bpHorizontal: return Qt::HorPattern;
        case TKcBrushPattern::bpVertical: return Qt::VerPattern;
        case TKcBrushPattern::bpFDiagonal: return Qt::FDiagPattern;
        case TKcBrushPattern::bpBDiagonal: return Qt::BDiagPattern;
        case TKcBrushPattern::bpCross: return Qt::CrossPattern;
        case TKcBrushPattern::bpDiagCross: return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

}  // namespace

void TKcPercentPie::PaintBitmap(QPainter& Canvas) {
    Canvas.setPen(ToQColor(FOutlineColor));
    int Previous = 0;  // percent where the last segment ended, clockwise from the top
    double Sum = 0;
    const int Total = static_cast<int>(std::lround(FTotal));
    for (int I = 0; I < FSegments.Count(); ++I) {
        const TKcPercentGraphItem& Item = FSegments.Items(I);
        Sum += Item.Value();
        const int P = PercentOfValue(static_cast<int>(std::lround(Sum)), Total);
        // An empty span draws nothing (no full ellipse for a share that rounds to nothing).
        if (Item.Value() > 0 && P > Previous) {
            Canvas.setBrush(QBrush(ToQColor(Item.Color()), BrushStyle(Item.Pattern())));
            const int Start = static_cast<int>(std::lround((90.0 - 3.6 * P) * 16));
            const int Span = static_cast<int>(std::lround(3.6 * (P - Previous) * 16));
            Canvas.drawPie(QRect(0, 0, width() - 1, height() - 1), Start, Span);
        }
        Previous = P;
    }
}

}  // namespace kelvar
