#pragma once
// A section with a caption bar: the caption over its shadow, a button at the left and the
// previous/next buttons at the right edge.
#include <QString>

#include "gui/lists/unBaseSection.h"

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace kelvar {

class TfoBigSection : public TfoBaseSection {
public:
    explicit TfoBigSection(QWidget* Parent = nullptr);
    void SetCaption(const QString& Value);
    // Places the previous and next buttons at the bar's right edge.
    void pCaptionBarResize();

    QWidget* pCaptionBar;
    QLabel* lbCaption;
    QLabel* lbCaptionShadow;
    QToolButton* BoxButton1;
    QToolButton* btPrevious;
    QToolButton* btNext;
    // The section's content goes into pClient, below the caption bar.
    QWidget* pClient;
    QVBoxLayout* Body() const { return FBody; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QVBoxLayout* FBody;
};

}  // namespace kelvar
