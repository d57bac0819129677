#include "gui/config/unWizComment.h"

#include <QLabel>

#include "gui/config/funWizOptions.h"

namespace kelvar {

TfoWizComment::TfoWizComment(QWidget* Parent) : TfoWizard("Comment", "Add comment", Parent) {
    Body->addWidget(new QLabel("Comment / Description", this));
    eComment = new QLineEdit(this);
    eComment->setObjectName("eComment");
    Body->addWidget(eComment);
    Body->addStretch(1);
    resize(380, 120);
}

void TfoWizComment::showEvent(QShowEvent* Event) {
    TfoWizard::showEvent(Event);
    eComment->setFocus();
}

bool WizardComment(std::string& Text) {
    TfoWizComment wizard;
    wizard.eComment->setText(QString::fromStdString(Text));
    if (!wizard.Run()) return false;
    Text = CommentStatement(wizard.eComment->text().toStdString());
    return true;
}

}  // namespace kelvar
