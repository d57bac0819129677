#pragma once
// Small pieces the editor frames share: colour swatches, labels and Kc buttons built in one call.
#include <QColor>
#include <QWidget>
#include <functional>
#include <string>

class QLabel;

namespace kelvar {

class TKcDemoButton;
class TKcTrackBar;

// A shape filled with a colour, solid or cross-hatched over a black ground.
class TSwatch : public QWidget {
public:
    TSwatch(QWidget* Parent, QColor Color, bool Hatched);
    void SetColor(QColor Color);
    QColor Color() const { return FColor; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QColor FColor;
    bool FHatched;
};

QLabel* MakeEditorLabel(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry,
                        Qt::Alignment Align = Qt::AlignLeft);
TKcDemoButton* MakeEditorButton(QWidget* Parent, const char* Name, const QString& Caption, const char* Hint,
                                QRect Geometry);
TKcTrackBar* MakeEditorTrackBar(QWidget* Parent, const char* Name, int Min, int Max, QRect Geometry);
// Sets the text only when it differs, so that an unchanged label is not repainted.
void SetLabelText(QLabel* Label, const std::string& Text);
// Runs Action and logs what it raises: no exception leaves a Qt handler.
void GuardedUi(const std::function<void()>& Action);

}  // namespace kelvar
