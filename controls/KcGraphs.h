#pragma once
// Percentage graph over coloured segments, and its pie painter.
#include "controls/KcControls.h"

#include <vector>

namespace kelvar {

enum class TKcBrushPattern {
    bpSolid,
    bpClear,
    bpHorizontal,
    bpVertical,
    bpFDiagonal,
    bpBDiagonal,
    bpCross,
    bpDiagCross
};

class TKcPercentGraphItems;

class TKcPercentGraphItem {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    double Value() const { return FValue; }
    void SetValue(double Value);
    TKcBrushPattern Pattern() const { return FPattern; }
    void SetPattern(TKcBrushPattern Value);
    void Assign(const TKcPercentGraphItem& Source);

private:
    friend class TKcPercentGraphItems;
    void Changed();
    TKcPercentGraphItems* FOwner = nullptr;
    TColor FColor = clRed;
    double FValue = 0;
    TKcBrushPattern FPattern = TKcBrushPattern::bpSolid;
};

class TKcPercentGraphItems {
public:
    TKcPercentGraphItems() = default;
    TKcPercentGraphItems(const TKcPercentGraphItems&) = delete;
    TKcPercentGraphItems& operator=(const TKcPercentGraphItems&) = delete;
    int Count() const { return static_cast<int>(FItems.size()); }
    TKcPercentGraphItem& Items(int Index) { return *FItems.at(static_cast<size_t>(Index)); }
    const TKcPercentGraphItem& Items(int Index) const { return *FItems.at(static_cast<size_t>(Index)); }
    TKcPercentGraphItem& Add();
    void Clear();
    void Assign(const TKcPercentGraphItems& Source);
    std::function<void()> OnChange;

private:
    friend class TKcPercentGraphItem;
    std::vector<std::unique_ptr<TKcPercentGraphItem>> FItems;
};

class TKcPercentGraph : public TKcGraphicImageControl {
public:
    explicit TKcPercentGraph(QWidget* Parent = nullptr);
    TKcPercentGraphItems& Segments() { return FSegments; }
    void SetSegments(const TKcPercentGraphItems& Value) { FSegments.Assign(Value); }
    TColor OutlineColor() const { return FOutlineColor; }
    void SetOutlineColor(TColor Value);
    double Total() const { return FTotal; }
    // Sums the values, repaints, and fires OnChange when the total changed.
    void Recalc();
    TNotifyEvent OnChange;

protected:
    TKcPercentGraphItems FSegments;
    TColor FOutlineColor = clWhite;
    double FTotal = 0;
};

class TKcPercentPie : public TKcPercentGraph {
public:
    explicit TKcPercentPie(QWidget* Parent = nullptr);

protected:
    void PaintBitmap(QPainter& Canvas) override;
};

}  // namespace kelvar
