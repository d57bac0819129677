#pragma once
// Stand-in for the fancy push button of the visual controls: a caption and a click, which is all
// the plug-in frames use of it.
#include <QPushButton>

namespace kelvar {

class TFxFancyButton : public QPushButton {
public:
    explicit TFxFancyButton(const QString& Caption, QWidget* Parent = nullptr);
};

}  // namespace kelvar
