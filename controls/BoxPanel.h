#pragma once
// Panel with the shaded box frame; its children keep 4 pixels clear of the frame.
#include "controls/unColorTools.h"

#include <QWidget>

namespace kelvar {

class TBoxPanel : public QWidget {
public:
    explicit TBoxPanel(QWidget* Parent = nullptr);
    TBoxStyle Style() const { return FStyle; }
    void SetStyle(TBoxStyle Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    TBoxStyle FStyle = TBoxStyle::bsLowered;
    TColor FColor = clBtnFace;
};

}  // namespace kelvar
