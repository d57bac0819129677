#include "gui/plugins/FxFancyButton.h"

namespace kelvar {

TFxFancyButton::TFxFancyButton(const QString& Caption, QWidget* Parent) : QPushButton(Caption, Parent) {
    // Enter belongs to the form's short-cut handling, not to a default button.
    setAutoDefault(false);
}

}  // namespace kelvar
