#pragma once
// Flat button with the shaded box frame and a black outline.
#include "controls/unColorTools.h"

#include <QToolButton>

namespace kelvar {

class TBoxButton : public QToolButton {
public:
    explicit TBoxButton(QWidget* Parent = nullptr);
    TBoxButton(const QString& Caption, QWidget* Parent);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    TColor FColor = clBtnFace;
};

}  // namespace kelvar
