#pragma once
// The comment wizard: a comment line of the clockwheel script.
#include <QLineEdit>
#include <string>

#include "gui/config/WizDialog.h"

namespace kelvar {

class TfoWizComment : public TfoWizard {
public:
    explicit TfoWizComment(QWidget* Parent = nullptr);

    QLineEdit* eComment = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;
};

// Shows Text for editing; true with "{# text #}" (or nothing for an empty text) on OK.
bool WizardComment(std::string& Text);

}  // namespace kelvar
