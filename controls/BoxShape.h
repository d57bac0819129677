#pragma once
// Rectangle shape with the shaded box frame in its brush colour.
#include "controls/unColorTools.h"

#include <QBrush>
#include <QPen>
#include <QWidget>

namespace kelvar {

class TBoxShape : public QWidget {
public:
    explicit TBoxShape(QWidget* Parent = nullptr);
    TBoxStyle Style() const { return FStyle; }
    void SetStyle(TBoxStyle Value);
    const QPen& Pen() const { return FPen; }
    void SetPen(const QPen& Value);
    const QBrush& Brush() const { return FBrush; }
    void SetBrush(const QBrush& Value);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    TBoxStyle FStyle = TBoxStyle::bsRaised;
    QPen FPen{Qt::black};
    QBrush FBrush{Qt::white};
};

}  // namespace kelvar
