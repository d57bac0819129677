#pragma once
// Stand-in for the flat box button of the visual controls: a caption, a face colour and a click.
// It paints its colour, a frame shaded lighter and darker that looks raised when up and lowered
// while pressed, and a black outline.
#include <QColor>
#include <QPushButton>

namespace kelvar {

class TBoxButton : public QPushButton {
public:
    explicit TBoxButton(const QString& Caption, QWidget* Parent = nullptr);

    QColor GetColor() const { return FColor; }
    // Repaints when the colour changes.
    void SetColor(const QColor& Value);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QColor FColor;
};

}  // namespace kelvar
